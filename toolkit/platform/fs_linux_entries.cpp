// A folder's entries read straight from the kernel (getdents64), kinds and all, without a look at
// any of them.
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "toolkit/platform/fs_posix.h"

namespace platform {

struct linux_dirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

bool ReadEntries(int fd, std::vector<RawEntry>& out, IoError& error) {
  out.clear();
  if (lseek(fd, 0, SEEK_SET) < 0) return Fail(error);
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const long got = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(error);
    if (got == 0) return true;
    for (long at = 0; at < got;) {
      const auto* d = reinterpret_cast<const linux_dirent64*>(buffer.data() + at);
      at += d->d_reclen;
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      out.push_back({d->d_name, d->d_type});
    }
  }
}

}  // namespace platform
