#include "platform/posix/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/key_codes.h"

namespace xt {
namespace {

// A pseudo-terminal standing in for the user's terminal: the console opens
// its slave side, the test types into and reads the screen from the master.
class TerminalConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TERM", "xterm", 1);  // what the console makes of the terminal
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slavePath_ = ::ptsname(master_);
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    setSize(80, 25);
  }
  void TearDown() override {
    console_.close();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }

  void setSize(int columns, int rows) {
    struct winsize ws{};
    ws.ws_col = static_cast<unsigned short>(columns);
    ws.ws_row = static_cast<unsigned short>(rows);
    ASSERT_EQ(::ioctl(master_, TIOCSWINSZ, &ws), 0);
  }
  void open() {
    std::string error;
    ASSERT_TRUE(console_.open(error, slavePath_)) << error;
  }
  void type(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the console wrote to the terminal, until it has been quiet a while.
  std::string output(int quietMs = 50) {
    std::string out;
    struct pollfd p{master_, POLLIN, 0};
    while (::poll(&p, 1, quietMs) > 0) {
      char buf[8192];
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }
  int16_t nextKey(int timeoutMs = 2000) {
    InputEvent e = console_.readEvent(timeoutMs);
    return e.kind == InputEvent::Kind::Key ? e.key : static_cast<int16_t>(-1);
  }

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  TerminalConsole console_;
};

TEST(TerminalConsoleOpen, FailsCleanlyWithoutATerminal) {
  TerminalConsole c;
  std::string error;
  EXPECT_FALSE(c.open(error, "/nonexistent/tty"));
  EXPECT_NE(error.find("/nonexistent/tty"), std::string::npos);
  error.clear();
  EXPECT_FALSE(c.open(error, "/dev/null"));
  EXPECT_NE(error.find("not a terminal"), std::string::npos);
  c.flush();  // harmless when closed
  EXPECT_EQ(c.readEvent(0).kind, InputEvent::Kind::None);
}

TEST_F(TerminalConsoleTest, RawModeWhileOpenEverythingRestoredAfter) {
  struct termios before;
  ASSERT_EQ(::tcgetattr(slave_, &before), 0);
  open();
  struct termios raw;
  ASSERT_EQ(::tcgetattr(slave_, &raw), 0);
  EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
  std::string entered = output();
  EXPECT_NE(entered.find("\x1b[?1049h\x1b[?7l\x1b[?1036;1039h\x1b="), std::string::npos);

  console_.enableMouse(true);
  EXPECT_EQ(output(), "\x1b[?1000h\x1b[?1006h");
  type("abc");  // typed ahead, never read
  struct pollfd p{slave_, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  console_.close();

  struct termios after;
  ASSERT_EQ(::tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  std::string left = output();
  // Undone in reverse order: mouse, keypad, colours and cursor, Alt modes,
  // autowrap, the screen cleared (for terminals without an alternate one),
  // alternate screen.
  EXPECT_NE(left.find("\x1b[?1006l\x1b[?1000l\x1b>\x1b[0m\x1b[0 q\x1b[?25h\x1b[?1036;1039r\x1b[?7h\x1b[H\x1b[2J\x1b[?1049l"),
            std::string::npos)
      << left;
  // The keys typed ahead were thrown away, not left for the shell.
  struct termios peek = after;
  peek.c_lflag &= ~static_cast<tcflag_t>(ICANON);
  ::tcsetattr(slave_, TCSANOW, &peek);
  int queued = -1;
  ASSERT_EQ(::ioctl(slave_, FIONREAD, &queued), 0);
  EXPECT_EQ(queued, 0);
}

// Another program on the terminal meanwhile (the help opener): it gets the
// user's modes, and afterwards every cell is sent again over its output.
TEST_F(TerminalConsoleTest, AnotherProgramGetsTheTerminalAndTheScreenIsSentAgain) {
  struct termios before;
  ASSERT_EQ(::tcgetattr(slave_, &before), 0);
  open();
  console_.moveCursor(3, 5);
  console_.write("HELLO");
  console_.readEvent(10);
  EXPECT_NE(output().find("HELLO"), std::string::npos);

  console_.leaveTerminal();
  struct termios lent;
  ASSERT_EQ(::tcgetattr(slave_, &lent), 0);
  EXPECT_EQ(lent.c_lflag, before.c_lflag);
  EXPECT_NE(output().find("\x1b[?1049l"), std::string::npos);
  ASSERT_EQ(::write(slave_, "opener output\r\n", 15), 15);
  output();

  console_.returnToTerminal();
  struct termios back;
  ASSERT_EQ(::tcgetattr(slave_, &back), 0);
  EXPECT_EQ(back.c_lflag & (ICANON | ECHO | ISIG), 0u);
  std::string again = output();
  EXPECT_NE(again.find("\x1b[?1049h"), std::string::npos);
  EXPECT_NE(again.find("HELLO"), std::string::npos) << again;
}

TEST_F(TerminalConsoleTest, KeysArriveAsProgramCodes) {
  open();
  type("\x1bOP\x03\x1a\x13\xc3\xa9\x1b[1;5D");
  EXPECT_EQ(nextKey(), key::kF1);
  EXPECT_EQ(nextKey(), 3);   // Ctrl-C is a key, not a signal
  EXPECT_EQ(nextKey(), 26);  // Ctrl-Z likewise
  EXPECT_EQ(nextKey(), 19);  // and Ctrl-S is not flow control
  EXPECT_EQ(nextKey(), 0x82);
  EXPECT_EQ(nextKey(), key::kCtrlLeft);
  type("\x1b");
  EXPECT_EQ(nextKey(), key::kEsc);  // once the ESC delay has passed
  EXPECT_EQ(console_.readEvent(20).kind, InputEvent::Kind::None);
}

// The keypad in application mode but on the Linux console; ESC O r is a
// digit but on rxvt; Alt with keypad digits types a character by its code.
TEST_F(TerminalConsoleTest, KeypadModeAndAltKeypadEntryByTerminal) {
  const struct {
    const char* term;
    bool applicationKeypad;
    int16_t keypad2;
  } cases[] = {
      {"xterm-256color", true, '2'}, {"rxvt-unicode-256color", true, key::kDown}, {"linux", false, '2'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.term);
    ::setenv("TERM", c.term, 1);
    open();
    EXPECT_EQ(output().find("\x1b=") != std::string::npos, c.applicationKeypad);
    type("\x1bOr\x1b\x1bOs\x1bO3p\x1bO3px");
    for (int16_t expected : {c.keypad2, int16_t{44}, int16_t{'x'}}) EXPECT_EQ(nextKey(), expected);
    console_.close();
    EXPECT_EQ(output().find("\x1b>") != std::string::npos, c.applicationKeypad);
  }
}

TEST_F(TerminalConsoleTest, MouseClicksOutsideTheScreenAreDropped) {
  open();
  type("\x1b[<0;100;5m\x1b[<0;10;30m\x1b[<0;10;5m");
  InputEvent e = console_.readEvent(2000);
  EXPECT_EQ(e.kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(e.row, 5);
  EXPECT_EQ(e.column, 10);
}

TEST_F(TerminalConsoleTest, FlushesArePacedButDoneBeforeWaiting) {
  int64_t now = 1000;
  console_.setClock([&] { return now; });
  open();
  output();
  console_.moveCursor(1, 1);
  console_.write("A");
  console_.flush();
  EXPECT_NE(output().find('A'), std::string::npos);
  console_.write("B");
  console_.flush();  // too soon after the last one: kept for later
  EXPECT_EQ(output(), "");
  type("x");
  EXPECT_EQ(nextKey(), 'x');  // the wait for input sent it first
  EXPECT_EQ(output(), "\x1b[1;2HB");  // after the full first frame
  now += TerminalConsole::kMinFlushIntervalMs;
  console_.write("C");
  console_.flush();
  EXPECT_EQ(output(), "C");
  // A look for a key typed meanwhile, without waiting, sends nothing: a
  // page being drawn reaches the terminal whole.
  now += TerminalConsole::kMinFlushIntervalMs;
  console_.write("D");
  EXPECT_EQ(console_.readEvent(0).kind, InputEvent::Kind::None);
  EXPECT_EQ(output(), "");
  type("y");
  EXPECT_EQ(nextKey(), 'y');
  EXPECT_EQ(output(), "D");
}

TEST_F(TerminalConsoleTest, TerminationSignalReachesTheHandler) {
  open();
  int got = 0;
  console_.setTerminationHandler([&](int sig) { got = sig; });
  ::raise(SIGTERM);
  EXPECT_TRUE(TerminalConsole::terminationPending());
  EXPECT_EQ(console_.readEvent(50).kind, InputEvent::Kind::None);
  EXPECT_EQ(got, SIGTERM);
  EXPECT_FALSE(TerminalConsole::terminationPending());

  // Seen between the pauses of a wait that reads no key, too.
  got = 0;
  ::raise(SIGHUP);
  console_.checkTermination();
  EXPECT_EQ(got, SIGHUP);
  console_.checkTermination();  // taken once
  EXPECT_EQ(got, SIGHUP);

  // A request to quit ends the program in order as well.
  got = 0;
  ::raise(SIGQUIT);
  console_.checkTermination();
  EXPECT_EQ(got, SIGQUIT);
}

TEST_F(TerminalConsoleTest, HangUpEndsLikeSighup) {
  open();
  int got = 0;
  console_.setTerminationHandler([&](int sig) { got = sig; });
  ::close(master_);
  master_ = -1;
  EXPECT_EQ(nextKey(), key::kEsc);
  EXPECT_EQ(got, SIGHUP);
}

TEST_F(TerminalConsoleTest, TooSmallTerminalShowsANoticeUntilItGrows) {
  setSize(60, 20);
  open();
  EXPECT_TRUE(console_.tooSmall());
  std::string shown = output();
  EXPECT_NE(shown.find("Terminal too small: needs 80x25, has 60x20"), std::string::npos);
  console_.moveCursor(2, 2);
  console_.write("HELLO");
  type("k");
  EXPECT_EQ(nextKey(), 'k');  // keys are still read
  EXPECT_EQ(output().find("HELLO"), std::string::npos);

  setSize(100, 30);
  ::raise(SIGWINCH);
  console_.readEvent(10);
  EXPECT_FALSE(console_.tooSmall());
  std::string repaint = output();
  EXPECT_NE(repaint.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(repaint.find("HELLO"), std::string::npos);
}

TEST_F(TerminalConsoleTest, ClipboardAndBellGoToTheTerminal) {
  open();
  output();
  console_.setClipboard("Caf\x82");  // é
  EXPECT_EQ(console_.clipboard(), "Caf\x82");
  EXPECT_EQ(output(), "\x1b]52;c;Q2Fmw6k=\x07");
  console_.beep();
  EXPECT_EQ(output(), "\x07");
}

}  // namespace
}  // namespace xt
