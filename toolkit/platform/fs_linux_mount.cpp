// Which mount an open file lies on (statx, else /proc/self/fdinfo), so that a bind mount of one file
// system is told apart from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "toolkit/platform/fs_posix.h"

namespace platform {
namespace {

// The mount of an open descriptor as /proc tells it, for systems whose statx does not.
bool MountFromProc(int fd, std::uint64_t& mount) {
  const std::string path = "/proc/self/fdinfo/" + std::to_string(fd);
  Fd info(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  char buffer[512];
  const ssize_t got = info.ok() ? read(info.get(), buffer, sizeof buffer - 1) : -1;
  if (got <= 0) return false;
  buffer[got] = '\0';
  const char* at = std::strstr(buffer, "mnt_id:");
  return at != nullptr && std::sscanf(at, "mnt_id: %" SCNu64, &mount) == 1;
}

// The mount as statx told it, else as /proc tells it.
bool MountOf(int fd, const struct statx& sx, std::uint64_t& mount) {
  mount = sx.stx_mnt_id;
  return (sx.stx_mask & STATX_MNT_ID) != 0 || MountFromProc(fd, mount);
}

}  // namespace

bool PlaceOf(int fd, Place& place, IoError& error) {
  struct statx sx {};
  if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_MNT_ID, &sx) != 0) return Fail(error);
  place.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  place.id = sx.stx_ino;
  place.has_mount = MountOf(fd, sx, place.mount);
  place.mount_root = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  return true;
}

// Whether `inner`, reached from a folder at `outer`, lies on another file system or mount: a bind
// mount of the same file system has the same device, so the mounts are compared too.
bool Crosses(const Place& outer, const Place& inner) {
  return inner.mount_root || inner.device != outer.device ||
         (outer.has_mount && inner.has_mount && inner.mount != outer.mount);
}

bool MountIdOf(int fd, std::uint64_t& mount) {
  struct statx sx {};
  return statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) == 0 && MountOf(fd, sx, mount);
}

}  // namespace platform
