#include "format/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "testing/test_program.h"

namespace xt {
namespace {

struct PictureCase {
  const char* picture;
  double value;
  const char* expected;
};

TEST(FormatPicture, DefaultCharacters) {
  const PictureCase cases[] = {
      {"ZZ,ZZ9.99", 1234.5, " 1.234'50"},
      {"ZZ,ZZ9.99-", -1234.5, " 1.234'50-"},
      {"ZZ,ZZ9.99-", 1234.5, " 1.234'50 "},
      {"+ZZ,ZZ9", 1234, "+ 1.234"},
      {"+ZZ,ZZ9", -1234, "- 1.234"},
      {"ZZ,ZZ9", 5, "     5"},
      {"**,**9", 5, "*****5"},
      {"ZZ9", -5, " -5"},
      {"ZZ.ZZ", 1, " 1   "},
      {"ZZ.ZZ", 1.5, " 1'5 "},
      {"ZZ9.99", 0, "  0'00"},
      {"ZZZ.ZZ", 0, "      "},
      {"9", 2.5, "2"},
      {"9", 3.5, "4"},
      {"9.9", 0.25, "0'2"},
      {"ZZ9", 123456, "!!!"},
      {"99", -12, "!!"},
      {"9.9", 12.345, "12'"},
      {"ZZZZ9", 1234567, "!!!!!"},
      {"9.99", -0.001, "-'00"},
      {"9999", 42, "0042"},
      {"9999", -42, "0-42"},  // the minus floats to the first position left of the digits
      {"ZZ,ZZ9", -1234, "-1.234"},
      {"Z,ZZ9", -1234, "-1234"},  // no position left for the minus: plain text
      {"ZZZ9", -1234, "!!!!"},
      {"$ZZ9.99", 7.5, "$  7'50"},
      {"Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9", 1234567890123.0, "    1.234.567.890.123"},
      {"", 5, ""},
  };
  for (const PictureCase& c : cases) {
    TestProgram t;
    EXPECT_EQ(formatPicture(t.program().format, c.picture, c.value), c.expected)
        << c.picture << " with " << c.value;
  }
}

TEST(FormatPicture, NonFiniteNumbersShowOverflowMarks) {
  TestProgram t;
  double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(formatPicture(t.program().format, "-ZZ9.99", inf), "!!!!!!!");
  EXPECT_EQ(formatPicture(t.program().format, "-ZZ9.99", -inf), "!!!!!!!");
  EXPECT_EQ(formatPicture(t.program().format, "ZZ9", std::nan("")), "!!!");
}

TEST(FormatPicture, TheInstallationsCharacters) {
  FormatSettings f;
  f.decimalChar = ",";
  EXPECT_EQ(formatPicture(f, "ZZ,ZZ9.99", 1234.5), " 1.234,50");
  f.thousandsChar = " ";
  EXPECT_EQ(formatPicture(f, "ZZ,ZZ9.99", 1234.5), " 1 234,50");
}

}  // namespace
}  // namespace xt
