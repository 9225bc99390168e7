// Crash consistency of the operator form: a child process runs the real
// form procedure (inserts, updates, deletes and the .HTPASSWD rewrites that
// go with them) and is killed with SIGKILL at a random moment; the files it
// leaves are checked, then a fresh child runs one normal pass to completion
// and the files are checked again.
//
// What must hold. The form rewrites .HTPASSWD first and writes the record
// after it, and a new record is inserted before its line is written, so a
// kill may leave one operator's record without its line (a delete or a
// creation cut short); it may never leave a line without a record, since a
// line is only written for a stored record and is removed before the record
// goes. Precisely:
//  - after every kill: the data file opens and passes integrity_check;
//    .HTPASSWD exists and every line is "user:$apr1$salt$hash" CR LF, the
//    last one included; no user has two lines; every hash verifies against
//    the user's code (the form's password); every line belongs to a record;
//    at most one record lacks its line that did not lack it before the
//    child started (the one operator the child was in the middle of); the
//    operators no child touches keep their records and their lines byte
//    for byte;
//  - after a completed normal pass that stores operator X: X's record holds
//    what was typed and X has exactly one line, which verifies; after one
//    that deletes X: neither X's record nor a line for X remains. Every
//    other record and every other line is as it was, lines in the same
//    order, and the rewrite's work file is gone.
//
// The record lock of a killed child stays in LOCKS/Operador.lck. All
// children share the session directory and so the identity in LOCKS.TMP,
// as a terminal restarted after a crash does: a lock of the same owner
// never conflicts and is refreshed in place, so the stale entries neither
// block the next child nor pile up beyond one per code.
//
// The children run on a host of their own (a UTS namespace), apart from
// the checking process. On the PostgreSQL engine the records are read back
// through a fresh connection, the file's record count must match its rows,
// and once a killed child's connection is gone no advisory lock of it may
// remain on the server.
//
// XT_CRASH_KILLS sets the number of kills (default 500), XT_CRASH_SEED the
// seed (default: drawn and printed, so a failure can be run again).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sched.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "format/fixed_text.h"
#include "forms/form_definition.h"
#include "forms/operator_maintenance.h"
#include "intranet/apr1.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/pg_connection.h"
#include "startup/program.h"
#include "testing/fake_console.h"
#include "testing/fake_system.h"
#include "testing/test_program.h"
#include "../platform/engine_kinds.h"
#include "../platform/engine_test_util.h"

namespace xt {
namespace {

using testutil::EngineKind;
using testutil::EngineScratch;

constexpr int16_t kClear = key::kCtrlY;
// Operators the killed children work on, and two nobody touches after the
// first pass.
const std::vector<std::string> kPool = {"OP0", "OP1", "OP2", "OP3", "OP4", "OP5"};
const std::vector<std::string> kKept = {"KEEP1", "KEEP2"};

unsigned long envNumber(const char* name, unsigned long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoul(v, nullptr, 10) : fallback;
}

// One script of keys for a form pass.
struct Keys {
  FakeConsole& c;
  int16_t deleteKey;  // the key group 2 maps onto the delete request
  void code(const std::string& code) {
    c.pushKey(kClear);
    c.pushText(code);
    c.pushKey(key::kEnter);
  }
  void store(const std::string& code, const std::string& text, bool flipLevel) {
    this->code(code);
    c.pushKey(kClear);
    c.pushText(text);
    c.pushKey(key::kEnter);
    if (flipLevel) c.pushKey(key::kRight);
    c.pushKey(key::kEnter);
  }
  void remove(const std::string& code) {
    this->code(code);
    c.pushKey(deleteKey);
    c.pushKey(kClear);
    c.pushText("S");
    c.pushKey(key::kEnter);
  }
  void leave(const std::string& code) {  // Esc in group 2: a new record goes again
    this->code(code);
    c.pushKey(kClear);
    c.pushText("GONE");
    c.pushKey(key::kEsc);
  }
};

// The form run in this (child) process on the installation at root, with
// the session directory root/tmp/ shared by every child. No scratch
// directory of its own: a killed child leaves nothing to clean up. Writes
// a byte to readyFd just before the form starts. Returns the exit code.
int runFormChild(const EngineScratch& engines, const std::string& root, int16_t deleteKey,
                 const std::function<void(Keys&)>& script, int readyFd) {
  // Every child is the same terminal, restarted, on a host of its own.
  const std::string host = "crashed";
  const int flags = ::geteuid() == 0 ? CLONE_NEWUTS : CLONE_NEWUSER | CLONE_NEWUTS;
  if (::unshare(flags) != 0 || ::sethostname(host.data(), host.size()) != 0) return 15;
  FakeConsole console;
  FakeSystem system;
  system.hostName = host;
  std::unique_ptr<RecordEngine> made = engines.makeEngineFor(root);
  RecordEngine& engine = *made;
  system.setEnv("TAVROOT", root);
  system.setEnv("TAVTMP", root + "tmp/");
  // Salts differ from child to child, so a line carried over from an older
  // file would show.
  system.randomAfterScript = static_cast<double>(::getpid() % 9973 + 1) / 9975.0;
  PosixFileSystem disk;
  Program p(console, system, disk, engine);
  p.settings.rootDir = root;
  p.settings.tempDir = root + "tmp/";
  p.settings.terminalDir = root + "tmp/";
  p.settings.languageCode = "CAT";
  if (!changeDirectory(root)) return 10;
  console.setTypeAhead(false);
  Keys keys{console, deleteKey};
  script(keys);
  if (readyFd >= 0) {
    char b = 1;
    if (::write(readyFd, &b, 1) != 1) return 14;
    ::close(readyFd);
  }
  OperatorMaintenance form(p.entry, p.data, p.browse);
  if (!runOperatorForm(form).ok) return 11;
  return console.pendingEvents() == 0 ? 0 : 12;
}

pid_t forkFormChild(const EngineScratch& engines, const std::string& root, int16_t deleteKey,
                    const std::function<void(Keys&)>& script, int readyFd, int otherFd) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (otherFd >= 0) ::close(otherFd);
    int rc = 13;
    try {
      rc = runFormChild(engines, root, deleteKey, script, readyFd);
    } catch (...) {
    }
    ::_exit(rc);
  }
  return pid;
}

// A pass run to completion: the child's exit status, 0 when all went well.
int runPassToCompletion(const EngineScratch& engines, const std::string& root, int16_t deleteKey,
                        const std::function<void(Keys&)>& script) {
  pid_t pid = forkFormChild(engines, root, deleteKey, script, -1, -1);
  if (pid < 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
}

struct Record {
  std::string text;
  int level = 0;
  bool operator==(const Record&) const = default;
};

// What the files say, read the way any other program would.
struct State {
  std::map<std::string, Record> records;                     // by trimmed code
  std::vector<std::pair<std::string, std::string>> lines;  // user, whole line
  std::set<std::string> lineless;                            // records without a line
};

std::string trimmed(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

int64_t fileSize(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

bool cryptChars(const std::string& s) {
  for (char c : s)
    if (!(c == '.' || c == '/' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      return false;
  return true;
}

class CrashConsistencyTest : public ::testing::TestWithParam<EngineKind> {
 protected:
  CrashConsistencyTest()
      : engines_(GetParam()), t([this](const std::string& root) { return engines_.makeEngineFor(root); }) {}

  void SetUp() override {
    ASSERT_TRUE(fileExists(demoSourceDir() + "FORMS/XTANCAR.JPN") && fileExists(demoSourceDir() + "ddf/Operador.xdf"))
        << "the demo installation has no form or dictionary";
    copyTree(demoSourceDir(), t.root());
    // The key that the form's group 2 maps onto the delete request.
    FormLoadResult loaded = loadForm(t.program().fs, t.program().form, t.program().settings, t.root() + "FORMS\\XTANCAR.JPN");
    ASSERT_TRUE(loaded.ok) << loaded.message;
    const std::string& keys = t.program().form.group(2).groupKeys;
    for (size_t at = 0; at < keys.size() && deleteKey_ == 0;) {
      size_t comma = keys.find(',', at);
      std::string item = keys.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
      size_t eq = item.find('=');
      if (eq != std::string::npos && std::stoi(item.substr(eq + 1), nullptr, 16) == key::kDeleteRequest)
        deleteKey_ = static_cast<int16_t>(std::stoi(item.substr(0, eq), nullptr, 16));
      at = comma == std::string::npos ? keys.size() : comma + 1;
    }
    ASSERT_NE(deleteKey_, 0) << "group 2 maps no key onto the delete request: " << keys;
  }

  std::string root() { return t.root(); }

  void addRecord(State& s, const std::string& data) {
    if (data.size() < sizeof(OperatorRecord)) {
      ADD_FAILURE() << "a record of " << data.size() << " bytes";
      return;
    }
    OperatorRecord r;
    std::memcpy(&r, data.data(), sizeof r);
    std::string code = trimmed(std::string(r.operatorCode, 8));
    EXPECT_FALSE(s.records.count(code)) << "two records for " << code;
    s.records[code] = {std::string(r.operatorText, 8), r.accessLevel};
  }

  // The SQLite file, checked for integrity and read row by row.
  void readSqliteRecords(State& s) {
    // Read from a copy, so that the journal a kill left is recovered by the
    // next child, as after a real crash, and not by this check.
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(check_ / (std::string("Operador.dat") + suffix), ec);
    for (const char* suffix : {"", "-wal"}) {
      std::string name = std::string("Operador.dat") + suffix;
      if (fs::exists(root() + name)) fs::copy_file(root() + name, check_ / name, ec);
      EXPECT_FALSE(ec) << "copying " << name << ": " << ec.message();
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2((check_ / "Operador.dat").c_str(), &db, SQLITE_OPEN_READWRITE,
                             nullptr);
    EXPECT_EQ(rc, SQLITE_OK) << "the data file does not open";
    if (rc == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      std::string integrity;
      if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) integrity += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      sqlite3_finalize(st);
      EXPECT_EQ(integrity, "ok");
      EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT data FROM records ORDER BY id", -1, &st, nullptr), SQLITE_OK);
      while (st && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        addRecord(s, std::string(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                                 static_cast<size_t>(sqlite3_column_bytes(st, 0))));
      }
      EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);

  }

  // The server's table, read in key order through a connection of its own;
  // its count in xt_files must match its rows, and no killed terminal may
  // still hold an advisory lock once its connection has gone.
  void readServerRecords(State& s) {
    {
      std::unique_ptr<RecordEngine> engine = engines_.makeEngineFor(root());
      testutil::Handle h(*engine);
      ASSERT_EQ(h.open(root() + "Operador.dat"), 0) << "the data file does not open";
      testutil::Reply r = h.read(op::kGetFirst, 0, "", sizeof(OperatorRecord));
      for (; r.status == 0; r = h.read(op::kGetNext, 0, r.key, sizeof(OperatorRecord))) addRecord(s, r.data);
      EXPECT_EQ(r.status, status::kEndOfFile);
      EXPECT_EQ(h.reset(), 0);
    }
    PgConnection admin(engines_.conninfo(), 5000);
    ASSERT_EQ(admin.connect(), 0) << admin.lastError();
    PgRows rows;
    ASSERT_EQ(admin.run("SELECT f.records, (SELECT count(*) FROM \"operador.dat\") FROM xt_files f "
                        "WHERE f.name = 'operador.dat'",
                        {}, rows),
              0)
        << admin.lastError();
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.int8(0, 0), rows.int8(0, 1)) << "the record count and the rows disagree";
    const std::string held =
        "SELECT count(*) FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
        "WHERE l.locktype = 'advisory' AND a.application_name = '" + engines_.schema() + "' "
        "AND a.pid <> pg_backend_pid()";
    // The server notices a killed terminal's connection closed at once, and
    // ends it a moment later.
    for (int tries = 0;; ++tries) {
      ASSERT_EQ(admin.run(held, {}, rows), 0) << admin.lastError();
      if (rows.int8(0, 0) == 0) break;
      if (tries == 500) {
        ADD_FAILURE() << rows.int8(0, 0) << " advisory locks left held with no terminal running";
        break;
      }
      ::usleep(10000);
    }
  }

  // Reads and checks what must hold whenever no child runs.
  State readState() {
    State s;
    if (GetParam() == EngineKind::Sqlite)
      readSqliteRecords(s);
    else
      readServerRecords(s);

    std::optional<std::string> passwords = readWholeFile(root() + ".HTPASSWD");
    EXPECT_TRUE(passwords.has_value()) << ".HTPASSWD is missing";
    EXPECT_TRUE(fileExists(root() + ".HTACCESS")) << ".HTACCESS is missing";
    std::string rest = passwords.value_or("");
    std::set<std::string> users;
    while (!rest.empty()) {
      size_t end = rest.find("\r\n");
      if (end == std::string::npos) {
        ADD_FAILURE() << "a last line without CR LF: " << rest;
        break;
      }
      std::string line = rest.substr(0, end);
      rest.erase(0, end + 2);
      size_t colon = line.find(':');
      std::string user = line.substr(0, colon);
      std::string hash = colon == std::string::npos ? "" : line.substr(colon + 1);
      // "$apr1$" salt "$" 22 characters
      size_t dollar = hash.find('$', 6);
      bool wellFormed = colon != std::string::npos && colon > 0 && hash.rfind("$apr1$", 0) == 0 &&
                        dollar != std::string::npos && dollar > 6 && dollar <= 14 &&
                        cryptChars(hash.substr(6, dollar - 6)) && hash.size() == dollar + 23 &&
                        cryptChars(hash.substr(dollar + 1)) && line.find('\n') == std::string::npos &&
                        line.find('\r') == std::string::npos;
      EXPECT_TRUE(wellFormed) << "a line not well formed: " << line;
      if (!wellFormed) continue;
      EXPECT_TRUE(users.insert(user).second) << "two lines for " << user;
      std::string salt = hash;
      EXPECT_EQ(apr1Hash(t.system(), user, salt), hash) << "the hash of " << user << " does not verify";
      EXPECT_TRUE(s.records.count(user)) << "a line without a record: " << user;
      s.lines.emplace_back(user, line);
    }
    // The operation log gets whole lines only.
    std::string log = readWholeFile(root() + "db.log").value_or("");
    EXPECT_TRUE(log.empty() || log.ends_with("\r\n")) << "db.log ends in a partial line";
    for (const auto& [code, rec] : s.records)
      if (!users.count(code)) s.lineless.insert(code);
    return s;
  }

  // The lines of every user but one, in order.
  static std::vector<std::pair<std::string, std::string>> linesBut(const State& s, const std::string& user) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& l : s.lines)
      if (l.first != user) out.push_back(l);
    return out;
  }
  static std::map<std::string, Record> recordsBut(const State& s, const std::string& code) {
    std::map<std::string, Record> out = s.records;
    out.erase(code);
    return out;
  }

  void keptUnchanged(const State& s) {
    for (const std::string& k : kKept) {
      EXPECT_TRUE(s.records.count(k) && s.records.at(k) == kept_.records.at(k)) << k << "'s record changed";
      std::string line;
      for (const auto& l : s.lines)
        if (l.first == k) line = l.second;
      std::string keptLine;
      for (const auto& l : kept_.lines)
        if (l.first == k) keptLine = l.second;
      EXPECT_EQ(line, keptLine) << k << "'s line changed";
    }
  }

  // Saves the installation for a look after a failure.
  void keepForInspection(unsigned long seed, unsigned long kill) {
    std::string to = (std::filesystem::temp_directory_path() /
                      ("xt-crash-" + std::to_string(seed) + "-" + std::to_string(kill)))
                         .string();
    std::error_code ec;
    std::filesystem::copy(root(), to, std::filesystem::copy_options::recursive, ec);
    std::printf("installation after the failure kept in %s\n", to.c_str());
  }

  EngineScratch engines_;
  TestProgram t;  // the installation and the hash function's system
  ScratchDir check_;
  int16_t deleteKey_ = 0;
  State kept_;
};

TEST_P(CrashConsistencyTest, KilledAtRandomMomentsLosesOrCorruptsNothing) {
  const unsigned long kills = envNumber("XT_CRASH_KILLS", 500);
  const unsigned long seed = envNumber("XT_CRASH_SEED", std::random_device{}());
  std::printf("crash test: %lu kills, XT_CRASH_SEED=%lu\n", kills, seed);
  std::fflush(stdout);
  std::mt19937 rng(static_cast<uint32_t>(seed));
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };

  // The operators nobody touches afterwards, and the data file, made by a
  // normal pass.
  ASSERT_EQ(runPassToCompletion(engines_, root(), deleteKey_,
                                [](Keys& k) {
                                  for (const std::string& c : kKept) k.store(c, c, false);
                                }),
            0);
  kept_ = readState();
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(kept_.records.size(), kKept.size());
  ASSERT_EQ(kept_.lines.size(), kKept.size());
  State before = kept_;

  const auto started = std::chrono::steady_clock::now();
  size_t killedMidway = 0, newlyLineless = 0, journalsLeft = 0;
  for (unsigned long kill = 0; kill < kills; ++kill) {
    const int delayUs = static_cast<int>(pick(30001));
    const uint32_t scriptSeed = static_cast<uint32_t>(rng());
    SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(delayUs) + " us, XT_CRASH_SEED=" +
                 std::to_string(seed));

    // Far more passes than fit before the kill.
    auto busy = [scriptSeed](Keys& k) {
      std::mt19937 r(scriptSeed);
      for (int n = 0; n < 300; ++n) {
        const std::string& code = kPool[r() % kPool.size()];
        unsigned what = r() % 20;
        if (what < 11)
          k.store(code, "A" + std::to_string(n), what == 0);
        else if (what < 17)
          k.remove(code);
        else
          k.leave(code);
      }
    };
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t pid = forkFormChild(engines_, root(), deleteKey_, busy, ready[1], ready[0]);
    ASSERT_GE(pid, 0);
    ::close(ready[1]);
    char b = 0;
    (void)::read(ready[0], &b, 1);  // the form starts; 0 bytes if the child ended early
    ::close(ready[0]);
    // The delay runs from just before the form loads, so a kill can land
    // while it opens the data file as well as in any pass.
    timespec delay{0, delayUs * 1000L};
    ::nanosleep(&delay, nullptr);
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (WIFSIGNALED(status)) ++killedMidway;
    else
      EXPECT_EQ(WEXITSTATUS(status), 0) << "the busy child failed";

    if (GetParam() == EngineKind::Sqlite && fileSize(root() + "Operador.dat-wal") > 0) ++journalsLeft;
    State afterKill = readState();
    keptUnchanged(afterKill);
    size_t fresh = 0;
    for (const std::string& c : afterKill.lineless) fresh += before.lineless.count(c) ? 0 : 1;
    EXPECT_LE(fresh, 1u) << "more than one record lost its line";
    newlyLineless += fresh;

    // One normal pass: store or delete an operator, preferably one a kill
    // left without its line.
    std::string x = !afterKill.lineless.empty() && pick(2) == 0 ? *afterKill.lineless.begin()
                                                                   : kPool[pick(kPool.size())];
    const bool removing = pick(3) == 0;
    const std::string text = "B" + std::to_string(kill % 10000);
    // Right on the access level turns a general operator restricted.
    const int levelBefore = afterKill.records.count(x) ? afterKill.records.at(x).level : 0;
    const bool restricted = pick(2) == 0 && levelBefore == 0;
    EXPECT_EQ(runPassToCompletion(engines_, root(), deleteKey_,
                                  [&](Keys& k) {
                                    if (removing)
                                      k.remove(x);
                                    else
                                      k.store(x, text, restricted);
                                  }),
              0)
        << "the normal pass on " << x << " failed";

    State afterPass = readState();
    keptUnchanged(afterPass);
    EXPECT_EQ(linesBut(afterPass, x), linesBut(afterKill, x)) << "other lines changed";
    EXPECT_EQ(recordsBut(afterPass, x), recordsBut(afterKill, x)) << "other records changed";
    size_t xLines = 0;
    for (const auto& l : afterPass.lines) xLines += l.first == x ? 1 : 0;
    if (removing) {
      EXPECT_FALSE(afterPass.records.count(x)) << x << " was not deleted";
      EXPECT_EQ(xLines, 0u) << x << "'s line outlived its delete";
    } else {
      EXPECT_TRUE(afterPass.records.count(x) &&
                  afterPass.records.at(x) == (Record{fitText(text, 8), restricted ? 1 : levelBefore}))
          << x << " was not stored as typed: \"" << afterPass.records[x].text << "\" level "
          << afterPass.records[x].level << ", before \"" << afterKill.records[x].text << "\" level "
          << afterKill.records[x].level;
      EXPECT_EQ(xLines, 1u) << x << " has no line after a normal store";
    }
    EXPECT_FALSE(fileExists(root() + "PWD.TMP")) << "the rewrite's work file was left";
    before = afterPass;

    if (HasFailure()) {
      keepForInspection(seed, kill);
      break;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("crash test: %lu kills in %.1f s, %zu mid-run, %zu left a journal, %zu a record without its line\n",
              kills, seconds, killedMidway, journalsLeft, newlyLineless);
  // The killed children's locks were refreshed in place, one record per code.
  EXPECT_LE(fileSize(root() + "LOCKS/Operador.lck"), int64_t{121} * int64_t(kPool.size() + kKept.size() + 1));
}

INSTANTIATE_TEST_SUITE_P(Engines, CrashConsistencyTest, ::testing::Values(EngineKind::Sqlite, EngineKind::Postgres),
                         testutil::engineKindName);

}  // namespace
}  // namespace xt
