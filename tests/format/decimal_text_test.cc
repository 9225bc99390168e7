#include "format/decimal_text.h"

#include <gtest/gtest.h>

namespace xt {
namespace {

TEST(PackDecimalDigitsTest, Examples) {
  EXPECT_EQ(packDecimalDigits("20261207"), "\x94\x9A\x8C\x87");
  EXPECT_EQ(packDecimalDigits(" 7"), "\x87");
  EXPECT_EQ(packDecimalDigits("123"), "\x8C\x9E");
  EXPECT_EQ(packDecimalDigits(""), "");
  EXPECT_EQ(packDecimalDigits("1 2"), "\x8A\x94");  // blanks inside count as 0: "102" -> 10, 20
  EXPECT_EQ(packDecimalDigits("x9"), "\x89");       // a non-digit counts as 0
}

TEST(NumericValueTest, Examples) {
  EXPECT_EQ(numericValue16("  42abc"), 42);
  EXPECT_EQ(numericValue16("-7"), -7);
  EXPECT_EQ(numericValue16("+3"), 3);
  EXPECT_EQ(numericValue16("2.5"), 3);
  EXPECT_EQ(numericValue16("-1.6"), -2);
  EXPECT_EQ(numericValue16(".4"), 0);
  EXPECT_EQ(numericValue16("abc"), 0);
  EXPECT_EQ(numericValue16(""), 0);
  EXPECT_EQ(numericValue16("99999"), 32767);
  EXPECT_EQ(numericValue16("-99999"), -32768);
  EXPECT_DOUBLE_EQ(numericValue("12.25x"), 12.25);
}

TEST(UnpackDecimalDigits, TwoDigitsPerByte) {
  EXPECT_EQ(unpackDecimalDigits(packDecimalDigits("20261207")), "20261207");
  EXPECT_EQ(unpackDecimalDigits(std::string(1, static_cast<char>(0x80 | 120))), "20");
  EXPECT_EQ(unpackDecimalDigits(std::string(1, '\x05')), "05");
  EXPECT_EQ(unpackDecimalDigits(""), "");
}

}  // namespace
}  // namespace xt
