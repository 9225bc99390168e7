// Windows console input records turned into the program's key codes and
// mouse releases. A key record carries the virtual-key code, the PC scan
// code, the typed character (UTF-16) and the state of Shift, Ctrl, Alt and
// NumLock; these give the same codes the terminal's key decoder gives for
// the same keys: F1-F12 with Shift, Ctrl and Alt, Ctrl with the cursor keys,
// Shift-Tab, Alt+letters and Alt+digits by the PC scan table, Ctrl+letters
// as 1-26, typed characters as code page 850 bytes (others dropped).
//
// Keypad character entry: while the left Alt key is held, the keypad's
// digit keys (NumLock on or off: Ins 0, End 1, Down 2, ... PgUp 9) compose
// a decimal number; when Alt is let go it becomes the key whose code is the
// number mod 256 (Alt, 2, 5 gives 25; Alt, 3, 0, 0 gives 44). Any other key
// pressed meanwhile ends the entry without a character and counts as itself.
//
// No Windows header here: the constants below are the values of wincon.h
// and winuser.h, so this translation is tested on every platform.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/console.h"

namespace xt {

namespace vk {
constexpr uint16_t kBack = 0x08, kTab = 0x09, kClear = 0x0C, kReturn = 0x0D;
constexpr uint16_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kPause = 0x13, kCapital = 0x14;
constexpr uint16_t kEscape = 0x1B;
constexpr uint16_t kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr uint16_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr uint16_t kInsert = 0x2D, kDelete = 0x2E;
constexpr uint16_t kLWin = 0x5B, kRWin = 0x5C, kApps = 0x5D;
constexpr uint16_t kNumpad0 = 0x60, kNumpad9 = 0x69;
constexpr uint16_t kF1 = 0x70, kF12 = 0x7B;
constexpr uint16_t kNumLock = 0x90, kScroll = 0x91;
constexpr uint16_t kLShift = 0xA0, kRMenu = 0xA5;
}  // namespace vk

// dwControlKeyState bits.
namespace keystate {
constexpr uint32_t kRightAlt = 0x0001, kLeftAlt = 0x0002, kRightCtrl = 0x0004, kLeftCtrl = 0x0008;
constexpr uint32_t kShift = 0x0010, kNumLock = 0x0020, kEnhanced = 0x0100;
constexpr uint32_t kAlt = kRightAlt | kLeftAlt, kCtrl = kRightCtrl | kLeftCtrl;
}  // namespace keystate

struct ConsoleKeyRecord {
  bool down = true;
  uint16_t virtualKey = 0;
  uint16_t scanCode = 0;
  char16_t character = 0;
  uint32_t controlState = 0;
};

// The key code of Alt with a typed ASCII character, by the PC scan table:
// letters (Alt+X 0x2D00), digits (Alt+1 0x7800 .. Alt+0 0x8100) and the
// punctuation keys; characters without an entry give themselves.
int16_t altCharacterKey(uint8_t ch);

class ConsoleKeyTranslator {
 public:
  // The key code for one record (one repetition of it); key::kNone when it
  // gives no key: a release other than the end of a keypad entry, a
  // modifier on its own, a keypad digit of an entry, a character that code
  // page 850 lacks.
  int16_t translate(const ConsoleKeyRecord& record);
  // Forgets a keypad entry under way.
  void reset() { entering_ = false; }
  bool entering() const { return entering_; }

 private:
  int16_t keyDown(const ConsoleKeyRecord& record);

  bool entering_ = false;  // keypad digits have come with the left Alt held
  int enteredCode_ = 0;    // their number mod 256
};

// Mouse records give the state of all buttons; the program wants releases.
// Button bits are the console's: 1 leftmost, 2 rightmost, 4 second from the
// left, which are the program's 1 left, 2 right, 4 middle.
class ConsoleMouseTracker {
 public:
  static constexpr uint32_t kMouseWheeled = 0x0004, kMouseHWheeled = 0x0008;

  // A mouse record at the 0-based screen position (column, row). Returns
  // the release it reports (1-based row and column), if any; when several
  // buttons go up in one record the leftmost counts.
  std::optional<InputEvent> update(uint32_t buttonState, uint32_t eventFlags, int column, int row);
  // The buttons are taken as all up (after input was thrown away, or mouse
  // input turned off and on).
  void reset() { buttons_ = 0; }

 private:
  uint32_t buttons_ = 0;
};

}  // namespace xt
