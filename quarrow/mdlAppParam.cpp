#include "quarrow/mdlAppParam.h"

#include "toolkit/text/clsFileString.h"

namespace quarrow {

const std::array<std::u16string, kCommandCount + 1>& CommandNames() {
  // "#BPM" stands twice (9 and 15); the lookup stops at the first.
  static const std::array<std::u16string, kCommandCount + 1> names = {
      u"",        u"#WAV",      u"#BMP",  u"#STAGEFILE", u"#MIDIFILE", u"#PLAYER", u"#GENRE", u"#TITLE",
      u"#ARTIST", u"#BPM",      u"#PLAYLEVEL", u"#RANK", u"#VOLWAV",   u"#TOTAL",  u"#BGA",   u"#BPM",
  };
  return names;
}

int FindCommand(std::u16string_view text) {
  const auto& names = CommandNames();
  for (int k = 1; k <= kCommandCount; ++k) {
    const std::u16string& name = names[k];
    if (text.size() < name.size()) continue;
    bool same = true;
    // The names are ASCII: a character of the text equals one of theirs only as the same letter, in
    // either case.
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = clsFileString::FoldAscii(text[i]) == clsFileString::FoldAscii(name[i]);
    }
    if (same) return k;
  }
  return 0;
}

}  // namespace quarrow
