// Who holds a folder's lock, as Linux tells in /proc.
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/Codecs.h"

namespace platform {

// The program and process that hold a whole-file lock of the folder `st` describes, as Linux tells
// in /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 fd:00:5678 0 EOF"); empty where it does not.
std::u16string LockHolder(const struct stat& st) {
  FILE* locks = fopen("/proc/locks", "re");
  if (locks == nullptr) return std::u16string();
  long pid = 0;
  char line[256];
  while (pid == 0 && fgets(line, sizeof line, locks) != nullptr) {
    char kind[16];
    long holder = 0;
    unsigned device_major = 0, device_minor = 0;
    unsigned long long inode = 0;
    // A lock waited for is listed with " -> " before it: it holds nothing.
    if (std::strstr(line, "->") == nullptr &&
        sscanf(line, "%*d: %15s %*s %*s %ld %x:%x:%llu", kind, &holder, &device_major, &device_minor, &inode) == 5 &&
        std::strcmp(kind, "FLOCK") == 0 && device_major == major(st.st_dev) && device_minor == minor(st.st_dev) &&
        inode == st.st_ino) {
      pid = holder;
    }
  }
  fclose(locks);
  if (pid <= 0) return std::u16string();
  // The program's file name, else (another user's process) the name the kernel keeps, cut to 15 bytes.
  char path[64], target[PATH_MAX];
  std::string name;
  snprintf(path, sizeof path, "/proc/%ld/exe", pid);
  const ssize_t n = readlink(path, target, sizeof target - 1);
  if (n > 0) {
    name.assign(target, static_cast<std::size_t>(n));
    name = name.substr(name.rfind('/') + 1);
    if (const std::size_t deleted = name.find(" (deleted)"); deleted != std::string::npos) name.resize(deleted);
  } else {
    snprintf(path, sizeof path, "/proc/%ld/comm", pid);
    if (FILE* comm = fopen(path, "re")) {
      if (fgets(target, sizeof target, comm) != nullptr) name = target;
      fclose(comm);
    }
    while (!name.empty() && name.back() == '\n') name.pop_back();
  }
  return name.empty() ? std::u16string() : HolderText(text::DecodeUtf8(name), static_cast<std::uint64_t>(pid));
}

}  // namespace platform
