#include "platform/cp850.h"

#include <gtest/gtest.h>

#include <set>

namespace xt {
namespace {

TEST(Cp850, EveryByteIsOnePrintableGlyph) {
  std::set<char32_t> upperHalf;
  for (int b = 0; b < 256; ++b) {
    char32_t cp = cp850ToUnicode(static_cast<uint8_t>(b));
    SCOPED_TRACE(b);
    EXPECT_GE(cp, 0x20u);  // never a control character on the terminal
    EXPECT_FALSE(cp >= 0x7F && cp < 0xA0);
    std::string utf8;
    appendUtf8(utf8, cp);
    EXPECT_EQ(cp850GlyphUtf8(static_cast<uint8_t>(b)), utf8);
    if (b >= 0x80) upperHalf.insert(cp);
  }
  EXPECT_EQ(upperHalf.size(), 128u);  // distinct, so typed text maps back
  EXPECT_EQ(cp850ToUnicode(0x00), U' ');
  EXPECT_EQ(cp850ToUnicode(0x10), U'\u25BA');
  EXPECT_EQ(cp850ToUnicode(0x11), U'\u25C4');
  EXPECT_EQ(cp850ToUnicode(0x7F), U'\u2302');
  EXPECT_EQ(cp850ToUnicode(0x82), U'\u00E9');
  EXPECT_EQ(cp850ToUnicode(0xC9), U'\u2554');
}

TEST(Cp850, TypedCharactersMapBackToTheirByte) {
  for (int b = 0x20; b < 256; ++b) {
    if (b == 0x7F) continue;
    EXPECT_EQ(unicodeToCp850(cp850ToUnicode(static_cast<uint8_t>(b))), b) << b;
  }
  EXPECT_EQ(unicodeToCp850(U'\u20AC'), 0xD5);  // euro
  EXPECT_EQ(unicodeToCp850(U'\u0131'), 0xD5);  // dotless i, the slot's old letter
  EXPECT_EQ(unicodeToCp850(U'\u2713'), -1);    // no byte
  EXPECT_EQ(unicodeToCp850(U'\u25BA'), -1);    // a glyph of a control byte is not text
  EXPECT_EQ(unicodeToCp850(0x0A), -1);
  EXPECT_EQ(unicodeToCp850(0x85), -1);
}

TEST(Cp850, TextConversions) {
  EXPECT_EQ(utf8ToCp850("Caf\xc3\xa9 \xe2\x82\xac \xe2\x9c\x93!"), "Caf\x82 \xD5 !");
  EXPECT_EQ(utf8ToCp850("a\xc3" "b\x80" "c"), "abc");  // broken sequences dropped
  EXPECT_EQ(cp850ToUtf8("\x87\x10"), "\xc3\xa7\xe2\x96\xba");
  std::string all;
  for (int b = 0x20; b < 256; ++b)
    if (b != 0x7F) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToCp850(cp850ToUtf8(all)), all);
}

}  // namespace
}  // namespace xt
