// Child processes for the tests that need several processes at once (lock
// files, the intranet rewrite): fork a body, wait for its exit status.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace xt {

// Runs body in a child process; its return value is the exit status.
inline pid_t spawn(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

// The child's exit status, 255 when it did not exit normally.
inline int exitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

}  // namespace xt
