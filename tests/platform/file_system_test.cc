#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "platform/binary_file.h"
#include "platform/native.h"
#include "testing/faulty_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/test_program.h"

namespace xt {
namespace {

using Code = FileResult::Code;

enum class Backend { Disk, Memory };

// Every case runs on the disk (in a scratch directory) and in memory, with
// the same root path text, so both must give the same answers.
class FileSystemTest : public ::testing::TestWithParam<Backend> {
 protected:
  FileSystemTest() {
    if (GetParam() == Backend::Disk) {
      fs_ = std::make_unique<NativeFileSystem>();
      scratch_ = std::make_unique<ScratchDir>();
      root_ = scratch_->path();
    } else {
      fs_ = std::make_unique<MemoryFileSystem>();
      root_ = "/scratch/xt/";
    }
    EXPECT_TRUE(fs_->makeDirectories(root_).ok());
    startedIn_ = fs_->currentDirectory();
  }
  ~FileSystemTest() override { (void)fs_->changeDirectory(startedIn_); }

  std::string at(const std::string& relative) const { return root_ + relative; }
  void write(const std::string& relative, const std::string& content) {
    auto slash = relative.rfind('/');
    if (slash != std::string::npos) {
      ASSERT_TRUE(fs_->makeDirectories(at(relative.substr(0, slash))).ok());
    }
    ASSERT_TRUE(fs_->writeWholeFile(at(relative), content).ok());
  }
  std::string read(const std::string& relative) { return fs_->readWholeFile(at(relative)).value_or("<none>"); }
  std::vector<std::string> list(const std::string& relative) {
    auto names = fs_->listDirectory(at(relative));
    std::sort(names.begin(), names.end());
    return names;
  }
  std::unique_ptr<FileHandle> open(const std::string& relative, OpenMode mode, bool exclusive = false) {
    std::unique_ptr<FileHandle> file;
    EXPECT_TRUE(fs_->open(at(relative), mode, exclusive, file).ok()) << relative;
    return file;
  }

  std::unique_ptr<ScratchDir> scratch_;
  std::unique_ptr<FileSystem> fs_;
  std::string root_;
  std::string startedIn_;
};

TEST_P(FileSystemTest, NamesResolveWithoutRegardToCaseAndSeparator) {
  write("Forms/Xtancar.jpn", "x");
  write("Data/Sub/a.dat", "");
  write("exact/x", "");
  const struct {
    const char* path;
    const char* native;
  } cases[] = {
      {"FORMS\\XTANCAR.JPN", "Forms/Xtancar.jpn"},
      {"forms/xtancar.JPN", "Forms/Xtancar.jpn"},
      {"FORMS\\\\Xtancar.jpn", "Forms/Xtancar.jpn"},
      {"FORMS\\NEW\\A.TXT", "Forms/NEW/A.TXT"},  // kept as written from the first missing one
      {"DATA\\SUB\\", "Data/Sub/"},
      {"data\\.\\SUB\\A.DAT", "Data/./Sub/a.dat"},
      {"data/sub/../SUB/A.DAT", "Data/Sub/../Sub/a.dat"},
      {"EXACT/X", "exact/x"},
      {"FORMS/XTANCAR.JPN/X", "Forms/Xtancar.jpn/X"},
  };
  for (const auto& c : cases) EXPECT_EQ(fs_->nativePath(at(c.path)), at(c.native)) << c.path;
  EXPECT_TRUE(fs_->fileExists(at("forms\\xtancar.JPN")));
  EXPECT_TRUE(fs_->directoryExists(at("DATA\\sub")));
  EXPECT_EQ(fs_->fileSize(at("FORMS\\XTANCAR.JPN")), 1);
}

TEST_P(FileSystemTest, KindsOfEntries) {
  write("Dir/file", "abc");
  const struct {
    const char* path;
    bool file, directory, exists;
    int64_t size;
  } cases[] = {
      {"DIR/FILE", true, false, true, 3},
      {"dir", false, true, true, -1},
      {"dir/file/", false, false, false, -1},
      {"dir/missing", false, false, false, -1},
      {"dir/file/under", false, false, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(fs_->fileExists(at(c.path)), c.file);
    EXPECT_EQ(fs_->directoryExists(at(c.path)), c.directory);
    EXPECT_EQ(fs_->writableDirectory(at(c.path)), c.directory);
    EXPECT_EQ(fs_->pathExists(at(c.path)), c.exists);
    EXPECT_EQ(fs_->fileSize(at(c.path)), c.size);
  }
  EXPECT_FALSE(fs_->readWholeFile(at("dir")).has_value());
  EXPECT_EQ(fs_->writeWholeFile(at("nodir/f"), "x").code, Code::NotFound);
}

TEST_P(FileSystemTest, RenameRules) {
  const struct {
    const char* name;
    const char* from;
    const char* to;
    bool replace;
    int error;                            // 0: done
    std::vector<std::string> afterwards;  // the directory's entries, sorted
  } cases[] = {
      {"no replace, free target", "a", "c", false, 0, {"b", "c"}},
      {"no replace, taken target", "a", "b", false, EEXIST, {"a", "b"}},
      {"no replace, same name in other case", "a", "A", false, EEXIST, {"a", "b"}},
      {"no replace, missing source whatever the target", "x", "b", false, ENOENT, {"a", "b"}},
      {"no replace, a directory", "d", "e", false, 0, {"a", "b", "e"}},
      {"replace, taken target", "a", "b", true, 0, {"b"}},
      {"replace, missing source", "x", "c", true, ENOENT, {"a", "b"}},
      {"replace, file over directory", "a", "d", true, EISDIR, {"a", "b", "d"}},
      {"replace, target directory missing", "a", "none/a", true, ENOENT, {"a", "b"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = "case" + std::to_string(n++) + "/";
    write(dir + "a", "A");
    write(dir + "b", "B");
    if (std::string(c.from) == "d" || std::string(c.to) == "d") write(dir + "d/in", "");
    FileResult r = fs_->renamePath(at(dir + c.from), at(dir + c.to), c.replace);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.ok(), c.error == 0);
    EXPECT_EQ(list(dir), c.afterwards);
  }
  EXPECT_EQ(read("case0/c"), "A");
  EXPECT_EQ(read("case1/b"), "B");
  EXPECT_EQ(read("case4/e/in"), "");
  EXPECT_EQ(read("case5/b"), "A");
}

TEST_P(FileSystemTest, ExclusiveOpenIsBusyWhileAnotherHoldsIt) {
  auto first = open("x.lck", OpenMode::ReadWriteCreate, true);
  std::unique_ptr<FileHandle> second;
  FileResult r = fs_->open(at("X.LCK"), OpenMode::ReadWrite, true, second);
  EXPECT_EQ(r.code, Code::Busy);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(open("x.lck", OpenMode::ReadWrite), nullptr);  // without asking for exclusivity
  first.reset();
  EXPECT_EQ(fs_->open(at("x.lck"), OpenMode::Read, true, second).error, EBADF);  // only for writing
  EXPECT_NE(open("x.lck", OpenMode::ReadWrite, true), nullptr);
}

TEST_P(FileSystemTest, AppendCreatesThenAddsAtTheEnd) {
  ASSERT_TRUE(fs_->appendToFile(at("db.log"), "one\r\n").ok());
  ASSERT_TRUE(fs_->appendToFile(at("DB.LOG"), "two\r\n").ok());
  EXPECT_EQ(read("db.log"), "one\r\ntwo\r\n");
  EXPECT_EQ(list(""), std::vector<std::string>{"db.log"});
}

TEST_P(FileSystemTest, AtomicReplaceLeavesNoWorkFileAndOpenReadersTheOldContent) {
  write("f", "old");
  auto reader = open("F", OpenMode::Read);
#ifdef _WIN32
  // Windows before 10, and Wine, rename over a file only once no one has
  // it open (win32_file_system_test.cc has the wait for a reader).
  if (GetParam() == Backend::Disk) reader.reset();
#endif
  ASSERT_TRUE(fs_->replaceFileAtomically(at("F"), "new").ok());
  EXPECT_EQ(read("f"), "new");
  if (reader) {
    EXPECT_EQ(reader->readAt(0, 10), "old");
  }
  EXPECT_EQ(list(""), std::vector<std::string>{"f"});
  EXPECT_EQ(fs_->replaceFileAtomically(at("nodir/f"), "x").code, Code::NotFound);
  EXPECT_EQ(list(""), std::vector<std::string>{"f"});
}

TEST_P(FileSystemTest, OpenModes) {
  write("Keep", "data");
  std::unique_ptr<FileHandle> file;
  for (OpenMode mode : {OpenMode::Read, OpenMode::ReadWrite}) {
    EXPECT_EQ(fs_->open(at("missing"), mode, false, file).code, Code::NotFound);
  }
  FileResult r = fs_->open(at("KEEP"), OpenMode::CreateNew, false, file);
  EXPECT_EQ(r.error, EEXIST);
  EXPECT_EQ(open("keep", OpenMode::ReadWriteCreate)->size(), 4);
  EXPECT_EQ(open("keep", OpenMode::Truncate)->size(), 0);
  EXPECT_NE(open("New", OpenMode::CreateNew), nullptr);
  EXPECT_EQ(list(""), (std::vector<std::string>{"Keep", "New"}));
}

TEST_P(FileSystemTest, PositionedReadsWritesAndTruncation) {
  auto file = open("b", OpenMode::Truncate);
  ASSERT_TRUE(file->writeAt(4, "xyz").ok());
  EXPECT_EQ(file->size(), 7);
  EXPECT_EQ(file->readAt(0, 5), std::string("\0\0\0\0x", 5));
  EXPECT_EQ(file->readAt(5, 10), "yz");
  EXPECT_EQ(file->readAt(7, 1), "");
  EXPECT_EQ(file->readAt(100, 1), "");
  ASSERT_TRUE(file->truncate(5).ok());
  EXPECT_EQ(read("b"), std::string("\0\0\0\0x", 5));
  ASSERT_TRUE(file->truncate(6).ok());
  EXPECT_EQ(file->readAt(4, 5), std::string("x\0", 2));
  EXPECT_TRUE(file->sync().ok());

  auto reader = open("b", OpenMode::Read);
  EXPECT_EQ(reader->writeAt(0, "q").error, EBADF);
  EXPECT_EQ(reader->truncate(0).error, EINVAL);
  EXPECT_TRUE(reader->copyModeAndGroupFrom(at("missing")).ok());
}

TEST_P(FileSystemTest, Directories) {
  ASSERT_TRUE(fs_->makeDirectories(at("A/B/C")).ok());
  EXPECT_TRUE(fs_->makeDirectory(at("a\\b")).ok());  // exists already
  write("A/B/C/f", "");
  write("A/g", "");
  EXPECT_EQ(list("a\\b"), std::vector<std::string>{"C"});
  EXPECT_EQ(list("a"), (std::vector<std::string>{"B", "g"}));
  EXPECT_TRUE(list("none").empty());
  EXPECT_EQ(fs_->makeDirectory(at("none/x")).code, Code::NotFound);
  EXPECT_EQ(fs_->removeDirectory(at("a/b/c")).error, ENOTEMPTY);
  EXPECT_EQ(fs_->removeFile(at("a/b/c")).error, EISDIR);
  EXPECT_EQ(fs_->removeDirectory(at("a/g")).error, ENOTDIR);
  ASSERT_TRUE(fs_->removeFile(at("a/b/c/F")).ok());
  EXPECT_EQ(fs_->removeFile(at("a/b/c/f")).code, Code::NotFound);
  ASSERT_TRUE(fs_->removeDirectory(at("a/b/c")).ok());
  EXPECT_TRUE(list("a/b").empty());
}

TEST_P(FileSystemTest, RelativePathsStartInTheCurrentDirectory) {
  write("Forms/Xtancar.jpn", "x");
  ASSERT_TRUE(fs_->changeDirectory(at("FORMS")));
  EXPECT_EQ(fs_->currentDirectory(), at("Forms"));
  EXPECT_EQ(fs_->nativePath("XTANCAR.JPN"), "Xtancar.jpn");
  EXPECT_EQ(fs_->nativePath("..\\forms\\XTANCAR.JPN"), "../Forms/Xtancar.jpn");
  EXPECT_EQ(fs_->readWholeFile("xtancar.jpn"), "x");
  EXPECT_EQ(fs_->listDirectory(""), std::vector<std::string>{"Xtancar.jpn"});
  ASSERT_TRUE(fs_->changeDirectory(".."));
  EXPECT_EQ(fs_->currentDirectory() + "/", root_);
  EXPECT_FALSE(fs_->changeDirectory("Forms/Xtancar.jpn"));
}

TEST_P(FileSystemTest, BinaryFileOwnsItsHandle) {
  BinaryFile held;
  ASSERT_TRUE(held.open(*fs_, at("x.lck"), BinaryFile::Mode::ReadWriteCreate, true).ok());
  BinaryFile moved = std::move(held);
  BinaryFile other;
  EXPECT_EQ(other.open(*fs_, at("x.lck"), BinaryFile::Mode::ReadWrite, true).code, Code::Busy);
  EXPECT_FALSE(held.isOpen());
  EXPECT_EQ(held.writeAt(0, "x").error, EBADF);
  moved.close();
  EXPECT_TRUE(other.open(*fs_, at("x.lck"), BinaryFile::Mode::ReadWrite, true).ok());
}

INSTANTIATE_TEST_SUITE_P(DiskAndMemory, FileSystemTest, ::testing::Values(Backend::Disk, Backend::Memory),
                         [](const auto& info) { return info.param == Backend::Disk ? "Disk" : "Memory"; });

// The faulty wrapper over a file system in memory.
class FaultyFileSystemTest : public ::testing::Test {
 protected:
  MemoryFileSystem memory_;
  FaultyFileSystem disk_{memory_};
};

TEST_F(FaultyFileSystemTest, EachFailureReachesTheCallerWithItsErrno) {
  ASSERT_TRUE(memory_.writeWholeFile("/f", "old").ok());
  using Call = FileResult (*)(FileSystem&);
  const struct {
    uint32_t operations;
    int error;
    Call call;
  } cases[] = {
      {FileFault::kWriteWholeFile, ENOSPC, [](FileSystem& fs) { return fs.writeWholeFile("/f", "new"); }},
      {FileFault::kReplaceFileAtomically, EROFS, [](FileSystem& fs) { return fs.replaceFileAtomically("/f", "new"); }},
      {FileFault::kAppendToFile, EIO, [](FileSystem& fs) { return fs.appendToFile("/f", "new"); }},
      {FileFault::kRenamePath, EACCES, [](FileSystem& fs) { return fs.renamePath("/f", "/g", true); }},
      {FileFault::kRemoveFile, EACCES, [](FileSystem& fs) { return fs.removeFile("/f"); }},
      {FileFault::kOpenForWriting, EACCES,
       [](FileSystem& fs) {
         std::unique_ptr<FileHandle> file;
         return fs.open("/f", OpenMode::ReadWrite, false, file);
       }},
      {FileFault::kSync, EIO,
       [](FileSystem& fs) {
         std::unique_ptr<FileHandle> file;
         EXPECT_TRUE(fs.open("/f", OpenMode::ReadWrite, false, file).ok());
         return file->sync();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operations);
    disk_.clearFaults();
    disk_.inject(FileFault(c.operations).withError(c.error));
    FileResult r = c.call(disk_);
    EXPECT_EQ(r.code, Code::Failed);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(memory_.readWholeFile("/f"), "old");
    EXPECT_TRUE(c.call(disk_).ok()) << "one failure only";
    ASSERT_TRUE(memory_.writeWholeFile("/f", "old").ok());
  }
  EXPECT_EQ(disk_.failuresInjected(), 7);
}

TEST_F(FaultyFileSystemTest, AimedByPathCountAndOpenMode) {
  ASSERT_TRUE(memory_.writeWholeFile("/LOCKS.TMP", "").ok());
  disk_.inject(FileFault(FileFault::kAppendToFile).onPathsWith("LOCKS").passing(1).repeated(-1));
  disk_.inject(FileFault(FileFault::kOpenForWriting).withError(EROFS));
  EXPECT_TRUE(disk_.appendToFile("/other", "x").ok());
  EXPECT_TRUE(disk_.appendToFile("/LOCKS.TMP", "1").ok());
  EXPECT_EQ(disk_.appendToFile("/LOCKS.TMP", "2").error, ENOSPC);
  EXPECT_EQ(disk_.appendToFile("/LOCKS.TMP", "3").error, ENOSPC);
  std::unique_ptr<FileHandle> file;
  EXPECT_TRUE(disk_.open("/LOCKS.TMP", OpenMode::Read, false, file).ok());
  EXPECT_EQ(file->readAt(0, 10), "1");
  EXPECT_EQ(disk_.open("/LOCKS.TMP", OpenMode::ReadWrite, false, file).error, EROFS);
}

TEST_F(FaultyFileSystemTest, ShortWriteLeavesThePartWritten) {
  disk_.inject(FileFault(FileFault::kAnyWrite).repeated(3).cutShortAfter(2));
  EXPECT_EQ(disk_.writeWholeFile("/w", "abcdef").error, ENOSPC);
  EXPECT_EQ(memory_.readWholeFile("/w"), "ab");
  EXPECT_EQ(disk_.appendToFile("/w", "cdef").error, ENOSPC);
  EXPECT_EQ(memory_.readWholeFile("/w"), "abcd");
  std::unique_ptr<FileHandle> file;
  ASSERT_TRUE(disk_.open("/w", OpenMode::ReadWrite, false, file).ok());
  EXPECT_EQ(file->writeAt(1, "XYZ").error, ENOSPC);
  EXPECT_EQ(memory_.readWholeFile("/w"), "aXYd");
  EXPECT_TRUE(file->writeAt(0, "!").ok());
}

}  // namespace
}  // namespace xt
