// fennick-cli: the batch run of the window from the command line.
#pragma once

#include <string>
#include <vector>

namespace fennick {

// Runs the command line (arguments after the program name) and returns the exit status: 0 done,
// 1 bad arguments or a warning that stopped the run, 2 some items failed, 128 + the signal number when stopped (130: Ctrl+C).
int CliMain(const std::vector<std::u16string>& args);

}  // namespace fennick
