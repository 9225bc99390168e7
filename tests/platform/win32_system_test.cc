// Built for Windows only (the Linux build has posix_system_test.cc).
#ifdef _WIN32
#include "platform/win32/win32_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

namespace xt {
namespace {

// The Linux build draws these from the same seed: a form that draws
// numbers behaves alike on both.
TEST(Win32SystemTest, RandomNumbersAreTheLinuxOnesForASeed) {
  Win32System system;
  system.seedRandom(4660);
  EXPECT_DOUBLE_EQ(system.random(), 0.23596790811959523);
  EXPECT_DOUBLE_EQ(system.random(), 0.65263898562465728);
  EXPECT_DOUBLE_EQ(system.random(), 0.1003508058460421);
}

TEST(Win32SystemTest, EnvironmentValuesAreCodePage850) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"XT_TEST_VALUE", L"C:\\Operaci\u00F3"));
  Win32System system;
  EXPECT_EQ(system.env("XT_TEST_VALUE"), "C:\\Operaci\xA2");  // ó
  EXPECT_EQ(system.env("XT_TEST_UNSET"), "");
  ::SetEnvironmentVariableW(L"XT_TEST_VALUE", nullptr);
}

TEST(Win32SystemTest, CommandsRunThroughTheShellAndAnswerTheirExitCode) {
  Win32System system;
  const std::string shell = system.env("COMSPEC");
  ASSERT_FALSE(shell.empty());
  EXPECT_EQ(system.runCommand(shell, "exit 3"), 3);
  EXPECT_EQ(system.runCommand(shell, "if exist \"%COMSPEC%\" exit 7"), 7);
  EXPECT_EQ(system.runCommand("C:\\no\\such\\shell.exe", "exit 3"), -1);
}

TEST(Win32SystemTest, APauseEndsWhenTheProcessIsAskedToEnd) {
  Win32System system;
  auto start = std::chrono::steady_clock::now();
  std::thread asker([] {
    ::Sleep(50);
    Win32System::requestEnd();
  });
  system.pause(60000);
  asker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_TRUE(Win32System::endRequested());
  system.pause(60000);  // from then on at once
  Win32System::clearEndRequest();
  EXPECT_FALSE(Win32System::endRequested());
}

}  // namespace
}  // namespace xt
#endif  // _WIN32
