// The system services the program needs besides the console and files:
// environment, clock, pauses, the pseudo-random source, the computer name,
// the process id, running a command, and ending the process. Tests use
// FakeSystem, whose clock is fixed and whose pauses only advance it.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct LocalTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class System {
 public:
  virtual ~System() = default;

  // Value of an environment variable; empty when it is not set.
  virtual std::string env(const std::string& name) const = 0;
  virtual LocalTime now() const = 0;
  // Waits; the real one returns early when the process is asked to end.
  virtual void pause(int milliseconds) = 0;
  // Next pseudo-random fraction in [0, 1).
  virtual double random() = 0;
  virtual void seedRandom(uint32_t seed) = 0;
  // The machine's name; empty when it cannot be told.
  virtual std::string computerName() const = 0;
  // This process's number, which no other process running on the machine
  // has at the same time.
  virtual uint32_t processId() const = 0;
  // Runs commandLine through the given shell ("sh -c" style) and waits for
  // it; returns its exit status, or -1 when it could not be started.
  virtual int runCommand(const std::string& shell, const std::string& commandLine) = 0;
  // Ends the process (the terminal is restored by the console's own exit
  // handling). The fake throws ProcessExit instead.
  [[noreturn]] virtual void exitProcess(int code) = 0;
};

}  // namespace xt
