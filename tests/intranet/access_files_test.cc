#include "platform/posix/posix_file_system.h"
#include "intranet/access_files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "format/text_lines.h"
#include "intranet/apr1.h"
#include "platform/files.h"
#include "platform/posix/posix_system.h"
#include "testing/child_process.h"
#include "testing/test_program.h"
#include "testing/unprivileged.h"

namespace xt {
namespace {

// The screen as it was each time the program asked for a key.
class WatchingConsole : public FakeConsole {
 public:
  InputEvent readEvent(int timeoutMs) override {
    seen.push_back(dump());
    return FakeConsole::readEvent(timeoutMs);
  }
  std::vector<std::string> seen;
};

// The screen as it was when the rewrite drew its random salt.
class WatchingSystem : public FakeSystem {
 public:
  explicit WatchingSystem(const Console& console) : console_(console) {}
  double random() override {
    if (screenAtSalt.empty()) screenAtSalt = static_cast<const FakeConsole&>(console_).dump();
    return FakeSystem::random();
  }
  std::string screenAtSalt;

 private:
  const Console& console_;
};

struct NoEngine : RecordEngine {
  int16_t call(int16_t, uint8_t*, uint8_t*, uint32_t&, uint8_t*, int, int16_t) override { return 1; }
};

// Checks that line is "user:" + a valid apr1 hash of password.
void expectHashLine(const std::string& line, const std::string& user, const std::string& password) {
  ASSERT_EQ(line.substr(0, user.size() + 1), user + ":");
  std::string hash = line.substr(user.size() + 1);
  ASSERT_EQ(hash.size(), 37u) << line;
  std::string salt = hash.substr(6, 8);
  FakeSystem system;
  EXPECT_EQ(apr1Hash(system, password, salt), hash);
}

class AccessFiles : public ::testing::Test {
 protected:
  ScratchDir dir;
  WatchingConsole console;
  WatchingSystem system{console};
  NoEngine engine;
  PosixFileSystem disk;
  Program program{console, system, disk, engine};
  std::string htpasswd() { return dir.read(".HTPASSWD"); }

  AccessStatus rewrite(const std::string& user, bool remove = false) {
    return rewriteAccessFiles(system, disk, dir.path(), user, user, remove);
  }
};

TEST_F(AccessFiles, FirstRewriteWritesBothFiles) {
  writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir.path(), "ADMIN", "ADMIN", false);
  EXPECT_EQ(dir.read(".HTACCESS"),
            "AuthType Basic\r\n"
            "AuthName \"Intranet TAV\"\r\n"
            "AuthUserFile \"" + dir.path() + ".HTPASSWD\"\r\n"
            "Require valid-user\r\n");
  std::vector<std::string> lines = splitLines(htpasswd());
  ASSERT_EQ(lines.size(), 1u);
  expectHashLine(lines[0], "ADMIN", "ADMIN");
  EXPECT_EQ(htpasswd().substr(htpasswd().size() - 2), "\r\n");
  EXPECT_FALSE(pathExists(dir / "ACC.TMP"));
  EXPECT_FALSE(pathExists(dir / "PWD.TMP"));
  EXPECT_NE(system.screenAtSalt.find("GENERANT CONTRASENYA INTRANET"), std::string::npos);
  EXPECT_EQ(console.dump().find("GENERANT"), std::string::npos);
  EXPECT_EQ(program.screen.windows.windowDepth, 0);
}

TEST_F(AccessFiles, TheProgressMessageIsTranslated) {
  program.settings.rootDir = dir.path();
  program.settings.languageCode = "SPA";
  dir.write("LOCALE/XTANCAR.LNG",
            "\"GENERANT CONTRASENYA INTRANET\",\"GENERANDO CONTRASE\xA5" "A INTRANET\",\"G\",\"O\"\r\n" /* Ñ */);
  writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir.path(), "ADMIN", "ADMIN", false);
  EXPECT_NE(system.screenAtSalt.find("GENERANDO CONTRASE\xA5" "A INTRANET"), std::string::npos) << system.screenAtSalt;
}

TEST_F(AccessFiles, OtherLinesKeepTheirOrderAndGetCrLf) {
  dir.write(".HTACCESS", "mine\n");
  dir.write(".HTPASSWD",
            "alice:$apr1$a$A\n"
            "ADMIN:$apr1$old$OLD\r\n"
            "admin:$apr1$x$X\r\n"
            "no colon here\r\n"
            "bob:$apr1$b$B");  // no line end
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  std::string text = htpasswd();
  const std::string kept = "alice:$apr1$a$A\r\nadmin:$apr1$x$X\r\nbob:$apr1$b$B\r\n";
  ASSERT_EQ(text.substr(0, kept.size()), kept);
  expectHashLine(splitLines(text.substr(kept.size()))[0], "ADMIN", "ADMIN");
  EXPECT_EQ(splitLines(text).size(), 4u);
  EXPECT_EQ(dir.read(".HTACCESS"), "mine\n");

  ASSERT_EQ(rewrite("alice", true), AccessStatus::Ok);
  EXPECT_EQ(htpasswd().substr(0, 34), "admin:$apr1$x$X\r\nbob:$apr1$b$B\r\nAD");
  EXPECT_EQ(splitLines(htpasswd()).size(), 3u);
}

TEST_F(AccessFiles, EveryRewriteDrawsAFreshSalt) {
  system.randomScript = {0, 0, 0, 0, 0, 0, 0, 0};
  system.randomAfterScript = 0.5;
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  EXPECT_EQ(htpasswd().substr(0, 20), "ADMIN:$apr1$........");
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  EXPECT_EQ(htpasswd().substr(0, 20), "ADMIN:$apr1$UUUUUUUU");
  EXPECT_EQ(splitLines(htpasswd()).size(), 1u);
}

TEST_F(AccessFiles, RemovingTheLastUserLeavesAnEmptyFile) {
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  ASSERT_EQ(rewrite("ADMIN", true), AccessStatus::Ok);
  EXPECT_TRUE(fileExists(dir / ".HTPASSWD"));
  EXPECT_EQ(htpasswd(), "");
}

TEST_F(AccessFiles, UsersThatWouldBreakTheFileAreRefused) {
  dir.write(".HTPASSWD", "alice:h\r\n");
  for (const std::string& user : {std::string(), std::string("A:B"), std::string("A\tB"),
                                 std::string("A\r\nB"), std::string("A\x7F")})
    EXPECT_EQ(rewrite(user), AccessStatus::BadUser) << user;
  EXPECT_EQ(htpasswd(), "alice:h\r\n");
  EXPECT_FALSE(pathExists(dir / ".HTACCESS"));

  writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir.path(), "A:B", "A:B", false);
  ASSERT_EQ(console.seen.size(), 1u);
  EXPECT_NE(console.seen[0].find("CODI NO V\xB7LID PER A LA INTRANET" /* À */), std::string::npos);
  EXPECT_EQ(program.screen.windows.windowDepth, 0);
  EXPECT_EQ(htpasswd(), "alice:h\r\n");
}

TEST_F(AccessFiles, ExistingFilesAreFoundWhateverTheirCase) {
  dir.write(".htaccess", "x\n");
  dir.write(".htpasswd", "bob:h\n");
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  EXPECT_EQ(dir.read(".htaccess"), "x\n");
  EXPECT_EQ(dir.read(".htpasswd").substr(0, 13), "bob:h\r\nADMIN:");
  for (const std::string& name : listDirectory(dir.path())) EXPECT_NE(name, ".HTPASSWD");
}

TEST_F(AccessFiles, ReplacementKeepsTheModeOfTheOldFile) {
  dir.write(".HTPASSWD", "bob:h\r\n");
  ASSERT_EQ(::chmod((dir / ".HTPASSWD").c_str(), 0640), 0);
  struct stat before;
  ASSERT_EQ(::stat((dir / ".HTPASSWD").c_str(), &before), 0);
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  struct stat after;
  ASSERT_EQ(::stat((dir / ".HTPASSWD").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file, renamed over the old one
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_gid, before.st_gid);
}

// The new hashes are never in a file more readable than the old one: the
// work file has the old file's mode before anything is written to it.
TEST_F(AccessFiles, TheWorkFileHasTheOldModeBeforeTheHashesGoIn) {
  struct ModeAtWrite : FileHandle {
    std::unique_ptr<FileHandle> inner;
    std::string path;
    std::vector<unsigned>* modes;
    int64_t size() const override { return inner->size(); }
    std::string readAt(int64_t pos, size_t n) const override { return inner->readAt(pos, n); }
    FileResult writeAt(int64_t pos, std::string_view data) override {
      struct stat st {};
      modes->push_back(::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0);
      return inner->writeAt(pos, data);
    }
    FileResult truncate(int64_t length) override { return inner->truncate(length); }
    FileResult sync() override { return inner->sync(); }
    FileResult copyModeAndGroupFrom(std::string_view from) override { return inner->copyModeAndGroupFrom(from); }
  };
  struct Watching : PosixFileSystem {
    std::vector<unsigned> modes;
    FileResult open(std::string_view path, OpenMode mode, bool exclusive, std::unique_ptr<FileHandle>& file) override {
      FileResult r = PosixFileSystem::open(path, mode, exclusive, file);
      if (r.ok() && path.ends_with("PWD.TMP")) {
        auto watched = std::make_unique<ModeAtWrite>();
        watched->inner = std::move(file);
        watched->path = nativePath(path);
        watched->modes = &modes;
        file = std::move(watched);
      }
      return r;
    }
  } watching;
  dir.write(".HTPASSWD", "bob:h\r\n");
  ASSERT_EQ(::chmod((dir / ".HTPASSWD").c_str(), 0600), 0);
  const mode_t old = ::umask(022);
  const AccessStatus status = rewriteAccessFiles(system, watching, dir.path(), "ADMIN", "ADMIN", false);
  ::umask(old);
  ASSERT_EQ(status, AccessStatus::Ok);
  ASSERT_FALSE(watching.modes.empty());
  for (unsigned mode : watching.modes) EXPECT_EQ(mode, 0600u);
}

// The work files' names in the shared directory may already be taken, by
// a leftover or by a link planted to another file: that file is never
// written, the rewrite goes on.
TEST_F(AccessFiles, WorkFilesLeftInTheDirectoryAreNeverWrittenThrough) {
  ScratchDir elsewhere;
  elsewhere.write("victim", "keep me\n");
  ASSERT_EQ(::symlink((elsewhere / "victim").c_str(), (dir / "PWD.TMP").c_str()), 0);
  ASSERT_EQ(::symlink((elsewhere / "victim").c_str(), (dir / "ACC.TMP").c_str()), 0);
  ASSERT_EQ(rewrite("ADMIN"), AccessStatus::Ok);
  EXPECT_EQ(elsewhere.read("victim"), "keep me\n");
  struct stat st;
  ASSERT_EQ(::lstat((dir / ".HTPASSWD").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  ASSERT_EQ(::lstat((dir / ".HTACCESS").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  expectHashLine(splitLines(htpasswd()).at(0), "ADMIN", "ADMIN");
  EXPECT_FALSE(pathExists(dir / "PWD.TMP"));
}

TEST_F(AccessFiles, UnreadableOldFileIsLeftAlone) {
  dir.write(".HTPASSWD", "bob:h\r\n");
  ASSERT_EQ(::chmod((dir / ".HTPASSWD").c_str(), 0), 0);
  dir.openToEveryone();
  EXPECT_EQ(runUnprivileged([&] { return rewrite("ADMIN") == AccessStatus::ReadFailed ? 0 : 1; }), 0);
  ::chmod((dir / ".HTPASSWD").c_str(), 0600);
  EXPECT_EQ(htpasswd(), "bob:h\r\n");
}

// Another process holds .HTPASSWD.lck: the wait shows its message before
// each pause and gives way to a request to end, the files left as they were.
TEST_F(AccessFiles, WaitForAnotherRewriteShowsItsMessageAndCanBeEnded) {
  program.settings.tempDir = dir.path();  // the message ended with the process stays here
  dir.write(".HTPASSWD", "bob:h\r\n");
  BinaryFile held;
  ASSERT_TRUE(held.open(dir / ".HTPASSWD.lck", BinaryFile::Mode::ReadWriteCreate, true).ok());
  console.onPause = [&] {
    if (console.pauseScreens.size() == 2) held.close();
  };
  writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir.path(), "ADMIN", "ADMIN", false);
  ASSERT_EQ(console.pauseScreens.size(), 2u);
  EXPECT_NE(console.pauseScreens[0].find("GENERANT CONTRASENYA INTRANET"), std::string::npos);
  EXPECT_EQ(splitLines(htpasswd()).size(), 2u);

  ASSERT_TRUE(held.open(dir / ".HTPASSWD.lck", BinaryFile::Mode::ReadWriteCreate, true).ok());
  const std::string before = htpasswd();
  console.onPause = [] { throw ProcessExit{128 + SIGTERM}; };
  EXPECT_THROW(writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir.path(), "MARIA", "MARIA", false), ProcessExit);
  EXPECT_EQ(htpasswd(), before);
}

TEST_F(AccessFiles, MissingDirectoryFailsWithAMessage) {
  writeIntranetAccess(program.system, program.fs, program.notices, program.settings, dir / "missing/", "ADMIN", "ADMIN", false);
  ASSERT_EQ(console.seen.size(), 1u);
  EXPECT_NE(console.seen[0].find("NO S'HAN POGUT DESAR LES CONTRASENYES DE LA INTRANET"), std::string::npos);
  EXPECT_EQ(program.screen.windows.windowDepth, 0);
}

TEST_F(AccessFiles, ConcurrentRewritesLoseNoUser) {
  constexpr int kProcesses = 4, kUsers = 8;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      PosixSystem real;
      int failures = 0;
      for (int u = 0; u < kUsers; ++u) {
        std::string user = "P" + std::to_string(p) + "U" + std::to_string(u);
        failures += rewriteAccessFiles(real, disk, dir.path(), user, user, false) != AccessStatus::Ok;
      }
      ::_exit(failures);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) EXPECT_EQ(exitStatus(pid), 0);
  std::vector<std::string> lines = splitLines(htpasswd());
  EXPECT_EQ(lines.size(), static_cast<size_t>(kProcesses * kUsers));
  std::set<std::string> users;
  for (const std::string& l : lines) users.insert(l.substr(0, l.find(':')));
  EXPECT_EQ(users.size(), static_cast<size_t>(kProcesses * kUsers));
}

// A process killed anywhere in a rewrite leaves the old or the new file,
// complete: the base lines, then NEW0..NEWk, each with a whole hash.
TEST_F(AccessFiles, KilledRewriteLeavesACompleteFile) {
  std::string base;
  for (int i = 0; i < 3000; ++i) base += "BASE" + std::to_string(10000 + i) + ":$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie.\r\n";
  dir.write(".HTPASSWD", base);
  std::mt19937 rng(12345);
  int added = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t pid = ::fork();
    if (pid == 0) {
      PosixSystem real;
      for (int i = added;; ++i) {
        std::string user = "NEW" + std::to_string(i);
        (void)rewriteAccessFiles(real, disk, dir.path(), user, user, false);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(rng)));
    ::kill(pid, SIGKILL);
    exitStatus(pid);

    std::string text = htpasswd();
    ASSERT_GE(text.size(), base.size()) << "round " << round;
    ASSERT_EQ(text.compare(0, base.size(), base), 0) << "round " << round;
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << "round " << round;
    std::vector<std::string> lines = splitLines(text.substr(base.size()));
    ASSERT_GE(static_cast<int>(lines.size()), added) << "round " << round;
    for (size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(lines[i].substr(0, lines[i].find(':')), "NEW" + std::to_string(i)) << "round " << round;
      ASSERT_EQ(lines[i].size(), lines[i].find(':') + 38) << lines[i];
    }
    added = static_cast<int>(lines.size());
  }
  EXPECT_GT(added, 0);
}

}  // namespace
}  // namespace xt
