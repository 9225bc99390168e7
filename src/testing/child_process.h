// Child processes for the tests that need several processes at once (lock
// files, the intranet rewrite): fork a body, wait for its exit status.
#pragma once

#include <signal.h>
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

// Runs body in a child process; the child tells the parent it is ready
// through a pipe, runs after, and then waits to be killed (killChild).
// The child's pid, or -1 when it did not get ready.
inline pid_t runChild(const std::function<void()>& body, const std::function<void()>& after = [] {}) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    body();
    char ok = 1;
    (void)!::write(fds[1], &ok, 1);
    after();
    for (;;) ::pause();
  }
  ::close(fds[1]);
  char ok = 0;
  (void)!::read(fds[0], &ok, 1);
  ::close(fds[0]);
  return ok ? pid : -1;
}

inline void killChild(pid_t pid) {
  ::kill(pid, SIGKILL);
  int st;
  ::waitpid(pid, &st, 0);
}

}  // namespace xt
