// The real System on Windows: environment, local clock, pauses (cut short
// once the process is asked to end), the same seedable pseudo-random
// source as on Linux (so both builds draw the same numbers from a seed),
// the computer name, and commands run through the command interpreter.
// Texts are code page 850 (wide_text.h).
#pragma once

#include <functional>
#include <random>

#include "platform/system.h"

namespace xt {

class Win32System : public System {
 public:
  Win32System();
  std::string env(const std::string& name) const override;
  LocalTime now() const override;
  void pause(int milliseconds) override;
  double random() override;
  void seedRandom(uint32_t seed) override;
  std::string computerName() const override;
  uint32_t processId() const override;
  // Runs "<shell> /C <commandLine>" (the shell is COMSPEC's cmd.exe) and
  // waits for it. Ctrl-C and Ctrl-Break typed meanwhile are the command's:
  // this process lets them pass until the command has ended.
  int runCommand(const std::string& shell, const std::string& commandLine) override;
  [[noreturn]] void exitProcess(int code) override;

  // Called before the process ends through exitProcess (the console's
  // restore, for one).
  void setExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

  // Said by the console's control handler when the window is closed, the
  // user logs off or the machine shuts down (it may be on another thread):
  // pauses end at once from then on.
  static void requestEnd();
  static bool endRequested();
  // Takes the request back (a test that goes on afterwards).
  static void clearEndRequest();

 private:
  std::mt19937 random_;
  std::function<void()> exitHandler_;
};

}  // namespace xt
