#include "entry/field_editor.h"

#include <gtest/gtest.h>

#include "entry/insert_state.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"
#include "testing/test_program.h"

namespace xt {
namespace {

constexpr int16_t kRow = 5, kCol = 10;
const char kChoices[] = "|G,General|R,Restringit|E,\x90xtern" /* É */ "|A,Alta";

// One editing session of a value on row 5, column 10, with Enter, Esc, Up
// and Down ending the field unless other keys are given.
class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p().entry.state.insertStateLoaded = true;  // overwrite mode unless a test says otherwise
  }
  // A key that makes the key reader call the calculator, whose hook here
  // notes where the screen cursor is while the editor waits.
  static constexpr int16_t kProbe = key::kAltX;
  struct Probe {
    int row, column;
    bool visible;
    int size;
  };
  EditorTest() {
    t.program().screen.tools.calculator = [this](Screen& program) {
      const Console& c = program.console;
      probes_.push_back({c.cursorRow(), c.cursorColumn(), c.cursorVisible(), c.cursorSize()});
      return std::string();
    };
  }
  Program& p() { return t.program(); }
  FakeConsole& con() { return t.console(); }

  int16_t edit(std::string& value, int16_t cursor = 1, int16_t lineWidth = 0,
               const std::string& keys = "0d,1b,4800,5000") {
    setActiveKeys(p().screen, keys, "+ea");
    int16_t row = kRow, col = kCol, key = 0;
    cursor_ = cursor;
    editFieldValue(p().entry, row, col, lineWidth, value, cursor_, key);
    setActiveKeys(p().screen, "", "-");
    return key;
  }
  std::string box(int width, int row = kRow) { return t.console().text(row, kCol, row, kCol + width - 1); }

  TestProgram t;
  int16_t cursor_ = 0;
  std::vector<Probe> probes_;
};

TEST_F(EditorTest, OverwriteTypingEchoesAndStopsAtTheEnd) {
  std::string v = "abcdef";
  con().pushText("XY");
  con().pushKey(key::kEnter);
  EXPECT_EQ(edit(v), key::kEnter);
  EXPECT_EQ(v, "XYcdef");
  EXPECT_EQ(cursor_, 3);
  EXPECT_EQ(box(6), "XYcdef");

  con().pushText("12345678");
  con().pushKey(key::kEnter);
  edit(v, 4);
  EXPECT_EQ(v, "XYc123");
  EXPECT_EQ(cursor_, 7);  // behind the last character
  EXPECT_EQ(box(7), "XYc123 ");
  EXPECT_EQ(p().screen.styles.currentStyle, 0);
  EXPECT_FALSE(con().cursorVisible());
  EXPECT_EQ(con().cursorRow(), kRow);
  EXPECT_EQ(con().cursorColumn(), kCol);
}

TEST_F(EditorTest, InsertTypingShiftsUntilTheBoxIsFull) {
  std::string v = "ac    ";
  con().pushKeys({key::kInsert, key::kRight, 'b', key::kEnd});
  con().pushText("defgh");
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_EQ(v, "abcdef");  // g and h found no room
  EXPECT_EQ(box(6), "abcdef");
  EXPECT_TRUE(con().insertMode());

  // A full box in insert mode takes nothing, wherever the cursor is.
  con().pushKeys({key::kHome, 'Z', key::kEnter});
  edit(v);
  EXPECT_EQ(v, "abcdef");
}

TEST_F(EditorTest, InsertKeyResizesTheCursorAndPersists) {
  std::string v = "abc";
  p().entry.state.insertStateLoaded = false;
  con().pushKeys({kProbe, key::kInsert, kProbe, key::kEnter});
  edit(v);
  ASSERT_EQ(probes_.size(), 2u);
  EXPECT_TRUE(probes_[0].visible);
  EXPECT_EQ(probes_[0].size, 100);  // overwrite: a block
  EXPECT_EQ(probes_[1].size, 50);   // insert
  EXPECT_TRUE(con().insertMode());
  EXPECT_EQ(t.dir().read("tmp/INSERT.TMP"), "1");
  con().pushKey(key::kInsert);
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_FALSE(con().insertMode());
  EXPECT_EQ(t.dir().read("tmp/INSERT.TMP"), "0");
}

TEST_F(EditorTest, InsertStateComesFromTheLastRun) {
  {
    TestProgram first;
    first.dir().write("tmp/INSERT.TMP", "1");
    first.program().settings.terminalDir = first.temp();
    loadInsertState(first.program().entry);
    EXPECT_TRUE(first.console().insertMode());
    first.console().setInsertMode(false);
    loadInsertState(first.program().entry);  // read once per process only
    EXPECT_FALSE(first.console().insertMode());
  }
  {
    // A session without a terminal directory keeps it in its own directory.
    TestProgram session;
    session.program().settings.terminalDir.clear();
    session.program().settings.tempDir = session.root() + "sessio/";
    session.dir().write("sessio/INSERT.TMP", "1");
    loadInsertState(session.program().entry);
    EXPECT_TRUE(session.console().insertMode());
    session.console().setInsertMode(false);
    saveInsertState(session.program().entry);
    EXPECT_EQ(session.dir().read("sessio/INSERT.TMP"), "0");
  }
  TestProgram fresh;  // no state file: overwrite
  fresh.console().setInsertMode(true);
  loadInsertState(fresh.program().entry);
  EXPECT_FALSE(fresh.console().insertMode());
}

TEST_F(EditorTest, BackspaceAndDelPadWithBlanks) {
  std::string v = "abcdef";
  con().pushKeys({key::kRight, key::kRight, key::kRight, key::kBackspace, key::kDelete, key::kEnter});
  edit(v);
  EXPECT_EQ(v, "abef  ");
  EXPECT_EQ(box(6), "abef  ");
  EXPECT_EQ(cursor_, 3);

  con().pushKeys({key::kBackspace, key::kEnd, key::kDelete, key::kEnter});
  edit(v);  // Backspace at 1 and Del past the text change nothing but padding
  EXPECT_EQ(v, "abef  ");
  EXPECT_EQ(cursor_, 5);

  con().pushKeys({key::kCtrlY, key::kEnter});
  edit(v, 3);
  EXPECT_EQ(v, "      ");
  EXPECT_EQ(cursor_, 1);
  for (int16_t clearKey : {key::kCtrlEnd, key::kCtrlHome}) {
    v = "xyz";
    con().pushKeys({clearKey, key::kEnter});
    edit(v, 2);
    EXPECT_EQ(v, "   ") << clearKey;
  }
}

TEST_F(EditorTest, WordMovesStopAtEachSeparator) {
  std::string v = "ab,cd.ef;gh:ij kl   ";
  // Ctrl-Right walks the word starts, then to the end of the value.
  std::vector<int> rightStops;
  for (int i = 0; i < 7; ++i) {
    con().pushKeys({key::kCtrlRight, key::kEnter});
    edit(v, i == 0 ? 1 : cursor_);
    rightStops.push_back(cursor_);
  }
  EXPECT_EQ(rightStops, (std::vector<int>{4, 7, 10, 13, 16, 21, 21}));
  // At the end, Ctrl-Right ends the field; at position 1 Ctrl-Left does.
  con().pushKey(key::kCtrlRight);
  EXPECT_EQ(edit(v, 21, 0, "0d,1b,7400"), key::kCtrlRight);

  std::vector<int> leftStops;
  int16_t from = 18;
  for (int i = 0; i < 6; ++i) {
    con().pushKeys({key::kCtrlLeft, key::kEnter});
    edit(v, from);
    leftStops.push_back(cursor_);
    from = cursor_;
  }
  EXPECT_EQ(leftStops, (std::vector<int>{16, 13, 10, 7, 4, 1}));
  con().pushKey(key::kCtrlLeft);
  EXPECT_EQ(edit(v, 1, 0, "0d,1b,7300"), key::kCtrlLeft);

  // A separator at position 1 sends the cursor to 1.
  v = " abc";
  con().pushKeys({key::kCtrlLeft, key::kEnter});
  edit(v, 5);
  EXPECT_EQ(cursor_, 1);
}

TEST_F(EditorTest, CopyAndPaste) {
  std::string v = "  Anna Puig  ";
  con().pushKeys({key::kCtrlC, key::kEnter});
  edit(v);
  EXPECT_EQ(con().clipboard(), "Anna Puig");

  v = "0123456789";
  con().setClipboard(" ab\tc\x7f" "def\x01ghij ");  // controls dropped, then trimmed
  con().pushKeys({key::kCtrlV, key::kEnter});
  edit(v, 5);
  EXPECT_EQ(v, "0123abcdef");  // longer than the room left: the rest is dropped
  EXPECT_EQ(cursor_, 5);
  EXPECT_EQ(box(10), "0123abcdef");

  con().setClipboard("   ");
  con().pushKeys({key::kCtrlV, key::kEnter});
  edit(v, 1);
  EXPECT_EQ(v, "0123abcdef");
}

TEST_F(EditorTest, MaskedEchoHidesTheText) {
  setActiveKeys(p().screen, "", "h");
  std::string v = "      ";
  con().pushText("pw");
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_EQ(v, "pw    ");
  EXPECT_EQ(box(7), "XXXXXX ");  // a one-line box: as many X as the value is long

  con().clear();
  std::string multi = "abcdefgh";  // two lines of four: three X on each
  con().pushKeys({key::kCtrlC, key::kEnter});
  con().setClipboard("none");
  edit(multi, 1, 4);
  EXPECT_EQ(con().text(kRow, kCol, kRow + 1, kCol + 3), "XXX \nXXX ");
  EXPECT_EQ(con().clipboard(), "none");  // a masked value is not copied
  setActiveKeys(p().screen, "", "v");
}

TEST_F(EditorTest, MultiLineBox) {
  std::string v = "abcdefghij";  // lines of 4: "abcd" "efgh" "ij"
  con().pushKeys({key::kDown, key::kDown, 'Z', key::kUp, 'Y', key::kEnter});
  edit(v, 2, 4);
  EXPECT_EQ(v, "abcdefYhiZ");  // Z moved the cursor to 11, Up to 7
  EXPECT_EQ(con().text(kRow, kCol, kRow + 2, kCol + 3), "abcd\nefYh\niZ  ");

  con().pushKey(key::kUp);  // on the first line Up ends the field
  EXPECT_EQ(edit(v, 3, 4), key::kUp);
  con().pushKeys({key::kDown, key::kDown, key::kDown});  // lines 1 -> 2 -> 3, then ends
  EXPECT_EQ(edit(v, 2, 4), key::kDown);
  EXPECT_EQ(cursor_, 10);
  con().pushKey(key::kShiftTab);  // translated to Up when it ends the field
  EXPECT_EQ(edit(v, 1, 4), key::kUp);

  // The end of a value that fills its last line puts the cursor behind it.
  std::string full = "abcdefgh";
  con().pushKeys({key::kEnd, key::kF2});
  edit(full, 1, 4, "0d,1b,3c00");
  EXPECT_EQ(cursor_, 9);
}

TEST_F(EditorTest, CursorPlacement) {
  std::string full = "abcdefgh";  // two full lines of four
  con().pushKeys({kProbe, key::kEnd, kProbe, key::kLeft, kProbe, key::kEnter});
  edit(full, 1, 4);
  ASSERT_EQ(probes_.size(), 3u);
  EXPECT_EQ(probes_[0].row, kRow);
  EXPECT_EQ(probes_[0].column, kCol);
  EXPECT_EQ(probes_[1].row, kRow + 1);  // behind the last line, not below it
  EXPECT_EQ(probes_[1].column, kCol + 4);
  EXPECT_EQ(probes_[2].row, kRow + 1);
  EXPECT_EQ(probes_[2].column, kCol + 3);

  p().entry.state.currentChoices = kChoices;
  std::string code = "G";
  con().pushKeys({kProbe, key::kEnter});
  edit(code);
  EXPECT_FALSE(probes_[3].visible);  // a choice field has no cursor
}

TEST_F(EditorTest, MouseInsideMovesOutsideEnds) {
  std::string v = "abcdefghij";
  con().pushClick(kRow, kCol + 3);  // on "d"
  con().pushKeys({'X', key::kEnter});
  edit(v);
  EXPECT_EQ(v, "abcXefghij");

  con().pushClick(kRow + 1, kCol + 2);  // second line of a 5-wide box: "h"
  con().pushKeys({'Y', key::kEnter});
  edit(v, 1, 5);
  EXPECT_EQ(v, "abcXefgYij");

  con().pushClick(12, 33);
  EXPECT_EQ(edit(v), -(33 * 100 + 12));
}

// Keys whose codes fall below 0 are keys, not clicks: unlisted, they are
// ignored like any other; listed, they end the field as themselves.
TEST_F(EditorTest, NegativeKeyCodesAreNotClicks) {
  std::string v = "abc   ";
  con().pushKeys({key::kEnd, key::kF11, key::kF12, key::kCtrlPgUp, 'X', key::kEnter});
  EXPECT_EQ(edit(v), key::kEnter);
  EXPECT_EQ(v, "abcX  ");
  con().pushKeys({key::kRight, key::kF11});
  EXPECT_EQ(edit(v, 1, 0, "0d,1b,8500"), key::kF11);
  EXPECT_EQ(cursor_, 2);
}

TEST_F(EditorTest, MouseInAWindowUsesWindowPositions) {
  saveRegion(p().screen, 3, 20, 12, 60);
  std::string v = "abcdef";
  con().pushClick(3 + kRow, 20 + kCol + 2);
  con().pushKeys({'Q', key::kEnter});
  edit(v);
  EXPECT_EQ(v, "abQdef");
  EXPECT_EQ(con().text(3 + kRow, 20 + kCol, 3 + kRow, 20 + kCol + 5), "abQdef");
  restoreRegion(p().screen);
}

TEST_F(EditorTest, ChoiceStepping) {
  p().entry.state.currentChoices = kChoices;
  std::string v = "R";
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_EQ(v, "R");
  EXPECT_EQ(box(10), "Restringit");

  struct Step {
    const char* from;
    std::vector<int16_t> keys;
    const char* to;
  } steps[] = {
      {"R", {key::kRight}, "E"},
      {"E", {key::kSpace, key::kSpace}, "G"},  // wraps from the last
      {"G", {key::kLeft}, "A"},                // from the first to the last
      {"A", {key::kLeft, key::kLeft}, "R"},
      {"R", {'e'}, "E"},                       // the description starts with É
      {"G", {0x82}, "E"},                      // é
      {"G", {'a'}, "A"},
      {"A", {'a'}, "A"},                       // the only match stays
      {"R", {'r'}, "R"},
      {"R", {'z'}, "R"},                       // no match: unchanged
  };
  for (const Step& s : steps) {
    v = s.from;
    for (int16_t k : s.keys) con().pushKey(k);
    con().pushKey(key::kEnter);
    edit(v);
    EXPECT_EQ(v, s.to) << "from " << s.from << " with " << s.keys[0];
  }
  EXPECT_EQ(box(10), "Restringit");
}

TEST_F(EditorTest, ChoiceFieldShowsMarkersAndPadsTheCode) {
  p().entry.state.currentChoices = "|G,General|RR,Restringit";
  std::string v = "Q  ";  // matches no code: the first entry is shown
  con().pushIdle();
  con().pushKey(key::kRight);
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_EQ(v, "RR ");
  // Markers are cleared on the way out.
  EXPECT_EQ(con().text(kRow, kCol - 1, kRow, kCol + 10), " Restringit ");

  // Markers while editing: stop the session with a key that is ignored.
  v = "G  ";
  setActiveKeys(p().screen, "0d", "+ea");
  con().pushKey(key::kF9);  // not listed: ignored, box redrawn
  con().pushKey(key::kEnter);
  int16_t row = kRow, col = kCol, lw = 0, cursor = 1, key = 0;
  editFieldValue(p().entry, row, col, lw, v, cursor, key);
  setActiveKeys(p().screen, "", "-");
  EXPECT_EQ(v, "G  ");
}

TEST_F(EditorTest, ChoiceMarkerClicks) {
  p().entry.state.currentChoices = kChoices;  // longest description: 10
  std::string v = "G";
  con().pushClick(kRow, kCol + 10);  // the right marker
  con().pushClick(kRow, kCol + 10);
  con().pushClick(kRow, kCol + 4);  // on the description: nothing
  con().pushClick(kRow, kCol - 1);  // the left marker
  con().pushKey(key::kEnter);
  edit(v);
  EXPECT_EQ(v, "R");
  con().pushClick(kRow + 1, kCol + 2);  // below the box: ends with the click
  EXPECT_EQ(edit(v), -((kCol + 2) * 100 + kRow + 1));
}

TEST_F(EditorTest, ChoiceModeCopiesTheDescriptionAndIgnoresEditing) {
  p().entry.state.currentChoices = kChoices;
  std::string v = "A";
  con().pushKeys({key::kBackspace, key::kDelete, key::kCtrlY, key::kCtrlV, key::kCtrlC, key::kEnter});
  edit(v);
  EXPECT_EQ(v, "A");
  EXPECT_EQ(con().clipboard(), "Alta");
  con().pushKey(key::kDown);  // Up and Down always end a choice field
  EXPECT_EQ(edit(v), key::kDown);
}

TEST_F(EditorTest, ExitTranslations) {
  std::string v = "abc";
  con().pushKey(key::kEnter);
  EXPECT_EQ(edit(v, 1, 0, "0d,1b,4f00"), key::kEnd);  // the group ends fields with End
  con().pushKey(key::kTab);
  EXPECT_EQ(edit(v, 1, 0, "0d,1b,4f00"), key::kEnter);  // Tab is Enter, never End
  con().pushKey(key::kTab);
  EXPECT_EQ(edit(v), key::kEnter);
  con().pushKey(key::kCtrlF4);
  EXPECT_EQ(edit(v), key::kEsc);
  con().pushKey(key::kAltF4);
  EXPECT_EQ(edit(v), key::kEsc);
  // The End test is not aligned: bytes 00 4F straddling the entries 000D
  // and 014F turn Enter into End, which the table then does not list.
  con().pushKeys({key::kEnter, key::kEsc});
  EXPECT_EQ(edit(v, 1, 0, "0d,14f,1b"), key::kEsc);
}

TEST_F(EditorTest, ActiveKeyFilter) {
  std::string v = "abc";
  // Keys not in the table are ignored (Alt-X included) until a listed one.
  con().pushKeys({key::kF3, key::kAltX, key::kPgDn, key::kF5});
  EXPECT_EQ(edit(v, 1, 0, "1b,3f00"), key::kF5);
  // A listed key is reported as its translation.
  con().pushKey(key::kEsc);
  EXPECT_EQ(edit(v, 1, 0, "0d,1b=2"), 2);
  // F3's bytes (00 3D) straddle the entries 000D and 013D: not a match.
  con().pushKeys({key::kF3, key::kEnter});
  EXPECT_EQ(edit(v, 1, 0, "0d,13d"), key::kEnter);
  // With an empty table every ending key ends the field.
  std::string w = "abc";
  con().pushKey(key::kF3);
  int16_t row = kRow, col = kCol, lw = 0, cursor = 1, key = 0;
  editFieldValue(p().entry, row, col, lw, w, cursor, key);
  EXPECT_EQ(key, key::kF3);
}

TEST_F(EditorTest, RowAndColumnZeroMeanTheScreenCursor) {
  con().moveCursor(7, 30);
  std::string v = "ab";
  con().pushKeys({'Z', key::kEnter});
  setActiveKeys(p().screen, "0d", "+ea");
  int16_t row = 0, col = 0, lw = 0, cursor = 1, key = 0;
  editFieldValue(p().entry, row, col, lw, v, cursor, key);
  setActiveKeys(p().screen, "", "-");
  EXPECT_EQ(row, 7);
  EXPECT_EQ(col, 30);
  EXPECT_EQ(con().text(7, 30, 7, 31), "Zb");
}

}  // namespace
}  // namespace xt
