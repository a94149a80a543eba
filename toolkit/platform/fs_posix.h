// What the POSIX files of the file-system layer share.
#pragma once

#include <cstdint>

namespace platform {

// The kernel's number of the mount an open file lies on: bind mounts of one file system, which a
// rename cannot cross, are told apart. False where the system tells none.
bool MountIdOf(int fd, std::uint64_t& mount);

}  // namespace platform
