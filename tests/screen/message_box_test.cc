#include "screen/message_box.h"

#include <gtest/gtest.h>

#include "screen/screen_stack.h"
#include "screen/text_styles.h"
#include "testing/test_program.h"

namespace xt {
namespace {

std::string words(size_t length) {
  std::string s;
  while (s.size() < length) s += s.empty() ? "word" : " word";
  return s.substr(0, length);
}

// n lines of 75 characters each once wrapped to 76.
std::string longLines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? " " : "") + std::string(75, static_cast<char>('a' + i % 26));
  return s;
}

TEST(MessageBox, HundredCharactersOnRowTwelveMakeTwoLines) {
  TestProgram t;
  messageBox(t.program().screen, 12, words(100));
  const WindowState& w = t.program().screen.windows;
  EXPECT_EQ(w.windowDepth, 1);
  EXPECT_EQ(w.windowTop, 9);
  EXPECT_EQ(w.windowBottom, 12);
  EXPECT_EQ(t.console().cell(9, w.windowLeft).ch, 0xDA);
  EXPECT_EQ(t.console().text(10, w.windowLeft + 2, 10, w.windowLeft + 5), "word");
  restoreRegion(t.program().screen);
  EXPECT_EQ(t.program().screen.windows.windowDepth, 0);
}

TEST(MessageBox, ShortMessageIsCentredOnColumn41) {
  TestProgram t;
  messageBox(t.program().screen, 24, "FITXER BLOQUEJAT.");  // 17 characters
  const WindowState& w = t.program().screen.windows;
  EXPECT_EQ(w.windowTop, 21);  // 24 - 1 - 2
  EXPECT_EQ(w.windowBottom, 23);
  EXPECT_EQ(w.windowLeft, 41 - 9 - 2);
  EXPECT_EQ(w.windowRight, 41 + 8 + 1);
  EXPECT_EQ(t.console().text(22, w.windowLeft + 2, 22, w.windowLeft + 18), "FITXER BLOQUEJAT.");
  EXPECT_EQ(t.program().screen.styles.styleStack, "");
}

TEST(MessageBox, TooLongForTheScreenDrawsNothingButStaysBalanced) {
  TestProgram t;
  saveRegion(t.program().screen, 2, 2, 5, 20);  // a window under the box
  t.console().moveCursor(10, 10);
  t.console().write("under");
  messageBox(t.program().screen, 12, words(76 * 30));
  EXPECT_EQ(t.console().text(10, 10, 10, 14), "under");
  restoreRegion(t.program().screen);  // pops the box, not the window under it
  EXPECT_EQ(t.program().screen.windows.windowDepth, 1);
  EXPECT_EQ(t.program().screen.windows.windowTop, 2);
}

TEST(MessageBox, BoxNearTheBottomMovesUpAndABoxTooTallForTheScreenIsNotDrawn) {
  TestProgram t;
  // Five lines on row 25: the box would end on row 26, so it ends on 25.
  messageBox(t.program().screen, 25, words(76 * 4 + 10));
  EXPECT_EQ(t.program().screen.windows.windowTop, 19);
  EXPECT_EQ(t.program().screen.windows.windowBottom, 25);
  restoreRegion(t.program().screen);
  // 23 lines fill the screen from row 1 to 25; 24 lines can't be shown.
  messageBox(t.program().screen, 12, longLines(23));
  EXPECT_EQ(t.program().screen.windows.windowTop, 1);
  EXPECT_EQ(t.program().screen.windows.windowBottom, 25);
  EXPECT_EQ(t.console().cell(1, 1).ch, 0xDA);
  EXPECT_EQ(t.console().cell(25, 79).ch, 0xD9);
  EXPECT_EQ(t.console().text(24, 3, 24, 4), "ww");
  restoreRegion(t.program().screen);
  messageBox(t.program().screen, 12, longLines(24));
  EXPECT_EQ(t.console().cell(1, 1).ch, ' ');
  restoreRegion(t.program().screen);
  EXPECT_EQ(t.program().screen.windows.windowDepth, 0);
  EXPECT_EQ(t.program().screen.styles.styleStack, "");
}

TEST(MessageBox, TextIsInTheReverseStyleAndTheCallersStyleComesBack) {
  TestProgram t;
  Program& p = t.program();
  selectTextStyle(p.screen, "u");
  messageBox(p.screen, 10, "AVIS");
  const WindowState& w = p.screen.windows;
  const int16_t* reverse = p.settings.colourPairs[2];
  uint8_t reverseAttr = static_cast<uint8_t>(reverse[0] | (reverse[1] << 4));
  EXPECT_EQ(t.console().cell(w.windowTop, w.windowLeft).attr, reverseAttr);
  EXPECT_EQ(t.console().cell(w.windowTop + 1, w.windowLeft + 2).attr, reverseAttr);
  EXPECT_EQ(t.console().text(w.windowTop + 1, w.windowLeft, w.windowTop + 1, w.windowRight),
            "\xB3 AVIS \xB3");
  EXPECT_EQ(p.screen.styles.currentStyle, 4);
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
      {"aaa bbb ccc", 0, 8, "e", "aaa bbb ccc     "},
      {"aaa bbb ccc", 0, 8, "r", " aaa bbb     ccc"},
      {"aa   bb", 0, 4, "L", "aa  bb  "},
      // Justified: the gaps widen from the left, round again, until the
      // line is full; the last line keeps its length.
      {"aa bb cc ddddddddddd", 0, 11, "a", "aa   bb  ccddddddddddd"},
      {"a b c ddddddddd", 0, 9, "B", "a   b   cddddddddd"},
      {"aaa bbb ccc dd", -2, 9, "A", "aaa   bbb  ccc dd"},
      // Control characters take no room, and those right after a word stay
      // with it.
      {"ab\x1E" "cd ef", 0, 4, "L", "ab\x1E" "cdef  "},
      {"abcd\x1F ef", 0, 4, "L", "abcd\x1F" "ef  "},
      {"ab cd\x10" "ef", 0, 5, "L", "ab   cd\x10" "ef"},
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
  scrollRectangle(t.program().screen, 0, 0, 4, 2, 2);  // rows 1-5, columns 1-3, up by 2
  EXPECT_EQ(con.text(1, 1, 5, 5), "33311\n44422\n55533\n   44\n   55");
  scrollRectangle(t.program().screen, 0, 0, 4, 2, -1);
  EXPECT_EQ(con.text(1, 1, 2, 3), "   \n333");
}

}  // namespace
}  // namespace xt
