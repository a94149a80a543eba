// The console as the command-line programs use it: whether stderr is a terminal, and the signals
// that ask a run to stop (Ctrl+C, and a terminal that closes or a kill) turned into a flag that the
// run polls instead of an abrupt end that would leave temporary files behind.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's arguments, its own name first, as the user gave them: argv's bytes read as paths
// on POSIX (each name as a listing reads it, DecodeNativePath); on Windows the wide command line,
// for argv holds them in the ANSI code page, which turns a Japanese name into "??" on most
// machines (argv then serves only when the two disagree).
std::vector<std::u16string> ProgramArguments(int argc, char** argv);

bool StderrIsTerminal();
// The width of the terminal stderr writes to, in columns; 0 when it is none or does not tell.
int StderrColumns();
// From now on Ctrl+C (and, where the system has them, the requests to terminate or hang up) set the
// stop flag instead of ending the program; writing to a closed pipe fails instead of ending it.
void CatchInterrupt();
// True once per request: reading the flag clears it.
bool TakeInterrupt();
// The number of the last signal that asked the run to stop (2 for Ctrl+C), 0 when none did; the
// conventional exit status of such a stop is 128 + this number.
int InterruptSignal();
// Makes the console show UTF-8 text where it needs telling (Windows); nothing elsewhere.
void PrepareConsoleOutput();

}  // namespace platform
