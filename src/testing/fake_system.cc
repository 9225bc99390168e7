#include "testing/fake_system.h"

#include <chrono>

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
  // The start time plus the elapsed milliseconds, on the proleptic
  // Gregorian calendar (any year, on every platform).
  using namespace std::chrono;
  const sys_days day{year{start_.year} / start_.month / start_.day};
  const sys_time<milliseconds> at = day + hours{start_.hour} + minutes{start_.minute} + seconds{start_.second} +
                                    milliseconds{start_.millisecond + elapsed_};
  const sys_days atDay = floor<days>(at);
  const year_month_day ymd{atDay};
  const hh_mm_ss<milliseconds> clock{at - atDay};
  LocalTime r;
  r.year = static_cast<int>(ymd.year());
  r.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  r.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  r.hour = static_cast<int>(clock.hours().count());
  r.minute = static_cast<int>(clock.minutes().count());
  r.second = static_cast<int>(clock.seconds().count());
  r.millisecond = static_cast<int>(clock.subseconds().count());
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
