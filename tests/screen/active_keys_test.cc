#include "screen/active_keys.h"

#include <gtest/gtest.h>

#include "format/int_bytes.h"
#include "screen/text_styles.h"
#include "testing/test_program.h"

namespace xt {
namespace {

std::string codes(std::initializer_list<int> list) {
  std::string s;
  for (int c : list) s += int16Bytes(static_cast<int16_t>(c));
  return s;
}

TEST(ActiveKeys, FromToPairsAndDeletion) {
  TestProgram t;
  Program& p = t.program();
  setActiveKeys(p.screen, "1b=2", "ea");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x1B}));
  EXPECT_EQ(p.screen.activeKeys.activeTo, codes({2}));
  setActiveKeys(p.screen, "d,1b", "ea");
  setActiveKeys(p.screen, "1b", "d");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x0D}));
  setActiveKeys(p.screen, "4800", "d");  // not in the table
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x0D}));
}

TEST(ActiveKeys, DeletionMatchesWholeEntriesOnly) {
  TestProgram t;
  Program& p = t.program();
  // 0x0D00 and 0x0048 laid end to end hold the bytes 00 48 across the two.
  setActiveKeys(p.screen, "d00,48", "ea");
  setActiveKeys(p.screen, "4800", "d");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x0D00, 0x48}));
}

TEST(ActiveKeys, NestedPushesUnwindInOrderAndPopWithNothingSavedKeepsTheTable) {
  TestProgram t;
  Program& p = t.program();
  setActiveKeys(p.screen, "1b", "ea");
  setActiveKeys(p.screen, "", "-");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x1B}));
  setActiveKeys(p.screen, "d,3b00", "+ea");
  setActiveKeys(p.screen, "d,1b,4800,5000,4900,5100,4b00,4d00", "+ea");
  setActiveKeys(p.screen, "3e00", "a");
  EXPECT_EQ(p.screen.activeKeys.activeFrom.size(), 18u);
  setActiveKeys(p.screen, "", "-");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x0D, 0x3B00}));
  setActiveKeys(p.screen, "", "-");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x1B}));
}

TEST(ActiveKeys, CodesAreKeptToSixteenBitsAndMaskSwitches) {
  TestProgram t;
  Program& p = t.program();
  setActiveKeys(p.screen, "8500,12345", "EAh");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({-31488, 0x2345}));
  EXPECT_EQ(p.screen.activeKeys.maskChar, 'X');
  setActiveKeys(p.screen, "", "v");
  EXPECT_EQ(p.screen.activeKeys.maskChar, 0);
}

TEST(ActiveKeys, EmptyItemsAreCodeZeroAndPushEmptyLeavesNoKeys) {
  TestProgram t;
  Program& p = t.program();
  setActiveKeys(p.screen, "d,,1B", "eA");
  EXPECT_EQ(p.screen.activeKeys.activeFrom, codes({0x0D, 0, 0x1B}));
  setActiveKeys(p.screen, "", "+e");
  EXPECT_TRUE(p.screen.activeKeys.activeFrom.empty());
  EXPECT_TRUE(p.screen.activeKeys.activeTo.empty());
  setActiveKeys(p.screen, "", "-");
  EXPECT_EQ(p.screen.activeKeys.activeTo, codes({0x0D, 0, 0x1B}));
}

}  // namespace
}  // namespace xt
