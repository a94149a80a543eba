#include "mdlAppParam.h"

#include "clsFileString.h"

namespace quarrow {

const std::array<std::u16string, kCommandCount + 1>& CommandNames() {
  // "#BPM" stands twice (9 and 15); the lookup stops at the first.
  static const std::array<std::u16string, kCommandCount + 1> names = {
      u"",        u"#WAV",      u"#BMP",  u"#STAGEFILE", u"#MIDIFILE", u"#PLAYER", u"#GENRE", u"#TITLE",
      u"#ARTIST", u"#BPM",      u"#PLAYLEVEL", u"#RANK", u"#VOLWAV",   u"#TOTAL",  u"#BGA",   u"#BPM",
  };
  return names;
}

int FindCommand(const std::u16string& text) {
  const clsFileString strings;
  const auto& names = CommandNames();
  for (int k = 1; k <= kCommandCount; ++k) {
    if (strings.FileStrComp(text.substr(0, names[k].size()), names[k], 1) == 0) return k;
  }
  return 0;
}

}  // namespace quarrow
