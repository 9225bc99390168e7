#include "screen/message_box.h"

#include <gtest/gtest.h>

#include "screen/screen_stack.h"
#include "testing/test_program.h"

namespace xt {
namespace {

std::string words(size_t length) {
  std::string s;
  while (s.size() < length) s += s.empty() ? "word" : " word";
  return s.substr(0, length);
}

TEST(MessageBox, HundredCharactersOnRowTwelveMakeTwoLines) {
  TestProgram t;
  messageBox(t.program(), 12, words(100));
  const WindowState& w = t.program().windows;
  EXPECT_EQ(w.windowDepth, 1);
  EXPECT_EQ(w.windowTop, 9);
  EXPECT_EQ(w.windowBottom, 12);
  EXPECT_EQ(t.console().cell(9, w.windowLeft).ch, 0xDA);
  EXPECT_EQ(t.console().text(10, w.windowLeft + 2, 10, w.windowLeft + 5), "word");
  restoreRegion(t.program());
  EXPECT_EQ(t.program().windows.windowDepth, 0);
}

TEST(MessageBox, ShortMessageIsCentredOnColumn41) {
  TestProgram t;
  messageBox(t.program(), 24, "FITXER BLOQUEJAT.");  // 17 characters
  const WindowState& w = t.program().windows;
  EXPECT_EQ(w.windowTop, 21);  // 24 - 1 - 2
  EXPECT_EQ(w.windowBottom, 23);
  EXPECT_EQ(w.windowLeft, 41 - 9 - 2);
  EXPECT_EQ(w.windowRight, 41 + 8 + 1);
  EXPECT_EQ(t.console().text(22, w.windowLeft + 2, 22, w.windowLeft + 18), "FITXER BLOQUEJAT.");
  EXPECT_EQ(t.program().styles.styleStack, "");
}

TEST(MessageBox, TooLongForTheScreenDrawsNothingButStaysBalanced) {
  TestProgram t;
  saveRegion(t.program(), 2, 2, 5, 20);  // a window under the box
  t.console().moveCursor(10, 10);
  t.console().write("under");
  messageBox(t.program(), 12, words(76 * 30));
  EXPECT_EQ(t.console().text(10, 10, 10, 14), "under");
  restoreRegion(t.program());  // pops the box, not the window under it
  EXPECT_EQ(t.program().windows.windowDepth, 1);
  EXPECT_EQ(t.program().windows.windowTop, 2);
}

struct WrapCase {
  const char* text;
  int indent;
  int width;
  const char* mode;
  const char* expected;
};

TEST(WrapText, CompletionModes) {
  const WrapCase cases[] = {
      {"aaa bbb ccc", 0, 8, "i", "aaa bbb ccc     "},
      {"aaa bbb ccc", 0, 8, "N", "aaa bbb-ccc-----"},
      {"aaa bbb ccc", 0, 8, "d", " aaa bbb     ccc"},
      {"aaa bb", 0, 9, "C", " aaa bb  "},
      {"aa b cc dd", 0, 8, "A", "aa  b cc" "dd"},
      {"abcdefghij", 0, 4, "L", "abcdefghij  "},
      {"one two three", 2, 8, "L", "  one   two     three   "},
      {"one two three", -2, 8, "L", "one two   three "},
      {"ab cd", 0, 8, "x", "ab cd"},
  };
  for (const WrapCase& c : cases) {
    std::string text = c.text;
    wrapText(text, static_cast<int16_t>(c.indent), static_cast<int16_t>(c.width), c.mode);
    EXPECT_EQ(text, c.expected) << c.text << " mode " << c.mode << " width " << c.width;
  }
}

TEST(ScrollRectangle, MovesRowsAndBlanksTheFreedOnes) {
  TestProgram t;
  FakeConsole& con = t.console();
  for (int r = 1; r <= 5; ++r) {
    con.moveCursor(r, 1);
    con.write(std::string(5, static_cast<char>('0' + r)));
  }
  scrollRectangle(t.program(), 0, 0, 4, 2, 2);  // rows 1-5, columns 1-3, up by 2
  EXPECT_EQ(con.text(1, 1, 5, 5), "33311\n44422\n55533\n   44\n   55");
  scrollRectangle(t.program(), 0, 0, 4, 2, -1);
  EXPECT_EQ(con.text(1, 1, 2, 3), "   \n333");
}

}  // namespace
}  // namespace xt
