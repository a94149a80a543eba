#include "quarrow/Commands.h"

#include "toolkit/text/Compare.h"

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
    if (text::StartsWith(text, names[k], text::CaseMode::Text)) return k;
  }
  return 0;
}

}  // namespace quarrow
