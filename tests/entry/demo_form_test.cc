// The demo installation's operator form driven through its groups with
// real key sequences, as the operator maintenance procedure runs them.
#include <gtest/gtest.h>

#include "entry/field_entry.h"
#include "forms/form_definition.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "testing/test_program.h"

namespace xt {
namespace {

class DemoFormEntry : public ::testing::Test {
 protected:
  DemoFormEntry() {
    copyTree(demoSourceDir(), t.root());
    p().settings.languageCode = "CAT";
    p().settings.menuTitle = " MANTENIMENT D'OPERADORS ";
    p().settings.menuName = "XTANCAR";
    p().entry.state.insertStateLoaded = true;
    loaded = loadForm(p().fs, p().form, p().settings, t.root() + "FORMS\\XTANCAR.JPN").ok;
  }
  Program& p() { return t.program(); }
  FakeConsole& con() { return t.console(); }
  std::string& value(int g, int f) { return p().form.field(g, f).fieldValue; }
  std::string row(int r) { return con().rowText(r); }

  TestProgram t;
  bool loaded = false;
};

TEST_F(DemoFormEntry, CodeGroup) {
  ASSERT_TRUE(loaded);
  con().pushText("admin");
  con().pushKey(key::kEnter);
  EXPECT_EQ(enterGroup(p().entry, 1), key::kEnter);
  EXPECT_EQ(value(1, 1), "ADMIN   ");
  EXPECT_EQ(row(1).substr(27, 25), " MANTENIMENT D'OPERADORS ");
  EXPECT_EQ(row(4).substr(4, 30), "Codi d'operador:      ADMIN   ");
  EXPECT_EQ(row(24).substr(2, 8), "F1 Ajuda");

  // Tab ends the field as Enter; Shift-Tab as Up, which stays in a group
  // that is not a continuation (and Up is not in this group's keys anyway).
  con().pushKey(key::kCtrlY);
  con().pushText("pere");
  con().pushKeys({key::kShiftTab, key::kTab});
  EXPECT_EQ(enterGroup(p().entry, 1), key::kEnter);
  EXPECT_EQ(value(1, 1), "PERE    ");
}

TEST_F(DemoFormEntry, HelpOpensOverTheCodeField) {
  ASSERT_TRUE(loaded);
  std::string old = currentDirectory();
  ASSERT_TRUE(changeDirectory(t.root()));
  con().pushKey(key::kF1);
  con().pushKey(key::kEsc);  // closes the help, not the group
  con().pushText("x");
  con().pushKey(key::kEnter);
  int16_t key = enterGroup(p().entry, 1);
  changeDirectory(old);
  EXPECT_EQ(key, key::kEnter);
  EXPECT_EQ(value(1, 1), "X       ");
  EXPECT_EQ(p().screen.windows.windowDepth, 0);
}

TEST_F(DemoFormEntry, OperatorDataGroup) {
  ASSERT_TRUE(loaded);
  value(2, 2) = "G";
  con().pushText("Vendes");
  con().pushKey(key::kEnter);
  con().pushKey(key::kSpace);  // G -> R
  con().pushKey(key::kEnter);  // past the protected key help: the group ends
  EXPECT_EQ(enterGroup(p().entry, 2), key::kEnter);
  EXPECT_EQ(value(2, 1), "Vendes  ");
  EXPECT_EQ(value(2, 2), "R");
  EXPECT_EQ(row(6).substr(4, 30), "Text de l'operador:   Vendes  ");
  EXPECT_EQ(row(8).substr(4, 34), "Nivell d'acc\x82s:       RESTRINGIT  " /* é */);

  // F8 is the delete request, reported as code 2.
  con().pushKey(key::kF8);
  EXPECT_EQ(enterGroup(p().entry, 2), key::kDeleteRequest);

  // The mouse: a click on the level's label, then on its right marker.
  value(2, 2) = "G";
  con().pushClick(8, 6);
  con().pushClick(8, 37);  // the value starts in column 27; 10 wide
  con().pushKey(key::kUp);
  con().pushText("Compres");
  con().pushKey(key::kPgDn);
  con().pushKey(key::kEsc);  // on the level, a later field: back to the text
  con().pushKey(key::kEsc);
  EXPECT_EQ(enterGroup(p().entry, 2), key::kEsc);
  EXPECT_EQ(value(2, 2), "R");
  EXPECT_EQ(value(2, 1), "Compres ");
}

TEST_F(DemoFormEntry, ConfirmationWindow) {
  ASSERT_TRUE(loaded);
  con().moveCursor(12, 10);
  con().write("under the window");
  value(3, 1) = "N";
  con().pushKeys({'s', key::kEnter});
  EXPECT_EQ(enterGroup(p().entry, 3), key::kEnter);
  EXPECT_EQ(value(3, 1), "S");
  EXPECT_EQ(con().text(12, 10, 12, 25), "under the window");

  value(3, 1) = "N";
  con().pushKeys({key::kSpace, key::kEsc});
  EXPECT_EQ(enterGroup(p().entry, 3), key::kEsc);
  EXPECT_EQ(value(3, 1), "N");  // Esc discards the answer
}

}  // namespace
}  // namespace xt
