#include "entry/field_entry.h"

#include <gtest/gtest.h>

#include "entry/field_display.h"
#include "entry_test_form.h"
#include "platform/key_codes.h"
#include "testing/test_program.h"

namespace xt {
namespace {

using testform::Field;
using testform::Window;

// The keys of an ordinary group: Enter, Esc, the arrows and pages, F4.
const char kKeys[] = "0d,1b,4800,5000,4900,5100,3e00,3c00";

class RecordingHooks : public FormHooks {
 public:
  int16_t groupExitHook(int16_t& group, int16_t& key) override {
    exits.emplace_back(group, key);
    if (restarts > 0) {
      --restarts;
      return -1;
    }
    return 0;
  }
  void lookupChosenHook(int16_t& list, int16_t& group, int16_t& field) override {
    ++chosen;
    if (askAgain > 0) {
      --askAgain;
      list = 0;
      return;
    }
    (void)storeFieldValue(*entry, group, "chosen", field);
    if (moveTo != 0) field = moveTo;
  }

  Entry* entry = nullptr;
  std::vector<std::pair<int16_t, int16_t>> exits;
  int restarts = 0;
  int askAgain = 0;
  int chosen = 0;
  int16_t moveTo = 0;
};

class EntryTest : public ::testing::Test {
 protected:
  EntryTest() {
    hooks.entry = &t.program().entry;
    t.program().entry.hooks = &hooks;
    t.program().entry.state.insertStateLoaded = true;
  }
  Program& p() { return t.program(); }
  FakeConsole& con() { return t.console(); }
  std::string& value(int g, int f) { return testform::value(p(), g, f); }
  // Three plain fields A, B, C on rows 3-5.
  int16_t threeFields(int16_t continuation = 0, const std::string& keys = kKeys, int16_t middleFlags = 0) {
    return testform::addGroup(p(), keys,
                              {{3, 5, "A: ", 4}, {4, 5, "B: ", 4, 0, 0, middleFlags}, {5, 5, "C: ", 4}},
                              continuation);
  }
  int16_t run(int16_t group, int16_t leaveUp = 0, int16_t leaveDown = 0) {
    int16_t key = 0;
    enterGroup(p().entry, group, leaveUp, leaveDown, key);
    return key;
  }

  TestProgram t;
  RecordingHooks hooks;
};

TEST_F(EntryTest, EnterWalksTheFieldsAndEndsTheGroup) {
  int16_t g = threeFields();
  con().pushText("a");
  con().pushKey(key::kEnter);
  con().pushText("b");
  con().pushKey(key::kDown);
  con().pushText("c");
  con().pushKeys({key::kDown, key::kDown});  // Down on the last field stays there
  con().pushText("d");
  con().pushKey(key::kTab);  // Tab is Enter: past the last field
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(value(g, 1), "a   ");
  EXPECT_EQ(value(g, 2), "b   ");
  EXPECT_EQ(value(g, 3), "d   ");
  EXPECT_EQ(con().text(3, 5, 5, 11), "A: a   \nB: b   \nC: d   ");
  ASSERT_EQ(hooks.exits.size(), 1u);
  EXPECT_EQ(hooks.exits[0], std::make_pair(g, key::kEnter));
  EXPECT_TRUE(p().screen.activeKeys.saved.empty());  // every field's table popped
  EXPECT_TRUE(p().screen.activeKeys.activeFrom.empty());
}

TEST_F(EntryTest, EnterEndsAsEndWhenTheGroupListsEnd) {
  int16_t g = threeFields(0, std::string(kKeys) + ",4f00");
  con().pushText("x");
  con().pushKey(key::kEnter);
  EXPECT_EQ(run(g), key::kEnd);
  EXPECT_EQ(value(g, 1), "x   ");  // stored before leaving
}

TEST_F(EntryTest, EscDiscardsOnALaterFieldAndLeavesOnTheFirst) {
  int16_t g = threeFields();
  value(g, 2) = "keep";
  con().pushText("a");
  con().pushKey(key::kEnter);
  con().pushText("zz");
  con().pushKey(key::kEsc);  // back to the first field, B untouched
  con().pushText("q");
  con().pushKey(key::kEsc);
  EXPECT_EQ(run(g), key::kEsc);
  EXPECT_EQ(value(g, 1), "a   ");  // Esc on the first field does not store "q"
  EXPECT_EQ(value(g, 2), "keep");
  EXPECT_EQ(con().text(3, 8, 4, 11), "a   \nkeep");  // stored values shown again
}

TEST_F(EntryTest, ProtectedFieldsAreSteppedOverBothWays) {
  int16_t g = threeFields(0, kKeys, kFlagProtected);
  value(g, 2) = "lock";
  con().pushText("1");
  con().pushKey(key::kEnter);  // A -> C
  con().pushText("3");
  con().pushKey(key::kUp);  // C -> A
  con().pushText("2");
  con().pushKey(key::kDown);  // A -> C
  con().pushText("4");
  con().pushKey(key::kEnter);
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(value(g, 1), "2   ");
  EXPECT_EQ(value(g, 2), "lock");
  EXPECT_EQ(value(g, 3), "4   ");
  EXPECT_EQ(con().text(4, 5, 4, 11), "B: ----");
}

TEST_F(EntryTest, BlankStartFieldKeepsItsValueWhenLeftBlank) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "P: ", 6, 0, 0, kFlagStartBlank}, {4, 5, "Q: ", 2}});
  value(g, 1) = "stored";
  con().pushKey(key::kEnter);
  con().pushKey(key::kUp);
  con().pushText("new");
  con().pushKeys({key::kEnter, key::kEnter});
  run(g);
  EXPECT_EQ(value(g, 1), "new   ");

  value(g, 1) = "stored";
  con().pushKeys({key::kPgDn});  // left blank: stored value kept and shown
  con().pushKey(key::kEsc);
  con().pushKey(key::kEsc);
  run(g);
  EXPECT_EQ(value(g, 1), "stored");
  EXPECT_EQ(con().text(3, 8, 3, 13), "stored");
}

TEST_F(EntryTest, ModeOneRefusesALoneAsterisk) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "Codi: ", 8, 0, 0, 0, 1}});
  con().pushText("*");
  con().pushKey(key::kEnter);  // refused: beep, same field, text kept
  con().pushKeys({key::kEnd});
  con().pushText("x");
  con().pushKey(key::kEnter);
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(con().beeps(), 1);
  EXPECT_EQ(value(g, 1), "*X      ");
}

TEST_F(EntryTest, RestrictedOperatorModeOneFieldKeepsItsValue) {
  p().settings.operatorType = 1;
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "Codi: ", 8, 0, 0, 0, 1}});
  value(g, 1) = "PERE    ";
  con().pushText("joan");
  con().pushKey(key::kEnter);
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(value(g, 1), "PERE    ");
  EXPECT_EQ(con().text(3, 11, 3, 18), "PERE    ");
}

TEST_F(EntryTest, ContinuationGroups) {
  int16_t g1 = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 4}, {4, 5, "B: ", 4}}, 2);
  int16_t g2 = testform::addGroup(p(), kKeys, {{6, 5, "C: ", 4}}, 0);
  con().pushKeys({key::kEnter, key::kEnter});  // the last field of 1 leads into 2
  con().pushKey(key::kUp);                     // Up on 2's first field: back to B
  con().pushText("b");
  con().pushKey(key::kEnter);  // into 2 again
  con().pushText("c");
  con().pushKey(key::kEnter);  // past 2's last field: both groups end
  EXPECT_EQ(run(g1), key::kEnter);
  EXPECT_EQ(value(g1, 2), "b   ");
  EXPECT_EQ(value(g2, 1), "c   ");
  std::vector<std::pair<int16_t, int16_t>> expected = {{g2, key::kEsc}, {g2, key::kEnter}, {g1, key::kEnter}};
  EXPECT_EQ(hooks.exits, expected);

  // F2 enters the continuation from any field; Esc there comes back.
  hooks.exits.clear();
  con().pushKey(key::kF2);
  con().pushKey(key::kEsc);  // leaves group 2 (first field)
  con().pushKey(key::kEsc);  // leaves group 1
  EXPECT_EQ(run(g1), key::kEsc);
  expected = {{g2, key::kEsc}, {g1, key::kEsc}};
  EXPECT_EQ(hooks.exits, expected);
}

TEST_F(EntryTest, PageKeysWithoutLeaveFlagsOnlyJump) {
  int16_t g = threeFields();
  con().pushKey(key::kPgDn);
  con().pushText("c");
  con().pushKey(key::kPgDn);  // already on the last: stays
  con().pushText("d");
  con().pushKey(key::kPgUp);
  con().pushKey(key::kPgUp);  // already on the first: stays
  con().pushText("a");
  con().pushKeys({key::kEnter, key::kEsc, key::kEsc});
  EXPECT_EQ(run(g), key::kEsc);
  EXPECT_EQ(value(g, 1), "a   ");
  EXPECT_EQ(value(g, 2), "    ");
  EXPECT_EQ(value(g, 3), "d   ");
  EXPECT_EQ(p().entry.state.resumeGroup, 0);
  EXPECT_EQ(hooks.exits.size(), 1u);
}

TEST_F(EntryTest, PageKeysWithLeaveFlagsLeaveAndResume) {
  int16_t g1 = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 4}}, 2);
  int16_t g2 = testform::addGroup(p(), kKeys, {{6, 5, "C: ", 4}, {7, 5, "D: ", 4}}, 0);
  con().pushKey(key::kEnter);  // into group 2
  con().pushKey(key::kPgDn);   // to D
  con().pushKey(key::kPgDn);   // on the last field: leaves group 2, then group 1
  EXPECT_EQ(run(g1, 1, 1), key::kPgDn);
  EXPECT_EQ(p().entry.state.resumeGroup, g2);

  // The next run of group 1 goes straight on in group 2.
  hooks.exits.clear();
  con().pushText("d");
  con().pushKey(key::kEnter);
  con().pushKey(key::kEnter);  // past D: group 2 and group 1 end
  EXPECT_EQ(run(g1, 1, 1), key::kEnter);
  EXPECT_EQ(value(g2, 1), "d   ");
  EXPECT_EQ(p().entry.state.resumeGroup, 0);

  // PgUp on the first field leaves too, with the flag.
  con().pushKey(key::kPgUp);
  EXPECT_EQ(run(g1, 1, 0), key::kPgUp);
  EXPECT_EQ(p().entry.state.resumeGroup, g1);
  // A group whose chain does not lead to the resume group forgets it.
  con().pushKey(key::kEsc);
  EXPECT_EQ(run(g2), key::kEsc);
  EXPECT_EQ(p().entry.state.resumeGroup, 0);
}

TEST_F(EntryTest, MouseClicksChooseFields) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 4, 0, 2}, {4, 5, "B: ", 4, 0, 0, kFlagProtected},
                                              {5, 5, "C: ", 4}});
  con().pushClick(5, 5);  // on C's label
  con().pushText("c");
  con().pushClick(4, 9);  // the protected field: nothing there
  con().pushText("d");
  con().pushClick(3, 13);  // behind A's value, in its cleared area
  con().pushText("a");
  con().pushClick(20, 40);  // empty screen: stays on A
  con().pushText("b");
  con().pushKeys({key::kEnter, key::kEsc, key::kEsc});
  run(g);
  EXPECT_EQ(value(g, 3), "d   ");
  EXPECT_EQ(value(g, 1), "b   ");
}

TEST_F(EntryTest, GroupInAWindow) {
  con().moveCursor(10, 10);
  con().write("background");
  int16_t g = testform::addGroup(p(), kKeys, {{2, 3, "X: ", 4}}, 0, Window{8, 5, 12, 30});
  int16_t key = 0;
  std::string seen;
  p().screen.tools.calculator = [&](Screen&) {
    seen = con().text(8, 5, 12, 30);
    return std::string();
  };
  con().pushKeys({key::kAltX});
  con().pushClick(8 + 2, 5 + 3);  // window row 2, column 3: the label
  con().pushText("w");
  con().pushKey(key::kEnter);
  key = run(g);
  EXPECT_EQ(key, key::kEnter);
  EXPECT_EQ(value(g, 1), "w   ");
  EXPECT_NE(seen.find("X:"), std::string::npos);
  EXPECT_EQ(static_cast<uint8_t>(seen[0]), 0xC9);  // double frame
  EXPECT_EQ(con().text(10, 10, 10, 19), "background");  // restored
  EXPECT_EQ(p().screen.windows.windowDepth, 0);
}

TEST_F(EntryTest, LookUpLists) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 6, 0, 0, 0, 0, 1}, {4, 5, "B: ", 6}});
  // Without a browse list F4 is a cancelled list: beep, typing goes on.
  con().pushText("ab");
  con().pushKey(key::kF4);
  con().pushText("c");
  con().pushKey(key::kEnter);
  con().pushKey(key::kEsc);
  con().pushKey(key::kEsc);
  run(g);
  EXPECT_EQ(con().beeps(), 1);
  EXPECT_EQ(value(g, 1), "cb    ");  // edited again from its start

  int opened = 0;
  p().entry.browseList = [&](Entry&, int16_t& list, int16_t& result) {
    ++opened;
    EXPECT_EQ(list, 1);
    result = 0;
  };
  hooks.askAgain = 1;  // the hook sends the list back once
  con().pushKey(key::kF4);  // chosen: stored by the hook, then on to B
  con().pushText("b");
  con().pushKey(key::kEnter);
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(hooks.chosen, 2);
  EXPECT_EQ(value(g, 1), "chosen");
  EXPECT_EQ(value(g, 2), "b     ");
  EXPECT_TRUE(p().entry.state.values.bytes.empty());

  // F4 on a field without a list only enters it again.
  con().pushKey(key::kDown);
  con().pushKey(key::kF4);
  con().pushKey(key::kEsc);
  con().pushKey(key::kEsc);
  run(g);
  EXPECT_EQ(opened, 2);
}

TEST_F(EntryTest, LookUpOnTheLastFieldEndsTheGroup) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 6, 0, 0, 0, 0, 1}});
  p().entry.browseList = [&](Entry&, int16_t&, int16_t& result) { result = 0; };
  con().pushKey(key::kF4);
  EXPECT_EQ(run(g), key::kEnter);
  EXPECT_EQ(value(g, 1), "chosen");
}

TEST_F(EntryTest, ExitHookCanRestartTheGroup) {
  int16_t g = threeFields();
  hooks.restarts = 1;
  con().pushKey(key::kPgDn);
  con().pushKey(key::kEnter);  // leaves; the hook says no: back to A
  con().pushText("again");
  con().pushKeys({key::kEnter, key::kEsc, key::kEsc});
  EXPECT_EQ(run(g), key::kEsc);
  ASSERT_EQ(hooks.exits.size(), 2u);
  EXPECT_EQ(hooks.exits[0].second, key::kEnter);
  EXPECT_EQ(value(g, 1), "agai");
}

TEST_F(EntryTest, UnknownListedKeyEndsTheGroup) {
  int16_t g = threeFields(0, std::string(kKeys) + ",3d00");
  con().pushKey(key::kF3);
  EXPECT_EQ(run(g), key::kF3);
}

TEST_F(EntryTest, GroupWithoutEnterableFields) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "A: ", 3, 0, 0, kFlagProtected}});
  hooks.restarts = 5;  // even a hook that asks again cannot hold the group
  int16_t group = g, up = 0, down = 0, key = 1234;
  enterGroup(p().entry, group, up, down, key);
  EXPECT_EQ(key, 1234);
  EXPECT_EQ(hooks.exits.size(), 1u);
  EXPECT_EQ(con().text(3, 5, 3, 10), "A: ---");
  EXPECT_EQ(con().pendingEvents(), 0u);
  EXPECT_EQ(con().dryReads(), 0);
}

TEST_F(EntryTest, MaskedFieldShowsOnlyTheMask) {
  int16_t g = testform::addGroup(p(), kKeys, {{3, 5, "Clau: ", 6, 0, 2, kFlagMasked}});
  value(g, 1) = "secret";
  con().pushText("pw");
  con().pushKey(key::kEnter);
  run(g);
  EXPECT_EQ(value(g, 1), "pw    ");
  EXPECT_EQ(con().text(3, 11, 3, 18), "XXXXXX  ");
  EXPECT_EQ(p().screen.activeKeys.maskChar, 0);

  con().pushKey(key::kEnter);  // left blank: keeps "pw"
  run(g);
  EXPECT_EQ(value(g, 1), "pw    ");
}

TEST_F(EntryTest, HelpReentersTheField) {
  int16_t g = threeFields();
  p().settings.menuName = "XMENU   ";
  con().pushText("typed");
  con().pushKey(key::kF1);  // the text typed so far is dropped
  con().pushKey(key::kEnter);
  con().pushKey(key::kEsc);
  con().pushKey(key::kEsc);
  run(g);
  EXPECT_EQ(value(g, 1), "    ");
}

TEST_F(EntryTest, ConvenienceCallReturnsTheKey) {
  int16_t g = threeFields();
  con().pushKey(key::kPgDn);
  con().pushKey(key::kPgDn);  // leave flags 0: stays
  con().pushKey(key::kEsc);
  con().pushKey(key::kEsc);
  EXPECT_EQ(enterGroup(p().entry, g), key::kEsc);
  EXPECT_EQ(enterGroup(p().entry, 99), 0);  // no such group
}

}  // namespace
}  // namespace xt
