// The SQLite engine's Windows side: the sidecar's locks are LockFileEx
// locks, which belong to a handle, so two engines in one process stand for
// two terminals here; the network-drive refusal. Built for Windows only
// (sqlite_engine_test.cc runs the other terminals as forked children).
#ifdef _WIN32
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_util.h"
#include "platform/files.h"
#include "platform/sqlite_engine.h"
#include "testing/test_program.h"

namespace xt {
namespace {

using testutil::Handle;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

class Win32SqliteTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name = "Operador.dat") { return dir_ / name; }
  const std::string fileSpec_ = specBytes(8, {key({segment(1, 4)})});
  ScratchDir dir_;
  SqliteEngine terminalA_{200}, terminalB_{200};
};

TEST_F(Win32SqliteTest, RecordLocksOfTwoTerminalsExcludeEachOther) {
  Handle a(terminalA_), b(terminalB_);
  ASSERT_EQ(a.create(path(), fileSpec_), 0);
  ASSERT_EQ(a.open(path()), 0);
  ASSERT_EQ(a.insert("AAAAone "), 0);
  ASSERT_EQ(a.insert("BBBBtwo "), 0);
  ASSERT_EQ(b.open(path("OPERADOR.DAT")), 0);

  EXPECT_EQ(a.read(op::kGetEqual + op::kLockBias, 0, "AAAA").status, 0);
  EXPECT_EQ(b.read(op::kGetEqual + op::kLockBias, 0, "AAAA").status, status::kRecordLocked);
  EXPECT_EQ(b.read(op::kGetEqual + op::kLockBias, 0, "BBBB").status, 0);  // another record
  // An update of the record the other holds is refused; asking does not
  // take the lock from its holder.
  ASSERT_EQ(b.read(op::kGetEqual, 0, "AAAA").status, 0);
  EXPECT_EQ(b.call(op::kUpdate, "AAAAmine", "", 0).status, status::kRecordLocked);
  EXPECT_EQ(a.call(op::kUpdate, "AAAAheld", "", 0).status, 0);  // also gives the lock up
  ASSERT_EQ(b.read(op::kGetEqual, 0, "AAAA").status, 0);
  EXPECT_EQ(b.call(op::kUpdate, "AAAAmine", "", 0).status, 0);
  EXPECT_EQ(a.read(op::kGetEqual, 0, "AAAA").data.substr(0, 8), "AAAAmine");
}

TEST_F(Win32SqliteTest, ReplaceWaitsWhileAnotherTerminalHasTheFileOpen) {
  Handle a(terminalA_), b(terminalB_);
  ASSERT_EQ(a.create(path(), fileSpec_), 0);
  ASSERT_EQ(a.open(path()), 0);
  ASSERT_EQ(a.insert("AAAAone "), 0);
  EXPECT_EQ(b.create(path(), fileSpec_, 0), status::kFileLocked);
  EXPECT_EQ(a.read(op::kGetFirst, 0).status, 0);  // untouched
  ASSERT_EQ(a.reset(), 0);
  EXPECT_EQ(b.create(path(), fileSpec_, 0), 0);
  ASSERT_EQ(b.open(path()), 0);
  EXPECT_EQ(b.read(op::kGetFirst, 0).status, status::kEndOfFile);
}

// Names are code page 850 for SQLite and the files beside the data file
// too: the file, its journal and its sidecar all land in the one
// directory.
TEST_F(Win32SqliteTest, DataFilesInADirectoryWithAnAccentedName) {
  const std::string directory = "Operaci\x87";  // "Operació"
  ASSERT_TRUE(makeDirectory(dir_ / directory).ok());
  Handle a(terminalA_);
  const std::string p = dir_ / (directory + "\\Clients.dat");
  ASSERT_EQ(a.create(p, fileSpec_), 0);
  ASSERT_EQ(a.open(p), 0);
  ASSERT_EQ(a.insert("AAAAone "), 0);
  ASSERT_EQ(a.reset(), 0);
  ASSERT_EQ(a.open(p), 0);
  EXPECT_EQ(a.read(op::kGetFirst, 0).data.substr(0, 8), "AAAAone ");
  std::vector<std::string> names = listDirectory(dir_ / directory);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Clients.dat", "Clients.dat-shm", "Clients.dat-wal", "Clients.dat.lck"}));
  EXPECT_EQ(listDirectory(dir_.path()), std::vector<std::string>{directory});
}

TEST_F(Win32SqliteTest, DataFilesOnANetworkShareAreRefused) {
  SqliteEngine engine;
  Handle h(engine);
  EXPECT_EQ(h.create("\\\\server\\share\\tav\\Operador.dat", fileSpec_), status::kNetworkFileSystem);
  const std::string why = engine.lastError();
  EXPECT_EQ(why.rfind("//server/share/tav is on a network file system (SMB)", 0), 0u) << why;
  EXPECT_NE(why.find("[Dades], Servidor=<libpq connection string>"), std::string::npos) << why;
  EXPECT_EQ(h.create(path(), fileSpec_), 0);  // a local drive
}

}  // namespace
}  // namespace xt
#endif  // _WIN32
