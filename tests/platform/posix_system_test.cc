#include "platform/posix/posix_system.h"

#include <gtest/gtest.h>

#include <csignal>

namespace xt {
namespace {

volatile sig_atomic_t interrupted = 0;

// Ctrl-C typed while a command has the terminal goes to the command, not to
// this process, whose own handling is back once the command has ended.
TEST(PosixSystemTest, ACommandTakesTheKeyboardSignalsWhileItRuns) {
  struct sigaction mine{}, before{};
  mine.sa_handler = [](int) { interrupted = 1; };
  sigemptyset(&mine.sa_mask);
  ASSERT_EQ(::sigaction(SIGINT, &mine, &before), 0);
  PosixSystem system;
  // The command interrupts its caller and itself: it ends by the signal
  // (exit 3 only if the signal were ignored there).
  EXPECT_EQ(system.runCommand("/bin/sh", "kill -INT $PPID; kill -INT $$; sleep 1; exit 3"), -1);
  EXPECT_EQ(interrupted, 0);
  EXPECT_EQ(system.runCommand("/bin/sh", "exit 3"), 3);
  ::raise(SIGINT);
  EXPECT_EQ(interrupted, 1);
  ::sigaction(SIGINT, &before, nullptr);
}

}  // namespace
}  // namespace xt
