// The SQLite engine's own promises about its files: owner names kept in the
// file, the files' modes, journals, readers who may not write, other SQLite
// clients. What every engine does is tested in record_engine_test.cc.

#include "platform/sqlite_engine.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "engine_test_util.h"
#include "testing/child_process.h"
#include "platform/files.h"
#include "testing/test_program.h"
#include "testing/unprivileged.h"

namespace xt {
namespace {

using testutil::Handle;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

std::string record(std::string head, size_t length) {
  head.resize(length, ' ');
  return head;
}

class SqliteFileTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name = "file.dat") { return dir_ / name; }
  ScratchDir dir_;
  SqliteEngine engine_;
};

// ---- Files: create, stat, owner -------------------------------------------

TEST_F(SqliteFileTest, OwnerName) {
  Handle h(engine_);
  ASSERT_EQ(h.create(path(), specBytes(8, {key({segment(1, 8)})})), 0);
  ASSERT_EQ(SqliteEngine::setOwnerName(path(), "1234"), 0);
  EXPECT_EQ(h.open(path(), std::string("9999\0", 5)), status::kOwnerName);
  EXPECT_EQ(h.open(path(), std::string("1234\0", 5)), 0);
  ASSERT_EQ(h.reset(), 0);
  ASSERT_EQ(SqliteEngine::setOwnerName(path(), ""), 0);
  EXPECT_EQ(h.open(path(), std::string("9999\0", 5)), 0);
}

// Terminals of several users share the data file: it is made with the
// umask's mode like every other file, and so are the journal files.
TEST_F(SqliteFileTest, CreatedFileTakesTheModeTheUmaskGives) {
  Handle h(engine_);
  std::string fileSpec = specBytes(8, {key({segment(1, 8)})});
  auto modeOf = [](const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };
  mode_t saved = ::umask(002);
  int16_t shared = h.create(path("shared.dat"), fileSpec);
  ::umask(077);
  int16_t own = h.create(path("own.dat"), fileSpec);
  ::umask(saved);
  ASSERT_EQ(shared, 0);
  ASSERT_EQ(own, 0);
  EXPECT_EQ(modeOf(path("shared.dat")), 0664u);
  EXPECT_EQ(modeOf(path("own.dat")), 0600u);
  ASSERT_EQ(h.open(path("shared.dat")), 0);
  ASSERT_EQ(h.insert("ABCDEFGH"), 0);
  EXPECT_EQ(modeOf(path("shared.dat-wal")), 0664u);
  EXPECT_EQ(modeOf(path("shared.dat-shm")), 0664u);
}

// Terminals on several hosts would damage an SQLite file shared over the
// network: a file whose directory is on a network file system is neither
// opened nor created, and the message names the setting that moves the
// data to a server.
TEST_F(SqliteFileTest, DataFileOnANetworkFileSystemIsRefused) {
  const std::string fileSpec = specBytes(8, {key({segment(1, 8)})});
  ASSERT_EQ(Handle(engine_).create(path("old.dat"), fileSpec), 0);
  char directory[PATH_MAX];
  ASSERT_NE(::realpath(dir_.path().c_str(), directory), nullptr);

  for (auto [type, name] : {std::pair<uint32_t, std::string>{0x6969, "NFS"}, {0xFF534D42, "CIFS"}}) {
    std::vector<std::string> asked;
    SqliteEngine engine(5000, [&, type = type](const std::string& d) {
      asked.push_back(d);
      return std::optional<uint32_t>(type);
    });
    Handle h(engine);
    EXPECT_EQ(h.open(path("old.dat")), status::kNetworkFileSystem);
    const std::string why = engine.lastError();
    EXPECT_EQ(why.rfind(std::string(directory) + " is on a network file system (" + name + ")", 0), 0u) << why;
    EXPECT_NE(why.find("[Dades], Servidor=<libpq connection string>"), std::string::npos) << why;
    EXPECT_EQ(h.create(path("new.dat"), fileSpec), status::kNetworkFileSystem);
    EXPECT_FALSE(pathExists(path("new.dat")));
    EXPECT_EQ(asked, std::vector<std::string>(2, directory));
  }
  // A local file system, or one that cannot be told, lets the file through.
  for (std::optional<uint32_t> type : {std::optional<uint32_t>(0xEF53), std::optional<uint32_t>()}) {
    SqliteEngine engine(5000, [&](const std::string&) { return type; });
    Handle h(engine);
    EXPECT_EQ(h.open(path("old.dat")), 0);
    EXPECT_EQ(h.create(path("new.dat"), fileSpec, 0), 0);
  }
}

// ---- Record locks and other processes ---------------------------------------

// A child holding the file's write lock (a transaction of a connection of
// its own) until the parent tells it, through the returned descriptor, to
// run then and commit.
struct WriteHolder {
  pid_t pid = -1;
  int go = -1;
};
WriteHolder holdWriteLock(const std::string& p, const std::function<void()>& then = [] {}) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  sqlite3* db = nullptr;
  WriteHolder holder;
  holder.pid = runChild(
      [p, &db] {
        if (sqlite3_open(p.c_str(), &db) != SQLITE_OK ||
            sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT OR REPLACE INTO file_info VALUES('probe', 1);", nullptr,
                         nullptr, nullptr) != SQLITE_OK)
          ::_exit(1);
      },
      [&db, fds, then] {
        char go = 0;
        (void)!::read(fds[0], &go, 1);
        then();
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      });
  ::close(fds[0]);
  holder.go = fds[1];
  return holder;
}

// Tells the holder to go on after a moment, from another thread, while
// this one is already waiting for the write lock.
std::thread releaseSoon(const WriteHolder& holder) {
  return std::thread([fd = holder.go] {
    ::usleep(300 * 1000);
    (void)!::write(fd, "g", 1);
    ::close(fd);
  });
}

TEST_F(SqliteFileTest, WriteDuringAnotherProcessesLongWriteWaits) {
  Handle h(engine_);
  ASSERT_EQ(h.create(path(), specBytes(8, {key({segment(1, 4)})})), 0);
  ASSERT_EQ(h.open(path()), 0);
  std::string p = path();
  WriteHolder holder = holdWriteLock(p);
  ASSERT_GT(holder.pid, 0);
  SqliteEngine impatient(100);
  Handle quick(impatient);
  ASSERT_EQ(quick.open(p), 0);
  EXPECT_EQ(quick.insert("XXXXrec0"), status::kFileLocked);  // held until told

  std::thread release = releaseSoon(holder);
  EXPECT_EQ(h.insert("AAAArec1"), 0);  // waits for the commit
  release.join();
  EXPECT_EQ(readLe32(h.read(op::kStat, 0).data.data() + 6), 1u);
  killChild(holder.pid);
}

// Another process locks the record while this one waits to write it: the
// lock is seen inside the write transaction, not overlooked by a look taken
// before it.
TEST_F(SqliteFileTest, RecordLockedWhileWaitingForTheWriteLockIsHonoured) {
  Handle h(engine_);
  ASSERT_EQ(h.create(path(), specBytes(8, {key({segment(1, 4)})})), 0);
  ASSERT_EQ(h.open(path()), 0);
  ASSERT_EQ(h.insert("AAAArec1"), 0);
  const std::string p = path();
  for (int16_t operation : {op::kUpdate, op::kDelete}) {
    ASSERT_EQ(h.read(op::kGetEqual, 0, "AAAA").status, 0);
    WriteHolder holder = holdWriteLock(p, [p] {
      auto* other = new SqliteEngine;  // kept: closing would drop the lock
      auto* c = new Handle(*other);
      if (c->open(p) != 0 || c->read(op::kGetEqual + 200, 0, "AAAA").status != 0) ::_exit(1);
    });
    ASSERT_GT(holder.pid, 0);
    std::thread release = releaseSoon(holder);
    EXPECT_EQ(h.call(operation, "AAAAnew!", "", 0).status, status::kRecordLocked) << operation;
    release.join();
    killChild(holder.pid);
    EXPECT_EQ(h.read(op::kGetEqual, 0, "AAAA").data, "AAAArec1") << operation;
  }
}

// ---- A user who may read the file but not write it ---------------------------

TEST_F(SqliteFileTest, ReadOnlyFileOpensForReadingAndRefusesWrites) {
  const bool root = ::geteuid() == 0;
  // As root the reader and the writer are two other users; otherwise both
  // are this user, who may not write a file of mode 0444.
  const uid_t reader = kNobody, writer = 1;
  dir_.openToEveryone();
  const std::string p = path();
  {
    Handle h(engine_);
    ASSERT_EQ(h.create(p, specBytes(8, {key({segment(1, 4)})})), 0);
    ASSERT_EQ(h.open(p), 0);
    ASSERT_EQ(h.insert("AAAArec1"), 0);
    ASSERT_EQ(h.reset(), 0);
  }
  // The file belongs to the writer (as root) and only its owner may write it.
  if (root) {
    ASSERT_EQ(::chown(p.c_str(), writer, writer), 0);
    ASSERT_EQ(::chown((p + ".lck").c_str(), writer, writer), 0);
  }
  ASSERT_EQ(::chmod(p.c_str(), root ? 0644 : 0444) + ::chmod((p + ".lck").c_str(), 0644), 0);

  int read = runAsUser(reader, [p] {
    SqliteEngine engine;
    Handle h(engine);
    if (h.open(p) != 0) return 1;
    testutil::Reply r = h.read(op::kGetEqual, 0, "AAAA");
    if (r.status != 0 || r.data != "AAAArec1") return 2;
    if (h.insert("BBBBrec2") != status::kAccessDenied) return 3;
    if (h.call(op::kUpdate, "AAAAnew!", "", 0).status != status::kAccessDenied) return 4;
    if (h.call(op::kDelete, "", "", 0).status != status::kAccessDenied) return 5;
    if (h.read(op::kGetEqual + 200, 0, "AAAA").status != status::kAccessDenied) return 6;
    return 0;
  });
  EXPECT_EQ(read, 0);

  // What the reader left beside the file does not keep its owner from
  // writing it.
  if (!root) {
    ASSERT_EQ(::chmod(p.c_str(), 0644), 0);
  }
  int wrote = runAsUser(writer, [p] {
    SqliteEngine engine;
    Handle h(engine);
    if (h.open(p) != 0) return 1;
    if (h.insert("BBBBrec2") != 0) return 2;
    return h.read(op::kGetEqual, 0, "BBBB").status == 0 ? 0 : 3;
  });
  EXPECT_EQ(wrote, 0);
}

// ---- Creating over an old file's journal, replacing a file in use ----------

// The number of records, read through an engine of its own that closes
// the file again.
int64_t recordsIn(const std::string& p) {
  SqliteEngine engine;
  Handle h(engine);
  if (h.open(p) != 0) return -1;
  return readLe32(h.read(op::kStat, 0).data.data() + 6);
}

// A child that opens the file through an engine of its own and keeps it
// open; with records, it stores them first (they stay in the journal).
pid_t holdOpen(const std::string& p, std::vector<std::string> records = {}) {
  return runChild([p, records] {
    auto* other = new SqliteEngine;
    auto* c = new Handle(*other);
    if (c->open(p) != 0) ::_exit(1);
    for (const std::string& r : records)
      if (c->insert(r) != 0) ::_exit(1);
  });
}

// A terminal killed while it had the file open leaves its journal (-wal,
// -shm); an administrator then deletes the data file. The file created
// again under that name must start empty, not with the old pages.
TEST_F(SqliteFileTest, JournalLeftBesideAMissingFileIsNotReplayedIntoANewFile) {
  Handle h(engine_);
  std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  std::string p = path();
  ASSERT_EQ(h.create(p, fileSpec), 0);
  pid_t child = holdOpen(p, {"AAAArec1", "BBBBrec2", "CCCCrec3"});
  ASSERT_GT(child, 0);
  killChild(child);
  ASSERT_TRUE(fileExists(p + "-wal"));
  ASSERT_EQ(::unlink(p.c_str()), 0);

  ASSERT_EQ(h.create(p, fileSpec), 0);
  EXPECT_EQ(recordsIn(p), 0);
  ASSERT_EQ(h.open(p), 0);
  EXPECT_EQ(h.read(op::kGetFirst, 0).status, status::kEndOfFile);
  ASSERT_EQ(h.insert("DDDDrec4"), 0);
  EXPECT_EQ(h.read(op::kGetFirst, 0).data, "DDDDrec4");
}

// Terminals that start together over a missing file and a journal left
// beside it: one creates the file, the others find it made (59), and no
// create removes the journal of a terminal that already works on the file.
TEST_F(SqliteFileTest, TerminalsCreatingTogetherKeepEveryRecord) {
  Handle h(engine_);
  std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  std::string p = path();
  constexpr int kTerminals = 6, kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_EQ(h.create(p, fileSpec), 0);
    pid_t killed = holdOpen(p, {"OLD1rec1", "OLD2rec2"});
    ASSERT_GT(killed, 0);
    killChild(killed);
    ASSERT_EQ(::unlink(p.c_str()), 0);

    std::vector<pid_t> children;
    for (int t = 0; t < kTerminals; ++t) {
      pid_t pid = ::fork();
      if (pid == 0) {
        SqliteEngine engine;
        Handle c(engine);
        int16_t st = c.create(p, fileSpec);
        if (st != 0 && st != status::kFileAlreadyExists) ::_exit(2);
        if (c.open(p) != 0) ::_exit(3);
        for (int i = 0; i < 20; ++i)
          if (c.insert(record(std::string(1, char('A' + t)) + char('a' + i) + "..", 8)) != 0) ::_exit(4);
        ::_exit(0);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int st = 0;
      ::waitpid(pid, &st, 0);
      EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "round " << round << " status " << st;
    }
    EXPECT_EQ(recordsIn(p), kTerminals * 20) << "round " << round;
    ASSERT_EQ(::unlink(p.c_str()), 0);
  }
}

// While a terminal still has the deleted file open, its journal is live:
// the create waits for it (85 after the busy time) and removes nothing.
// A file another terminal has just made is not waited for: 59 at once.
TEST_F(SqliteFileTest, CreateWaitsWhileAnotherProcessHasTheOldFileOpen) {
  SqliteEngine impatient(100);
  Handle h(impatient);
  std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  std::string p = path();
  ASSERT_EQ(h.create(p, fileSpec), 0);
  pid_t child = holdOpen(p, {"AAAArec1"});
  ASSERT_GT(child, 0);
  EXPECT_EQ(h.create(p, fileSpec), status::kFileAlreadyExists);
  ASSERT_EQ(::unlink(p.c_str()), 0);

  EXPECT_EQ(h.create(p, fileSpec), status::kFileLocked);
  EXPECT_FALSE(fileExists(p));
  EXPECT_TRUE(fileExists(p + "-wal"));
  EXPECT_TRUE(fileExists(p + "-shm"));

  killChild(child);
  ASSERT_EQ(h.create(p, fileSpec), 0);
  EXPECT_EQ(recordsIn(p), 0);

  // The same when this process has the deleted file open, whatever way
  // the name is written.
  ASSERT_EQ(h.open(p), 0);
  ASSERT_EQ(h.insert("BBBBrec2"), 0);
  ASSERT_EQ(::unlink(p.c_str()), 0);
  EXPECT_EQ(h.create(p.substr(0, p.rfind('/')) + "/./file.dat", fileSpec), status::kFileLocked);
  EXPECT_TRUE(fileExists(p + "-wal"));
  EXPECT_EQ(h.read(op::kGetFirst, 0).data, "BBBBrec2");
}

// Replacing a file other processes have open would leave them working on
// the unlinked old file, where their writes are lost: refused with 85,
// whether the other process is a terminal or any SQLite client.
TEST_F(SqliteFileTest, ReplaceIsRefusedWhileAnotherProcessHasTheFileOpen) {
  SqliteEngine impatient(100);
  Handle h(impatient);
  std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  std::string p = path();
  ASSERT_EQ(h.create(p, fileSpec), 0);

  pid_t child = holdOpen(p, {"AAAArec1"});
  ASSERT_GT(child, 0);
  EXPECT_EQ(h.create(p, fileSpec, 0), status::kFileLocked);
  killChild(child);
  EXPECT_EQ(recordsIn(p), 1);  // the file and its journal are left as they were

  sqlite3* db = nullptr;
  child = runChild([p, &db] {
    if (sqlite3_open(p.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "SELECT count(*) FROM records", nullptr, nullptr, nullptr) != SQLITE_OK)
      ::_exit(1);
  });
  ASSERT_GT(child, 0);
  EXPECT_EQ(h.create(p, fileSpec, 0), status::kFileLocked);
  killChild(child);
  EXPECT_EQ(recordsIn(p), 1);

  // Open in this process only: refused too; closed, the file is replaced.
  ASSERT_EQ(h.open(p), 0);
  EXPECT_EQ(h.create(p, fileSpec, 0), status::kFileLocked);
  ASSERT_EQ(h.reset(), 0);
  EXPECT_EQ(h.create(p, fileSpec, 0), 0);
  EXPECT_EQ(recordsIn(p), 0);
}

}  // namespace
}  // namespace xt
