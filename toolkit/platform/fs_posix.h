// What the POSIX files of the file-system layer share. Names are bytes here; a name is carried as
// UTF-8 text when it is UTF-8 as a whole, else with escape units for its bytes beyond ASCII
// (DecodeNativeName), so a name in any encoding survives unchanged. Files named fs_linux_* hold the
// calls only Linux has.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace platform {

inline std::string Native(const std::u16string& path) { return text::ToUtf8(path); }
inline std::u16string FromNative(std::string_view path) { return text::DecodeNativePath(path); }

// An owned file descriptor: closed when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Records errno (EIO when it tells nothing) in `error`; always false, the caller's answer.
bool Fail(IoError& error);

// A look's attributes, times and identity, as the layer reports them for the entry `name`.
bool IsHiddenName(const std::u16string& name);
int AttributesOf(const struct stat& st, const std::u16string& name);
std::int64_t Nanos(const struct timespec& ts);
struct timespec Timespec(std::int64_t ns);
void FillInfo(const struct stat& st, const std::u16string& name, FileInfo& info);

// Whole writes and reads of an open descriptor.
bool WriteAll(int fd, std::string_view bytes, IoError& error);
bool ReadAll(int fd, const struct stat& st, std::string& bytes, IoError& error);

// The entries of an open folder, as the kernel gives them: name and kind, no look at any of them.
struct RawEntry {
  std::string name;
  unsigned char type;
};
bool ReadEntries(int fd, std::vector<RawEntry>& out, IoError& error);

// Where an open folder lies: its identity and the mount it belongs to.
struct Place {
  std::uint64_t device = 0, id = 0, mount = 0;
  bool has_mount = false;
  bool mount_root = false;  // the top of a mount
};
bool PlaceOf(int fd, Place& place, IoError& error);
// Whether `inner`, reached from a folder at `outer`, lies on another file system or mount.
bool Crosses(const Place& outer, const Place& inner);

// The kernel's number of the mount an open file lies on: bind mounts of one file system, which a
// rename cannot cross, are told apart. False where the system tells none.
bool MountIdOf(int fd, std::uint64_t& mount);

// The program and process that hold a whole-file lock of the folder `st` describes; empty where the
// system does not tell.
std::u16string LockHolder(const struct stat& st);

}  // namespace platform
