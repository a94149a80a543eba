// Fennick's table of the header commands whose lines it converts: #WAV and #BMP, each followed by a
// two-character index. No other line of a chart is ever touched.
#pragma once

#include <array>
#include <string>

namespace fennick {

inline constexpr int kCommandCount = 2;
inline constexpr int kCommandWav = 1, kCommandBmp = 2;

// Entries 1 and 2, tried in that order; entry 0 is empty (no command).
const std::array<std::u16string, kCommandCount + 1>& CommandNames();
// The number of index characters after each command name.
const std::array<int, kCommandCount + 1>& CommandIdWidth();

}  // namespace fennick
