#include "platform/posix/posix_file_system.h"
#include "screen/key_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/key_codes.h"
#include "platform/posix/terminal_console.h"
#include "testing/fake_system.h"
#include "testing/no_record_engine.h"
#include "testing/test_program.h"

namespace xt {
namespace {

TEST(KeyReader, HotKeyTextArrivesAsTypedKeysAfterTheHotKey) {
  TestProgram t;
  Program& p = t.program();
  int opened = 0;
  p.screen.tools.calendar = [&](Screen& prog) {
    ++opened;
    // A second Alt+C inside the calendar must not open another one.
    t.console().pushKey(key::kAltC);
    EXPECT_EQ(waitKey(prog), key::kAltC);
    return std::string("8/12/2026");
  };
  t.console().pushKey(key::kAltC);
  EXPECT_EQ(waitKey(p.screen), key::kAltC);
  t.console().pushKey('x');
  std::string typed;
  for (int i = 0; i < 9; ++i) typed.push_back(static_cast<char>(waitKey(p.screen)));
  EXPECT_EQ(typed, "8/12/2026");
  EXPECT_EQ(waitKey(p.screen), 'x');
  EXPECT_EQ(opened, 1);
}

TEST(KeyReader, UnsetToolHooksDoNothing) {
  TestProgram t;
  t.console().pushKeys({key::kAltX, 'a'});
  EXPECT_EQ(waitKey(t.program().screen), key::kAltX);
  EXPECT_EQ(waitKey(t.program().screen), 'a');
}

TEST(KeyReader, AltEGivesTheEuroSignAndClicksBecomeWaitKeyCodes) {
  TestProgram t;
  t.console().pushKey(key::kAltE);
  t.console().pushClick(12, 40, 1);
  EXPECT_EQ(waitKey(t.program().screen), 0xD5);
  EXPECT_EQ(waitKey(t.program().screen), 40 * 256 + 64 + 12);
}

// The console's mouse is switched on once; the off-after-an-event and
// on-at-the-next-read of the reader stay in its own state.
TEST(KeyReader, MouseStaysOnInTheConsoleAcrossEvents) {
  TestProgram t;
  Program& p = t.program();
  int16_t key, button, row, col;
  t.console().pushIdle();
  readKeyEvent(p.screen, key, button, row, col);
  EXPECT_TRUE(t.console().mouseEnabled());
  EXPECT_EQ(p.screen.keyReader.mouseState, 1);
  t.console().pushKey('a');
  readKeyEvent(p.screen, key, button, row, col);
  EXPECT_TRUE(t.console().mouseEnabled());
  EXPECT_EQ(p.screen.keyReader.mouseState, 2);
}

TEST(KeyReader, NoMouseMeansClicksAreIgnored) {
  TestProgram t;
  t.console().setHasMouse(false);
  t.console().pushClick(3, 4);
  int16_t key, button, row, col;
  readKeyEvent(t.program().screen, key, button, row, col);
  EXPECT_EQ(button, 0);
  EXPECT_EQ(t.program().screen.keyReader.mouseState, 3);
}

// On a real terminal (a pseudo-terminal here): after the first read turned
// mouse reporting on, reading keys and clicks writes no mouse mode.
TEST(KeyReaderOnATerminal, ReadingKeysAndClicksWritesNoMouseModes) {
  ::setenv("TERM", "xterm", 1);  // a terminal with a mouse
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  struct winsize ws{25, 80, 0, 0};
  ASSERT_EQ(::ioctl(master, TIOCSWINSZ, &ws), 0);
  auto output = [&] {
    std::string out;
    char buf[8192];
    for (struct pollfd p{master, POLLIN, 0}; ::poll(&p, 1, 50) > 0;) {
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  };
  TerminalConsole console;
  std::string error;
  ASSERT_TRUE(console.open(error, ::ptsname(master))) << error;
  FakeSystem system;
  NoRecordEngine engine;
  PosixFileSystem disk;
  Program p(console, system, disk, engine);
  int16_t key = 0, button = 0, row = 0, col = 0;
  readKeyEvent(p.screen, key, button, row, col);
  EXPECT_NE(output().find("\x1b[?1000h\x1b[?1006h"), std::string::npos);
  ASSERT_EQ(::write(master, "x\x1b[<0;5;3my", 12), 12);
  for (int expected : {int{'x'}, 0, int{'y'}}) {
    readKeyEvent(p.screen, key, button, row, col, 2000);
    EXPECT_EQ(key, expected);
  }
  EXPECT_EQ(output().find("\x1b[?100"), std::string::npos);
  console.close();
  ::close(master);
}

}  // namespace
}  // namespace xt
