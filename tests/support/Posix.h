// Symbolic links, and acting as an unprivileged user so that permissions hold even as root (in CI).
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "tests/support/TempDir.h"

inline void Link(const std::u16string& target, const std::u16string& link) {
  ASSERT_EQ(symlink(U8(target).c_str(), U8(link).c_str()), 0) << U8(link);
}

inline void Chmod(const std::u16string& path, mode_t mode) { ASSERT_EQ(chmod(U8(path).c_str(), mode), 0) << U8(path); }

inline mode_t ModeOf(const std::u16string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(U8(path).c_str(), &st), 0) << U8(path);
  return st.st_mode & 07777;
}

// Runs `body` in a process of its own (another run, to the code), as "nobody" under root: its result, or -1.
inline int RunUnprivileged(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(255);
    _exit(body() & 0xFF);
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Another run's lock on a folder, held while the descriptor returned stays open.
inline int HoldLock(const std::u16string& folder) {
  const int fd = open(U8(folder).c_str(), O_RDONLY | O_DIRECTORY);
  EXPECT_TRUE(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) << U8(folder);
  return fd;
}

// Mounts of the test's own, seen by no other process; false where the system allows none (not root,
// or a container that forbids it).
inline bool PrivateMounts() {
  return unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A folder bound at another place (same file system, another mount) while this lives.
struct BindMount {
  BindMount(const std::u16string& from, const std::u16string& to) : at(U8(to)) {
    EXPECT_EQ(mount(U8(from).c_str(), at.c_str(), nullptr, MS_BIND, nullptr), 0) << at;
  }
  ~BindMount() { umount2(at.c_str(), MNT_DETACH); }
  std::string at;
};
