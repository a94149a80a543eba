#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"
#include "toolkit/text/Codecs.h"

extern char** environ;

namespace platform {
namespace {

ShellHandler& Handler() {
  static ShellHandler handler;
  return handler;
}

// The desktop's opener, started in the background so that no program it opens can hold the caller.
int XdgOpen(const std::u16string& path) {
  std::string target = text::ToUtf8(path);
  char shell[] = "/bin/sh", flag[] = "-c", name[] = "sh";
  char script[] = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
  char* argv[] = {shell, flag, script, name, target.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, shell, nullptr, nullptr, argv, environ) != 0) return kShellFailed;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kShellOk : kShellFailed;
}

}  // namespace

int ShellRun(ShellVerb verb, const std::u16string& path) {
  if (Handler()) return Handler()(verb, path);
  if (verb == ShellVerb::OpenWith) {
    // No system-wide "open with" chooser here: show the file's folder instead.
    const std::size_t slash = path.rfind(u'/');
    return XdgOpen(slash == std::u16string::npos || slash == 0 ? std::u16string(u"/") : path.substr(0, slash));
  }
  return XdgOpen(path);
}

void SetShellHandler(ShellHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
