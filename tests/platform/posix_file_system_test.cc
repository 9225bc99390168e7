#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>

#include "testing/test_program.h"

namespace xt {
namespace {

// The disk's locks against a process that locks the way other programs,
// and programs on other hosts over NFS, do: a byte-range lock on the whole
// file. The child tells the test on a pipe once it holds the lock, then
// runs `then` and exits, which gives the lock up.
pid_t lockInChild(const std::string& path, const std::function<bool(int fd, off_t end)>& then) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    struct stat st;
    if (fd < 0 || ::fcntl(fd, F_OFD_SETLK, &fl) != 0 || ::fstat(fd, &st) != 0) ::_exit(1);
    (void)!::write(ready[1], "L", 1);
    ::_exit(then(fd, st.st_size) ? 0 : 2);
  }
  ::close(ready[1]);
  char c;
  if (::read(ready[0], &c, 1) != 1) pid = -1;  // the child failed before locking
  ::close(ready[0]);
  return pid;
}

int exitCode(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(PosixLockTest, ExclusiveOpenIsBusyWhileAnotherProcessHoldsARangeLock) {
  ScratchDir dir;
  PosixFileSystem fs;
  int release[2];
  ASSERT_EQ(::pipe(release), 0);
  pid_t child = lockInChild(dir / "Operador.lck", [&](int, off_t) {
    char c;
    ::close(release[1]);
    return ::read(release[0], &c, 1) == 0;  // until the test closes its end
  });
  ASSERT_GT(child, 0);
  std::unique_ptr<FileHandle> file;
  EXPECT_EQ(fs.open(dir / "Operador.lck", OpenMode::ReadWriteCreate, true, file).code, FileResult::Code::Busy);
  ::close(release[1]);
  ::close(release[0]);
  ASSERT_EQ(exitCode(child), 0);
  EXPECT_TRUE(fs.open(dir / "Operador.lck", OpenMode::ReadWriteCreate, true, file).ok());
}

// The other process writes at the end it found under its lock, as a
// process on another host does; the append made meanwhile waits and goes
// after that line instead of under it.
TEST(PosixLockTest, AppendWaitsForARangeLockAndWritesAtTheEndFoundUnderIt) {
  ScratchDir dir;
  pid_t child = lockInChild(dir / "db.log", [](int fd, off_t end) {
    ::usleep(100 * 1000);
    return ::pwrite(fd, "theirs\n", 7, end) == 7;
  });
  ASSERT_GT(child, 0);
  EXPECT_TRUE(PosixFileSystem().appendToFile(dir / "db.log", "mine\n").ok());
  ASSERT_EQ(exitCode(child), 0);
  EXPECT_EQ(dir.read("db.log"), "theirs\nmine\n");
}

TEST(PosixLockTest, AppendsOfSeveralProcessesAtOnceKeepEveryLineWhole) {
  ScratchDir dir;
  constexpr int kProcesses = 4, kLines = 150;
  auto line = [](int process, int n) {
    return std::to_string(process) + " " + std::to_string(n) + " " + std::string(size_t(n % 37), 'x') + "\n";
  };
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      PosixFileSystem fs;
      for (int n = 0; n < kLines; ++n)
        if (!fs.appendToFile(dir / "db.log", line(p, n)).ok()) ::_exit(1);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t child : children) EXPECT_EQ(exitCode(child), 0);

  std::istringstream lines(dir.read("db.log"));
  std::map<int, int> next;  // process -> its line expected next
  std::string text;
  int count = 0;
  for (; std::getline(lines, text); ++count) {
    int process = text[0] - '0';
    ASSERT_EQ(text + "\n", line(process, next[process]++)) << "line " << count;
  }
  EXPECT_EQ(count, kProcesses * kLines);
}

}  // namespace
}  // namespace xt
