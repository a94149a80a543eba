// The console as the command-line programs use it: whether stderr is a terminal, and Ctrl+C turned
// into a flag that the run polls instead of an abrupt end.
#pragma once

namespace platform {

bool StderrIsTerminal();
// From now on Ctrl+C sets the interrupt flag instead of ending the program.
void CatchInterrupt();
// True once per Ctrl+C: reading the flag clears it.
bool TakeInterrupt();

}  // namespace platform
