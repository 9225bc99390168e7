// The key decoder: a state machine over the bytes read from the terminal
// that yields the program's key codes (platform/key_codes.h) and mouse
// releases. It knows the sequences of every common terminal whatever TERM
// says (xterm and VTE, tmux, screen, rxvt, the Linux console, PuTTY):
//   ESC O P, ESC [ 11 ~, ESC [ [ A     F1        ESC [ 1 ; 2 P, ESC [ 23 $  ...
//   ESC [ 1 ; 5 D, ESC O d             Ctrl+Left ESC ESC [ A     Alt+Up
// Complete escape sequences are always consumed; those it does not know
// vanish. A lone ESC becomes Esc once no byte has followed for the ESC
// delay; ESC + character is Alt+character. Time is passed in by the caller
// (milliseconds of any monotonic clock), so tests drive the delay.
//
// Keypad character entry: Alt with the keypad's digit keys, reported apart
// from the top row in application keypad mode (ESC O p .. ESC O y, with Alt
// ESC ESC O p or ESC O 3 p), composes a character code in decimal. A
// terminal does not report Alt being let go, so the code, mod 256, is given
// as a key when any other key or click comes (which then follows it) or
// when no key has come for a second.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace xt {

struct CursorReport {
  int row = 0;
  int column = 0;
};

class KeyDecoder {
 public:
  static constexpr int kDefaultEscDelayMs = 25;
  // How long a keypad character entry waits for its next digit.
  static constexpr int kKeypadEntryMs = 1000;

  explicit KeyDecoder(int escDelayMs = kDefaultEscDelayMs) : escDelayMs_(escDelayMs) {}
  void setEscDelay(int ms) { escDelayMs_ = ms < 0 ? 0 : ms; }
  int escDelay() const { return escDelayMs_; }
  // The keypad reported in application mode means its NumLock-off keys
  // (ESC O p .. ESC O y: Ins, End, Down, PgDn, Left, centre, Right, Home,
  // Up, PgUp; ESC O n: Del), as rxvt sends them, rather than the digits.
  void setKeypadNavigation(bool on) { keypadNavigation_ = on; }

  // Bytes read at time nowMs.
  void feed(std::string_view bytes, int64_t nowMs);
  // The next event, if one is complete at nowMs (bytes left waiting longer
  // than the ESC delay are resolved first).
  std::optional<InputEvent> next(int64_t nowMs);
  // Milliseconds until waiting bytes are resolved by the delay, or a keypad
  // character entry is given; -1 when nothing waits.
  int msUntilTimeout(int64_t nowMs) const;
  bool idle() const { return events_.empty() && pending_.empty() && !entering_; }
  // Drops everything read and not yet returned.
  void reset();

  // The next ESC [ row ; col R is a cursor-position reply rather than a key
  // (it has the form of Ctrl+F3 and friends otherwise).
  void awaitCursorReport() { awaitingReport_ = true; }
  bool awaitingCursorReport() const { return awaitingReport_; }
  // The reply, once it came; taking it clears it.
  std::optional<CursorReport> takeCursorReport();

  // The key code of Alt with a typed ASCII character: letters and digits by
  // the PC scan table (Alt+X 0x2D00, Alt+1 0x7800), punctuation likewise;
  // characters without one give themselves.
  static int16_t altKey(uint8_t ch);

 private:
  enum class Parse { Done, Incomplete };
  void decode(bool timedOut);
  Parse parseOne(std::string_view s, bool timedOut, size_t& used);
  Parse parseSequence(std::string_view s, bool timedOut, bool alt, size_t& used);
  void interpretCsi(std::string_view params, char final, bool alt);
  void interpretSs3(std::string_view params, char final, bool alt);
  void emitKey(int16_t key);
  void emit(const InputEvent& event);
  void keypadDigit(int digit);
  void finishKeypadEntry();

  int escDelayMs_;
  bool keypadNavigation_ = false;
  bool entering_ = false;  // Alt+keypad digits have come
  int enteredCode_ = 0;    // their number mod 256
  int64_t enteredMs_ = 0;  // when the last one came
  std::string pending_;
  int64_t lastByteMs_ = 0;
  std::deque<InputEvent> events_;
  bool awaitingReport_ = false;
  std::optional<CursorReport> report_;
};

}  // namespace xt
