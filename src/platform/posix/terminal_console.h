// The console on a real terminal: the screen buffer sent through the ANSI
// renderer, input read from the tty through the key decoder. Flushes are
// paced to about 60 a second (a flush asked for sooner is kept and done by
// the next flush or wait for input). A terminal smaller than 80x25 shows a
// notice instead of the screen until it grows; keys are read meanwhile.
//
// Termination: SIGTERM, SIGHUP, SIGINT (and the terminal hanging up) are
// handled inside readEvent, which calls the termination handler; the
// default one restores the terminal and ends the process with 128+signal.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/posix/ansi_renderer.h"
#include "platform/console.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/tty.h"

namespace xt {

class TerminalConsole : public Console {
 public:
  using Clock = std::function<int64_t()>;  // monotonic milliseconds
  static constexpr int kMinFlushIntervalMs = 16;

  TerminalConsole();
  ~TerminalConsole() override;

  // Takes over the terminal (device: normally /dev/tty). On failure returns
  // false with a message; the terminal is left as it was.
  bool open(std::string& error, const std::string& device = "/dev/tty");
  // Gives the terminal back as it was (also done by the destructor and at
  // exit).
  void close();

  void flush() override;
  InputEvent readEvent(int timeoutMs) override;
  void discardInput() override;
  bool hasMouse() const override;
  void enableMouse(bool on) override;
  void beep() override;
  void setClipboard(const std::string& text) override;
  void beforePause() override;
  // Runs the termination handler when a termination signal is waiting.
  void checkTermination();
  void leaveTerminal() override;
  void returnToTerminal() override;

  // Called by readEvent with the signal number when the process is asked to
  // end. If the handler returns, readEvent goes on (after a hang-up it
  // answers Esc, since no more keys will come).
  void setTerminationHandler(std::function<void(int)> handler);
  // A termination signal is waiting for the next readEvent; long waits
  // elsewhere can look at this and give up early.
  static bool terminationPending() { return Tty::terminationPending(); }

  // The too-small notice (one function, so it can be translated): the
  // default English text, or the one set with setNoticeText (code page 850).
  static std::string tooSmallNotice(int columns, int rows);
  // A notice already on the screen is drawn again in the new text.
  void setNoticeText(std::function<std::string(int columns, int rows)> text);
  bool tooSmall() const { return tooSmall_; }

  void setClock(Clock clock) { clock_ = std::move(clock); }

 private:
  void flushNow();
  void handleSignals();
  void updateSize();
  void drawNotice();
  bool pollInput(int waitMs);
  std::optional<InputEvent> nextEvent(int64_t now);

  Tty tty_;
  AnsiRenderer renderer_;
  KeyDecoder decoder_;
  Clock clock_;
  std::function<void(int)> terminationHandler_;
  std::function<std::string(int, int)> noticeText_;
  std::string out_;
  int64_t lastFlushMs_ = INT64_MIN / 2;
  bool flushPending_ = false;
  bool tooSmall_ = false;
  bool hangup_ = false;
  bool hangupReported_ = false;
  int termRows_ = ScreenBuffer::kRows;
  int termColumns_ = ScreenBuffer::kColumns;
};

// Standard base64 (for OSC 52).
std::string base64Encode(std::string_view data);

}  // namespace xt
