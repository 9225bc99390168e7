#include "data/file_utils.h"

#include <gtest/gtest.h>

#include "platform/native.h"

#include <cerrno>

#include "platform/files.h"
#include "testing/test_program.h"

namespace xt {
namespace {

NativeFileSystem disk;  // the tests' files are on the real disk

// Runs the body with the current directory set to dir, restoring it after.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : old_(currentDirectory()) { EXPECT_TRUE(changeDirectory(dir)); }
  ~InDirectory() { changeDirectory(old_); }

 private:
  std::string old_;
};

TEST(FullDirectoryPath, AbsolutePathsAreNormalised) {
  EXPECT_EQ(fullDirectoryPath(disk, "/data/../tmp"), "/tmp/");
  EXPECT_EQ(fullDirectoryPath(disk, "\\A\\.\\B"), "/A/B/");
  EXPECT_EQ(fullDirectoryPath(disk, "/../X"), "/X/");
  EXPECT_EQ(fullDirectoryPath(disk, "  /srv/tav/  "), "/srv/tav/");
  EXPECT_EQ(fullDirectoryPath(disk, "/srv//tav/a/b/../../c/."), "/srv/tav/c/");
  EXPECT_EQ(fullDirectoryPath(disk, "/srv/a..b/.c/"), "/srv/a..b/.c/");
#ifdef _WIN32
  EXPECT_EQ(fullDirectoryPath(disk, "C:\\tav\\..\\x"), "C:/x/");
  EXPECT_EQ(fullDirectoryPath(disk, "c:/../tav"), "c:/tav/");  // ".." at the drive's root stays there
  EXPECT_EQ(fullDirectoryPath(disk, "\\\\srv\\share\\a\\..\\b"), "//srv/share/b/");
#endif
}

TEST(FullDirectoryPath, RelativePathsStartAtTheCurrentDirectory) {
  ScratchDir dir;
  makeDirectory(dir / "WORK");
  InDirectory in(dir / "WORK");
  const std::string work = fullDirectoryPath(disk, ".");
  EXPECT_EQ(work.substr(work.size() - 6), "/WORK/");
  EXPECT_EQ(fullDirectoryPath(disk, "X"), work + "X/");
  EXPECT_EQ(fullDirectoryPath(disk, "../Y/./Z"), work.substr(0, work.size() - 5) + "Y/Z/");
  EXPECT_EQ(fullDirectoryPath(disk, ""), work);
}

TEST(ShortPathName, ResolvesExistingEntriesKeepingTheirCase) {
  ScratchDir dir;
  dir.write("Tav/.htpasswd", "x");
  EXPECT_EQ(shortPathName(disk, dir / "Tav/.htpasswd"), dir / "Tav/.htpasswd");
  EXPECT_EQ(shortPathName(disk, dir / "TAV\\.HTPASSWD  "), dir / "Tav/.htpasswd");
  EXPECT_EQ(shortPathName(disk, dir / "tav"), dir / "Tav");
  EXPECT_EQ(shortPathName(disk, dir / "TAV/.HTACCESS"), "");
  EXPECT_EQ(shortPathName(disk, ""), "");
}

TEST(RenameFile, NeverReplacesAnExistingFile) {
  ScratchDir dir;
  dir.write("a", "A");
  dir.write("b", "B");
  EXPECT_NE(renameFile(disk, dir / "a", dir / "b"), 0);
  EXPECT_EQ(dir.read("a"), "A");
  EXPECT_EQ(dir.read("b"), "B");
  EXPECT_EQ(renameFile(disk, dir / "a", dir / "c"), 0);
  EXPECT_FALSE(fileExists(dir / "a"));
  EXPECT_EQ(dir.read("c"), "A");
  EXPECT_EQ(renameFile(disk, dir / "missing", dir / "d"), ENOENT);
  EXPECT_EQ(renameFile(disk, dir / "missing", dir / "b"), ENOENT);  // not "exists"
  EXPECT_EQ(renameFile(disk, dir / "c", dir / "b"), EEXIST);
}

TEST(DeletePath, FilesPatternsAndDirectories) {
  ScratchDir dir;
  dir.write("d/one.tmp", "1");
  dir.write("d/two.TMP", "2");
  dir.write("d/keep.txt", "3");
  dir.write("d/.hidden.tmp", "4");
  dir.write("d/sub/x", "5");

  EXPECT_EQ(deletePath(disk, dir / "d/*.tmp"), 0);
  EXPECT_FALSE(fileExists(dir / "d/one.tmp"));
  EXPECT_FALSE(fileExists(dir / "d/two.TMP"));
  EXPECT_TRUE(fileExists(dir / "d/.hidden.tmp"));
  EXPECT_TRUE(fileExists(dir / "d/keep.txt"));

  EXPECT_EQ(deletePath(disk, dir / "d/KEEP.TXT"), 0);  // by its name in another case
  EXPECT_FALSE(fileExists(dir / "d/keep.txt"));
  // No match: there is then no directory of that name to remove either.
  EXPECT_EQ(deletePath(disk, dir / "d/*.zip"), kErrorPathNotFound);

  // A directory is never a match: a pattern that finds only directories
  // matches nothing; a directory named as a file goes with its files.
  dir.write("p/only/x", "6");
  EXPECT_EQ(deletePath(disk, dir / "p/*.*"), kErrorPathNotFound);
  EXPECT_TRUE(fileExists(dir / "p/only/x"));
  EXPECT_EQ(deletePath(disk, dir / "d/sub"), 0);
  EXPECT_FALSE(pathExists(dir / "d/sub"));

  // Ending in a separator: the files inside, then the empty directory.
  dir.write("e/f1", "1");
  EXPECT_EQ(deletePath(disk, dir / "e/"), 0);
  EXPECT_FALSE(fileExists(dir / "e/f1"));
  EXPECT_TRUE(directoryExists(dir / "e"));
  EXPECT_EQ(deletePath(disk, dir / "e/"), 0);
  EXPECT_FALSE(directoryExists(dir / "e"));
}

TEST(DeletePath, MissingPathReportsTheFailedDirectoryRemoval) {
  ScratchDir dir;
  EXPECT_EQ(deletePath(disk, dir / "missing.txt"), kErrorPathNotFound);
}

}  // namespace
}  // namespace xt
