// The Windows console's key and mouse records as the program's key codes:
// the codes must be those the terminal's key decoder gives for the same
// keys, so a form behaves the same on both.
#include "platform/console_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/key_codes.h"

namespace xt {
namespace {

using namespace keystate;

ConsoleKeyRecord down(uint16_t v, uint16_t scan, char16_t ch, uint32_t state = 0) {
  return ConsoleKeyRecord{true, v, scan, ch, state};
}
ConsoleKeyRecord up(uint16_t v, uint16_t scan, char16_t ch, uint32_t state = 0) {
  return ConsoleKeyRecord{false, v, scan, ch, state};
}

struct KeyCase {
  ConsoleKeyRecord record;
  int expected;  // as an unsigned 16-bit value
  const char* what;
};

void expectKeys(const std::vector<KeyCase>& cases) {
  for (const KeyCase& c : cases) {
    ConsoleKeyTranslator t;
    EXPECT_EQ(static_cast<uint16_t>(t.translate(c.record)), c.expected) << c.what;
  }
}

TEST(ConsoleKeys, FunctionKeysTakeAltOverCtrlOverShift) {
  for (int f = 1; f <= 12; ++f) {
    const int base = f <= 10 ? 0x3B00 + (f - 1) * 0x100 : f == 11 ? 0x8500 : 0x8600;
    const int shift = f <= 10 ? 0x1900 : 0x0200, ctrl = f <= 10 ? 0x2300 : 0x0400,
              alt = f <= 10 ? 0x2D00 : 0x0600;
    const auto v = static_cast<uint16_t>(vk::kF1 + f - 1);
    const auto scan = static_cast<uint16_t>(base >> 8);
    const std::string name = "F" + std::to_string(f);
    SCOPED_TRACE(name);
    expectKeys({{down(v, scan, 0), base, "plain"},
                {down(v, scan, 0, kShift), base + shift, "Shift"},
                {down(v, scan, 0, kLeftCtrl), base + ctrl, "Ctrl"},
                {down(v, scan, 0, kRightCtrl | kShift), base + ctrl, "Ctrl+Shift"},
                {down(v, scan, 0, kLeftAlt), base + alt, "Alt"},
                {down(v, scan, 0, kRightAlt | kLeftCtrl), base + alt, "Ctrl+Alt"}});
  }
}

TEST(ConsoleKeys, CursorBlockAndKeypadWithNumLockOffGiveTheSameCodes) {
  const uint32_t grey = kEnhanced, pad = 0;
  expectKeys({{down(vk::kUp, 0x48, 0, grey), 0x4800, "Up"},
              {down(vk::kDown, 0x50, 0, pad), 0x5000, "keypad Down"},
              {down(vk::kLeft, 0x4B, 0, grey | kShift), 0x4B00, "Shift+Left"},
              {down(vk::kLeft, 0x4B, 0, grey | kLeftCtrl), 0x7300, "Ctrl+Left"},
              {down(vk::kRight, 0x4D, 0, pad | kRightCtrl), 0x7400, "Ctrl+keypad Right"},
              {down(vk::kHome, 0x47, 0, grey), 0x4700, "Home"},
              {down(vk::kHome, 0x47, 0, grey | kLeftCtrl), 0x7700, "Ctrl+Home"},
              {down(vk::kEnd, 0x4F, 0, grey), 0x4F00, "End"},
              {down(vk::kEnd, 0x4F, 0, grey | kLeftCtrl), 0x7500, "Ctrl+End"},
              {down(vk::kPrior, 0x49, 0, grey), 0x4900, "PgUp"},
              {down(vk::kPrior, 0x49, 0, grey | kLeftCtrl), 0x8400, "Ctrl+PgUp"},
              {down(vk::kNext, 0x51, 0, grey | kLeftCtrl), 0x7600, "Ctrl+PgDn"},
              {down(vk::kInsert, 0x52, 0, grey), 0x5200, "Insert"},
              {down(vk::kInsert, 0x52, 0, grey | kLeftCtrl), 0x5200, "Ctrl+Insert"},
              {down(vk::kDelete, 0x53, 0x7F, grey), 0x5300, "Delete with a DEL character"},
              {down(vk::kClear, 0x4C, 0, pad), 0x4C00, "keypad centre"},
              {down(vk::kUp, 0x48, 0, grey | kLeftAlt), 0x4800, "Alt+Up (the grey key)"}});
}

TEST(ConsoleKeys, EditingKeysByVirtualKeyWhateverTheCharacter) {
  expectKeys({{down(vk::kEscape, 0x01, 0), 27, "Esc with no character"},
              {down(vk::kEscape, 0x01, 27), 27, "Esc"},
              {down(vk::kReturn, 0x1C, 13), 13, "Enter"},
              {down(vk::kReturn, 0x1C, 10, kLeftCtrl), 13, "Ctrl+Enter (LF)"},
              {down(vk::kReturn, 0x1C, 13, kLeftAlt), 0x1C00, "Alt+Enter"},
              {down(vk::kBack, 0x0E, 8), 8, "Backspace"},
              {down(vk::kBack, 0x0E, 0x7F, kLeftCtrl), 8, "Ctrl+Backspace (DEL)"},
              {down(vk::kBack, 0x0E, 8, kLeftAlt), 0x0E00, "Alt+Backspace"},
              {down(vk::kTab, 0x0F, 9), 9, "Tab"},
              {down(vk::kTab, 0x0F, 0, kShift), 0x0F00, "Shift-Tab"}});
}

TEST(ConsoleKeys, AltWithLettersDigitsAndPunctuationByThePcScanTable) {
  expectKeys({{down('X', 0x2D, 'x', kLeftAlt), 0x2D00, "Alt+X"},
              {down('C', 0x2E, 'c', kRightAlt), 0x2E00, "right Alt+C"},
              {down('E', 0x12, 'e', kLeftAlt), 0x1200, "Alt+E"},
              {down('F', 0x21, 'F', kLeftAlt | kShift), 0x2100, "Alt+Shift+F"},
              {down('Q', 0x10, 0, kLeftAlt), 0x1000, "Alt+Q with no character"},
              {down('1', 0x02, '1', kLeftAlt), 0x7800, "Alt+1"},
              {down('0', 0x0B, 0, kLeftAlt), 0x8100, "Alt+0 with no character"},
              {down(0xBD, 0x0C, '-', kLeftAlt), 0x8200, "Alt+-"},
              {down(0xBC, 0x33, ',', kLeftAlt), 0x3300, "Alt+,"},
              {down('1', 0x02, '!', kLeftAlt | kShift), '!', "Alt+! has no scan entry"}});
}

TEST(ConsoleKeys, CtrlLettersAndTypedCharacters) {
  expectKeys({{down('A', 0x1E, 1, kLeftCtrl), 1, "Ctrl+A"},
              {down('C', 0x2E, 3, kLeftCtrl), 3, "Ctrl+C reaches the program"},
              {down('V', 0x2F, 0, kRightCtrl), 22, "Ctrl+V with no character"},
              {down('Z', 0x2C, 26, kLeftCtrl), 26, "Ctrl+Z"},
              {down('A', 0x1E, 'a'), 'a', "a"},
              {down('A', 0x1E, 'A', kShift), 'A', "A"},
              {down(vk::kNumpad0 + 7, 0x47, '7', kNumLock), '7', "keypad 7, NumLock on"},
              {down(0xDE, 0x28, u'\u00E9'), 0x82, "e acute"},
              {down(0xBA, 0x1A, u'\u00C7', kShift), 0x80, "C cedilla"},
              {down('E', 0x12, u'\u20AC', kRightAlt | kLeftCtrl), 0xD5, "AltGr+E: the euro"},
              {down('2', 0x03, '@', kRightAlt | kLeftCtrl), '@', "AltGr+2"},
              {down('A', 0x1E, u'\u0101'), 0, "a with macron: not in the code page"},
              {down('A', 0x1E, u'\u4E2D'), 0, "a CJK character"}});
}

TEST(ConsoleKeys, ReleasesAndModifiersAloneGiveNoKey) {
  expectKeys({{up('A', 0x1E, 'a'), 0, "a released"},
              {up(vk::kF1, 0x3B, 0), 0, "F1 released"},
              {down(vk::kShift, 0x2A, 0, kShift), 0, "Shift"},
              {down(vk::kControl, 0x1D, 0, kLeftCtrl), 0, "Ctrl"},
              {down(vk::kMenu, 0x38, 0, kLeftAlt), 0, "Alt"},
              {up(vk::kMenu, 0x38, 0), 0, "Alt released"},
              {down(vk::kCapital, 0x3A, 0), 0, "CapsLock"},
              {down(vk::kLWin, 0x5B, 0, kEnhanced), 0, "Windows key"}});
}

// A keypad entry: the records from pressing the left Alt to letting it go.
struct EntryCase {
  std::vector<ConsoleKeyRecord> records;
  std::vector<int> keys;  // the keys given, in order
  const char* what;
};

TEST(ConsoleKeys, KeypadCharacterEntryWithTheLeftAlt) {
  const ConsoleKeyRecord altDown = down(vk::kMenu, 0x38, 0, kLeftAlt);
  const ConsoleKeyRecord altUp = up(vk::kMenu, 0x38, 0);
  auto num = [](int d) { return down(static_cast<uint16_t>(vk::kNumpad0 + d), 0, 0, kLeftAlt | kNumLock); };
  auto nav = [](uint16_t v) { return down(v, 0, 0, kLeftAlt); };
  const std::vector<EntryCase> cases = {
      {{altDown, num(2), altDown, num(5), altUp}, {25}, "2, 5 (Alt repeating meanwhile)"},
      {{altDown, num(3), num(0), num(0), altUp}, {44}, "3, 0, 0: 300 mod 256"},
      {{altDown, nav(vk::kDown), nav(vk::kClear), altUp}, {25}, "NumLock off: Down, centre"},
      {{altDown, nav(vk::kInsert), nav(vk::kEnd), nav(vk::kHome), nav(vk::kPrior), altUp}, {179},
       "Ins End Home PgUp: 0179"},
      {{altDown, num(1), num(3), num(0), altUp, down(vk::kNumpad0, 0x52, '0', kNumLock)}, {130, '0'}, "the entry ends with Alt"},
      {{altDown, num(0), altUp}, {}, "code 0 is no key"},
      {{altDown, num(6), down('X', 0x2D, 'x', kLeftAlt), altUp}, {0x2D00},
       "another key ends the entry and counts as itself"},
      {{altDown, down(vk::kUp, 0x48, 0, kLeftAlt | kEnhanced), altUp}, {0x4800}, "the grey Up is no digit"},
      {{down(vk::kMenu, 0x38, 0, kRightAlt), down(vk::kNumpad0 + 6, 0, 0, kRightAlt | kNumLock),
        up(vk::kMenu, 0x38, u'\u00E6')},
       {0x91}, "right Alt: the console's own character on the release"},
      {{altDown, num(6), down(vk::kNumpad0 + 5, 0, 0, kLeftAlt | kLeftCtrl), altUp}, {}, "Ctrl ends it"},
  };
  for (const EntryCase& c : cases) {
    ConsoleKeyTranslator t;
    std::vector<int> keys;
    for (const ConsoleKeyRecord& r : c.records)
      if (int16_t k = t.translate(r); k != key::kNone) keys.push_back(static_cast<uint16_t>(k));
    EXPECT_EQ(keys, c.keys) << c.what;
    EXPECT_FALSE(t.entering()) << c.what;
  }
}

TEST(ConsoleKeys, MouseReleasesByButtonWithOneBasedPositions) {
  struct Step {
    uint32_t buttons, flags;
    int column, row;
    int releasedButton;  // 0: no release
  };
  struct Case {
    std::vector<Step> steps;
    const char* what;
  };
  const std::vector<Case> cases = {
      {{{1, 0, 9, 4, 0}, {0, 0, 9, 4, 1}}, "left click"},
      {{{2, 0, 0, 0, 0}, {0, 0, 0, 0, 2}}, "right click"},
      {{{4, 0, 79, 24, 0}, {0, 0, 79, 24, 4}}, "middle click at the far corner"},
      {{{1, 0, 3, 3, 0}, {1, 1, 5, 6, 0}, {0, 1, 7, 8, 1}}, "dragged, released where it ends"},
      {{{3, 0, 1, 1, 0}, {2, 0, 1, 1, 1}, {0, 0, 1, 1, 2}}, "two buttons let go one by one"},
      {{{0x00780000, ConsoleMouseTracker::kMouseWheeled, 1, 1, 0}, {0, 0, 1, 1, 0}}, "a wheel turn"},
      {{{0, 1, 4, 4, 0}}, "a move with no button"},
  };
  for (const Case& c : cases) {
    ConsoleMouseTracker tracker;
    for (const Step& s : c.steps) {
      auto e = tracker.update(s.buttons, s.flags, s.column, s.row);
      ASSERT_EQ(e.has_value(), s.releasedButton != 0) << c.what;
      if (!e) continue;
      EXPECT_EQ(e->kind, InputEvent::Kind::Mouse) << c.what;
      EXPECT_EQ(e->button, s.releasedButton) << c.what;
      EXPECT_EQ(e->row, s.row + 1) << c.what;
      EXPECT_EQ(e->column, s.column + 1) << c.what;
    }
  }
}

}  // namespace
}  // namespace xt
