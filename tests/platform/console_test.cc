#include "platform/console.h"

#include <gtest/gtest.h>

#include "testing/fake_console.h"

namespace xt {
namespace {

TEST(ConsoleWrite, WrapsAtTheRowEndAndStopsAtTheScreenEnd) {
  FakeConsole c;
  c.setColours(14, 1);
  c.moveCursor(1, 79);
  c.write("abc");
  EXPECT_EQ(c.cell(1, 79).ch, 'a');
  EXPECT_EQ(c.cell(1, 80).ch, 'b');
  EXPECT_EQ(c.cell(2, 1).ch, 'c');
  EXPECT_EQ(c.cell(2, 1).attr, 0x1E);
  c.moveCursor(25, 79);
  c.write("xyz");  // the last cell takes y; z is dropped
  EXPECT_EQ(c.cell(25, 80).ch, 'y');
}

TEST(ScreenBuffer, TracksTheDirtyRangeOfEachRow) {
  ScreenBuffer b;
  b.clearDirty();
  b.set(3, 10, Cell{'x', 7});
  b.set(3, 5, Cell{'y', 7});
  b.set(4, 1, b.at(4, 1));  // unchanged cell stays clean
  EXPECT_EQ(b.dirtyFirst(3), 5);
  EXPECT_EQ(b.dirtyLast(3), 10);
  EXPECT_FALSE(b.rowDirty(4));
  b.set(0, 1, Cell{'z', 7});  // out of range: ignored
  b.set(26, 1, Cell{'z', 7});
  EXPECT_EQ(b.at(26, 1), Cell{});
}

}  // namespace
}  // namespace xt
