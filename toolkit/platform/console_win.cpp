// The Windows console: the arguments from the wide command line, console text written as the
// console's own wide characters with the progress line drawn by its escape sequences, and the
// console's stop events (Ctrl+C, Ctrl+Break, a closed window, log-off, shut-down) turned into the
// stop flag.
#include "toolkit/platform/win32.h"
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "toolkit/platform/console.h"

namespace platform {
namespace {

std::atomic<int> g_pending{0};
std::atomic<int> g_signal{0};

// The signal numbers a POSIX run would have seen: 2 Ctrl+C, 21 Ctrl+Break (SIGBREAK), 1 a console
// window closed (a hang-up), 15 log-off and shut-down.
constexpr int kHangUp = 1;

void Stop(int number) {
  g_signal = number;
  g_pending = 1;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: Stop(SIGINT); return TRUE;
    case CTRL_BREAK_EVENT: Stop(SIGBREAK); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      Stop(event == CTRL_CLOSE_EVENT ? kHangUp : SIGTERM);
      // The system ends the process once this returns: the run gets the time the system allows to
      // stop at its next poll and take its temporary files away. The program's end ends the wait.
      Sleep(20000);
      return FALSE;
    default: return FALSE;
  }
}

// What the C runtime raises itself (raise, abort requests from libraries).
extern "C" void OnStopSignal(int number) {
  signal(number, OnStopSignal);  // the runtime resets a handler each time it runs it
  Stop(number);
}

UINT g_console_code_page = 0;

void RestoreConsoleCodePage() {
  if (g_console_code_page != 0) SetConsoleOutputCP(g_console_code_page);
}

bool IsConsole(DWORD which, DWORD& mode) { return GetConsoleMode(GetStdHandle(which), &mode) != 0; }

}  // namespace

std::vector<std::u16string> ProgramArguments(int, char**) {
  return SplitCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  if (!IsConsole(STD_ERROR_HANDLE, mode)) return false;
  // The progress line redraws itself with escape sequences, which a console understands once asked
  // to (Windows 10 on); an older console gets no progress line rather than a garbled one.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void CatchInterrupt() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  signal(SIGINT, OnStopSignal);
  signal(SIGTERM, OnStopSignal);
  signal(SIGBREAK, OnStopSignal);
}

bool TakeInterrupt() { return g_pending.exchange(0) != 0; }

int InterruptSignal() { return g_signal; }

void PrepareConsoleOutput() {
  // The programs write UTF-8: a console is told so, and given its own code page back at the end,
  // for the setting belongs to the console window the program shares with its shell.
  DWORD mode = 0;
  if (g_console_code_page != 0 || (!IsConsole(STD_OUTPUT_HANDLE, mode) && !IsConsole(STD_ERROR_HANDLE, mode))) return;
  const UINT code_page = GetConsoleOutputCP();
  if (code_page == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  g_console_code_page = code_page;
  std::atexit(RestoreConsoleCodePage);
}

void WriteText(std::FILE* stream, std::string_view text) {
  const HANDLE console = stream == stdout ? GetStdHandle(STD_OUTPUT_HANDLE)
                         : stream == stderr ? GetStdHandle(STD_ERROR_HANDLE)
                                            : INVALID_HANDLE_VALUE;
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  std::fflush(stream);  // what the C runtime holds of earlier output comes first
  const int size = static_cast<int>(text.size());
  std::wstring wide(static_cast<std::size_t>(std::max(0, MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0))),
                    L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  for (std::size_t at = 0; at < wide.size();) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
    if (!WriteConsoleW(console, wide.data() + at, chunk, &put, nullptr) || put == 0) return;
    at += put;
  }
}

}  // namespace platform
