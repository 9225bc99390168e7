#include "platform/console_keys.h"

#include "platform/cp850.h"
#include "platform/key_codes.h"

namespace xt {
namespace {

// The key a virtual-key code stands for when it has no character: the
// function keys and the cursor block (or the keypad with NumLock off).
int16_t extendedKey(uint16_t v) {
  if (v >= vk::kF1 && v <= vk::kF12) {
    const int n = v - vk::kF1 + 1;
    if (n <= 10) return static_cast<int16_t>(key::kF1 + (n - 1) * 0x100);
    return n == 11 ? key::kF11 : key::kF12;
  }
  switch (v) {
    case vk::kPrior: return key::kPgUp;
    case vk::kNext: return key::kPgDn;
    case vk::kEnd: return key::kEnd;
    case vk::kHome: return key::kHome;
    case vk::kLeft: return key::kLeft;
    case vk::kUp: return key::kUp;
    case vk::kRight: return key::kRight;
    case vk::kDown: return key::kDown;
    case vk::kInsert: return key::kInsert;
    case vk::kDelete: return key::kDelete;
    case vk::kClear: return key::kCentre;
    default: return key::kNone;
  }
}

// The PC keyboard's modified keys: Alt is looked at first, then Ctrl, then
// Shift; keys without an entry for the modifier keep their plain code.
int16_t withModifiers(int16_t code, bool alt, bool ctrl, bool shift) {
  const int k = static_cast<uint16_t>(code);
  if ((k >= 0x3B00 && k <= 0x4400) || k == 0x8500 || k == 0x8600) {
    const bool low = k <= 0x4400;
    if (alt) return static_cast<int16_t>(k + (low ? key::kAltF1to10 : key::kAltF11F12));
    if (ctrl) return static_cast<int16_t>(k + (low ? key::kCtrlF1to10 : key::kCtrlF11F12));
    if (shift) return static_cast<int16_t>(k + (low ? key::kShiftF1to10 : key::kShiftF11F12));
    return code;
  }
  if (ctrl && !alt) {
    switch (code) {
      case key::kHome: return key::kCtrlHome;
      case key::kLeft: return key::kCtrlLeft;
      case key::kRight: return key::kCtrlRight;
      case key::kEnd: return key::kCtrlEnd;
      case key::kPgUp: return key::kCtrlPgUp;
      case key::kPgDn: return key::kCtrlPgDn;
      default: break;
    }
  }
  return code;
}

bool modifierOnly(uint16_t v) {
  return v == vk::kShift || v == vk::kControl || v == vk::kMenu || v == vk::kCapital ||
         v == vk::kNumLock || v == vk::kScroll || v == vk::kPause || v == vk::kLWin ||
         v == vk::kRWin || v == vk::kApps || (v >= vk::kLShift && v <= vk::kRMenu);
}

// The digit of a keypad key (NumLock on: the digit keys; off: the cursor
// keys of the keypad, which have no enhanced flag), -1 for other keys.
int keypadDigit(const ConsoleKeyRecord& r) {
  if (r.virtualKey >= vk::kNumpad0 && r.virtualKey <= vk::kNumpad9) return r.virtualKey - vk::kNumpad0;
  if (r.controlState & keystate::kEnhanced) return -1;
  switch (r.virtualKey) {
    case vk::kInsert: return 0;
    case vk::kEnd: return 1;
    case vk::kDown: return 2;
    case vk::kNext: return 3;
    case vk::kLeft: return 4;
    case vk::kClear: return 5;
    case vk::kRight: return 6;
    case vk::kHome: return 7;
    case vk::kUp: return 8;
    case vk::kPrior: return 9;
    default: return -1;
  }
}

int16_t typedCharacter(char16_t ch) {
  const int byte = unicodeToCp850(ch);
  return byte >= 0 ? static_cast<int16_t>(byte) : key::kNone;
}

}  // namespace

int16_t altCharacterKey(uint8_t ch) {
  static constexpr char kRow1[] = "QWERTYUIOP";  // 0x10..
  static constexpr char kRow2[] = "ASDFGHJKL";   // 0x1E..
  static constexpr char kRow3[] = "ZXCVBNM";     // 0x2C..
  auto scan = [](int code) { return static_cast<int16_t>(code << 8); };
  const uint8_t up = (ch >= 'a' && ch <= 'z') ? static_cast<uint8_t>(ch - 32) : ch;
  for (int i = 0; kRow1[i]; ++i)
    if (static_cast<uint8_t>(kRow1[i]) == up) return scan(0x10 + i);
  for (int i = 0; kRow2[i]; ++i)
    if (static_cast<uint8_t>(kRow2[i]) == up) return scan(0x1E + i);
  for (int i = 0; kRow3[i]; ++i)
    if (static_cast<uint8_t>(kRow3[i]) == up) return scan(0x2C + i);
  if (ch >= '1' && ch <= '9') return scan(0x78 + (ch - '1'));
  switch (ch) {
    case '0': return scan(0x81);
    case '-': return scan(0x82);
    case '=': return scan(0x83);
    case '[': return scan(0x1A);
    case ']': return scan(0x1B);
    case ';': return scan(0x27);
    case '\'': return scan(0x28);
    case '`': return scan(0x29);
    case '\\': return scan(0x2B);
    case ',': return scan(0x33);
    case '.': return scan(0x34);
    case '/': return scan(0x35);
    default: return static_cast<int16_t>(ch);
  }
}

int16_t ConsoleKeyTranslator::translate(const ConsoleKeyRecord& r) {
  if (r.down) return keyDown(r);
  if (r.virtualKey != vk::kMenu) return key::kNone;
  // Alt let go: the end of a keypad entry. Without one, a character that
  // comes with it is one the console composed itself.
  if (!entering_) return r.character != 0 ? typedCharacter(r.character) : key::kNone;
  entering_ = false;
  return static_cast<int16_t>(enteredCode_);  // code 0 is no key
}

int16_t ConsoleKeyTranslator::keyDown(const ConsoleKeyRecord& r) {
  const uint16_t v = r.virtualKey;
  // Held modifiers repeat their own key-down: they neither count nor end
  // a keypad entry.
  if (modifierOnly(v)) return key::kNone;
  const uint32_t state = r.controlState;
  const bool alt = state & keystate::kAlt;
  const bool ctrl = state & keystate::kCtrl;
  const bool shift = state & keystate::kShift;
  if ((state & keystate::kLeftAlt) && !ctrl) {
    if (const int digit = keypadDigit(r); digit >= 0) {
      // (a * 10 + d) mod 256 only needs a mod 256, so the number never grows.
      enteredCode_ = entering_ ? (enteredCode_ * 10 + digit) % 256 : digit;
      entering_ = true;
      return key::kNone;
    }
  }
  entering_ = false;

  // Keys told by their virtual-key code: some consoles send Esc with no
  // character, Ctrl+Enter gives LF and Ctrl+Backspace DEL.
  const bool altOnly = alt && !ctrl;
  switch (v) {
    case vk::kEscape: return key::kEsc;
    case vk::kReturn: return altOnly ? static_cast<int16_t>(0x1C00) : key::kEnter;
    case vk::kBack: return altOnly ? static_cast<int16_t>(0x0E00) : key::kBackspace;
    case vk::kTab: return shift ? key::kShiftTab : key::kTab;
    default: break;
  }
  // The keypad with NumLock on types digits (VK_NUMPAD0-9, so no match
  // here); with Shift or NumLock off it reports the cursor keys.
  if (const int16_t k = extendedKey(v); k != key::kNone) return withModifiers(k, alt, ctrl, shift);

  // Alt (not AltGr, which comes as Ctrl+Alt with the character it types).
  if (altOnly) {
    if (r.character >= 0x20 && r.character < 0x7F) return altCharacterKey(static_cast<uint8_t>(r.character));
    if (r.character == 0 && ((v >= 'A' && v <= 'Z') || (v >= '0' && v <= '9')))
      return altCharacterKey(static_cast<uint8_t>(v));
  }
  if (r.character != 0) {
    if (r.character < 0x20) return static_cast<int16_t>(r.character);  // Ctrl+letter: 1-26
    return typedCharacter(r.character);
  }
  if (ctrl && !alt && v >= 'A' && v <= 'Z') return static_cast<int16_t>(v - 'A' + 1);
  return key::kNone;
}

std::optional<InputEvent> ConsoleMouseTracker::update(uint32_t buttonState, uint32_t eventFlags,
                                                      int column, int row) {
  // A wheel record's high word is the wheel's turn, not buttons.
  if (eventFlags & (kMouseWheeled | kMouseHWheeled)) return std::nullopt;
  const uint32_t now = buttonState & 7;
  const uint32_t released = buttons_ & ~now;
  buttons_ = now;
  if (released == 0) return std::nullopt;
  InputEvent e;
  e.kind = InputEvent::Kind::Mouse;
  e.button = static_cast<int16_t>((released & 1) ? 1 : (released & 2) ? 2 : 4);
  e.row = static_cast<int16_t>(row + 1);
  e.column = static_cast<int16_t>(column + 1);
  return e;
}

}  // namespace xt
