// tobrenz-cli: the run of the window from the command line.
#pragma once

#include <string>
#include <vector>

namespace tobrenz {

// Runs the command line (arguments after the program name) and returns the exit status: 0 done,
// 1 bad arguments or a warning that stopped the run, 2 some files or folders failed, 130 stopped by
// the user.
int CliMain(const std::vector<std::u16string>& args);

}  // namespace tobrenz
