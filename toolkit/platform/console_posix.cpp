#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <initializer_list>

#include "toolkit/platform/console.h"
#include "toolkit/text/Codecs.h"

namespace platform {
namespace {
volatile sig_atomic_t g_pending = 0;
volatile sig_atomic_t g_signal = 0;
extern "C" void OnStopSignal(int number) {
  g_signal = number;
  g_pending = 1;
}
}  // namespace

std::vector<std::u16string> ProgramArguments(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 0; i < argc; ++i) args.push_back(text::DecodeNativePath(argv[i]));
  return args;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int StderrColumns() {
  struct winsize size {};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool TakeInterrupt() {
  if (!g_pending) return false;
  g_pending = 0;
  return true;
}

int InterruptSignal() { return g_signal; }

void PrepareConsoleOutput() {}

void WriteText(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace platform
