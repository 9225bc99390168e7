// The Windows disk's own behaviour beyond the suite every file system runs
// (file_system_test.cc): its locks against other handles, which is how
// another process, or a program on another host through a server, meets
// them; code page 850 names; drive and share roots.
// Built for Windows only (the Linux build has posix_file_system_test.cc).
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/file_system_kind.h"
#include "platform/win32/wide_text.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// An open of the file through a handle of its own, as another process
// would have it.
class OtherOpen {
 public:
  explicit OtherOpen(const std::string& path)
      : h_(::CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherOpen() { ::CloseHandle(h_); }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool lockExclusiveByte(bool wait) {
    OVERLAPPED o = byte();
    return ::LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0, &o);
  }
  void unlockExclusiveByte() {
    OVERLAPPED o = byte();
    ::UnlockFileEx(h_, 0, 1, 0, &o);
  }
  std::string readAll() {
    std::string data(64, '\0');
    OVERLAPPED o{};
    DWORD got = 0;
    if (!::ReadFile(h_, data.data(), DWORD(data.size()), &got, &o)) return "<failed>";
    data.resize(got);
    return data;
  }
  bool appendAtEnd(const std::string& text) {
    LARGE_INTEGER end;
    if (!::GetFileSizeEx(h_, &end)) return false;
    OVERLAPPED o{};
    o.Offset = DWORD(end.QuadPart);
    DWORD written = 0;
    return ::WriteFile(h_, text.data(), DWORD(text.size()), &written, &o) && written == text.size();
  }

 private:
  static OVERLAPPED byte() {
    OVERLAPPED o{};
    o.Offset = DWORD(kExclusiveLockByte);
    o.OffsetHigh = DWORD(kExclusiveLockByte >> 32);
    return o;
  }
  HANDLE h_;
};

TEST(Win32LockTest, ExclusiveOpenIsBusyWhileAnotherHandleHoldsTheLockAndTheDataStaysReadable) {
  ScratchDir dir;
  dir.write("Operador.lck", "held");
  Win32FileSystem fs;
  std::unique_ptr<FileHandle> file;
  {
    OtherOpen other(dir / "Operador.lck");
    ASSERT_TRUE(other.valid());
    ASSERT_TRUE(other.lockExclusiveByte(false));
    EXPECT_EQ(fs.open(dir / "OPERADOR.LCK", OpenMode::ReadWrite, true, file).code, FileResult::Code::Busy);
    EXPECT_EQ(fs.readWholeFile(dir / "Operador.lck"), "held");
  }
  ASSERT_TRUE(fs.open(dir / "Operador.lck", OpenMode::ReadWrite, true, file).ok());
  // While this process holds it, other handles read and write the data but
  // cannot take the lock.
  OtherOpen other(dir / "Operador.lck");
  EXPECT_EQ(other.readAll(), "held");
  EXPECT_TRUE(other.appendAtEnd("!"));
  EXPECT_FALSE(other.lockExclusiveByte(false));
  file.reset();
  EXPECT_TRUE(other.lockExclusiveByte(false));
}

// The other writer appends at the end it finds under its lock; the append
// made meanwhile waits and goes after that line.
TEST(Win32LockTest, AppendWaitsForTheLockAndWritesAtTheEndFoundUnderIt) {
  ScratchDir dir;
  OtherOpen other(dir / "db.log");
  ASSERT_TRUE(other.lockExclusiveByte(false));
  std::atomic<bool> appended{false};
  std::thread appender([&] { appended = Win32FileSystem().appendToFile(dir / "DB.LOG", "mine\n").ok(); });
  ::Sleep(100);
  EXPECT_TRUE(other.appendAtEnd("theirs\n"));
  other.unlockExclusiveByte();
  appender.join();
  EXPECT_TRUE(appended);
  EXPECT_EQ(dir.read("db.log"), "theirs\nmine\n");
}

TEST(Win32LockTest, AppendsThroughSeveralHandlesAtOnceKeepEveryLineWhole) {
  ScratchDir dir;
  constexpr int kWriters = 4, kLines = 100;
  auto line = [](int writer, int n) {
    return std::to_string(writer) + " " + std::to_string(n) + " " + std::string(size_t(n % 37), 'x') + "\n";
  };
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&, w] {
      Win32FileSystem fs;
      for (int n = 0; n < kLines; ++n)
        if (!fs.appendToFile(dir / "db.log", line(w, n)).ok()) ++failures;
    });
  for (std::thread& t : writers) t.join();
  EXPECT_EQ(failures, 0);
  std::istringstream lines(dir.read("db.log"));
  std::map<int, int> next;
  std::string text;
  int count = 0;
  for (; std::getline(lines, text); ++count) {
    int writer = text[0] - '0';
    ASSERT_EQ(text + "\n", line(writer, next[writer]++)) << "line " << count;
  }
  EXPECT_EQ(count, kWriters * kLines);
}

// Names are code page 850 bytes: the disk holds the characters they stand
// for, and listing gives the same bytes back.
TEST(Win32FileSystemTest, NamesAreCodePage850) {
  ScratchDir dir;
  Win32FileSystem fs;
  const std::string name = "Operaci\x87 \x90S.dat";  // "Operació ÉS.dat"
  ASSERT_TRUE(fs.writeWholeFile(dir / name, "x").ok());
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW(widePath(dir / "*.dat").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::FindClose(h);
  EXPECT_EQ(std::wstring(found.cFileName), L"Operaci\u00E7 \u00C9S.dat");
  EXPECT_EQ(fs.listDirectory(dir.path()), std::vector<std::string>{name});
  EXPECT_EQ(fs.nativePath(dir / "OPERACI\x87 \x90s.DAT"), dir / name);  // ASCII letters fold
  EXPECT_EQ(narrowText(L"\u4E2D.dat"), "?.dat");  // no byte for it
}

// A reader holding the old file open for a moment does not make the
// replace fail: the new content is in place afterwards, with no work file.
TEST(Win32FileSystemTest, AtomicReplaceGoesThroughOnceAReaderLetsGo) {
  ScratchDir dir;
  dir.write("Clau.txt", "old");
  Win32FileSystem fs;
  std::unique_ptr<FileHandle> reader;
  ASSERT_TRUE(fs.open(dir / "clau.txt", OpenMode::Read, false, reader).ok());
  std::thread letGo([&] {
    ::Sleep(200);
    reader.reset();
  });
  FileResult r = fs.replaceFileAtomically(dir / "CLAU.TXT", "new");
  letGo.join();
  EXPECT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(dir.read("Clau.txt"), "new");
  EXPECT_EQ(fs.listDirectory(dir.path()), std::vector<std::string>{"Clau.txt"});
}

TEST(Win32FileSystemTest, PathsWithADriveOrBackslashes) {
  ScratchDir dir;
  dir.write("Forms/Xtancar.jpn", "x");
  Win32FileSystem fs;
  std::string back = dir.path();
  std::replace(back.begin(), back.end(), '/', '\\');
  ASSERT_GE(back.size(), 3u);
  EXPECT_EQ(back[1], ':');
  EXPECT_EQ(fs.nativePath(back + "FORMS\\XTANCAR.JPN"), dir / "Forms/Xtancar.jpn");
  // The drive letter is kept as written.
  std::string lower = dir.path();
  lower[0] = char(lower[0] | 0x20);
  EXPECT_EQ(fs.nativePath(lower + "forms/"), lower + "Forms/");
  const std::string before = fs.currentDirectory();
  ASSERT_TRUE(fs.changeDirectory(back + "forms"));
  EXPECT_EQ(fs.currentDirectory(), dir / "Forms");
  ASSERT_TRUE(fs.changeDirectory(dir.path().substr(0, 3)));
  EXPECT_EQ(fs.currentDirectory(), dir.path().substr(0, 3));  // a drive's root keeps its "/"
  ASSERT_TRUE(fs.changeDirectory(before));
}

TEST(Win32FileSystemTest, RemoteDrivesAndSharesAreNetworkFileSystems) {
  ScratchDir dir;
  const struct {
    std::string directory;
    std::optional<uint32_t> type;
  } cases[] = {
      {"//server/share/tav", kWindowsNetworkDrive},
      {"\\\\server\\share", kWindowsNetworkDrive},
      {dir.path(), 0u},
      {"Forms", 0u},  // on the current directory's drive
  };
  for (const auto& c : cases) EXPECT_EQ(fileSystemType(c.directory), c.type) << c.directory;
  EXPECT_EQ(networkFileSystemName(kWindowsNetworkDrive), "SMB");
}

}  // namespace
}  // namespace xt
#endif  // _WIN32
