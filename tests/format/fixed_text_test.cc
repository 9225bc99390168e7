#include "format/fixed_text.h"

#include <gtest/gtest.h>

namespace xt {
namespace {

TEST(FixedText, FitTrimAndAllChar) {
  EXPECT_EQ(fitText("AB", 4), "AB  ");
  EXPECT_EQ(fitText("ABCDEF", 4), "ABCD");
  EXPECT_EQ(fitText("", 2), "  ");
  EXPECT_EQ(rightTrimmed("  A B  "), "  A B");
  EXPECT_EQ(trimmed("  A B  "), "A B");
  EXPECT_EQ(trimmed("   "), "");
}

TEST(IsAllChar, EmptyTextCounts) {
  EXPECT_EQ(isAllChar("", 32), -1);
  EXPECT_EQ(isAllChar("   ", 32), -1);
  EXPECT_EQ(isAllChar("  a", 32), 0);
}

}  // namespace
}  // namespace xt
