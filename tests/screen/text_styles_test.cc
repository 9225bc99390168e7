#include "screen/text_styles.h"

#include <gtest/gtest.h>

#include "testing/test_program.h"

namespace xt {
namespace {

TEST(TextStyles, LettersChooseStylesAndColours) {
  TestProgram t;
  Program& p = t.program();
  int16_t colours[5][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}};
  std::copy(&colours[0][0], &colours[0][0] + 10, &p.settings.colourPairs[0][0]);
  struct Case {
    const char* letters;
    int style;
  } cases[] = {{"h", 0}, {"n", 1}, {"rh", 2}, {"rn", 3}, {"u", 4}, {"Un", 4}, {"x", 0}};
  for (const Case& c : cases) {
    std::string letters = c.letters;
    selectTextStyle(p.screen, letters);
    EXPECT_EQ(p.screen.styles.currentStyle, c.style) << c.letters;
    EXPECT_EQ(t.console().attribute(), colours[c.style][0] | (colours[c.style][1] << 4)) << c.letters;
  }
  std::string lower = "rh";
  selectTextStyle(p.screen, lower);
  EXPECT_EQ(lower, "RH");  // upper-cased in place
}

TEST(TextStyles, PushAndPop) {
  TestProgram t;
  Program& p = t.program();
  selectTextStyle(p.screen, "u");
  selectTextStyle(p.screen, "+n");
  EXPECT_EQ(p.screen.styles.currentStyle, 1);
  selectTextStyle(p.screen, "-");
  EXPECT_EQ(p.screen.styles.currentStyle, 4);
  selectTextStyle(p.screen, "+-");  // push and pop the same style
  EXPECT_EQ(p.screen.styles.currentStyle, 4);
  EXPECT_TRUE(p.screen.styles.styleStack.empty());
  selectTextStyle(p.screen, "-");  // empty stack selects style 0
  EXPECT_EQ(p.screen.styles.currentStyle, 0);
  selectTextStyle(p.screen, "   ");  // blanks change nothing
  EXPECT_EQ(p.screen.styles.currentStyle, 0);
}


}  // namespace
}  // namespace xt
