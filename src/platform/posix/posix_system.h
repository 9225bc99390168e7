// The real System: environment, local clock, pauses (cut short when the
// process is asked to end), a seedable
// pseudo-random source, the host name and commands run through a shell.
#pragma once

#include <functional>
#include <random>

#include "platform/system.h"

namespace xt {

class PosixSystem : public System {
 public:
  PosixSystem();
  std::string env(const std::string& name) const override;
  LocalTime now() const override;
  void pause(int milliseconds) override;
  double random() override;
  void seedRandom(uint32_t seed) override;
  std::string computerName() const override;
  uint32_t processId() const override;
  int runCommand(const std::string& shell, const std::string& commandLine) override;
  [[noreturn]] void exitProcess(int code) override;

  // Called before the process ends through exitProcess (the console's
  // terminal restore, for one).
  void setExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

 private:
  std::mt19937 random_;
  std::function<void()> exitHandler_;
};

}  // namespace xt
