#include "testing/fake_system.h"

#include <ctime>

namespace xt {

FakeSystem::FakeSystem() {
  start_.year = 2026;
  start_.month = 12;
  start_.day = 7;
  start_.hour = 10;
}

std::string FakeSystem::env(const std::string& name) const {
  auto it = environment.find(name);
  return it == environment.end() ? std::string() : it->second;
}

void FakeSystem::setNow(const LocalTime& t) {
  start_ = t;
  elapsed_ = 0;
}

LocalTime FakeSystem::now() const {
  // Add the elapsed milliseconds to the start time through the C calendar.
  struct tm tm {};
  tm.tm_year = start_.year - 1900;
  tm.tm_mon = start_.month - 1;
  tm.tm_mday = start_.day;
  tm.tm_hour = start_.hour;
  tm.tm_min = start_.minute;
  int64_t totalMs = start_.millisecond + elapsed_;
  tm.tm_sec = start_.second + static_cast<int>(totalMs / 1000);
  struct tm out {};
#ifdef _WIN32
  time_t t = ::_mkgmtime(&tm);
  ::gmtime_s(&out, &t);
#else
  time_t t = ::timegm(&tm);
  ::gmtime_r(&t, &out);
#endif
  LocalTime r;
  r.year = out.tm_year + 1900;
  r.month = out.tm_mon + 1;
  r.day = out.tm_mday;
  r.hour = out.tm_hour;
  r.minute = out.tm_min;
  r.second = out.tm_sec;
  r.millisecond = static_cast<int>(totalMs % 1000);
  return r;
}

void FakeSystem::pause(int milliseconds) {
  pauses.push_back(milliseconds);
  if (milliseconds > 0) elapsed_ += milliseconds;
}

double FakeSystem::random() {
  if (randomScript.empty()) return randomAfterScript;
  double r = randomScript.front();
  randomScript.pop_front();
  return r;
}

int FakeSystem::runCommand(const std::string& shell, const std::string& commandLine) {
  commands.push_back(shell + "|" + commandLine);
  return commandResult;
}

}  // namespace xt
