#include "lists/browse_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/file_table.h"
#include "format/fixed_text.h"
#include "forms/operator_maintenance.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// Keeps the screen as it was each time the program waited for a key, with
// the row of the highlighted list line.
class SnapshotConsole : public FakeConsole {
 public:
  struct Snapshot {
    std::string screen;
    int highlightedRow = 0;  // screen row, 0 when none
  };

  InputEvent readEvent(int timeoutMs) override {
    if (timeoutMs != 0) {
      Snapshot s{dump(), 0};
      for (int r = 1; r <= rows() && s.highlightedRow == 0; ++r)
        if (cell(r, highlightColumn).attr == kHighlight) s.highlightedRow = r;
      snapshots.push_back(s);
    }
    return FakeConsole::readEvent(timeoutMs);
  }

  static constexpr uint8_t kHighlight = 0x1E;  // style "u" below: yellow on blue
  int highlightColumn = 1;
  std::vector<Snapshot> snapshots;
};

std::string entryBytes(int32_t backLink, int32_t recordPos, const std::string& text) {
  std::string out;
  for (int32_t v : {backLink, recordPos})
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
  out.push_back(static_cast<char>(text.size() & 0xFF));
  out.push_back(static_cast<char>(text.size() >> 8));
  return out + text;
}

// A list without data file over a Browse.tmp written by the test, in a
// window at rows 5..16, columns 10..23: 10 lines of 12 characters.
class BrowseListTest : public ::testing::Test {
 protected:
  BrowseListTest() : program(console, t.system(), t.fs(), t.engine()) {
    program.settings = t.program().settings;
    program.settings.colourPairs[4][0] = 14;
    program.settings.colourPairs[4][1] = 1;
    program.form.lookups.resize(2);
    LookupList& l = program.form.lookups[1];
    l.attr[2] = 5;
    l.attr[3] = 10;
    l.attr[4] = 16;
    l.attr[5] = 23;
    l.lookupTitle = "CODI";
    console.highlightColumn = 11;
    console.setTypeAhead(false);
  }

  std::string browsePath() const { return t.temp() + "Browse.tmp"; }

  // Entries "LINE01".. with record positions 101...
  void writeLines(int count, const std::string& prefix = "LINE") {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back(prefix + (i < 10 ? "0" : "") + std::to_string(i));
    writeEntries(lines);
  }

  void writeEntries(const std::vector<std::string>& lines) {
    std::string data;
    int32_t last = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      int32_t here = static_cast<int32_t>(data.size()) + 1;
      data += entryBytes(last, static_cast<int32_t>(101 + i), lines[i]);
      last = here;
    }
    ASSERT_TRUE(writeWholeFile(browsePath(), data).ok());
  }

  int16_t browse(std::initializer_list<int16_t> keys, int16_t list = 1) {
    console.pushKeys(keys);
    int16_t result = 99;
    browseList(program.entry, program.data, program.browse, list, result);
    return result;
  }

  // Text of list row r (1-based inside the frame) in snapshot i.
  std::string listRow(size_t i, int r) const {
    return screenRow(i, 5 + r).substr(10, 12);
  }
  std::string screenRow(size_t i, int row) const {
    std::string screen = console.snapshots.at(i).screen;
    size_t start = 0;
    for (int k = 1; k < row; ++k) start = screen.find('\n', start) + 1;
    std::string line = screen.substr(start, screen.find('\n', start) - start);
    line.resize(80, ' ');
    return line;
  }
  // The highlighted list row (1-based inside the frame) in snapshot i.
  int highlighted(size_t i) const { return console.snapshots.at(i).highlightedRow - 5; }

  TestProgram t;
  SnapshotConsole console;
  Program program;
};

TEST_F(BrowseListTest, ShortListLeavesBlankRowsAndIgnoresMovesPastItsEnd) {
  writeLines(3);
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kDown, key::kPgDn, key::kEnter}), 0);
  ASSERT_EQ(console.snapshots.size(), 5u);
  EXPECT_EQ(listRow(0, 1), "LINE01      ");
  EXPECT_EQ(listRow(0, 3), "LINE03      ");
  for (int r = 4; r <= 10; ++r) EXPECT_EQ(listRow(0, r), std::string(12, ' ')) << r;
  EXPECT_EQ(highlighted(0), 1);
  EXPECT_EQ(highlighted(2), 3);
  EXPECT_EQ(highlighted(3), 3);  // Down on the last line does nothing
  EXPECT_EQ(highlighted(4), 3);  // nor does PgDn
  EXPECT_EQ(program.browse.chosenEntryValue, 103);
  EXPECT_EQ(program.browse.chosenEntryText, "LINE03");
}

TEST_F(BrowseListTest, FrameTitleAndClosingRestoreTheScreen) {
  program.console.moveCursor(6, 12);
  program.console.write("UNDER");
  std::string before = console.dump();
  writeLines(2);
  EXPECT_EQ(browse({key::kEsc}), -1);
  // "CODI" then frame line up to 12 characters, between the corners.
  EXPECT_EQ(screenRow(0, 5).substr(9, 14), "\xC9" "CODI" + std::string(8, '\xCD') + "\xBB");
  EXPECT_EQ(screenRow(0, 16).substr(9, 14), "\xC8" + std::string(12, '\xCD') + "\xBC");
  EXPECT_EQ(console.dump(), before);
  EXPECT_FALSE(fileExists(browsePath()));  // every list deletes its cache
}

TEST_F(BrowseListTest, TitleBlanksAreFrameLinesAndUnderscoresBlanks) {
  writeLines(1);
  program.form.lookups[1].lookupTitle = "CODI TEXT";
  browse({key::kEsc});
  EXPECT_EQ(screenRow(0, 5).substr(9, 14), "\xC9" "CODI\xCDTEXT\xCD\xCD\xCD\xBB");
  console.snapshots.clear();
  writeLines(1);
  program.form.lookups[1].lookupTitle = "CODI_TEXT";
  browse({key::kEsc});
  EXPECT_EQ(screenRow(0, 5).substr(9, 14), "\xC9" "CODI TEXT\xCD\xCD\xCD\xBB");
}

TEST_F(BrowseListTest, PageDownTwiceThenPageUpKeepTheHighlightRow) {
  writeLines(25);
  browse({key::kDown, key::kDown, key::kDown, key::kDown, key::kPgDn, key::kPgDn, key::kPgUp, key::kEnter});
  ASSERT_EQ(console.snapshots.size(), 8u);
  EXPECT_EQ(highlighted(4), 5);
  EXPECT_EQ(listRow(5, 1), "LINE11      ");
  EXPECT_EQ(highlighted(5), 5);
  // Second PgDn: lines 21-25, the highlight on line 25.
  EXPECT_EQ(listRow(6, 1), "LINE21      ");
  EXPECT_EQ(listRow(6, 5), "LINE25      ");
  EXPECT_EQ(listRow(6, 6), std::string(12, ' '));
  EXPECT_EQ(highlighted(6), 5);
  // PgUp: lines 11-20, the highlight on row 5 (line 15).
  EXPECT_EQ(listRow(7, 1), "LINE11      ");
  EXPECT_EQ(listRow(7, 10), "LINE20      ");
  EXPECT_EQ(highlighted(7), 5);
  EXPECT_EQ(program.browse.chosenEntryText, "LINE15");
}

TEST_F(BrowseListTest, PageUpNearTheTopMovesTheHighlightUp) {
  writeLines(25);
  // Thirteen lines down and one up: the page starts at line 4 and the
  // highlight is on row 9 (line 12).
  for (int i = 0; i < 12; ++i) console.pushKey(key::kDown);
  browse({key::kUp, key::kPgUp, key::kEnter});
  ASSERT_EQ(console.snapshots.size(), 15u);
  EXPECT_EQ(listRow(13, 1), "LINE04      ");
  EXPECT_EQ(highlighted(13), 9);
  EXPECT_EQ(listRow(14, 1), "LINE01      ");
  EXPECT_EQ(highlighted(14), 2);
  EXPECT_EQ(program.browse.chosenEntryText, "LINE02");
}

TEST_F(BrowseListTest, UpAndDownScrollByOneLineAtTheWindowEdges) {
  writeLines(12);
  std::vector<int16_t> keys(10, key::kDown);
  for (int16_t k : keys) console.pushKey(k);
  console.pushKeys({key::kUp});
  browse({key::kEnter});
  // After ten Downs the highlight is on line 11 at the bottom row, the page
  // starting at line 2.
  EXPECT_EQ(listRow(10, 1), "LINE02      ");
  EXPECT_EQ(listRow(10, 10), "LINE11      ");
  EXPECT_EQ(highlighted(10), 10);
  EXPECT_EQ(highlighted(11), 9);
  EXPECT_EQ(program.browse.chosenEntryText, "LINE10");
}

TEST_F(BrowseListTest, LongLineEnablesScrollingRightInStepsOfEight) {
  writeEntries({"SHORT", std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh")});  // 44 = 12 + 32
  program.form.lookups[1].lookupTitle = "";
  std::vector<int16_t> keys(6, key::kRight);
  for (int16_t k : keys) console.pushKey(k);
  browse({key::kLeft, key::kEsc});
  ASSERT_EQ(console.snapshots.size(), 8u);
  // Opening draws the title before any line: no mark yet.
  EXPECT_EQ(screenRow(0, 5)[22], '\xBB');
  EXPECT_EQ(listRow(1, 2), "89ABCDEFGHIJ");
  EXPECT_EQ(listRow(1, 1), std::string(12, ' '));  // SHORT is scrolled out of view
  EXPECT_EQ(screenRow(1, 5)[9], '\x11');
  EXPECT_EQ(screenRow(1, 5)[22], '\x10');
  EXPECT_EQ(listRow(2, 2), "GHIJKLMNOPQR");
  EXPECT_EQ(listRow(3, 2), "OPQRSTUVWXYZ");
  EXPECT_EQ(screenRow(3, 5)[22], '\x10');
  // First column 33 is past the overflow of 32: the last step right.
  EXPECT_EQ(listRow(4, 2), "WXYZabcdefgh");
  EXPECT_EQ(screenRow(4, 5)[22], '\xBB');
  EXPECT_EQ(listRow(6, 2), "WXYZabcdefgh");
  EXPECT_EQ(listRow(7, 2), "OPQRSTUVWXYZ");  // Left goes back to 25
  EXPECT_EQ(screenRow(7, 5)[9], '\x11');
}

TEST_F(BrowseListTest, EmptyListShowsOneBlankRowAndEnterCancels) {
  writeEntries({});
  EXPECT_EQ(browse({key::kDown, key::kEnter}), -1);
  EXPECT_EQ(highlighted(0), 1);
  EXPECT_EQ(listRow(0, 1), std::string(12, ' '));
}

TEST_F(BrowseListTest, AnyOtherKeyOrAClickCancels) {
  writeLines(3);
  EXPECT_EQ(browse({key::kF2}), -1);
  writeLines(3);
  console.pushClick(7, 12);
  int16_t list = 1, result = 0;
  browseList(program.entry, program.data, program.browse, list, result);
  EXPECT_EQ(result, -1);
  // F4 without a further list cancels too.
  writeLines(3);
  EXPECT_EQ(browse({key::kF4}), -1);
}

TEST_F(BrowseListTest, BadListNumberOrWindowOpensNothing) {
  EXPECT_EQ(browse({}, 2), -1);
  EXPECT_EQ(browse({}, 0), -1);
  program.form.lookups[1].attr[4] = 6;  // no room for a line
  EXPECT_EQ(browse({}), -1);
  EXPECT_TRUE(console.snapshots.empty());
}

TEST_F(BrowseListTest, DamagedCacheEndsTheListAtTheDamage) {
  std::string good = entryBytes(0, 101, "LINE01") + entryBytes(1, 102, "LINE02");
  // The third entry claims more text than the file holds.
  std::string bad = entryBytes(17, 103, "LINE03");
  bad[8] = '\x7F';
  ASSERT_TRUE(writeWholeFile(browsePath(), good + bad).ok());
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kDown, key::kEnter}), 0);
  EXPECT_EQ(listRow(0, 2), "LINE02      ");
  EXPECT_EQ(listRow(0, 3), std::string(12, ' '));
  EXPECT_EQ(program.browse.chosenEntryText, "LINE02");

  // A back link pointing forward (or at itself) is not followed.
  std::string loop = entryBytes(0, 101, "LINE01") + entryBytes(17, 102, "LINE02") + entryBytes(17, 103, "X");
  ASSERT_TRUE(writeWholeFile(browsePath(), loop).ok());
  console.snapshots.clear();
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kUp, key::kEnter}), 0);
  EXPECT_EQ(listRow(0, 1), "LINE01      ");
  EXPECT_EQ(listRow(0, 2), std::string(12, ' '));
  EXPECT_EQ(program.browse.chosenEntryText, "LINE01");

  // A first entry with a back link, or a file shorter than a header.
  ASSERT_TRUE(writeWholeFile(browsePath(), entryBytes(5, 101, "X")).ok());
  EXPECT_EQ(browse({key::kEnter}), -1);
  ASSERT_TRUE(writeWholeFile(browsePath(), "\x01\x02\x03").ok());
  EXPECT_EQ(browse({key::kEnter}), -1);
}

// A form procedure for the lists of these tests: list 1 refused when asked.
class RangeHooks : public FormHooks {
 public:
  int16_t browseRangeHook(int16_t& list, std::string&, std::string&) override {
    ++calls;
    return list == 1 ? refuse : 0;
  }
  void lookupChosenHook(int16_t& list, int16_t& group, int16_t& field) override {
    chosen.push_back({list, group, field});
  }
  int16_t refuse = 0;
  int calls = 0;
  std::vector<std::vector<int16_t>> chosen;
};

TEST_F(BrowseListTest, RangeHookRefusalOpensNothing) {
  RangeHooks hooks;
  hooks.refuse = -1;
  program.entry.hooks = &hooks;
  writeLines(3);
  EXPECT_EQ(browse({key::kEnter}), -1);
  EXPECT_EQ(hooks.calls, 1);
  EXPECT_TRUE(console.snapshots.empty());
  EXPECT_EQ(console.pendingEvents(), 1u);
}

TEST_F(BrowseListTest, F4OpensTheFurtherListAfterClosingThisOne) {
  RangeHooks hooks;
  program.entry.hooks = &hooks;
  program.form.lookups.resize(3);
  program.form.lookups[1].attr[7] = 2;
  LookupList& inner = program.form.lookups[2];
  inner.attr[2] = 3;
  inner.attr[3] = 40;
  inner.attr[4] = 8;
  inner.attr[5] = 60;
  inner.lookupTitle = "INNER";
  writeLines(3);
  // The inner list finds the cache of the outer one deleted: it is empty.
  EXPECT_EQ(browse({key::kF4, key::kEnter}), -1);
  EXPECT_TRUE(hooks.chosen.empty());
  ASSERT_EQ(console.snapshots.size(), 2u);
  EXPECT_EQ(screenRow(1, 3).substr(39, 6), "\xC9" "INNER");
  EXPECT_EQ(listRow(1, 1), "LINE01      ");  // the outer list is still drawn under it
  EXPECT_EQ(program.screen.windows.windowDepth, 0);
  EXPECT_TRUE(program.entry.state.values.bytes.empty());
}

// The operator form's line hook, counting its calls, with a key range
// that tests can set.
class CountingOperatorHooks : public OperatorMaintenance {
 public:
  using OperatorMaintenance::OperatorMaintenance;
  std::string browseLineHook(int16_t& list) override {
    ++lineCalls;
    return OperatorMaintenance::browseLineHook(list);
  }
  int16_t browseRangeHook(int16_t& list, std::string& from, std::string& limit) override {
    int16_t result = OperatorMaintenance::browseRangeHook(list, from, limit);
    if (!rangeFrom.empty()) {
      from = rangeFrom;
      limit = rangeLimit;
    }
    return result;
  }
  int lineCalls = 0;
  std::string rangeFrom, rangeLimit;
};

// List 1 over the operator file of a fresh installation, in a window of 10
// lines of 39 characters (rows 5..16, columns 10..50).
class DataBrowseTest : public BrowseListTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(demoSourceDir() + "ddf/Operador.xdf")) << "the demo has no operator dictionary";
    copyTree(demoSourceDir(), t.root());
    program.settings.rootDir = t.root();
    LookupList& l = program.form.lookups[1];
    l.attr[0] = kOperatorFileId;
    l.attr[5] = 50;
    program.entry.hooks = &hooks;
    ASSERT_EQ(openDataFile(program.data, kOperatorFileId, t.root() + "Operador",
                           recordBytes(hooks.record())),
              0);
  }
  void TearDown() override { (void)resetAllFiles(program.data); }

  // Inserts operators straight through the record manager (no db.log).
  void addOperators(const std::vector<std::string>& codes) {
    FileSlot& slot = program.data.table.slots[findFileSlot(program.data, kOperatorFileId)];
    for (const std::string& code : codes) {
      OperatorRecord rec{};
      std::memcpy(rec.operatorCode, fitText(code, 8).data(), 8);
      std::memcpy(rec.operatorText, fitText("T " + code, 8).data(), 8);
      rec.accessLevel = 1;
      uint8_t key[256] = {};
      uint32_t length = sizeof rec;
      ASSERT_EQ(t.engine().call(op::kInsert, slot.positionBlock, reinterpret_cast<uint8_t*>(&rec), length, key,
                                255, 0),
                0);
    }
  }
  std::vector<std::string> numbered(int count) {
    std::vector<std::string> codes;
    for (int i = 1; i <= count; ++i) codes.push_back("OP" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i));
    return codes;
  }
  std::string dataRow(size_t i, int r) const { return screenRow(i, 5 + r).substr(10, 39); }

  CountingOperatorHooks hooks{program.entry, program.data, program.browse};
};

TEST_F(DataBrowseTest, ListsRecordsInKeyOrderAndEnterReadsTheChosenOne) {
  addOperators({"CARLA", "ALBA", "BRUNO"});
  int slot = findFileSlot(program.data, kOperatorFileId);
  program.data.table.slots[slot].lockMode = 2;
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kDown, key::kPgDn, key::kUp, key::kEnter}), 0);
  EXPECT_EQ(dataRow(0, 1), fitText("ALBA      T ALBA    RESTRINGIT", 39));
  EXPECT_EQ(dataRow(0, 3).substr(0, 5), "CARLA");
  for (int r = 4; r <= 10; ++r) EXPECT_EQ(dataRow(0, r), std::string(39, ' ')) << r;
  EXPECT_EQ(highlighted(4), 3);  // Down and PgDn stop at the last line
  EXPECT_EQ(std::string(hooks.record().operatorCode, 8), "BRUNO   ");
  // Reads were made without locks and the mode is back as it was.
  EXPECT_EQ(program.data.table.slots[slot].lockMode, 2);
  EXPECT_TRUE(program.data.table.lockModeStack.empty());
  EXPECT_FALSE(fileExists(browsePath()));
}

TEST_F(DataBrowseTest, OpeningReadsOnlyWhatTheFirstPageShows) {
  addOperators(numbered(500));
  EXPECT_EQ(browse({key::kEsc}), -1);
  EXPECT_LE(hooks.lineCalls, 11);  // ten lines and the record after them
  EXPECT_EQ(dataRow(0, 10).substr(0, 5), "OP010");

  // Paging reads on as far as the pages go, and back up reads nothing.
  hooks.lineCalls = 0;
  console.snapshots.clear();
  EXPECT_EQ(browse({key::kPgDn, key::kPgDn, key::kPgUp, key::kPgUp, key::kEnter}), 0);
  EXPECT_LE(hooks.lineCalls, 31);
  EXPECT_EQ(dataRow(2, 1).substr(0, 5), "OP021");
  EXPECT_EQ(dataRow(4, 1).substr(0, 5), "OP001");
  EXPECT_EQ(std::string(hooks.record().operatorCode, 8), "OP001   ");
}

TEST_F(DataBrowseTest, LimitKeyEndsTheListAtTheFirstKeyBeyondIt) {
  addOperators({"AINA", "BEA", "BIEL", "CESC", "CINTA", "DAVID"});
  hooks.rangeFrom = "B";
  hooks.rangeLimit = "C";
  EXPECT_EQ(browse({key::kEsc}), -1);
  EXPECT_EQ(dataRow(0, 1).substr(0, 4), "BEA ");
  EXPECT_EQ(dataRow(0, 4).substr(0, 5), "CINTA");
  EXPECT_EQ(dataRow(0, 5), std::string(39, ' '));
}

TEST_F(DataBrowseTest, EscTypedWhileReadingStopsAtTheLinesFound) {
  addOperators(numbered(30));
  console.setTypeAhead(true);
  console.pushKey('x');  // dropped
  console.pushKey(key::kEsc);
  console.setTypeAhead(false);
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kPgDn, key::kEnter}), 0);
  // One record was read after the first line before Esc was seen.
  EXPECT_EQ(dataRow(0, 2).substr(0, 5), "OP002");
  EXPECT_EQ(dataRow(0, 3), std::string(39, ' '));
  EXPECT_EQ(std::string(hooks.record().operatorCode, 8), "OP002   ");
}

// A hot key typed ahead while records are read is dropped like any other
// key: no tool opens over the half-drawn list, and Esc behind it still stops
// the reading.
TEST_F(DataBrowseTest, HotKeysTypedWhileReadingOpenNoTool) {
  addOperators(numbered(30));
  int opened = 0;
  program.screen.tools.calculator = [&](Screen&) {
    ++opened;
    return std::string("7");
  };
  program.screen.tools.calendar = [&](Screen&) {
    ++opened;
    return std::string("8/12/2026");
  };
  console.setTypeAhead(true);
  console.pushKeys({key::kAltX, key::kAltC});
  console.setTypeAhead(false);
  EXPECT_EQ(browse({key::kDown, key::kEnter}), 0);
  EXPECT_EQ(opened, 0);
  ASSERT_FALSE(console.snapshots.empty());
  EXPECT_EQ(dataRow(0, 10).substr(0, 5), "OP010");
  EXPECT_EQ(std::string(hooks.record().operatorCode, 8), "OP002   ");
  EXPECT_TRUE(program.screen.keyReader.pendingInput.empty());

  console.snapshots.clear();
  console.setTypeAhead(true);
  console.pushKeys({key::kAltX, key::kEsc});
  console.setTypeAhead(false);
  EXPECT_EQ(browse({key::kDown, key::kDown, key::kPgDn, key::kEnter}), 0);
  EXPECT_EQ(opened, 0);
  ASSERT_FALSE(console.snapshots.empty());
  // Alt+X went with the record read after the first line, Esc with the next.
  EXPECT_EQ(dataRow(0, 2).substr(0, 5), "OP002");
  EXPECT_EQ(dataRow(0, 3), std::string(39, ' '));
  EXPECT_EQ(std::string(hooks.record().operatorCode, 8), "OP002   ");
}

// Text a tool is still typing belongs to the keys read after the page is
// drawn; reading records leaves it alone.
TEST_F(DataBrowseTest, ToolTextIsNotTakenWhileReading) {
  addOperators(numbered(30));
  program.screen.keyReader.pendingInput = "75";
  EXPECT_EQ(browse({key::kEnter}), -1);  // '7' ends the list like any other key
  EXPECT_EQ(program.screen.keyReader.pendingInput, "5");
  EXPECT_EQ(console.pendingEvents(), 1u);  // Enter is still to be read
}

TEST_F(DataBrowseTest, EmptyFileGivesOneBlankLineAndEnterCancels) {
  EXPECT_EQ(browse({key::kEnter}), -1);
  EXPECT_EQ(highlighted(0), 1);
  EXPECT_EQ(dataRow(0, 1), std::string(39, ' '));
  EXPECT_TRUE(program.data.table.lockModeStack.empty());
}

TEST_F(DataBrowseTest, FilterGroupLeftWithEscOpensNothing) {
  addOperators({"AINA"});
  program.form.groups.resize(2);
  program.form.groupCount = 1;
  FieldGroup& g = program.form.groups[1];
  g.groupKeys = "d,1b";
  g.groupFieldCount = 1;
  g.fields.resize(2);
  g.fields[1].fieldLabel = "Des de: ";
  g.fields[1].fieldRow() = 2;
  g.fields[1].fieldColumn() = 2;
  g.fields[1].fieldWidth() = 8;
  g.fields[1].fieldValue = std::string(8, ' ');
  program.form.lookups[1].attr[6] = 1;
  EXPECT_EQ(browse({key::kEsc}), -1);
  EXPECT_EQ(hooks.lineCalls, 0);
  EXPECT_EQ(screenRow(0, 5)[9], ' ');  // no frame
  EXPECT_FALSE(fileExists(browsePath()));

  // Enter through the filter opens the list. (The form's hooks take the
  // filter for group 1, whose blank code they refuse.)
  g.fields[1].fieldValue = "AINA    ";
  console.snapshots.clear();
  EXPECT_EQ(browse({key::kEnter, key::kEnter}), 0);
  EXPECT_EQ(dataRow(1, 1).substr(0, 4), "AINA");
}

}  // namespace
}  // namespace xt
