// The console as the command-line programs use it: whether stderr is a terminal, and the signals
// that ask a run to stop (Ctrl+C, and a terminal that closes or a kill) turned into a flag that the
// run polls instead of an abrupt end that would leave temporary files behind.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef __MINGW_PRINTF_FORMAT
#define CHART_TOOLS_PRINTF(text, first) __attribute__((format(__MINGW_PRINTF_FORMAT, text, first)))
#else
#define CHART_TOOLS_PRINTF(text, first) __attribute__((format(printf, text, first)))
#endif

namespace platform {

// The program's arguments, its own name first, as the user gave them: argv's bytes read as paths
// on POSIX (each name as a listing reads it, DecodeNativePath); on Windows the wide command line
// read by SplitCommandLine, for argv holds them in the ANSI code page, which turns a Japanese name
// into "??" on most machines.
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

// Writes UTF-8 text to a stream, after what went there before. A Windows console gets the text as
// its own wide characters (UTF-8 bytes show garbled in a console that gets a character cut between
// two writes, and in Wine's console always); files and pipes get the bytes as they are.
void WriteText(std::FILE* stream, std::string_view text);
// printf's formatting, written by WriteText.
void Print(std::FILE* stream, const char* format, ...) CHART_TOOLS_PRINTF(2, 3);

// The arguments of a Windows command line, its program first, as the C runtime reads them, but for
// one thing that cmd's users meet: a quoted argument that ends in a backslash ("C:\dir\"), whose
// closing quote those rules take as a quote inside it, so that the rest of the line joins it. Here
// that quote closes the argument and the backslash stays, as long as the argument holds no quote
// of its own and the quote ends a word.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line);

}  // namespace platform
