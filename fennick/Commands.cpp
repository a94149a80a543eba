#include "fennick/Commands.h"

namespace fennick {

const std::array<std::u16string, kCommandCount + 1>& CommandNames() {
  static const std::array<std::u16string, kCommandCount + 1> names = {u"", u"#WAV", u"#BMP"};
  return names;
}

const std::array<int, kCommandCount + 1>& CommandIdWidth() {
  static const std::array<int, kCommandCount + 1> widths = {0, 2, 2};
  return widths;
}

}  // namespace fennick
