#include "platform/posix/tty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace xt {
namespace {

// Mode sequences. Entering saves xterm's Alt-sends-ESC modes (XTSAVE) so
// leaving can put back what the user had.
constexpr char kSaveModes[] = "\x1b[?1036;1039s";
constexpr char kEnterModes[] = "\x1b[?1049h\x1b[?7l\x1b[?1036;1039h";
constexpr char kMouseOn[] = "\x1b[?1000h\x1b[?1006h";
constexpr char kMouseOff[] = "\x1b[?1006l\x1b[?1000l";
constexpr char kKeypadOn[] = "\x1b=";   // application keypad (DECKPAM)
constexpr char kKeypadOff[] = "\x1b>";  // numeric keypad (DECKPNM)
// Reverse order: colours, cursor shape and visibility, Alt modes, autowrap,
// alternate screen. The screen is cleared first: a terminal without an
// alternate screen (the Linux console, screen by default) would otherwise
// keep the form, with the shell's prompt in the middle of it.
constexpr char kLeaveModes[] = "\x1b[0m\x1b[0 q\x1b[?25h\x1b[?1036;1039r\x1b[?7h\x1b[H\x1b[2J\x1b[?1049l";

// SIGQUIT ends the program in order too: the record being edited must not
// stay locked for half an hour because the program was told to quit.
constexpr int kTerminationSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kOtherSignals[] = {SIGWINCH, SIGCONT, SIGTSTP};

// State shared with the signal handlers.
int gFd = -1;
int gWake[2] = {-1, -1};
struct termios gSaved;
volatile sig_atomic_t gActive = 0;  // raw mode and screen modes are on
volatile sig_atomic_t gMouse = 0;
volatile sig_atomic_t gKeypad = 0;
volatile sig_atomic_t gTermination = 0;
volatile sig_atomic_t gResize = 0;
volatile sig_atomic_t gContinue = 0;
bool gAtExitRegistered = false;
struct sigaction gPrevious[NSIG];
bool gInstalled[NSIG];

void writeRaw(int fd, const char* bytes, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, bytes, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        struct pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) > 0) continue;
      }
      return;
    }
    bytes += w;
    n -= static_cast<size_t>(w);
  }
}

void wake() {
  if (gWake[1] >= 0) {
    int saved = errno;
    [[maybe_unused]] ssize_t n = ::write(gWake[1], "x", 1);
    errno = saved;
  }
}

void onTermination(int sig) {
  if (gTermination != 0) {
    // A second request while the first is still unhandled: the program is
    // not reading input, so end here.
    Tty::restoreModes();
    ::_exit(128 + sig);
  }
  gTermination = sig;
  wake();
}

void onFatal(int sig) {
  Tty::restoreModes();
  ::sigaction(sig, &gPrevious[sig], nullptr);
  ::raise(sig);
}

void onOther(int sig) {
  if (sig == SIGWINCH) {
    gResize = 1;
  } else if (sig == SIGCONT) {
    gContinue = 1;
  } else if (sig == SIGTSTP) {
    int saved = errno;
    Tty::restoreModes();
    ::kill(::getpid(), SIGSTOP);
    errno = saved;
    gContinue = 1;
  }
  wake();
}

void install(int sig, void (*handler)(int)) {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a wait for input must wake up
  if (::sigaction(sig, &sa, &gPrevious[sig]) == 0) gInstalled[sig] = true;
}

void atExit() { Tty::restoreModes(); }

}  // namespace

bool Tty::open(const std::string& device, std::string& error, bool applicationKeypad) {
  if (gFd >= 0 || fd_ >= 0) {
    error = "the terminal is already open";
    return false;
  }
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot open " + device + ": " + std::strerror(errno);
    return false;
  }
  if (!::isatty(fd) || ::tcgetattr(fd, &gSaved) != 0) {
    error = device + " is not a terminal";
    ::close(fd);
    return false;
  }
  if (::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = gFd = fd;
  gTermination = 0;
  gResize = 0;
  gContinue = 0;
  gMouse = 0;
  gKeypad = applicationKeypad;
  if (!gAtExitRegistered) {
    std::atexit(atExit);
    gAtExitRegistered = true;
  }
  for (int sig : kTerminationSignals) install(sig, onTermination);
  for (int sig : kFatalSignals) install(sig, onFatal);
  for (int sig : kOtherSignals) install(sig, onOther);
  if (!enterModes(true)) {
    error = std::string("cannot set the terminal's modes: ") + std::strerror(errno);
    close();
    return false;
  }
  return true;
}

void Tty::close() {
  if (fd_ < 0) return;
  restoreModes();
  for (int sig = 1; sig < NSIG; ++sig) {
    if (gInstalled[sig]) ::sigaction(sig, &gPrevious[sig], nullptr);
    gInstalled[sig] = false;
  }
  ::close(fd_);
  ::close(gWake[0]);
  ::close(gWake[1]);
  gWake[0] = gWake[1] = -1;
  fd_ = gFd = -1;
}

int Tty::wakeFd() const { return gWake[0]; }

void Tty::drainWake() {
  char buf[64];
  while (gWake[0] >= 0 && ::read(gWake[0], buf, sizeof buf) > 0) {
  }
}

bool Tty::enterModes(bool saveModes) {
  struct termios raw = gSaved;
  raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | INPCK | ISTRIP | IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSAFLUSH, &raw) != 0) return false;
  if (saveModes) writeRaw(fd_, kSaveModes, sizeof kSaveModes - 1);
  writeRaw(fd_, kEnterModes, sizeof kEnterModes - 1);
  if (gKeypad) writeRaw(fd_, kKeypadOn, sizeof kKeypadOn - 1);
  if (gMouse) writeRaw(fd_, kMouseOn, sizeof kMouseOn - 1);
  gActive = 1;
  return true;
}

void Tty::resume() {
  if (fd_ < 0) return;
  // After a stop the shell has had the terminal: the saved Alt modes are
  // the user's again only when we restored them ourselves.
  enterModes(!gActive);
}

void Tty::restoreModes() {
  if (!gActive || gFd < 0) return;
  gActive = 0;
  if (gMouse) writeRaw(gFd, kMouseOff, sizeof kMouseOff - 1);
  if (gKeypad) writeRaw(gFd, kKeypadOff, sizeof kKeypadOff - 1);
  writeRaw(gFd, kLeaveModes, sizeof kLeaveModes - 1);
  // TCSAFLUSH waits for the output to go out and throws away unread input.
  ::tcsetattr(gFd, TCSAFLUSH, &gSaved);
}

bool Tty::size(int& rows, int& columns) const {
  struct winsize ws;
  if (fd_ < 0 || ::ioctl(fd_, TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) return false;
  rows = ws.ws_row;
  columns = ws.ws_col;
  return true;
}

void Tty::setMouse(bool on) {
  if (fd_ < 0 || static_cast<bool>(gMouse) == on) return;
  gMouse = on;
  if (gActive) {
    if (on) writeRaw(fd_, kMouseOn, sizeof kMouseOn - 1);
    else writeRaw(fd_, kMouseOff, sizeof kMouseOff - 1);
  }
}

bool Tty::writeAll(std::string_view bytes) {
  if (fd_ < 0) return false;
  const char* p = bytes.data();
  size_t n = bytes.size();
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        struct pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, 5000) > 0 && !(pfd.revents & (POLLERR | POLLHUP))) continue;
      }
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

int Tty::takeTerminationSignal() {
  int sig = gTermination;
  gTermination = 0;
  return sig;
}

bool Tty::terminationPending() { return gTermination != 0; }

void Tty::sleep(int milliseconds) {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t deadline = now.tv_sec * 1000LL + now.tv_nsec / 1000000 + milliseconds;
  for (;;) {
    if (gTermination != 0) return;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t left = deadline - (now.tv_sec * 1000LL + now.tv_nsec / 1000000);
    if (left <= 0) return;
    // The wake-up pipe keeps its byte until read, so a signal that comes
    // just before the wait still ends it. Other signals (a resize) are only
    // recorded; their flags stay for the next wait for input.
    struct pollfd p{gWake[0], POLLIN, 0};
    int n = ::poll(&p, gWake[0] >= 0 ? 1 : 0, static_cast<int>(left));
    if (n > 0) {
      char buf[64];
      while (::read(gWake[0], buf, sizeof buf) > 0) {
      }
    }
  }
}

bool Tty::takeResize() {
  bool r = gResize != 0;
  gResize = 0;
  return r;
}

bool Tty::takeContinue() {
  bool r = gContinue != 0;
  gContinue = 0;
  return r;
}

}  // namespace xt
