#include "forms/operator_maintenance.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <vector>

#include "data/file_table.h"
#include "data/operation_log.h"
#include "data/record_locks.h"
#include "data/record_ops.h"
#include "format/fixed_text.h"
#include "format/text_lines.h"
#include "forms/form_definition.h"
#include "intranet/apr1.h"
#include "lists/browse_list.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/pg_connection.h"
#include "startup/program.h"
#include "testing/pg_test_server.h"
#include "testing/test_program.h"
#include "../platform/engine_kinds.h"
#include "../platform/engine_test_util.h"

namespace xt {
namespace {

constexpr int16_t kClear = key::kCtrlY;

struct HeldLock {
  std::string computer, owner, type, key;
};

using testutil::EngineKind;

// The form run end to end on a fresh copy of the demo installation, with
// db.log written in the installation root, on each record engine.
class OperatorFormTest : public ::testing::TestWithParam<EngineKind> {
 protected:
  OperatorFormTest() : engines_(GetParam()), t([this](const std::string& root) { return engines_.makeEngineFor(root); }) {}

  void SetUp() override {
    ASSERT_TRUE(fileExists(demoSourceDir() + "FORMS/XTANCAR.JPN") && fileExists(demoSourceDir() + "ddf/Operador.xdf"))
        << "the demo installation has no form or dictionary";
    copyTree(demoSourceDir(), t.root());
    savedDirectory_ = currentDirectory();
    changeDirectory(t.root());
    t.console().setTypeAhead(false);
    t.program().settings.languageCode = "CAT";
  }

  void TearDown() override {
    if (!savedDirectory_.empty()) changeDirectory(savedDirectory_);
  }

  Program& p() { return t.program(); }
  FakeConsole& console() { return t.console(); }

  // Runs the whole form once over the keys scripted so far; the dry
  // script ends it with Esc in group 1.
  void runForm(int16_t type = 0, const std::string& name = "") {
    p().settings.operatorType = type;
    p().settings.operatorName = name;
    OperatorMaintenance form(p().entry, p().data, p().browse);
    FormRunResult loaded = runOperatorForm(form);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    EXPECT_EQ(console().pendingEvents(), 0u) << "keys left over";
    EXPECT_FALSE(form.lockHeld());
  }

  // Keys: the code in group 1.
  void code(const std::string& c) {
    console().pushKey(kClear);
    console().pushText(c);
    console().pushKey(key::kEnter);
  }
  // Keys: a text in group 2, then Enter through the access level.
  void text(const std::string& s, bool flipLevel = false) {
    console().pushKey(kClear);
    console().pushText(s);
    console().pushKey(key::kEnter);
    if (flipLevel) console().pushKey(key::kRight);
    console().pushKey(key::kEnter);
  }
  // The key that the form's group 2 maps onto the delete request.
  int16_t deleteKey() {
    OperatorMaintenance probe(p().entry, p().data, p().browse);
    FormLoadResult loaded = loadForm(p().fs, p().form, p().settings, t.root() + "FORMS\\XTANCAR.JPN");
    EXPECT_TRUE(loaded.ok);
    const std::string& keys = p().form.group(2).groupKeys;
    size_t at = 0;
    while (at < keys.size()) {
      size_t comma = keys.find(',', at);
      std::string item = keys.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
      size_t eq = item.find('=');
      if (eq != std::string::npos && std::stoi(item.substr(eq + 1), nullptr, 16) == 2)
        return static_cast<int16_t>(std::stoi(item.substr(0, eq), nullptr, 16));
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
    ADD_FAILURE() << "group 2 maps no key onto the delete request: " << keys;
    return 0;
  }

  // Every operator record, in key order.
  std::vector<OperatorRecord> operators() {
    OperatorRecord rec{};
    (void)openDataFile(p().data, 60, t.root() + "Operador", recordBytes(rec));
    std::vector<OperatorRecord> all;
    for (int16_t s = findByKey(p().data, 60, 0, "", 1); s == 0; s = skipRecords(p().data, 60, 1)) all.push_back(rec);
    (void)resetAllFiles(p().data);
    return all;
  }
  static std::string codeOf(const OperatorRecord& r) { return std::string(r.operatorCode, 8); }
  static std::string textOf(const OperatorRecord& r) { return std::string(r.operatorText, 8); }

  // .HTPASSWD as (user, hash) lines in file order.
  std::vector<std::pair<std::string, std::string>> passwordLines() {
    std::vector<std::pair<std::string, std::string>> out;
    auto data = readWholeFile(t.root() + ".HTPASSWD");
    if (!data) return out;
    EXPECT_EQ(data->find('\n') == std::string::npos || data->find("\r\n") != std::string::npos, true);
    for (const std::string& line : splitLines(*data)) {
      size_t colon = line.find(':');
      if (colon != std::string::npos) out.emplace_back(line.substr(0, colon), line.substr(colon + 1));
    }
    return out;
  }
  // The hash checks out against the user name as password.
  void expectHashOfItself(const std::string& user, const std::string& hash) {
    std::string salt = hash;
    EXPECT_EQ(apr1Hash(t.system(), user, salt), hash) << user;
  }

  std::vector<HeldLock> heldLocks() {
    std::vector<HeldLock> out;
    auto data = readWholeFile(t.root() + "LOCKS/Operador.lck");
    if (!data) return out;
    for (size_t at = 0; at + 121 <= data->size(); at += 121) {
      std::string r = data->substr(at, 121);
      if (r[34] == ' ') continue;
      out.push_back({r.substr(0, 15), r.substr(15, 11), r.substr(34, 1), r.substr(37, 40)});
    }
    return out;
  }

  std::string dbLog() { return readWholeFile(t.root() + "db.log").value_or(""); }

  // The operator data file has been made (by the dictionary).
  bool dataFileMade() {
    testutil::Handle h(t.engine());
    if (h.open(t.root() + "Operador.dat") != status::kOk) return false;
    EXPECT_EQ(h.reset(), 0);
    return true;
  }

  testutil::EngineScratch engines_;
  TestProgram t;
  std::string savedDirectory_;
};

INSTANTIATE_TEST_SUITE_P(Engines, OperatorFormTest, ::testing::Values(EngineKind::Sqlite, EngineKind::Postgres),
                         testutil::engineKindName);

// A form whose code field cannot be typed into would never let the
// operator leave, and every pass would store a blank code: it is refused
// before the data file is opened.
TEST_P(OperatorFormTest, FormWithoutATypableCodeIsRefusedBeforeAnythingIsStored) {
  const std::string path = t.root() + "FORMS/XTANCAR.JPN";
  std::string jpn = readWholeFile(path).value_or("");
  const std::string codeField = "\"Codi d'operador:      \",8,0,0,0,1,1,";
  size_t at = jpn.find(codeField);
  ASSERT_NE(at, std::string::npos);
  jpn.replace(at, codeField.size(), "\"Codi d'operador:      \",8,0,0,4,1,1,");  // protected
  ASSERT_TRUE(writeWholeFile(path, jpn).ok());
  OperatorMaintenance form(p().entry, p().data, p().browse);
  FormRunResult loaded = runOperatorForm(form);
  EXPECT_FALSE(loaded.ok);
  EXPECT_NE(loaded.message.find("XTANCAR.JPN"), std::string::npos) << loaded.message;
  EXPECT_FALSE(dataFileMade());
}

TEST_P(OperatorFormTest, NewCodeStoredWithTextAndIntranetLine) {
  code("ANNA");
  text("ANNA P", true);
  runForm();
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(codeOf(ops[0]), "ANNA    ");
  EXPECT_EQ(textOf(ops[0]), "ANNA P  ");
  EXPECT_EQ(ops[0].accessLevel, 1);
  auto lines = passwordLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, "ANNA");
  expectHashOfItself("ANNA", lines[0].second);
  EXPECT_TRUE(fileExists(t.root() + ".HTACCESS"));
  EXPECT_EQ(dbLog(), logLine(52, 2, 0) + logLine(52, 3, 0));
  EXPECT_TRUE(heldLocks().empty());
}

TEST_P(OperatorFormTest, BlankCodeIsRefusedWithABeepAndMakesNoRecord) {
  code("");
  code("   ");
  code("ANNA");
  text("ANNA P");
  runForm();
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(codeOf(ops[0]), "ANNA    ");
  EXPECT_EQ(console().beeps(), 2);
  EXPECT_EQ(dbLog(), logLine(52, 2, 0) + logLine(52, 3, 0));
  EXPECT_TRUE(heldLocks().empty());
}

TEST_P(OperatorFormTest, NewCodeLeftWithEscIsRemovedAgainWithItsLine) {
  // A line for the code already exists (left by an earlier run).
  ASSERT_TRUE(writeWholeFile(t.root() + ".HTPASSWD", "BERTA:$apr1$x$y\r\nCARLES:$apr1$a$b\r\n").ok());
  code("BERTA");
  console().pushKey(key::kEsc);
  runForm();
  EXPECT_TRUE(operators().empty());
  auto lines = passwordLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, "CARLES");
  EXPECT_EQ(dbLog(), logLine(52, 2, 0));  // the insert; a delete is not logged
  EXPECT_TRUE(heldLocks().empty());
}

TEST_P(OperatorFormTest, ExistingCodeLeftWithEscChangesNothing) {
  code("DANI");
  text("FIRST");
  runForm();
  std::string passwords = readWholeFile(t.root() + ".HTPASSWD").value_or("");
  std::string log = dbLog();

  code("DANI");
  console().pushKey(kClear);
  console().pushText("CHANGED");
  console().pushKey(key::kEsc);  // Esc on the first field of group 2 leaves it
  runForm();
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(textOf(ops[0]), "FIRST   ");
  EXPECT_EQ(readWholeFile(t.root() + ".HTPASSWD").value_or(""), passwords);
  EXPECT_EQ(dbLog(), log);
  EXPECT_TRUE(heldLocks().empty());
  // The lock record was freed, not removed: the file keeps one free record.
  EXPECT_EQ(readWholeFile(t.root() + "LOCKS/Operador.lck").value_or("").size(), 121u);
}

TEST_P(OperatorFormTest, UpdateMovesTheLineToTheEndWithANewSalt) {
  code("EVA");
  text("EVA");
  code("FINA");
  text("FINA");
  runForm();
  auto before = passwordLines();
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0].first, "EVA");

  t.system().randomScript.assign(8, 0.9);  // a salt the first run did not draw
  code("EVA");
  text("EVA NEW");
  runForm();
  auto after = passwordLines();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], before[1]);
  EXPECT_EQ(after[1].first, "EVA");
  EXPECT_NE(after[1].second, before[0].second);
  expectHashOfItself("EVA", after[1].second);
  auto ops = operators();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(textOf(ops[0]), "EVA NEW ");
  EXPECT_EQ(dbLog(), logLine(52, 2, 0) + logLine(52, 3, 0) + logLine(52, 2, 0) + logLine(52, 3, 0) +
                         logLine(52, 3, 0));
}

TEST_P(OperatorFormTest, DeleteRequestAnsweredNoStoresAndYesDeletes) {
  int16_t del = deleteKey();
  code("GIL");
  text("GIL");
  code("HUGO");
  text("HUGO");
  runForm();

  // "N" (the answer offered) with Enter: stored as with Enter.
  code("GIL");
  console().pushKey(kClear);
  console().pushText("GIL 2");
  console().pushKey(del);
  console().pushKey(key::kEnter);
  runForm();
  auto ops = operators();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(textOf(ops[0]), "GIL 2   ");
  EXPECT_EQ(passwordLines().back().first, "GIL");

  // "S" with Enter: the line and the record go.
  code("GIL");
  console().pushKey(del);
  console().pushKey(kClear);
  console().pushText("S");
  console().pushKey(key::kEnter);
  runForm();
  ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(codeOf(ops[0]), "HUGO    ");
  auto lines = passwordLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, "HUGO");
  EXPECT_TRUE(heldLocks().empty());
}

TEST_P(OperatorFormTest, RestrictedOperatorWorksOnHisOwnCodeAndCannotDelete) {
  code("IRIS");
  text("IRIS");
  runForm();

  int16_t del = deleteKey();
  // The code field is prefilled with his name and typing does not change it;
  // the delete request is ignored and the record stored as with Enter.
  code("OTHER");
  console().pushKey(kClear);
  console().pushText("MINE");
  console().pushKey(del);
  runForm(3, "IRIS");
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(codeOf(ops[0]), "IRIS    ");
  EXPECT_EQ(textOf(ops[0]), "MINE    ");
  ASSERT_EQ(passwordLines().size(), 1u);
  EXPECT_TRUE(p().form.field(2, 2).fieldFlags() & kFlagProtected);
}

TEST_P(OperatorFormTest, LockedByAnotherTerminalEscGivesUpAndReadsNothing) {
  TestProgram other;
  other.program().settings.rootDir = t.root();
  other.system().setEnv("TAVROOT", t.root());
  other.system().hostName = "TERMINAL2";
  other.system().randomAfterScript = 0.25;  // another owner id
  ASSERT_EQ(lockRecordKey(other.program().data, "Operador", "JOAN    "), 0);

  code("JOAN");
  console().setTypeAhead(true);  // typed while the lock message is up
  console().pushKey(key::kEsc);
  console().setTypeAhead(false);
  runForm();
  EXPECT_TRUE(operators().empty());
  EXPECT_EQ(dbLog(), "");
  auto held = heldLocks();
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].computer, "TERMINAL2      ");

  // Once the other terminal lets go the record can be created.
  ASSERT_EQ(releaseLock(other.program().data, "Operador"), 0);
  code("JOAN");
  text("JOAN");
  runForm();
  EXPECT_EQ(operators().size(), 1u);
  EXPECT_TRUE(heldLocks().empty());
}

// A lock file that cannot be opened (a directory in its place) is reported
// as the code is left, and the form asks for a code again instead of hanging.
TEST_P(OperatorFormTest, AnUnopenableLockFileIsReportedAndTheCodeAskedAgain) {
  const std::string lockFile = t.root() + "LOCKS/Operador.lck";
  ASSERT_TRUE(makeDirectories(lockFile).ok());
  struct MessageConsole : FakeConsole {
    void discardInput() override {
      screens.push_back(dump());
      if (onMessage) onMessage();
    }
    std::vector<std::string> screens;
    std::function<void()> onMessage;
  } terminal;
  terminal.setTypeAhead(false);
  // Seen to while the message is up: the next code can be locked.
  terminal.onMessage = [&] { (void)removeDirectory(lockFile); };
  // Nothing in this pass waits; a wait would be the first of an endless series.
  struct NoWaits : FakeSystem {
    void pause(int) override { throw ScriptExhausted{}; }
  } system;
  system.environment = t.system().environment;
  Program program(terminal, system, t.fs(), t.engine());
  program.settings = p().settings;
  terminal.pushKey(kClear);
  terminal.pushText("JORDI");
  terminal.pushKey(key::kEnter);
  terminal.pushKey('x');  // takes the message off
  terminal.pushKey(kClear);
  terminal.pushText("ANNA");
  terminal.pushKey(key::kEnter);
  terminal.pushKey(kClear);
  terminal.pushText("ANNA A");
  terminal.pushKeys({key::kEnter, key::kEnter, key::kEsc});
  OperatorMaintenance form(program.entry, program.data, program.browse);
  ASSERT_TRUE(runOperatorForm(form).ok);
  EXPECT_EQ(terminal.pendingEvents(), 0u);
  ASSERT_EQ(terminal.screens.size(), 1u);
  // The box breaks the line where the path is long (the scratch directory on Windows).
  for (const std::string& part : {std::string("NO ES POT ACCEDIR AL FITXER"), lockFile})
    EXPECT_NE(terminal.screens[0].find(part), std::string::npos) << terminal.screens[0];
  EXPECT_FALSE(form.lockHeld());
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(codeOf(ops[0]), "ANNA    ");
  EXPECT_EQ(textOf(ops[0]), "ANNA A  ");
  EXPECT_TRUE(heldLocks().empty());
}

TEST_P(OperatorFormTest, F4ListsTheOperatorsAndPutsTheChosenCodeInTheField) {
  code("KIM");
  text("KIM K");
  code("LEO");
  text("LEO L", true);
  runForm();

  // The chosen code fills the field, which stays open for Enter.
  console().pushKeys({key::kF4, key::kDown, key::kEnter, key::kEnter});
  text("LEO 2");
  runForm();
  auto ops = operators();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(textOf(ops[1]), "LEO 2   ");
  EXPECT_FALSE(fileExists(t.temp() + "Browse.tmp"));

  // A restricted operator's list refuses to open: the field is edited again.
  int beeps = console().beeps();
  console().pushKeys({key::kF4, key::kEnter});
  text("KIM 3");
  runForm(1, "KIM");
  EXPECT_GT(console().beeps(), beeps);
  EXPECT_EQ(textOf(operators()[0]), "KIM 3   ");
}

TEST_P(OperatorFormTest, BrowseLinesShowCodeTextAndTranslatedLevel) {
  OperatorMaintenance form(p().entry, p().data, p().browse);
  std::memcpy(form.record().operatorCode, "MARC    ", 8);
  std::memcpy(form.record().operatorText, "TEXT    ", 8);
  int16_t list = 1;
  form.record().accessLevel = 1;
  EXPECT_EQ(form.browseLineHook(list), "MARC      TEXT      RESTRINGIT");
  form.record().accessLevel = 0;
  EXPECT_EQ(form.browseLineHook(list), "MARC      TEXT      GENERAL");
  list = 2;
  EXPECT_EQ(form.browseLineHook(list), "");

  std::string from = "X", limit = "Y";
  EXPECT_EQ(form.browseRangeHook(list, from, limit), 0);
  EXPECT_EQ(from, "X");
  EXPECT_EQ(limit, "X");
  list = 1;
  EXPECT_EQ(form.browseRangeHook(list, from, limit), 0);
  EXPECT_EQ(from, "");
  EXPECT_EQ(limit, "");
  form.operatorType = 2;
  EXPECT_EQ(form.browseRangeHook(list, from, limit), -1);
}

TEST_P(OperatorFormTest, AbandonRemovesAnUnconfirmedNewRecordAndFreesTheLock) {
  code("NURI");
  text("NURI");
  runForm();

  // Inside group 2: the calculator hot key stands in for the signal.
  for (const char* c : {"NURI", "OSCAR"}) {
    OperatorMaintenance form(p().entry, p().data, p().browse);
    bool abandoned = false;
    p().screen.tools.calculator = [&](Screen&) {
      if (!abandoned) {
        abandoned = true;
        EXPECT_TRUE(form.lockHeld());
        EXPECT_EQ(heldLocks().size(), 1u);
        form.abandon();
        EXPECT_FALSE(form.lockHeld());
      }
      return std::string();
    };
    code(c);
    console().pushKey(kClear);
    console().pushText("HALF");
    console().pushKey(key::kAltX);
    console().pushKey(key::kEsc);
    p().settings.operatorType = 0;
    ASSERT_TRUE(runOperatorForm(form).ok);
    EXPECT_TRUE(abandoned);
    p().screen.tools.calculator = nullptr;
  }
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(textOf(ops[0]), "NURI    ");  // nothing typed was stored
  auto lines = passwordLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, "NURI");
  EXPECT_TRUE(heldLocks().empty());
}

// Esc on a new record whose intranet line cannot be removed shows the
// failure; the program ended from outside while it waits must still take
// the unconfirmed record away.
TEST_P(OperatorFormTest, EndedDuringAFailedRemovalStillRemovesTheNewRecord) {
  const std::string lockDir = t.root() + ".HTPASSWD.lck";
  ASSERT_TRUE(std::filesystem::create_directory(lockDir));  // the password lock cannot be opened

  struct EndingConsole : FakeConsole {
    std::function<void()> ended;
    InputEvent readEvent(int timeoutMs) override {
      if (ended && dump().find("NO S'HAN POGUT DESAR") != std::string::npos) {
        std::function<void()> handler = std::move(ended);
        handler();
        throw ProcessExit{128 + SIGTERM};
      }
      return FakeConsole::readEvent(timeoutMs);
    }
  } terminal;
  terminal.setTypeAhead(false);
  Program program(terminal, t.system(), t.fs(), t.engine());
  program.settings = p().settings;
  OperatorMaintenance form(program.entry, program.data, program.browse);
  terminal.ended = [&] {
    ASSERT_EQ(::rmdir(lockDir.c_str()), 0);
    form.abandon();
  };
  terminal.pushKey(kClear);
  terminal.pushText("PAU");
  terminal.pushKey(key::kEnter);
  terminal.pushKey(key::kEsc);
  EXPECT_THROW((void)runOperatorForm(form), ProcessExit);
  (void)resetAllFiles(program.data);

  for (const OperatorRecord& r : operators()) EXPECT_NE(codeOf(r), "PAU     ");
  for (const auto& line : passwordLines()) EXPECT_NE(line.first, "PAU");
  EXPECT_TRUE(heldLocks().empty());
}

// A new record, an update or a deletion the operator file does not take is
// reported before the form goes back to an empty code; the record stays as
// it was, and a new code the file refused is not offered for editing.
TEST_P(OperatorFormTest, StoreOrDeleteTheFileRefusesIsReported) {
  int16_t del = deleteKey();
  code("PAU");
  text("OLD");
  runForm();

  struct RefusingEngine : RecordEngine {
    explicit RefusingEngine(RecordEngine& inner) : inner(inner) {}
    int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data, uint32_t& dataLength,
                 uint8_t* key, int keyLength, int16_t keyNumber) override {
      if (operation == refused) return 2;  // an I/O error
      return inner.call(operation, positionBlock, data, dataLength, key, keyLength, keyNumber);
    }
    RecordEngine& inner;
    int16_t refused = 0;
  } engine(t.engine());
  struct MessageConsole : FakeConsole {
    void discardInput() override { screens.push_back(dump()); }
    std::vector<std::string> screens;
  } terminal;
  terminal.setTypeAhead(false);
  Program program(terminal, t.system(), t.fs(), engine);
  program.settings = p().settings;
  const std::string message = "NO ES POT ACCEDIR AL FITXER " + t.root() + "Operador (2)";

  for (int16_t refused : {op::kInsert, op::kUpdate, op::kDelete}) {
    SCOPED_TRACE(refused);
    engine.refused = refused;
    terminal.screens.clear();
    terminal.pushKey(kClear);
    terminal.pushText(refused == op::kInsert ? "NOU" : "PAU");
    terminal.pushKey(key::kEnter);
    if (refused == op::kInsert) {
      // straight back to the code: no text or level to type
    } else if (refused == op::kUpdate) {
      terminal.pushKey(kClear);
      terminal.pushText("NEW");
      terminal.pushKeys({key::kEnter, key::kEnter});
    } else {
      terminal.pushKeys({del, kClear, 'S', key::kEnter});
    }
    terminal.pushKey('x');  // takes the message off
    terminal.pushKey(key::kEsc);
    OperatorMaintenance form(program.entry, program.data, program.browse);
    ASSERT_TRUE(runOperatorForm(form).ok);
    EXPECT_EQ(terminal.pendingEvents(), 0u);
    ASSERT_EQ(terminal.screens.size(), 1u);
    EXPECT_NE(terminal.screens[0].find(message), std::string::npos) << terminal.screens[0];
    EXPECT_EQ(terminal.dump().find("NO ES POT"), std::string::npos);
    EXPECT_FALSE(form.lockHeld());
  }
  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(textOf(ops[0]), "OLD     ");
  // The refused deletion came last: PAU can still sign on to the intranet.
  int pauLines = 0;
  for (const auto& line : passwordLines()) {
    EXPECT_NE(line.first, "NOU");
    pauLines += line.first == "PAU";
  }
  EXPECT_EQ(pauLines, 1);
  EXPECT_TRUE(heldLocks().empty());
}

// On the server only: the server ends the terminal's connection while an
// operator is being edited. The store fails with the server's reason, the
// pass is given up as Esc would give it up, and the next code is read over
// a new connection.
class ServerFormTest : public OperatorFormTest {};
INSTANTIATE_TEST_SUITE_P(Engines, ServerFormTest, ::testing::Values(EngineKind::Postgres), testutil::engineKindName);

TEST_P(ServerFormTest, ALostConnectionFailsTheStoreAndTheNextCodeConnectsAgain) {
  code("PAU");
  text("OLD");
  runForm();

  struct MessageConsole : FakeConsole {
    void discardInput() override { screens.push_back(dump()); }
    std::vector<std::string> screens;
  } terminal;
  terminal.setTypeAhead(false);
  Program program(terminal, t.system(), t.fs(), t.engine());
  program.settings = p().settings;
  for (const char* typed : {"LOST", "NEW"}) {
    terminal.pushKey(kClear);
    terminal.pushText("PAU");
    terminal.pushKey(key::kEnter);
    terminal.pushKey(kClear);
    terminal.pushText(typed);
    terminal.pushKey(key::kEnter);
    if (std::string(typed) == "LOST") {
      terminal.pushAction([&] {
        PgConnection admin(testServerConninfo(), 5000);
        ASSERT_EQ(admin.connect(), 0) << admin.lastError();
        ASSERT_EQ(admin.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                                engines_.schema() + "'"),
                  0);
      });
      terminal.pushKey(key::kEnter);
      terminal.pushKey('x');  // takes the message off
    } else {
      terminal.pushKey(key::kEnter);
    }
  }
  terminal.pushKey(key::kEsc);
  OperatorMaintenance form(program.entry, program.data, program.browse);
  ASSERT_TRUE(runOperatorForm(form).ok);
  EXPECT_EQ(terminal.pendingEvents(), 0u);
  ASSERT_EQ(terminal.screens.size(), 1u);
  for (const std::string& part : {std::string("NO ES POT ACCEDIR AL FITXER"), t.root() + "Operador", std::string("(95")})
    EXPECT_NE(terminal.screens[0].find(part), std::string::npos) << terminal.screens[0];
  EXPECT_FALSE(form.lockHeld());

  auto ops = operators();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(textOf(ops[0]), "NEW     ");
  int pauLines = 0;
  for (const auto& line : passwordLines()) pauLines += line.first == "PAU";
  EXPECT_EQ(pauLines, 1);
  EXPECT_TRUE(heldLocks().empty());
  // The failed update is logged with its status.
  EXPECT_EQ(dbLog(), logLine(52, 2, 0) + logLine(52, 3, 0) + logLine(52, 3, 95) + logLine(52, 3, 0));
}

#ifndef _WIN32  // terminals on hosts of their own: forked children in UTS namespaces
// A host of its own for this (child) process: a new UTS namespace with
// the given host name, inside a user namespace when not run as root.
bool becomeHost(const std::string& name) {
  const int flags = ::geteuid() == 0 ? CLONE_NEWUTS : CLONE_NEWUSER | CLONE_NEWUTS;
  return ::unshare(flags) == 0 && ::sethostname(name.data(), name.size()) == 0;
}

std::string hostName() {
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// One terminal of the multi-process test, run in a child process on a host
// of its own: its own session directory and owner id, the installation
// directory and the data shared. Each pass creates an operator, updates it
// and (three times in four) deletes it. Returns the child's exit code.
int runTerminal(const testutil::EngineScratch& engines, const std::string& root, int index, int passes,
                int16_t del) {
  const std::string host = "term" + std::to_string(index);
  if (!becomeHost(host) || hostName() != host) return 15;
  TestProgram c([&](const std::string&) { return engines.makeEngineFor(root); });
  Program& p = c.program();
  p.settings.rootDir = root;
  c.system().setEnv("TAVROOT", root);
  p.settings.languageCode = "CAT";
  c.system().hostName = host;  // the computer name in the lock records
  c.system().randomAfterScript = 0.1 * (index + 1);
  if (!changeDirectory(root)) return 10;
  FakeConsole& keys = c.console();
  keys.setTypeAhead(false);
  auto pushCode = [&](const std::string& code) {
    keys.pushKey(kClear);
    keys.pushText(code);
    keys.pushKey(key::kEnter);
  };
  auto pushText = [&](const std::string& text) {
    keys.pushKey(kClear);
    keys.pushText(text);
    keys.pushKeys({key::kEnter, key::kEnter});
  };
  for (int n = 0; n < passes; ++n) {
    std::string code = "P" + std::to_string(index) + "_" + std::to_string(n);
    if (n % 5 == 0) pushCode("");  // Enter on an empty code: refused
    pushCode(code);
    pushText("NEW");
    pushCode(code);
    pushText("UPD" + std::to_string(n));
    if (n % 4 != 0) {
      pushCode(code);
      keys.pushKey(del);
      keys.pushKey(kClear);
      keys.pushText("S");
      keys.pushKey(key::kEnter);
    }
  }
  OperatorMaintenance form(p.entry, p.data, p.browse);
  if (!runOperatorForm(form).ok) return 11;
  return keys.pendingEvents() == 0 ? 0 : 12;
}

TEST_P(OperatorFormTest, EightTerminalsKeepDataIntranetAndLocksInStep) {
  constexpr int kTerminals = 8, kPasses = 200;
  int16_t del = deleteKey();
  ASSERT_NE(del, 0);
  // The data file exists before the terminals start.
  ASSERT_TRUE(operators().empty());

  std::vector<pid_t> children;
  for (int i = 0; i < kTerminals; ++i) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int rc = 13;
      try {
        rc = runTerminal(engines_, t.root(), i, kPasses, del);
      } catch (...) {
      }
      _exit(rc);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "terminal exit status " << status;
  }

  std::set<std::string> expected;
  for (int i = 0; i < kTerminals; ++i)
    for (int n = 0; n < kPasses; n += 4) expected.insert("P" + std::to_string(i) + "_" + std::to_string(n));

  std::set<std::string> stored;
  for (const OperatorRecord& r : operators()) {
    std::string c = codeOf(r);
    c.erase(c.find_last_not_of(' ') + 1);
    stored.insert(c);
    EXPECT_EQ(textOf(r), fitText("UPD" + c.substr(c.find('_') + 1), 8)) << c;
  }
  EXPECT_EQ(stored, expected);

  std::multiset<std::string> users;
  for (const auto& [user, hash] : passwordLines()) {
    users.insert(user);
    if (user == "P0_0" || user == "P7_196") expectHashOfItself(user, hash);
  }
  EXPECT_EQ(users, std::multiset<std::string>(expected.begin(), expected.end()));

  // Every terminal took and freed its locks in the installation's one
  // lock file; none is left held.
  EXPECT_GT(readWholeFile(t.root() + "LOCKS/Operador.lck").value_or("").size(), 0u);
  EXPECT_TRUE(heldLocks().empty());
  std::string log = dbLog();
  size_t inserts = 0, updates = 0, lines = 0;
  for (const std::string& line : splitLines(log)) {
    ++lines;
    if (line + "\r\n" == logLine(52, 2, 0)) ++inserts;
    if (line + "\r\n" == logLine(52, 3, 0)) ++updates;
  }
  EXPECT_EQ(inserts, size_t{kTerminals * kPasses});
  EXPECT_EQ(updates, size_t{2 * kTerminals * kPasses});
  EXPECT_EQ(lines, inserts + updates);
}

#endif

}  // namespace
}  // namespace xt
