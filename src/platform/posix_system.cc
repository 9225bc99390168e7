#include "platform/posix_system.h"

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

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
  if (milliseconds <= 0) return;
  struct timespec ts{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
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

int PosixSystem::runCommand(const std::string& shell, const std::string& commandLine) {
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::execl(shell.c_str(), shell.c_str(), "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PosixSystem::exitProcess(int code) {
  if (exitHandler_) exitHandler_();
  std::exit(code);
}

}  // namespace xt
