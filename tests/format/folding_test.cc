#include "format/folding.h"

#include <gtest/gtest.h>

namespace xt {
namespace {

TEST(FoldText, UpperTableCapitalisesAccentedLetters) {
  // "Àlex núñez 12" with À 0xB7, ú 0xA3, ñ 0xA4.
  EXPECT_EQ(foldText("\xB7lex n\xA3\xA4"
                     "ez 12"),
            "\xB7LEX N\xE9\xA5"  // Ú Ñ
            "EZ 12");
  EXPECT_EQ(foldText("\x87\x8A\x82\x91\x94"), "\x80\xD4\x90\x92\x99");  // çèéæö -> ÇÈÉÆÖ
  // Letters without a capital, the euro sign and codes outside the table stay.
  EXPECT_EQ(foldText("\x98\x9B\xE1\xE7\xE6\xD5\xEE\xFF"), "\x98\x9B\xE1\xE7\xE6\xD5\xEE\xFF");
  EXPECT_EQ(foldText("@[`{~"), "@[`{~");
  EXPECT_EQ(foldText(""), "");
}

TEST(FoldText, SearchTableReducesToPlainCapitals) {
  EXPECT_EQ(foldText("\x87"
                     "a",
                     true),
            "CA");
  EXPECT_EQ(foldText("\x82", true), "E");
  EXPECT_EQ(foldText("E", true), "E");
  EXPECT_EQ(foldText("@[~", true), "   ");
  EXPECT_EQ(foldText("1 ,", true), "1 ,");
  EXPECT_EQ(foldText("\xEE\xEF\xFF", true), "\xEE\xEF\xFF");
  EXPECT_EQ(foldText("\xD5\xE1\xE7\xE8\x98\xA5\xD1\x9D", true), "ESTTYNDO");
  EXPECT_EQ(foldText("\xB3\xC4\xDA\x9C", true), "    ");  // box drawing and the pound sign
  EXPECT_EQ(foldText("", true), "");
}

TEST(FoldText, TablesAgreeWithEachOther) {
  const unsigned char* upper = upperFoldTable();
  const unsigned char* search = searchFoldTable();
  int changed = 0;
  for (int c = 64; c <= 237; ++c) {
    unsigned char u = upper[c - 64];
    unsigned char s = search[c - 64];
    EXPECT_TRUE(s == ' ' || (s >= 'A' && s <= 'Z')) << "code " << c;
    if (u != c) {
      ++changed;
      // A small letter and its capital reduce to the same plain letter.
      EXPECT_EQ(search[u - 64], s) << "code " << c;
      EXPECT_NE(s, ' ') << "code " << c;
    }
  }
  EXPECT_EQ(changed, 26 + 28);
}

}  // namespace
}  // namespace xt
