// The System of the tests: environment from a map, a clock that only moves
// when the program pauses (each pause is recorded), a random source that
// plays a script (then a fixed value), and exitProcess throwing ProcessExit.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "platform/system.h"

namespace xt {

struct ProcessExit {
  int code;
};

class FakeSystem : public System {
 public:
  FakeSystem();

  std::string env(const std::string& name) const override;
  LocalTime now() const override;
  void pause(int milliseconds) override;
  double random() override;
  void seedRandom(uint32_t seed) override { seeds.push_back(seed); }
  std::string computerName() const override { return hostName; }
  uint32_t processId() const override { return pid; }
  int runCommand(const std::string& shell, const std::string& commandLine) override;
  [[noreturn]] void exitProcess(int code) override { throw ProcessExit{code}; }

  void setEnv(const std::string& name, const std::string& value) { environment[name] = value; }
  void setNow(const LocalTime& t);
  // Milliseconds since the fake clock started.
  int64_t elapsedMs() const { return elapsed_; }

  std::map<std::string, std::string> environment;
  std::vector<int> pauses;
  std::deque<double> randomScript;
  double randomAfterScript = 0.5;
  std::vector<uint32_t> seeds;
  std::string hostName = "TERMINAL1";
  uint32_t pid = 0;
  std::vector<std::string> commands;  // "shell|commandLine" of each run
  int commandResult = 0;

 private:
  LocalTime start_;
  int64_t elapsed_ = 0;
};

}  // namespace xt
