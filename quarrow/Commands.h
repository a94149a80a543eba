// Quarrow's table of BMS header commands: which lines are material lines, the command a rule's
// replace pattern begins with, and the entries of the input assist.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quarrow {

inline constexpr int kCommandCount = 15;
// Indices 1 to 4 are the material commands: #WAV and #BMP with a two-character index, #STAGEFILE and
// #MIDIFILE without.
inline constexpr int kCommandWav = 1, kCommandBmp = 2, kCommandStageFile = 3, kCommandMidiFile = 4;

// Entries 1 to 15; entry 0 is empty (no command).
const std::array<std::u16string, kCommandCount + 1>& CommandNames();
// Index of the first entry the text begins with, ASCII letters compared without case; 0 when none.
int FindCommand(std::u16string_view text);

}  // namespace quarrow
