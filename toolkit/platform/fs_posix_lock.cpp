// The lock a run holds on a folder it changes (flock), shared by the parts of one process.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <utility>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"

namespace platform {
namespace {

// The locks this process holds, by folder: two parts of one run may lock the same folder.
struct HeldLock {
  int fd = -1;
  int count = 0;
};
std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock>& HeldLocks() {
  static std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock> locks;
  return locks;
}

}  // namespace

FolderLock::~FolderLock() {
  if (!held_) return;
  auto& locks = HeldLocks();
  const auto it = locks.find({device_, id_});
  if (it == locks.end()) return;
  if (--it->second.count == 0) {
    if (it->second.fd >= 0) close(it->second.fd);  // closing the description releases the lock
    locks.erase(it);
  }
}

bool FolderLock::Acquire(const Folder& folder, IoError& error) {
  if (held_) return true;
  struct stat st {};
  if (fstat(static_cast<int>(folder.handle_), &st) != 0) return Fail(error);
  auto& locks = HeldLocks();
  const std::pair<std::uint64_t, std::uint64_t> key{st.st_dev, st.st_ino};
  auto it = locks.find(key);
  if (it == locks.end()) {
    // An opening of its own, so that the lock lives as long as the run wants it, whatever happens
    // to the folder object it was asked for.
    Fd fd(openat(static_cast<int>(folder.handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.ok()) return Fail(error);
    HeldLock held;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      held.fd = fd.release();
    } else if (errno == EWOULDBLOCK || errno == EINTR) {
      holder_ = LockHolder(st);
      return false;  // another run has it
    }
    // Else the file system keeps no locks: the run goes on without one (held.fd stays -1).
    it = locks.emplace(key, held).first;
  }
  ++it->second.count;
  device_ = key.first;
  id_ = key.second;
  held_ = true;
  exclusive_ = it->second.fd >= 0;
  return true;
}

}  // namespace platform
