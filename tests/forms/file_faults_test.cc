// Failures of the disk, injected through the file system the program is
// given (so they run as root too): what the operator keeps when the disk is
// full, a file cannot be written or permission is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "data/file_table.h"
#include "data/operation_log.h"
#include "data/record_locks.h"
#include "data/record_ops.h"
#include "forms/operator_maintenance.h"
#include "intranet/access_files.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "screen/calculator.h"
#include "testing/faulty_file_system.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// The screen as it stood each time typed keys were thrown away (as a
// message the operator must see goes up).
class ShowingConsole : public FakeConsole {
 public:
  void discardInput() override {
    FakeConsole::discardInput();
    shown += dump();
  }
  std::string shown;
};

// The program on a fresh copy of the demo installation, its files seen
// through a disk that fails what a test aims at.
class FileFaults : public ::testing::Test {
 protected:
  FileFaults() : disk(t.fs()), program(console, t.system(), disk, t.engine()) {
    copyTree(demoSourceDir(), t.root());
    program.settings = t.program().settings;
    program.settings.languageCode = "CAT";
    console.setTypeAhead(false);
    saved_ = currentDirectory();
    (void)changeDirectory(t.root());
  }
  ~FileFaults() override { (void)changeDirectory(saved_); }

  std::string file(const std::string& name) { return readWholeFile(t.root() + name).value_or("<none>"); }

  TestProgram t;
  ShowingConsole console;
  FaultyFileSystem disk;
  Program program;
  std::string saved_;
};

TEST_F(FileFaults, AFullDiskDuringThePasswordRewriteLeavesTheOldFileWhole) {
  const std::string old = "ADMIN:$apr1$aaaaaaaa$bbbbbbbbbbbbbbbbbbbbbb\r\nPERE:$apr1$cccccccc$dddddddddddddddddddddd\r\n";
  ASSERT_TRUE(writeWholeFile(t.root() + ".HTPASSWD", old).ok());
  disk.inject(FileFault(FileFault::kWriteAt).onPathsWith("PWD.TMP").cutShortAfter(20));
  EXPECT_EQ(rewriteAccessFiles(program.system, disk, t.root(), "MARIA", "MARIA", false), AccessStatus::WriteFailed);
  EXPECT_EQ(disk.failuresInjected(), 1);
  EXPECT_EQ(file(".HTPASSWD"), old);
  EXPECT_FALSE(fileExists(t.root() + "PWD.TMP"));
}

TEST_F(FileFaults, ADbLogThatCannotBeWrittenLeavesTheStatusAlone) {
  OperatorRecord record{};
  ASSERT_EQ(openDataFile(program.data, kOperatorFileId, t.root() + "Operador", recordBytes(record)), 0);
  disk.inject(FileFault(FileFault::kAppendToFile).onPathsWith("db.log").withError(EACCES).repeated(-1));
  std::memcpy(record.operatorCode, "NOU     ", 8);
  EXPECT_EQ(insertRecord(program.data, kOperatorFileId), 0);
  std::memcpy(record.operatorText, "Nou     ", 8);
  EXPECT_EQ(updateRecord(program.data, kOperatorFileId), 0);
  EXPECT_EQ(disk.failuresInjected(), 2);
  EXPECT_EQ(findByKey(program.data, kOperatorFileId, 0, "NOU     ", 0), 0);
  EXPECT_EQ(std::string(record.operatorText, 8), "Nou     ");
  EXPECT_EQ(file("db.log"), "<none>");
  (void)resetAllFiles(program.data);
}

// Neither the window stack nor the calculator's state can be written: the
// form still takes an operator, with the calculator's result typed in.
TEST_F(FileFaults, UnwritableWorkFilesLeaveTheFormWorking) {
  disk.inject(FileFault(FileFault::kOpenForWriting).onPathsWith("WinPush.tmp").withError(EACCES).repeated(-1));
  disk.inject(FileFault(FileFault::kReplaceFileAtomically).onPathsWith("TAVCALC.TMP").withError(ENOSPC).repeated(-1));
  program.screen.tools.calculator = calculator;
  FakeConsole& keys = console;
  keys.pushKey(key::kCtrlY);
  keys.pushText("PAU");
  keys.pushKey(key::kEnter);
  keys.pushKey(key::kCtrlY);
  keys.pushKey(key::kAltX);
  keys.pushText("12+3=F");
  keys.pushKeys({key::kEnter, key::kEnter});
  OperatorMaintenance form(program.entry, program.data, program.browse);
  FormRunResult run = runOperatorForm(form);
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_GE(disk.failuresInjected(), 2);
  EXPECT_FALSE(fileExists(t.root() + "tmp/TAVCALC.TMP"));

  OperatorRecord record{};
  ASSERT_EQ(openDataFile(program.data, kOperatorFileId, t.root() + "Operador", recordBytes(record)), 0);
  ASSERT_EQ(findByKey(program.data, kOperatorFileId, 0, "PAU     ", 0), 0);
  EXPECT_EQ(std::string(record.operatorText, 8), "1500    ");
  (void)resetAllFiles(program.data);
  EXPECT_NE(file(".HTPASSWD").find("PAU:$apr1$"), std::string::npos);
}

TEST_F(FileFaults, ALockFileRefusedByPermissionsGivesItsMessage) {
  disk.inject(FileFault(FileFault::kOpenForWriting).onPathsWith("Operador.lck").withError(EACCES).repeated(-1));
  program.data.locks.lockWaitMode = 'P';
  EXPECT_EQ(lockRecordKey(program.data, "Operador", "ADMIN"), -1);
  EXPECT_EQ(console.beeps(), 1);
  // The message, in a box on row 24, may run over two lines.
  std::string flowed;
  for (char c : console.shown)
    if (c != '\xB3' && c != '\n' && (c != ' ' || flowed.empty() || flowed.back() != ' ')) flowed += c;
  EXPECT_NE(flowed.find("NO ES POT ACCEDIR AL FITXER"), std::string::npos) << console.shown;
  EXPECT_NE(flowed.find(std::string("(") + std::strerror(EACCES) + ")"), std::string::npos) << console.shown;
  EXPECT_EQ(program.screen.windows.windowDepth, 0);
}

}  // namespace
}  // namespace xt
