#include "platform/posix/posix_system.h"

#include <sys/time.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/posix/tty.h"

namespace xt {

PosixSystem::PosixSystem() : random_(static_cast<uint32_t>(::time(nullptr)) ^ static_cast<uint32_t>(::getpid())) {}

std::string PosixSystem::env(const std::string& name) const {
  const char* v = std::getenv(name.c_str());
  return v ? std::string(v) : std::string();
}

LocalTime PosixSystem::now() const {
  struct timeval tv;
  ::gettimeofday(&tv, nullptr);
  struct tm tm;
  time_t secs = tv.tv_sec;
  ::localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

void PosixSystem::pause(int milliseconds) {
  if (milliseconds > 0) Tty::sleep(milliseconds);
}

double PosixSystem::random() {
  return std::generate_canonical<double, 53>(random_);
}

void PosixSystem::seedRandom(uint32_t seed) { random_.seed(seed); }

std::string PosixSystem::computerName() const {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

uint32_t PosixSystem::processId() const { return static_cast<uint32_t>(::getpid()); }

int PosixSystem::runCommand(const std::string& shell, const std::string& commandLine) {
  // Ctrl-C and Ctrl-\ typed while the command has the terminal are the
  // command's: this process ignores them until it is back, the command
  // gets them as they were.
  struct sigaction ignore{}, savedInt{}, savedQuit{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGINT, &ignore, &savedInt);
  ::sigaction(SIGQUIT, &ignore, &savedQuit);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::sigaction(SIGINT, &savedInt, nullptr);
    ::sigaction(SIGQUIT, &savedQuit, nullptr);
    ::execl(shell.c_str(), shell.c_str(), "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  bool waited = pid > 0;
  while (waited && ::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) waited = false;
  }
  ::sigaction(SIGINT, &savedInt, nullptr);
  ::sigaction(SIGQUIT, &savedQuit, nullptr);
  return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PosixSystem::exitProcess(int code) {
  if (exitHandler_) exitHandler_();
  std::exit(code);
}

}  // namespace xt
