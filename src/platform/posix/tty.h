// The terminal device: /dev/tty in raw mode with the alternate screen,
// autowrap off, Alt sending ESC and (when asked) the keypad in application
// mode, and everything undone in reverse order
// when the program ends, however it ends: at exit, on a fatal signal (the
// terminal is restored, then the signal goes on to its previous handler),
// on SIGTSTP (restored, then stopped; SIGCONT is reported so the caller
// re-enters raw mode and repaints). SIGTERM, SIGHUP and SIGINT are only
// recorded here and a byte is written to a wake-up pipe, so a wait for
// input returns and the caller decides how to end; a second one while the
// first is still unhandled restores the terminal and ends the process.
//
// Raw mode: no ICANON, ECHO, ISIG, IEXTEN, IXON, ICRNL, so Ctrl-C, Ctrl-S,
// Ctrl-V and Ctrl-Z arrive as the bytes 3, 19, 22 and 26. Restoring flushes
// unread input, so keys typed ahead do not spill into the shell.
//
// The modes and signal handlers are process-wide: one Tty is open at a time.
#pragma once

#include <string>
#include <string_view>

namespace xt {

class Tty {
 public:
  Tty() = default;
  Tty(const Tty&) = delete;
  Tty& operator=(const Tty&) = delete;
  ~Tty() { close(); }

  // Opens the terminal device, enters raw mode and the screen modes, and
  // installs the exit and signal handling. On failure returns false with a
  // message and leaves the terminal as it was. applicationKeypad: the keypad
  // reports its keys apart from the top row (DECKPAM), and is put back in
  // numeric mode on the way out.
  bool open(const std::string& device, std::string& error, bool applicationKeypad = false);
  // Restores the terminal and removes the handlers.
  void close();
  bool isOpen() const { return fd_ >= 0; }

  int fd() const { return fd_; }
  int wakeFd() const;   // readable when a signal was recorded
  void drainWake();

  // Re-applies raw mode and the screen modes (after SIGCONT).
  void resume();
  // The terminal size; false when the device does not tell it.
  bool size(int& rows, int& columns) const;
  void setMouse(bool on);
  // Writes all the bytes (waiting while the terminal is slow); false when
  // the terminal has gone.
  bool writeAll(std::string_view bytes);

  // Restores the terminal's modes now; safe in a signal handler and when
  // nothing is open. Idempotent.
  static void restoreModes();

  // The termination signal received and not yet taken (0: none).
  static int takeTerminationSignal();
  static bool terminationPending();
  // Sleeps, ending early when a termination signal is received (also one
  // received just before), so that a wait which reads no input does not
  // keep the process from ending.
  static void sleep(int milliseconds);
  static bool takeResize();
  static bool takeContinue();

 private:
  bool enterModes(bool saveModes);

  int fd_ = -1;
};

}  // namespace xt
