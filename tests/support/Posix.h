// Symbolic links, and acting as an unprivileged user so that permissions hold even as root (in CI).
#pragma once

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
