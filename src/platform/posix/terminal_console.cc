#include "platform/posix/terminal_console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "platform/cp850.h"
#include "platform/key_codes.h"

namespace xt {
namespace {

int64_t monotonicMs() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void defaultTermination(int sig) {
  Tty::restoreModes();
  ::_exit(128 + sig);
}

}  // namespace

std::string base64Encode(std::string_view data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = (static_cast<uint8_t>(data[i]) << 16) | (static_cast<uint8_t>(data[i + 1]) << 8) |
                 static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < data.size()) {
    uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<uint8_t>(data[i + 1]) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

TerminalConsole::TerminalConsole() : clock_(monotonicMs), terminationHandler_(defaultTermination) {}

TerminalConsole::~TerminalConsole() { close(); }

std::string TerminalConsole::tooSmallNotice(int columns, int rows) {
  return "Terminal too small: needs " + std::to_string(ScreenBuffer::kColumns) + "x" +
         std::to_string(ScreenBuffer::kRows) + ", has " + std::to_string(columns) + "x" +
         std::to_string(rows);
}

void TerminalConsole::setNoticeText(std::function<std::string(int columns, int rows)> text) {
  noticeText_ = std::move(text);
  if (tooSmall_) drawNotice();
}

bool TerminalConsole::open(std::string& error, const std::string& device) {
  // The keypad in application mode, for Alt with keypad digits. Not on the
  // Linux console: there it would report the keypad the same with NumLock on
  // and off (so the arrows would type digits), and the console composes
  // Alt+keypad characters itself. rxvt reports only the NumLock-off keypad
  // this way (NumLock on gives plain digits), so there its ESC O p .. y are
  // the navigation keys.
  const char* termVariable = std::getenv("TERM");
  const std::string term = termVariable ? termVariable : "";
  if (!tty_.open(device, error, term != "linux")) return false;
  decoder_.setKeypadNavigation(term.rfind("rxvt", 0) == 0);
  if (const char* delay = std::getenv("ESCDELAY"); delay && *delay) {
    char* end = nullptr;
    long ms = std::strtol(delay, &end, 10);
    if (*end == '\0' && ms >= 0 && ms <= 10000) decoder_.setEscDelay(static_cast<int>(ms));
  }
  renderer_.invalidate();
  screen_.markAllDirty();
  updateSize();
  return true;
}

void TerminalConsole::close() {
  if (!tty_.isOpen()) return;
  tty_.close();
}

void TerminalConsole::setTerminationHandler(std::function<void(int)> handler) {
  terminationHandler_ = handler ? std::move(handler) : std::function<void(int)>(defaultTermination);
}

void TerminalConsole::updateSize() {
  int rows = 0, columns = 0;
  if (!tty_.size(rows, columns)) {
    rows = ScreenBuffer::kRows;  // a terminal that does not say: assume it fits
    columns = ScreenBuffer::kColumns;
  }
  termRows_ = rows;
  termColumns_ = columns;
  bool small = rows < ScreenBuffer::kRows || columns < ScreenBuffer::kColumns;
  renderer_.invalidate();
  tooSmall_ = small;
  if (small) drawNotice();
}

void TerminalConsole::drawNotice() {
  // Cut to the terminal's width, one line after another, so nothing is
  // drawn outside it.
  std::string text = noticeText_ ? noticeText_(termColumns_, termRows_)
                                 : tooSmallNotice(termColumns_, termRows_);
  std::string out = "\x1b[0m\x1b[?25l\x1b[H\x1b[2J";
  int row = 1;
  for (size_t pos = 0; pos < text.size() && row <= termRows_; ++row) {
    size_t n = std::min(text.size() - pos, static_cast<size_t>(termColumns_));
    out += "\x1b[" + std::to_string(row) + "H";
    out += cp850ToUtf8(std::string_view(text).substr(pos, n));
    pos += n;
  }
  tty_.writeAll(out);
}

void TerminalConsole::flush() {
  if (!tty_.isOpen()) return;
  if (clock_() - lastFlushMs_ < kMinFlushIntervalMs) {
    flushPending_ = true;
    return;
  }
  flushNow();
}

void TerminalConsole::flushNow() {
  flushPending_ = false;
  lastFlushMs_ = clock_();
  if (!tty_.isOpen() || tooSmall_) return;
  out_.clear();
  CursorState cursor{cursorRow_, cursorColumn_, cursorVisible_, cursorSize_};
  renderer_.render(screen_, cursor, out_);
  // A frame the terminal did not take (output blocked for seconds) leaves
  // the display unknown: the next one is sent whole.
  if (!out_.empty() && !tty_.writeAll(out_)) renderer_.invalidate();
}

void TerminalConsole::checkTermination() {
  if (int sig = Tty::takeTerminationSignal(); sig != 0) terminationHandler_(sig);
}

void TerminalConsole::beforePause() {
  checkTermination();
  flushNow();  // not paced: nothing else sends the screen during the pause
}

void TerminalConsole::leaveTerminal() {
  if (!tty_.isOpen()) return;
  flushNow();
  Tty::restoreModes();
}

void TerminalConsole::returnToTerminal() {
  if (!tty_.isOpen()) return;
  tty_.resume();
  updateSize();  // sends the next frame whole
  flushNow();
}

void TerminalConsole::handleSignals() {
  checkTermination();
  if (hangup_ && !hangupReported_) {
    hangupReported_ = true;
    terminationHandler_(SIGHUP);
  }
  bool repaint = false;
  if (Tty::takeContinue()) {
    tty_.resume();
    repaint = true;
  }
  if (Tty::takeResize()) repaint = true;
  if (repaint) {
    updateSize();
    flushNow();
  }
}

bool TerminalConsole::pollInput(int waitMs) {
  struct pollfd fds[2] = {{tty_.fd(), POLLIN, 0}, {tty_.wakeFd(), POLLIN, 0}};
  int n = ::poll(fds, 2, waitMs);
  if (n < 0) return errno == EINTR;
  if (n == 0) return false;
  if (fds[1].revents) tty_.drainWake();
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    char buf[4096];
    for (;;) {
      ssize_t got = ::read(tty_.fd(), buf, sizeof buf);
      if (got > 0) {
        decoder_.feed(std::string_view(buf, static_cast<size_t>(got)), clock_());
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) hangup_ = true;
      break;
    }
  }
  return true;
}

std::optional<InputEvent> TerminalConsole::nextEvent(int64_t now) {
  while (auto e = decoder_.next(now)) {
    if (e->kind == InputEvent::Kind::Mouse &&
        (tooSmall_ || e->row > ScreenBuffer::kRows || e->column > ScreenBuffer::kColumns))
      continue;  // a click outside the screen
    return e;
  }
  return std::nullopt;
}

InputEvent TerminalConsole::readEvent(int timeoutMs) {
  if (!tty_.isOpen()) return {};
  handleSignals();
  // Always before waiting; a look for a key typed meanwhile sends nothing,
  // so a page being drawn reaches the terminal only when it is whole.
  if (timeoutMs != 0) flushNow();
  const int64_t start = clock_();
  for (;;) {
    handleSignals();
    if (hangup_) {  // the handler chose to go on: no more keys will come
      InputEvent esc;
      esc.kind = InputEvent::Kind::Key;
      esc.key = key::kEsc;
      return esc;
    }
    const int64_t now = clock_();
    if (auto e = nextEvent(now)) return *e;
    const bool expired = timeoutMs >= 0 && now - start >= timeoutMs;
    int wait = expired ? 0 : timeoutMs < 0 ? -1 : static_cast<int>(start + timeoutMs - now);
    int esc = decoder_.msUntilTimeout(now);
    if (esc >= 0 && (wait < 0 || esc < wait)) wait = esc;
    if (!pollInput(wait) && expired) return {};
  }
}

void TerminalConsole::discardInput() {
  if (tty_.isOpen()) {
    ::tcflush(tty_.fd(), TCIFLUSH);
    char buf[256];
    while (::read(tty_.fd(), buf, sizeof buf) > 0) {
    }
  }
  decoder_.reset();
}

bool TerminalConsole::hasMouse() const {
  const char* term = std::getenv("TERM");
  std::string t = term ? term : "";
  return tty_.isOpen() && t != "linux" && t != "dumb" && !t.empty();
}

void TerminalConsole::enableMouse(bool on) { tty_.setMouse(on); }

void TerminalConsole::beep() { tty_.writeAll("\x07"); }

void TerminalConsole::setClipboard(const std::string& text) {
  Console::setClipboard(text);
  if (tty_.isOpen()) tty_.writeAll("\x1b]52;c;" + base64Encode(cp850ToUtf8(text)) + "\x07");
}

}  // namespace xt
