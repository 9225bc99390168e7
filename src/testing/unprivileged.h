// Runs a test body as a user who is refused what the files' modes refuse.
// Root may read and write any file, so a permission failure can only be
// shown by another user: as root the body runs in a child process that has
// become that user; otherwise it runs in a child as this user.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace xt {

constexpr uid_t kNobody = 65534;

// The body's return value is the child's exit status; 100 when the child
// could not become the user, 255 when it did not exit normally. The
// directories the body uses must let that user in (ScratchDir::openToEveryone).
inline int runAsUser(uid_t uid, const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
      ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

inline int runUnprivileged(const std::function<int()>& body) { return runAsUser(kNobody, body); }

}  // namespace xt
