// Runs a piece of a test in a child process as an unprivileged user, so that file permissions hold
// even when the tests run as root (as they do in CI).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// The child's result (0-255), or -1 when the child could not run.
inline int RunUnprivileged(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(255);
    _exit(body() & 0xFF);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
