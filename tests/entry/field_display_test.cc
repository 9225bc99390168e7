#include "entry/field_display.h"

#include <gtest/gtest.h>

#include "entry/choice_list.h"
#include "entry_test_form.h"
#include "screen/text_styles.h"
#include "testing/test_program.h"

namespace xt {
namespace {

using testform::Field;

TEST(FieldDisplay, TitleCentredWithHalvesToEven) {
  struct Case {
    size_t length;
    int column;
  } cases[] = {{10, 36}, {11, 36}, {13, 34}, {12, 35}, {15, 34}};
  for (const Case& c : cases) {
    TestProgram t;
    Program& p = t.program();
    p.settings.menuTitle = std::string(c.length, 'T');
    testform::addGroup(p, "", {});
    drawGroup(p.entry, 1);
    std::string row = t.console().rowText(1);
    EXPECT_EQ(row.find('T'), static_cast<size_t>(c.column - 1)) << c.length;
    EXPECT_EQ(row.rfind('T'), static_cast<size_t>(c.column - 1 + static_cast<int>(c.length) - 1));
  }
}

TEST(FieldDisplay, GroupShowsLabelsAndValuesInTheirStyles) {
  TestProgram t;
  Program& p = t.program();
  p.settings.colourPairs[0][0] = 15;  // values
  p.settings.colourPairs[1][0] = 7;   // labels
  p.settings.colourPairs[2][0] = 0;   // title
  p.settings.colourPairs[2][1] = 7;
  p.settings.menuTitle = " OPERADORS ";
  testform::addGroup(p, "", {{3, 5, "Codi: ", 8}, {4, 5, "Text: ", 8}});
  testform::value(p, 1, 1) = "ANNA    ";
  testform::value(p, 1, 2) = "Vendes  ";
  drawGroup(p.entry, 1);
  EXPECT_EQ(t.console().text(3, 5, 4, 18), "Codi: ANNA    \nText: Vendes  ");
  EXPECT_EQ(t.console().cell(3, 5).attr, 0x07);
  EXPECT_EQ(t.console().cell(3, 11).attr, 0x0F);
  EXPECT_EQ(t.console().cell(1, 36).attr, 0x70);
  EXPECT_EQ(p.screen.styles.currentStyle, 0);
}

TEST(FieldDisplay, ValueShownByItsAttributes) {
  TestProgram t;
  Program& p = t.program();
  testform::addGroup(p, "",
                     {
                         {2, 1, "P:", 5, 0, 3, kFlagProtected},
                         {3, 1, "H:", 5, 0, 0, kFlagMasked},
                         {4, 1, "C:", 1, 0, 4, 0, 0, 0, "|G,General|R,Restringit"},
                         {5, 1, "U:", 1, 0, 4, 0, 0, 0, "|G,General|R,Restringit"},
                         {6, 1, "M:", 6, 3},
                         {9, 1, "E:", 4, 2, 0, 0, 1, 0, "|A,Alfa"},
                     });
  testform::value(p, 1, 1) = "abcde";
  testform::value(p, 1, 2) = "secrt";
  testform::value(p, 1, 3) = "R";
  testform::value(p, 1, 4) = "X";  // not among the codes
  testform::value(p, 1, 5) = "abcdef";
  testform::value(p, 1, 6) = "A   ";  // edit mode 1: printed as stored
  FakeConsole& con = t.console();
  con.moveCursor(5, 3);
  con.write("Gener");  // what the field showed for the record before
  for (int16_t f = 1; f <= 6; ++f) showFieldValue(p.entry, 1, f);
  EXPECT_EQ(con.text(2, 3, 2, 12), "--------  ");
  EXPECT_EQ(con.text(3, 3, 3, 8), "      ");
  EXPECT_EQ(con.text(4, 3, 4, 9), "Restr  ");  // cut to width + clear width
  EXPECT_EQ(con.text(5, 3, 5, 8), "      ");  // blanks for width + clear width
  EXPECT_EQ(con.text(6, 3, 8, 6), "abc \ndef \n    ");
  EXPECT_EQ(con.text(9, 3, 9, 7), "A    ");
  EXPECT_TRUE(p.entry.state.values.bytes.empty());
}

TEST(FieldDisplay, StoringFitsTheValueToTheFieldWidth) {
  TestProgram t;
  Program& p = t.program();
  testform::addGroup(p, "", {{2, 1, "A:", 6}});
  EXPECT_EQ(storeFieldValue(p.entry, 1, "0123456789", 1), 0);
  EXPECT_EQ(testform::value(p, 1, 1), "012345");
  EXPECT_EQ(storeFieldValue(p.entry, 1, "abc", 1), 0);
  EXPECT_EQ(testform::value(p, 1, 1), "abc   ");
  EXPECT_EQ(t.console().text(2, 3, 2, 8), "abc   ");
}

TEST(FieldDisplay, UpperCaseModes) {
  TestProgram t;
  Program& p = t.program();
  testform::addGroup(p, "", {{2, 1, "A:", 5, 0, 0, 0, 1}, {3, 1, "B:", 5, 0, 0, 0, 2}});
  std::string& one = testform::value(p, 1, 1);
  one = "old  ";
  EXPECT_EQ(storeFieldValue(p.entry, 1, "  *  ", 1), -1);  // a lone asterisk is refused
  EXPECT_EQ(one, "old  ");
  EXPECT_EQ(t.console().text(2, 1, 2, 7), "       ");  // nothing painted
  EXPECT_EQ(storeFieldValue(p.entry, 1, "a*", 1), 0);
  EXPECT_EQ(one, "A*   ");
  EXPECT_EQ(storeFieldValue(p.entry, 1, "**", 1), 0);
  EXPECT_EQ(storeFieldValue(p.entry, 1, "\x87" "a va", 2) /* ç */, 0);
  EXPECT_EQ(testform::value(p, 1, 2), "\x80" "A VA" /* Ç */);
}

TEST(FieldDisplay, RestrictedOperatorKeepsModeOneValues) {
  TestProgram t;
  Program& p = t.program();
  p.settings.operatorType = 1;
  testform::addGroup(p, "", {{2, 1, "A:", 5, 0, 0, 0, 1}, {3, 1, "B:", 5, 0, 0, 0, 2}});
  testform::value(p, 1, 1) = "PERE ";
  t.console().moveCursor(2, 3);
  t.console().write("xxxxx");
  EXPECT_EQ(storeFieldValue(p.entry, 1, "joan", 1), 0);
  EXPECT_EQ(testform::value(p, 1, 1), "PERE ");
  EXPECT_EQ(t.console().text(2, 3, 2, 7), "PERE ");  // the old value painted again
  EXPECT_EQ(storeFieldValue(p.entry, 1, "*", 1), -1);
  EXPECT_EQ(storeFieldValue(p.entry, 1, "joan", 2), 0);  // other modes still store
  EXPECT_EQ(testform::value(p, 1, 2), "JOAN ");
}

TEST(ChoiceList, EntriesAndOddShapes) {
  auto e = parseChoices("|G,General|R,Restringit, no");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[1].code, "R");
  EXPECT_EQ(e[1].description, "Restringit, no");
  e = parseChoices("junk|X|,Blank");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].code, "X");
  EXPECT_EQ(e[0].description, "");
  EXPECT_EQ(e[1].code, "");
  EXPECT_TRUE(parseChoices("no bars").empty());
}

}  // namespace
}  // namespace xt
