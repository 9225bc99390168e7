#include "screen/screen_stack.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "screen/message_box.h"
#include "screen/text_styles.h"
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
  saveRegion(p.screen, 4, 8, 6, 20);
  EXPECT_EQ(p.screen.windows.windowDepth, 1);
  con.setColours(0, 7);
  drawFrame(p.screen, 2);
  locateInWindow(p.screen, 1, 2);
  con.write("XX");
  EXPECT_EQ(con.cell(5, 10).ch, 'X');
  restoreRegion(p.screen);
  EXPECT_EQ(con.text(5, 10, 5, 14), "hello");
  EXPECT_EQ(con.cell(5, 10).attr, 0x1E);
  EXPECT_EQ(con.cell(4, 8).ch, ' ');
  EXPECT_EQ(con.cursorRow(), 7);
  EXPECT_EQ(con.cursorColumn(), 3);
  EXPECT_EQ(p.screen.windows.windowDepth, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, EveryCellOfTheScreenComesBackExactly) {
  // Every cell different in character and attribute, control bytes and
  // bytes above 0x7F included.
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c)
      con.putCell(r, c, Cell{static_cast<uint8_t>(r * 80 + c), static_cast<uint8_t>(r * 7 + c)});
  ScreenBuffer before = con.screen();
  con.moveCursor(25, 80);
  saveRegion(p.screen, 3, 5, 20, 70);
  con.setColours(15, 4);
  drawFrame(p.screen, 1);
  scrollRectangle(p.screen, 3, 5, 18, 68, -3);
  locateInWindow(p.screen, 2, 2);
  con.write("covered");
  restoreRegion(p.screen);
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c) ASSERT_EQ(con.cell(r, c), before.at(r, c)) << r << "," << c;
  EXPECT_EQ(con.cursorRow(), 25);
  EXPECT_EQ(con.cursorColumn(), 80);
  EXPECT_EQ(con.attribute(), before.at(20, 70).attr);  // the last cell repainted
}

TEST_F(ScreenStackTest, NestedSavesUnwindInOrder) {
  con.write(std::string(80, 'a'));
  saveRegion(p.screen, 1, 1, 3, 10);
  drawFrame(p.screen, 1);
  saveRegion(p.screen, 1, 5, 2, 6);
  EXPECT_EQ(p.screen.windows.windowTop, 1);
  EXPECT_EQ(p.screen.windows.windowLeft, 5);
  drawFrame(p.screen, 2);
  restoreRegion(p.screen);
  EXPECT_EQ(con.cell(1, 5).ch, 0xC4);  // the outer frame is back
  EXPECT_EQ(p.screen.windows.windowLeft, 1);
  EXPECT_EQ(p.screen.windows.windowRight, 10);
  EXPECT_TRUE(fileExists(stackFile()));
  restoreRegion(p.screen);
  EXPECT_EQ(con.text(1, 1, 1, 10), "aaaaaaaaaa");
  EXPECT_EQ(p.screen.windows.windowDepth, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, OneCellRecordIsTwentySevenBytes) {
  con.putCell(3, 3, Cell{0xC9, 0x4E});
  con.moveCursor(12, 45);
  saveRegion(p.screen, 3, 3, 3, 3);
  std::string data = t.dir().read("tmp/WinPush.tmp");
  ASSERT_EQ(data.size(), 4u + 27u);
  EXPECT_EQ(data.substr(0, 4), std::string("\x20\0\0\0", 4));  // end pointer 5 + 27
  EXPECT_EQ(data.substr(4, 20), "12450000000003030303");
  EXPECT_EQ(data.substr(24, 2), "\xC9\x4E");
  EXPECT_EQ(data.substr(26, 5), "00027");
  // A second record follows the first; its previous window is the first.
  saveRegion(p.screen, 1, 1, 1, 2);
  data = t.dir().read("tmp/WinPush.tmp");
  ASSERT_EQ(data.size(), 4u + 27u + 29u);
  EXPECT_EQ(data.substr(0, 4), std::string("\x3D\0\0\0", 4));
  EXPECT_EQ(data.substr(31, 20), "12450303030301010102");
  EXPECT_EQ(data.substr(55, 5), "00029");
}

TEST_F(ScreenStackTest, OutOfScreenSavePushesNothing) {
  saveRegion(p.screen, 2, 2, 4, 4);
  saveRegion(p.screen, 20, 1, 26, 10);  // one row below the screen
  saveRegion(p.screen, 1, 0, 3, 10);
  saveRegion(p.screen, 1, 70, 3, 81);
  EXPECT_EQ(p.screen.windows.windowDepth, 1);
  EXPECT_EQ(p.screen.windows.windowTop, 2);
  restoreRegion(p.screen);  // pops the real window, not a phantom one
  EXPECT_EQ(p.screen.windows.windowDepth, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, LocateInWindowIsRelativeToTheFrame) {
  locateInWindow(p.screen, 3, 4);  // no window: absolute
  EXPECT_EQ(con.cursorRow(), 3);
  EXPECT_EQ(con.cursorColumn(), 4);
  EXPECT_EQ(windowLastColumn(p.screen), 80);
  saveRegion(p.screen, 5, 10, 9, 30);
  locateInWindow(p.screen, 1, 2);
  EXPECT_EQ(con.cursorRow(), 6);
  EXPECT_EQ(con.cursorColumn(), 12);
  EXPECT_EQ(windowLastColumn(p.screen), 29);
  EXPECT_EQ(windowFirstRow(p.screen), 6);
  EXPECT_EQ(windowFirstColumn(p.screen), 11);
}

TEST_F(ScreenStackTest, FrameGlyphsAndBlankInside) {
  con.write(std::string(80 * 4, '#'));
  saveRegion(p.screen, 1, 1, 3, 4);
  drawFrame(p.screen, 2);
  EXPECT_EQ(con.text(1, 1, 3, 5), "\xC9\xCD\xCD\xBB#\n\xBA  \xBA#\n\xC8\xCD\xCD\xBC#");
  drawFrame(p.screen, 0);
  EXPECT_EQ(con.text(1, 1, 3, 5), "    #\n    #\n    #");
}

TEST_F(ScreenStackTest, CorruptStackFileNeverPaintsAndIsRemoved) {
  const std::string end32("\x20\x00\x00\x00", 4);
  const std::string cases[] = {
      std::string("\x40\x00\x00\x00", 4) + "garbage",                         // end beyond the file
      std::string("\x02\x00\x00\x00", 4) + std::string(40, '0'),           // end before the records
      std::string("\xFF\xFF\xFF\xFF", 4) + std::string(40, '0'),           // negative end
      end32 + std::string(22, '0') + "99999",                                 // length before start
      end32 + std::string(22, '0') + "00x27",                                 // length not digits
      end32 + "01010000000099019901" "XY" "00027",  // rectangle off screen
      end32 + "01010000000003030202" "XY" "00027",  // rectangle upside down
      end32 + "01010199019903030303" "XY" "00027",  // previous window off screen
      end32 + "01010000000003030304" "XY" "00027",  // cells missing for the size
  };
  for (const std::string& bytes : cases) {
    t.dir().write("tmp/WinPush.tmp", bytes);
    p.screen.windows = WindowState{2, 5, 5, 10, 10};
    con.moveCursor(1, 1);
    con.write("keep");
    con.moveCursor(2, 2);
    restoreRegion(p.screen);
    EXPECT_EQ(con.text(1, 1, 1, 4), "keep");
    EXPECT_EQ(con.cursorRow(), 2);
    EXPECT_EQ(p.screen.windows.windowDepth, 0);
    EXPECT_EQ(p.screen.windows.windowTop, 0);
    EXPECT_FALSE(fileExists(stackFile()));
  }
}

TEST_F(ScreenStackTest, RestoreWithNothingSavedChangesNothing) {
  p.screen.windows = WindowState{1, 2, 3, 4, 5};
  restoreRegion(p.screen);  // no file at all
  t.dir().write("tmp/WinPush.tmp", "abc");
  restoreRegion(p.screen);  // a file too short to hold anything
  EXPECT_EQ(p.screen.windows.windowDepth, 1);
  EXPECT_EQ(p.screen.windows.windowTop, 2);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST_F(ScreenStackTest, SaveOverADamagedEndPointerStartsAFreshStack) {
  t.dir().write("tmp/WinPush.tmp", std::string("\x99\x99\x00\x00", 4) + "junk");
  p.screen.windows = WindowState{3, 2, 2, 9, 9};
  con.write("ab");
  saveRegion(p.screen, 1, 1, 1, 2);
  EXPECT_EQ(p.screen.windows.windowDepth, 1);
  drawFrame(p.screen, 1);
  restoreRegion(p.screen);
  EXPECT_EQ(con.text(1, 1, 1, 2), "ab");
  EXPECT_EQ(p.screen.windows.windowDepth, 0);
  EXPECT_EQ(p.screen.windows.windowTop, 0);
  EXPECT_FALSE(fileExists(stackFile()));
}

TEST(ZeroPad, KeepsTheLastDigits) {
  EXPECT_EQ(zeroPad(7, 2), "07");
  EXPECT_EQ(zeroPad(123, 2), "23");
  EXPECT_EQ(zeroPad(-5, 2), "05");
}

}  // namespace
}  // namespace xt
