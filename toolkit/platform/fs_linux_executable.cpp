// Where the running program lies, as Linux tells in /proc/self/exe.
#include <limits.h>
#include <unistd.h>

#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"

namespace platform {
namespace {

std::u16string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::u16string();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return FromNative(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::u16string ExecutableFolder() {
  const std::u16string exe = ExecutablePath();
  const std::size_t slash = exe.rfind(u'/');
  if (slash == std::u16string::npos) return CurrentDirectory();
  return slash == 0 ? std::u16string(u"/") : exe.substr(0, slash);
}

std::u16string ExecutableName() { return LastName(ExecutablePath()); }

}  // namespace platform
