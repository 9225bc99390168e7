#include "screen/screen_stack.h"

#include <gtest/gtest.h>

#include "entry/text_styles.h"
#include "platform/files.h"
#include "testing/test_program.h"

namespace xt {
namespace {

class ScreenStackTest : public ::testing::Test {
 protected:
  TestProgram t;
  Program& p = t.program();
  FakeConsole& con = t.console();
  std::string stackFile() const { return t.temp() + "WinPush.tmp"; }
};

TEST_F(ScreenStackTest, RestoreBringsBackCharactersColoursAndCursor) {
  con.setColours(14, 1);
  con.moveCursor(5, 10);
  con.write("hello");
  con.moveCursor(7, 3);
  saveRegion(p, 4, 8, 6, 20);
  EXPECT_EQ(p.windows.windowDepth, 1);
  con.setColours(0, 7);
  drawFrame(p, 2);
  locateInWindow(p, 1, 2);
  con.write("XX");
  EXPECT_EQ(con.cell(5, 10).ch, 'X');
  restoreRegion(p);
  EXPECT_EQ(con.text(5, 10, 5, 14), "hello");
  EXPECT_EQ(con.cell(5, 10).attr, 0x1E);
  EXPECT_EQ(con.cell(4, 8).ch, ' ');
  EXPECT_EQ(con.cursorRow(), 7);
  EXPECT_EQ(con.cursorColumn(), 3);
  EXPECT_EQ(p.windows.windowDepth, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, NestedSavesUnwindInOrder) {
  con.write(std::string(80, 'a'));
  saveRegion(p, 1, 1, 3, 10);
  drawFrame(p, 1);
  saveRegion(p, 1, 5, 2, 6);
  EXPECT_EQ(p.windows.windowTop, 1);
  EXPECT_EQ(p.windows.windowLeft, 5);
  drawFrame(p, 2);
  restoreRegion(p);
  EXPECT_EQ(con.cell(1, 5).ch, 0xC4);  // the outer frame is back
  EXPECT_EQ(p.windows.windowLeft, 1);
  EXPECT_EQ(p.windows.windowRight, 10);
  EXPECT_TRUE(fileExists(stackFile()));
  restoreRegion(p);
  EXPECT_EQ(con.text(1, 1, 1, 10), "aaaaaaaaaa");
  EXPECT_EQ(p.windows.windowDepth, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, OneCellRecordIsTwentySevenBytes) {
  saveRegion(p, 3, 3, 3, 3);
  std::string data = t.dir().read("tmp/WinPush.tmp");
  ASSERT_EQ(data.size(), 4u + 27u);
  EXPECT_EQ(static_cast<uint8_t>(data[0]), 32);  // end pointer 5 + 27
  EXPECT_EQ(data.substr(4, 20), "01010000000003030303");
  EXPECT_EQ(data.substr(26, 5), "00027");
}

TEST_F(ScreenStackTest, OutOfScreenSavePushesNothing) {
  saveRegion(p, 2, 2, 4, 4);
  saveRegion(p, 20, 1, 26, 10);
  EXPECT_EQ(p.windows.windowDepth, 1);
  EXPECT_EQ(p.windows.windowTop, 2);
  restoreRegion(p);
  EXPECT_EQ(p.windows.windowDepth, 0);
}

TEST_F(ScreenStackTest, LocateInWindowIsRelativeToTheFrame) {
  saveRegion(p, 5, 10, 9, 30);
  locateInWindow(p, 1, 2);
  EXPECT_EQ(con.cursorRow(), 6);
  EXPECT_EQ(con.cursorColumn(), 12);
  EXPECT_EQ(windowLastColumn(p), 29);
  EXPECT_EQ(windowFirstRow(p), 6);
  EXPECT_EQ(windowFirstColumn(p), 11);
}

TEST_F(ScreenStackTest, CorruptStackFileNeverPaintsAndIsRemoved) {
  const std::string cases[] = {
      std::string("\x40\x00\x00\x00", 4) + "garbage",                         // end beyond the file
      std::string("\x20\x00\x00\x00", 4) + std::string(22, '0') + "99999",   // length before start
      std::string("\x20\x00\x00\x00", 4) + "0101000000009901990100027",      // rectangle off screen
  };
  for (const std::string& bytes : cases) {
    t.dir().write("tmp/WinPush.tmp", bytes);
    p.windows.windowDepth = 2;
    con.moveCursor(1, 1);
    con.write("keep");
    restoreRegion(p);
    EXPECT_EQ(con.text(1, 1, 1, 4), "keep");
    EXPECT_EQ(p.windows.windowDepth, 0);
    EXPECT_FALSE(fileExists(stackFile()));
  }
}

TEST(ZeroPad, KeepsTheLastDigits) {
  EXPECT_EQ(zeroPad(7, 2), "07");
  EXPECT_EQ(zeroPad(123, 2), "23");
  EXPECT_EQ(zeroPad(-5, 2), "05");
}

}  // namespace
}  // namespace xt
