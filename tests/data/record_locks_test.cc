#include "data/record_locks.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/files.h"
#include "platform/native.h"
#include "testing/no_record_engine.h"
#include "testing/test_program.h"
#ifndef _WIN32
#include "testing/child_process.h"
#include "testing/unprivileged.h"
#endif

namespace xt {
namespace {

constexpr int kMinute = 60 * 1000;

// A FakeSystem that runs a callback at each pause (to look at the screen
// while a wait is on, or to let another terminal act meanwhile).
class WatchedSystem : public FakeSystem {
 public:
  void pause(int milliseconds) override {
    FakeSystem::pause(milliseconds);
    if (onPause) onPause(static_cast<int>(pauses.size()));
  }
  std::function<void(int)> onPause;
};

// The in-memory console, keeping the screen each time the program throws
// away the keys typed ahead (as a message goes up).
class MessageConsole : public FakeConsole {
 public:
  void discardInput() override {
    FakeConsole::discardInput();
    screens.push_back(dump());
  }
  std::vector<std::string> screens;
};

using NoEngine = NoRecordEngine;

// One terminal of a shared installation: its own console, clock and
// temporary directory, the installation root of the test.
struct Terminal {
  Terminal(const std::string& root, const std::string& name, int32_t ownerId)
      : program(console, system, disk, engine) {
    system.hostName = name;
    system.setEnv("TAVROOT", root);
    program.settings.rootDir = root;
    program.settings.tempDir = temp.path();
    program.data.locks.ownerId = ownerId;
    program.data.locks.computerName = name;
  }
  ScratchDir temp;
  MessageConsole console;
  WatchedSystem system;
  NativeFileSystem disk;
  NoEngine engine;
  Program program;
};

// The screen's text with the sides of single frames taken away and every
// run of blanks and line ends made one blank, so a wrapped message reads
// whole.
std::string flowed(const std::string& screen) {
  std::string out;
  for (char c : screen) {
    if (c == '\xB3' || c == '\n') c = ' ';
    if (c != ' ' || out.empty() || out.back() != ' ') out += c;
  }
  return out;
}

std::vector<std::string> records(const std::string& path) {
  std::string data = readWholeFile(path).value_or("");
  std::vector<std::string> out;
  for (size_t i = 0; i < data.size(); i += kLockRecordSize) out.push_back(data.substr(i, kLockRecordSize));
  return out;
}

class RecordLocks : public ::testing::Test {
 protected:
  ScratchDir root;
  Terminal a{root.path(), "TERMINAL1", 1001};
  Terminal b{root.path(), "TERMINAL2", -2002};
  std::string lockFile() const { return root / "LOCKS/Operador.lck"; }

  int16_t tryLock(Terminal& t, const std::string& type, const std::string& first, const std::string& last) {
    t.program.data.locks.lockWaitMode = 'S';
    return acquireLock(t.program.data, "Operador", type, first, last);
  }
};

TEST(LockTimeNow, MinutesSince1970) {
  TestProgram tp;
  struct Case {
    LocalTime t;
    int32_t minutes;
  } cases[] = {
      {{1970, 1, 1, 0, 0, 0, 0}, 0},
      {{1969, 12, 31, 0, 0, 0, 0}, -1440},
      {{2026, 12, 7, 10, 0, 0, 0}, 29943960},
      {{2000, 2, 29, 23, 59, 59, 0}, 15864479},
      {{2000, 2, 29, 23, 59, 59, 500}, 15864480},  // rounded to the next second
  };
  for (const Case& c : cases) {
    tp.system().setNow(c.t);
    EXPECT_EQ(lockTimeNow(tp.program().data), c.minutes) << c.t.year << "-" << c.t.month << "-" << c.t.day;
  }
}

TEST(LockIdentity, CreatedOnceInLocksTmpThenReadBack) {
  TestProgram tp;
  tp.system().setNow({2026, 12, 7, 10, 0, 1, 250});
  tp.system().randomScript = {0.75};
  tp.system().hostName = "A-VERY-LONG-COMPUTER-NAME";
  ensureLockIdentity(tp.program().data);
  EXPECT_EQ(tp.program().data.locks.ownerId, 1073741823);
  EXPECT_EQ(tp.program().data.locks.computerName, "A-VERY-LONG-COM");
  ASSERT_EQ(tp.system().seeds.size(), 1u);
  EXPECT_EQ(tp.system().seeds[0], 3600125u);  // seconds since midnight x 100
  std::string stored = tp.dir().read("tmp/LOCKS.TMP");
  EXPECT_EQ(stored, std::string("\xFF\xFF\xFF\x3F", 4) + "A-VERY-LONG-COM");
  EXPECT_EQ(stored.size(), static_cast<size_t>(kLockIdentitySize));

  // Another run with the same temporary directory reuses it.
  tp.program().data.locks = LockState{};
  tp.system().hostName = "ELSEWHERE";
  ensureLockIdentity(tp.program().data);
  EXPECT_EQ(tp.program().data.locks.ownerId, 1073741823);
  EXPECT_EQ(tp.program().data.locks.computerName, "A-VERY-LONG-COM");
  EXPECT_EQ(tp.system().seeds.size(), 1u);
}

TEST(LockIdentity, ZeroIsNeverAnOwnerId) {
  TestProgram tp;
  tp.system().randomScript = {2147483648.0 / 4294967295.0, 0.25};
  tp.system().hostName = "PC";
  ensureLockIdentity(tp.program().data);
  EXPECT_EQ(tp.program().data.locks.ownerId, -1073741825);
  EXPECT_EQ(tp.system().seeds.size(), 2u);
  EXPECT_EQ(tp.program().data.locks.computerName, "PC             ");
}

#ifndef _WIN32  // the two processes are forked children
// Terminals of one machine share its computer name; two that make their
// identity in the same instant must still get owner ids of their own.
TEST(LockIdentity, ProcessesStartingAtTheSameTimeGetDifferentIds) {
  // The real process id and generator, with the clock stopped.
  struct StoppedClock : NativeSystem {
    LocalTime now() const override { return {2026, 12, 7, 10, 0, 1, 250}; }
  };
  ScratchDir first, second;
  for (const ScratchDir* temp : {&first, &second}) {
    ASSERT_EQ(exitStatus(spawn([temp] {
                FakeConsole console;
                StoppedClock system;
                NoRecordEngine engine;
                NativeFileSystem disk;
                Program program(console, system, disk, engine);
                program.settings.tempDir = temp->path();
                ensureLockIdentity(program.data);
                return program.data.locks.ownerId != 0 ? 0 : 1;
              })),
              0);
  }
  const std::string a = first.read("LOCKS.TMP"), b = second.read("LOCKS.TMP");
  ASSERT_EQ(a.size(), static_cast<size_t>(kLockIdentitySize));
  ASSERT_EQ(b.size(), static_cast<size_t>(kLockIdentitySize));
  EXPECT_EQ(a.substr(4), b.substr(4));
  EXPECT_NE(a.substr(0, 4), b.substr(0, 4));
}

#endif

TEST(LockRecordKey, HighBytesBecomeTwoDigits) {
  EXPECT_EQ(encodeLockKey("\xC1"), "65");
  EXPECT_EQ(encodeLockKey("A\x80Z\xE3\xE4\x7F"), "A00Z99\xE4\x7F");
}

TEST_F(RecordLocks, KeyRecordLayoutIsExact) {
  a.program.data.locks.lockWaitMode = 'S';
  ASSERT_EQ(lockRecordKey(a.program.data, "Operador  ", "J\x90SEP   "), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 1u);
  std::string key = "J16SEP   ";
  std::string expected = "TERMINAL1      " "1001       " "29943960" "K" "9 " + key + std::string(40 - key.size(), ' ') +
                         "9 " + key + std::string(40 - key.size(), ' ') + "\r\n";
  EXPECT_EQ(recs[0], expected);
  EXPECT_EQ(fileSize(lockFile()), kLockRecordSize);
}

TEST_F(RecordLocks, KeyLocksConflictOnlyOnMeetingRangesOfOtherOwners) {
  ASSERT_EQ(tryLock(a, "k", "ADMIN", "ADMIN"), 0);
  EXPECT_EQ(tryLock(b, "K", "ADMIN", "ADMIN"), -1);
  EXPECT_EQ(tryLock(b, "K", "OTHER", "OTHER"), 0);
  EXPECT_EQ(tryLock(b, "K", "ADAM", "ADMIN9"), -1);  // a range around it
  EXPECT_EQ(tryLock(b, "K", "AAA", "ABZ"), 0);       // below it
  EXPECT_EQ(tryLock(b, "K", "ADM", "ADM"), -1);      // compared over the shorter key

  // The same owner id on another computer shares key locks, in place.
  Terminal sameOwner(root.path(), "LAPTOP", 1001);
  EXPECT_EQ(tryLock(sameOwner, "K", "ADMIN", "ADMIN"), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0].substr(0, 15), "LAPTOP         ");
}

TEST_F(RecordLocks, FileLocksConflictWithEveryOtherHolder) {
  ASSERT_EQ(tryLock(a, "F", "", ""), 0);
  EXPECT_EQ(tryLock(b, "K", "X", "X"), -1);
  EXPECT_EQ(tryLock(b, "F", "", ""), -1);
  EXPECT_EQ(tryLock(b, "?", "", ""), -1);
  Terminal sameOwner(root.path(), "LAPTOP", 1001);
  EXPECT_EQ(tryLock(sameOwner, "F", "", ""), -1);  // file locks also compare the computer
  EXPECT_EQ(tryLock(a, "f", "", ""), 0);           // own: refreshed in place
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].substr(0, 35), "TERMINAL1      1001       29943960F");
  EXPECT_EQ(recs[0].substr(35, 84), std::string(84, ' '));
}

TEST_F(RecordLocks, AFileLockRequestConflictsWithAnyKeyOfAnotherHolder) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  EXPECT_EQ(tryLock(b, "F", "", ""), -1);
  EXPECT_EQ(tryLock(a, "F", "", ""), 0);  // own key lock: a file lock is added
  EXPECT_EQ(records(lockFile()).size(), 2u);
}

TEST_F(RecordLocks, SameKeyOfTheSameTerminalIsRefreshedInPlace) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  a.system.pause(5 * kMinute);
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].substr(26, 8), "29943965");
}

TEST_F(RecordLocks, StaleRecordsAreFreedAndReused) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  b.system.pause(29 * kMinute);
  EXPECT_EQ(tryLock(b, "K", "ADMIN", "ADMIN"), -1);
  b.system.pause(2 * kMinute);
  EXPECT_EQ(tryLock(b, "K", "ADMIN", "ADMIN"), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].substr(0, 26), "TERMINAL2      -2002      ");
  EXPECT_EQ(recs[0].substr(26, 8), "29943991");
}

TEST_F(RecordLocks, FreedRecordsKeepTheirKeysAndAreReusedBeforeAppending) {
  ASSERT_EQ(tryLock(a, "K", "ONE", "ONE"), 0);
  ASSERT_EQ(tryLock(a, "K", "TWO", "TWO"), 0);
  ASSERT_EQ(releaseLock(a.program.data, "operador"), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[1].substr(0, 35), std::string(26, ' ') + "29943960 ");
  EXPECT_EQ(recs[1].substr(35, 5), "3 TWO");
  EXPECT_EQ(tryLock(b, "K", "TWO", "TWO"), 0);
  EXPECT_EQ(records(lockFile()).size(), 2u);
}

TEST_F(RecordLocks, ACutOffRecordAtTheEndIsOverwritten) {
  ASSERT_EQ(tryLock(a, "K", "ONE", "ONE"), 0);
  ASSERT_TRUE(appendToFile(lockFile(), "TERMINAL9  ").ok());
  ASSERT_EQ(tryLock(b, "K", "TWO", "TWO"), 0);
  EXPECT_EQ(fileSize(lockFile()), 2 * kLockRecordSize);
  EXPECT_EQ(records(lockFile())[1].substr(0, 15), "TERMINAL2      ");
}

TEST_F(RecordLocks, ReleaseFreesOnlyTheNewestOwnRecord) {
  EXPECT_EQ(releaseLock(a.program.data, "Operador"), -1);
  EXPECT_FALSE(pathExists(lockFile()));
  EXPECT_FALSE(pathExists(root / "LOCKS/OPERADOR.lck"));

  ASSERT_EQ(tryLock(a, "K", "NEWER", "NEWER"), 0);
  a.system.pause(kMinute);
  ASSERT_EQ(tryLock(a, "K", "NEWEST", "NEWEST"), 0);
  ASSERT_EQ(tryLock(b, "K", "B", "B"), 0);
  EXPECT_EQ(releaseLock(b.program.data, " OPERADOR "), 0);
  EXPECT_EQ(releaseLock(b.program.data, "Operador"), -1);
  EXPECT_EQ(releaseLock(a.program.data, "Operador"), 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0][34], 'K');
  EXPECT_EQ(recs[1][34], ' ');
  EXPECT_EQ(recs[2][34], ' ');
}

TEST_F(RecordLocks, WaitModeSReturnsAtOnceWithoutAMessage) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  std::string before = b.console.dump();
  EXPECT_EQ(tryLock(b, "K", "ADMIN", "ADMIN"), -1);
  EXPECT_TRUE(b.system.pauses.empty());
  EXPECT_EQ(b.console.dump(), before);
  EXPECT_EQ(b.program.screen.windows.windowDepth, 0);
}

TEST_F(RecordLocks, WaitModePShowsTheMessageAndGivesUpOnEsc) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  std::vector<std::string> screens;
  b.system.onPause = [&](int) { screens.push_back(b.console.dump()); };
  b.system.randomScript = {0.0, 0.9994};
  b.console.pushIdle();
  b.console.pushKey(27);
  b.program.data.locks.lockWaitMode = 'p';
  EXPECT_EQ(lockRecordKey(b.program.data, "Operador", "ADMIN"), -1);
  EXPECT_EQ(b.system.pauses, (std::vector<int>{1, 1000}));
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_NE(screens[0].find("FITXER BLOQUEJAT. ESPEREU UN MOMENT O POLSEU [ESC] PER A EIXIR."), std::string::npos);
  EXPECT_EQ(b.console.discards(), 1);
  EXPECT_EQ(b.program.screen.windows.windowDepth, 0);
  EXPECT_EQ(b.console.dump().find("BLOQUEJAT"), std::string::npos);
  EXPECT_EQ(records(lockFile()).size(), 1u);
}

TEST_F(RecordLocks, WaitingEndsWhenTheOtherTerminalReleases) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  std::string shown;
  b.system.onPause = [&](int n) {
    if (n == 1) shown = b.console.dump();
    if (n == 3) (void)releaseLock(a.program.data, "Operador");
  };
  b.program.data.locks.lockWaitMode = ' ';
  EXPECT_EQ(lockRecordKey(b.program.data, "Operador", "ADMIN"), 0);
  EXPECT_EQ(b.system.pauses.size(), 3u);
  // The message is sent to the screen before the first pause.
  ASSERT_EQ(b.console.pauseScreens.size(), 3u);
  EXPECT_NE(b.console.pauseScreens[0].find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos);
  EXPECT_NE(shown.find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos);
  EXPECT_EQ(shown.find("[ESC]"), std::string::npos);
  EXPECT_EQ(b.program.screen.windows.windowDepth, 0);
  auto recs = records(lockFile());
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].substr(0, 15), "TERMINAL2      ");
}

// Asked to end during a wait that reads no key (another terminal's lock, a
// lock file another process keeps open), the process ends instead of
// waiting on for nobody.
TEST_F(RecordLocks, WaitsGiveWayToTheRequestToEnd) {
  ASSERT_EQ(tryLock(a, "K", "ADMIN", "ADMIN"), 0);
  int checks = 0;
  b.console.onPause = [&] {
    if (++checks == 3) throw ProcessExit{128 + SIGTERM};
  };
  b.program.data.locks.lockWaitMode = ' ';
  EXPECT_THROW((void)lockRecordKey(b.program.data, "Operador", "ADMIN"), ProcessExit);
  EXPECT_EQ(b.system.pauses.size(), 2u);

  // Another process has the lock file open for its scan.
  BinaryFile scanning;
  ASSERT_TRUE(scanning.open(lockFile(), BinaryFile::Mode::ReadWrite, true).ok());
  checks = 0;
  b.system.pauses.clear();
  EXPECT_THROW((void)lockRecordKey(b.program.data, "Operador", "OTHER"), ProcessExit);
  EXPECT_EQ(b.system.pauses.size(), 2u);
}

// A lock file that can never be opened is not waited for as a busy one: in
// every wait mode the operator is told which file and why, a key takes the
// message off, and the lock is not obtained.
TEST_F(RecordLocks, AnUnopenableLockFileIsReportedNotWaitedFor) {
  struct Case {
    char mode;
    const char* language;
    std::string text;
  } cases[] = {
      {'S', "SPA", "NO SE PUEDE ACCEDER AL FICHERO "},
      {'P', "GLG", "NOM SE PODE ACEDER AO FICHEIRO "},
      {' ', "OCI", "NON SE P\xE3T ACCEDIR ATH FICH\xD4R " /* Ò, È */},
      {'p', "CAT", "NO ES POT ACCEDIR AL FITXER "},
  };
  struct Place {
    std::function<void()> make;
    int error;
  } places[] = {
      {[&] { ASSERT_TRUE(makeDirectories(lockFile()).ok()); }, EISDIR},  // a directory in its place
      {[&] {
         ASSERT_TRUE(removeDirectory(lockFile()).ok());
         ASSERT_TRUE(removeDirectory(root / "LOCKS").ok());
         root.write("LOCKS", "");  // no LOCKS directory can be made
       },
       ENOTDIR},
  };
  // Any wait here would be the first of an endless series.
  struct Waited {};
  b.system.onPause = [](int) { throw Waited{}; };
  for (const Place& place : places) {
    place.make();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(1, c.mode) + c.language);
      b.console.screens.clear();
      const int beeps = b.console.beeps();
      b.console.pushKey('x');
      b.program.settings.languageCode = c.language;
      b.program.data.locks.lockWaitMode = c.mode;
      int16_t result = 0;
      ASSERT_NO_THROW(result = lockRecordKey(b.program.data, "Operador", "ADMIN"));
      EXPECT_EQ(result, -1);
      EXPECT_EQ(b.console.pendingEvents(), 0u);
      ASSERT_EQ(b.console.screens.size(), 1u);
      const std::string message = c.text + lockFile() + " (" + std::strerror(place.error) + ")";
      EXPECT_NE(flowed(b.console.screens[0]).find(message), std::string::npos) << b.console.screens[0];
      EXPECT_EQ(b.console.beeps(), beeps + 1);
      EXPECT_EQ(b.program.screen.windows.windowDepth, 0);
    }
  }
}

#ifndef _WIN32  // another user: an unprivileged child
// The usual mistake of a shared installation: the lock file was made by
// another user without group write permission.
TEST_F(RecordLocks, ALockFileOfAnotherUserIsReportedAndReleaseGivesUp) {
  ASSERT_EQ(tryLock(b, "K", "ADMIN", "ADMIN"), 0);
  ASSERT_EQ(::chmod(lockFile().c_str(), 0444), 0);
  root.openToEveryone();
  b.temp.openToEveryone();
  int status = runUnprivileged([&] {
    struct Waited {};
    b.system.onPause = [](int) { throw Waited{}; };
    int16_t result = 0;
    EXPECT_NO_THROW(result = releaseLock(b.program.data, "Operador"));
    EXPECT_EQ(result, -1);
    b.program.data.locks.lockWaitMode = 'P';
    EXPECT_NO_THROW(result = lockRecordKey(b.program.data, "Operador", "OTHER"));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(b.console.screens.size(), 1u);
    if (!b.console.screens.empty()) {
      EXPECT_NE(flowed(b.console.screens[0]).find(lockFile() + " (" + std::strerror(EACCES) + ")"),
                std::string::npos)
          << b.console.screens[0];
    }
    EXPECT_EQ(b.program.screen.windows.windowDepth, 0);
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
  ASSERT_EQ(::chmod(lockFile().c_str(), 0644), 0);
  EXPECT_EQ(records(lockFile()).size(), 1u);
}

#endif

TEST_F(RecordLocks, MessageInEachLanguage) {
  struct Case {
    const char* language;
    std::string text;
  } cases[] = {
      {"SPA", "FICHERO BLOQUEADO. ESPERE UN MOMENTO O PULSE [ESC] PARA SALIR."},
      {"GLG", "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO OU PULSE [ESC] PARA SAIR."},
      {"OCI", "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT O POSSATZ [ESC] ENT\xB7 G\xD4SSER." /* È, À, È */},
      {"CAT", "FITXER BLOQUEJAT. ESPEREU UN MOMENT O POLSEU [ESC] PER A EIXIR."},
  };
  ASSERT_EQ(tryLock(a, "F", "", ""), 0);
  for (const Case& c : cases) {
    std::string shown;
    b.system.onPause = [&](int) { shown = b.console.dump(); };
    b.program.settings.languageCode = c.language;
    b.program.data.locks.lockWaitMode = 'P';
    EXPECT_EQ(lockRecordKey(b.program.data, "Operador", "X"), -1);
    EXPECT_NE(shown.find(c.text), std::string::npos) << c.language << "\n" << shown;
  }
}

#ifndef _WIN32  // other terminals are forked children
// Processes that wait for each other: the fake clock would run ahead by a
// whole pause on every busy retry and soon make the other processes' fresh
// records look 30 minutes old. Every terminal keeps one fixed time instead,
// and a retry really yields the processor.
void shareOneClock(Terminal& t) {
  t.system.onPause = [&t](int) {
    t.system.setNow(LocalTime{2026, 12, 7, 10, 0, 0, 0});
    ::usleep(500);
  };
}

TEST_F(RecordLocks, ProcessesTakingLocksAtOnceLoseNoRecord) {
  constexpr int kProcesses = 6, kKeys = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(spawn([&, p] {
      Terminal t(root.path(), "PROC" + std::to_string(p), 100 + p);
      shareOneClock(t);
      for (int k = 0; k < kKeys; ++k) {
        // Same-length keys: a shorter key would meet every key it begins.
        std::string key = "P" + std::to_string(p) + "K" + std::to_string(100 + k);
        if (tryLock(t, "K", key, key) != 0) return 1;
      }
      return 0;
    }));
  }
  for (pid_t pid : children) EXPECT_EQ(exitStatus(pid), 0);
  auto recs = records(lockFile());
  EXPECT_EQ(recs.size(), static_cast<size_t>(kProcesses * kKeys));
  for (const std::string& r : recs) EXPECT_EQ(r.substr(119), "\r\n");
}

TEST_F(RecordLocks, OnlyOneProcessGetsAContestedKey) {
  constexpr int kProcesses = 6;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p)
    children.push_back(spawn([&, p] {
      Terminal t(root.path(), "PROC" + std::to_string(p), 200 + p);
      shareOneClock(t);
      return tryLock(t, "K", "ADMIN", "ADMIN") == 0 ? 0 : 1;
    }));
  int winners = 0;
  for (pid_t pid : children) winners += exitStatus(pid) == 0;
  EXPECT_EQ(winners, 1);
  EXPECT_EQ(records(lockFile()).size(), 1u);
  // Held by a process that has ended: still a conflict for another one.
  EXPECT_EQ(exitStatus(spawn([&] {
              Terminal t(root.path(), "LATE", 999);
              return tryLock(t, "K", "ADMIN", "ADMIN") == -1 ? 0 : 1;
            })),
            0);
}

#endif

}  // namespace
}  // namespace xt
