// The Windows console backend on a real console (the test process's own,
// made when it has none): the cells it draws read back from the console,
// the cursor, the modes given back on close, and input records written
// into the console's input buffer coming out as key codes and clicks.
#include "platform/win32/win32_console.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/key_codes.h"

namespace xt {
namespace {

HANDLE consoleFile(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

class Win32ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in_ = consoleFile(L"CONIN$");
    if (in_ == INVALID_HANDLE_VALUE && AllocConsole()) in_ = consoleFile(L"CONIN$");
    ASSERT_NE(in_, INVALID_HANDLE_VALUE) << "no console for the test";
    ASSERT_TRUE(GetConsoleMode(in_, &modeBefore_));
    // A mark in the shell's buffer, to see which buffer is shown.
    HANDLE out = consoleFile(L"CONOUT$");
    CHAR_INFO mark{};
    mark.Char.UnicodeChar = L'@';
    mark.Attributes = 0x07;
    SMALL_RECT corner{0, 0, 0, 0};
    ASSERT_TRUE(WriteConsoleOutputW(out, &mark, COORD{1, 1}, COORD{0, 0}, &corner));
    CloseHandle(out);
    std::string error;
    ASSERT_TRUE(console_.open(error)) << error;
    FlushConsoleInputBuffer(in_);
  }
  void TearDown() override {
    console_.close();
    if (in_ != INVALID_HANDLE_VALUE) CloseHandle(in_);
  }

  // The cell the console shows at a 1-based screen position.
  CHAR_INFO shown(int row, int column) {
    HANDLE out = consoleFile(L"CONOUT$");  // the active buffer
    CHAR_INFO cell{};
    SMALL_RECT rect{static_cast<SHORT>(column - 1), static_cast<SHORT>(row - 1), static_cast<SHORT>(column - 1),
                    static_cast<SHORT>(row - 1)};
    EXPECT_TRUE(ReadConsoleOutputW(out, &cell, COORD{1, 1}, COORD{0, 0}, &rect));
    CloseHandle(out);
    return cell;
  }

  void typeRecords(const std::vector<INPUT_RECORD>& records) {
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(in_, records.data(), static_cast<DWORD>(records.size()), &written));
    ASSERT_EQ(written, records.size());
  }

  Win32Console console_;
  HANDLE in_ = INVALID_HANDLE_VALUE;
  DWORD modeBefore_ = 0;
};

INPUT_RECORD keyRecord(bool down, WORD vk, WORD scan, wchar_t ch, DWORD state) {
  INPUT_RECORD r{};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down;
  r.Event.KeyEvent.wRepeatCount = 1;
  r.Event.KeyEvent.wVirtualKeyCode = vk;
  r.Event.KeyEvent.wVirtualScanCode = scan;
  r.Event.KeyEvent.uChar.UnicodeChar = ch;
  r.Event.KeyEvent.dwControlKeyState = state;
  return r;
}

INPUT_RECORD mouseRecord(DWORD buttons, SHORT x, SHORT y) {
  INPUT_RECORD r{};
  r.EventType = MOUSE_EVENT;
  r.Event.MouseEvent.dwButtonState = buttons;
  r.Event.MouseEvent.dwMousePosition = COORD{x, y};
  return r;
}

TEST_F(Win32ConsoleTest, DrawsCellsWithGlyphsAndColoursAndOnlyWhatChanged) {
  ASSERT_FALSE(console_.tooSmall());
  console_.setColours(14, 1);
  console_.clear();
  console_.moveCursor(1, 1);
  console_.write("\xC9\xCD caf\x82 \x10\xD5");  // box corner and line, e acute, pointer, euro
  console_.setColours(15, 4);
  console_.moveCursor(25, 80);
  console_.write("Z");
  console_.flush();
  struct Expect {
    int row, column;
    wchar_t ch;
    WORD attr;
  };
  for (const Expect& e : {Expect{1, 1, L'\u2554', 0x1E}, Expect{1, 2, L'\u2550', 0x1E}, Expect{1, 7, L'\u00E9', 0x1E},
                          Expect{1, 9, L'\u25BA', 0x1E}, Expect{1, 10, L'\u20AC', 0x1E}, Expect{12, 40, L' ', 0x1E},
                          Expect{25, 80, L'Z', 0x4F}}) {
    const CHAR_INFO cell = shown(e.row, e.column);
    EXPECT_EQ(cell.Char.UnicodeChar, e.ch) << e.row << "," << e.column;
    EXPECT_EQ(cell.Attributes & 0xFF, e.attr) << e.row << "," << e.column;
  }
  // A cell changed behind the buffer's back stays as it is: a flush sends
  // only the cells the program changed since the last one.
  HANDLE out = consoleFile(L"CONOUT$");
  CHAR_INFO foreign{};
  foreign.Char.UnicodeChar = L'#';
  foreign.Attributes = 0x07;
  SMALL_RECT at{5, 4, 5, 4};  // row 5, column 6
  ASSERT_TRUE(WriteConsoleOutputW(out, &foreign, COORD{1, 1}, COORD{0, 0}, &at));
  CloseHandle(out);
  console_.moveCursor(5, 2);
  console_.write("ab");
  console_.flush();
  EXPECT_EQ(shown(5, 2).Char.UnicodeChar, L'a');
  EXPECT_EQ(shown(5, 6).Char.UnicodeChar, L'#');
}

TEST_F(Win32ConsoleTest, CursorPositionSizeAndVisibility) {
  HANDLE out = consoleFile(L"CONOUT$");
  struct Case {
    bool visible;
    int size, row, column;
  };
  for (const Case& c : {Case{true, 50, 3, 7}, Case{true, 100, 25, 80}, Case{false, 100, 1, 1}}) {
    console_.setCursorShape(c.visible, c.size);
    console_.moveCursor(c.row, c.column);
    console_.flush();
    CONSOLE_CURSOR_INFO info{};
    ASSERT_TRUE(GetConsoleCursorInfo(out, &info));
    EXPECT_EQ(info.bVisible != FALSE, c.visible);
    if (!c.visible) continue;
    EXPECT_EQ(info.dwSize, static_cast<DWORD>(c.size));
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &buffer));
    EXPECT_EQ(buffer.dwCursorPosition.Y, c.row - 1);
    EXPECT_EQ(buffer.dwCursorPosition.X, c.column - 1);
  }
  CloseHandle(out);
}

TEST_F(Win32ConsoleTest, CloseGivesBackTheInputModeAndTheShellsBuffer) {
  DWORD mode = 0;
  ASSERT_TRUE(GetConsoleMode(in_, &mode));
  EXPECT_EQ(mode & (ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_QUICK_EDIT_MODE), 0u);
  EXPECT_NE(mode & ENABLE_MOUSE_INPUT, 0u);
  console_.moveCursor(1, 1);
  console_.write("drawn");
  console_.flush();
  EXPECT_EQ(shown(1, 1).Char.UnicodeChar, L'd');
  console_.close();
  ASSERT_TRUE(GetConsoleMode(in_, &mode));
  EXPECT_EQ(mode, modeBefore_);
  EXPECT_EQ(shown(1, 1).Char.UnicodeChar, L'@');
}

TEST_F(Win32ConsoleTest, InputRecordsBecomeKeyCodesAndClicks) {
  typeRecords({
      keyRecord(TRUE, VK_ESCAPE, 0x01, 0, 0),
      keyRecord(FALSE, VK_ESCAPE, 0x01, 0, 0),
      keyRecord(TRUE, 'C', 0x2E, 3, LEFT_CTRL_PRESSED),
      keyRecord(TRUE, 'X', 0x2D, L'x', LEFT_ALT_PRESSED),
      keyRecord(TRUE, VK_F1, 0x3B, 0, SHIFT_PRESSED),
      keyRecord(TRUE, VK_MENU, 0x38, 0, LEFT_ALT_PRESSED),
      keyRecord(TRUE, VK_NUMPAD2, 0x50, 0, LEFT_ALT_PRESSED | NUMLOCK_ON),
      keyRecord(TRUE, VK_NUMPAD5, 0x4C, 0, LEFT_ALT_PRESSED | NUMLOCK_ON),
      keyRecord(FALSE, VK_MENU, 0x38, 0, 0),
      keyRecord(TRUE, 'E', 0x12, L'\u00E9', 0),
      mouseRecord(FROM_LEFT_1ST_BUTTON_PRESSED, 9, 4),
      mouseRecord(0, 9, 4),
  });
  const int expected[] = {key::kEsc, key::kCtrlC, key::kAltX, 0x5400, 25, 0x82};
  for (int code : expected) {
    InputEvent e = console_.readEvent(1000);
    ASSERT_EQ(e.kind, InputEvent::Kind::Key) << code;
    EXPECT_EQ(static_cast<uint16_t>(e.key), code);
  }
  InputEvent click = console_.readEvent(1000);
  ASSERT_EQ(click.kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(click.button, 1);
  EXPECT_EQ(click.row, 5);
  EXPECT_EQ(click.column, 10);
  EXPECT_EQ(console_.readEvent(0).kind, InputEvent::Kind::None);
}

TEST_F(Win32ConsoleTest, DiscardInputDropsKeysTypedAhead) {
  typeRecords({keyRecord(TRUE, 'A', 0x1E, L'a', 0), keyRecord(TRUE, 'B', 0x30, L'b', 0)});
  EXPECT_EQ(console_.readEvent(1000).key, 'a');
  console_.discardInput();
  EXPECT_EQ(console_.readEvent(50).kind, InputEvent::Kind::None);
}

TEST_F(Win32ConsoleTest, ClipboardIsTheWindowsOne) {
  console_.setClipboard("caf\x82 \xD5");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(data))), u"caf\u00E9 \u20AC");
  GlobalUnlock(data);
  // Text another program put there comes back in the code page.
  const std::u16string other = u"\u00D1and\u00FA\r\nsecond line";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (other.size() + 1) * sizeof(char16_t));
  std::memcpy(GlobalLock(memory), other.c_str(), (other.size() + 1) * sizeof(char16_t));
  GlobalUnlock(memory);
  EmptyClipboard();
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
  CloseClipboard();
  EXPECT_EQ(console_.clipboard(), "\xA5" "and\xA3");  // Ñandú
}

TEST(Win32ConsoleClipboard, TextsConvertBetweenCodePageAndUnicode) {
  EXPECT_EQ(clipboardUnicode("caf\x82 \xD5 100"), u"caf\u00E9 \u20AC 100");
  EXPECT_EQ(clipboardUnicode("a\tb\r\n"), u"a\tb\r\n");
  struct Case {
    std::u16string from;
    std::string to;
    const char* what;
  };
  const Case cases[] = {
      {u"caf\u00E9 \u20AC", "caf\x82 \xD5", "accented letter and euro"},
      {u"first\r\nsecond", "first", "the first line only"},
      {u"a\tb", "ab", "control characters dropped"},
      {u"x\u4E2Dy\U0001F600z", "xyz", "characters the code page lacks, a surrogate pair among them"},
      {u"", "", "empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(clipboardCp850(c.from), c.to) << c.what;
}

}  // namespace
}  // namespace xt
