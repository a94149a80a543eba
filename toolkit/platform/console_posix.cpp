#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/console.h"

namespace platform {
namespace {
volatile sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  return true;
}

}  // namespace platform
