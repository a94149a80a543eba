// The Windows console: the arguments from the wide command line, console text in UTF-8 with the
// progress line drawn by the console's own escape sequences, and the console's stop events (Ctrl+C,
// Ctrl+Break, a closed window, log-off, shut-down) turned into the stop flag.
#include "toolkit/platform/win32.h"
#include <shellapi.h>
#include <signal.h>

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

std::vector<std::u16string> ProgramArguments(int argc, char** argv) {
  std::vector<std::u16string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr && count == argc) {
    for (int i = 0; i < count; ++i) {
      const wchar_t* arg = wide[i];
      args.emplace_back(reinterpret_cast<const char16_t*>(arg));
    }
  } else {
    for (int i = 0; i < argc; ++i) {
      const int n = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
      std::wstring text(n > 0 ? n : 1, L'\0');
      if (n > 0) MultiByteToWideChar(CP_ACP, 0, argv[i], -1, text.data(), n);
      args.emplace_back(text.begin(), text.begin() + (n > 0 ? n - 1 : 0));
    }
  }
  if (wide != nullptr) LocalFree(wide);
  return args;
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

}  // namespace platform
