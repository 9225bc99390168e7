#include "format/text_lines.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include "testing/test_program.h"

namespace xt {
namespace {

TEST(NativePath, BackslashesAndCaseFallbackPerComponent) {
  ScratchDir dir;
  dir.write("Forms/Xtancar.jpn", "x");
  // Windows-style path with different letter case finds the existing file.
  EXPECT_EQ(nativePath(dir.path() + "FORMS\\XTANCAR.JPN"), dir.path() + "Forms/Xtancar.jpn");
  EXPECT_TRUE(fileExists(dir.path() + "forms\\xtancar.JPN"));
  // A missing component is kept as written, and so is everything after it.
  EXPECT_EQ(nativePath(dir.path() + "FORMS\\NEW\\A.TXT"), dir.path() + "Forms/NEW/A.TXT");
  // The exact name wins over a case-insensitive one (on Windows the two
  // names are one directory).
  dir.write("forms/other", "y");
#ifdef _WIN32
  EXPECT_EQ(nativePath(dir.path() + "forms/other"), dir.path() + "Forms/other");
#else
  EXPECT_EQ(nativePath(dir.path() + "forms/other"), dir.path() + "forms/other");
#endif
}

TEST(NativePath, TrailingSeparatorKept) {
  ScratchDir dir;
  dir.write("Locks/a", "");
  EXPECT_EQ(nativePath(dir.path() + "LOCKS\\"), dir.path() + "Locks/");
}

TEST(Files, AtomicReplaceAndAppend) {
  ScratchDir dir;
  ASSERT_TRUE(replaceFileAtomically(dir / "f", "one").ok());
  ASSERT_TRUE(replaceFileAtomically(dir / "f", "two").ok());
  EXPECT_EQ(dir.read("f"), "two");
  ASSERT_TRUE(appendToFile(dir / "f", "+3").ok());
  EXPECT_EQ(dir.read("f"), "two+3");
  // No work file is left behind.
  EXPECT_EQ(listDirectory(dir.path()).size(), 1u);
}

TEST(Files, RenameWithoutReplaceRefusesExistingTarget) {
  ScratchDir dir;
  dir.write("a", "A");
  dir.write("b", "B");
  FileResult r = renamePath(dir / "a", dir / "b", false);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(dir.read("a"), "A");
  EXPECT_EQ(dir.read("b"), "B");
  EXPECT_TRUE(renamePath(dir / "a", dir / "b", true).ok());
  EXPECT_EQ(dir.read("b"), "A");
}

TEST(BinaryFile, ExclusiveOpenExcludesASecondOpen) {
  ScratchDir dir;
  BinaryFile first, second;
  ASSERT_TRUE(first.open(dir / "x.lck", BinaryFile::Mode::ReadWriteCreate, true).ok());
  FileResult r = second.open(dir / "x.lck", BinaryFile::Mode::ReadWriteCreate, true);
  EXPECT_EQ(r.code, FileResult::Code::Busy);
  first.close();
  EXPECT_TRUE(second.open(dir / "x.lck", BinaryFile::Mode::ReadWriteCreate, true).ok());
}

TEST(BinaryFile, PositionedReadsAndWrites) {
  ScratchDir dir;
  BinaryFile f;
  ASSERT_TRUE(f.open(dir / "b", BinaryFile::Mode::Truncate).ok());
  ASSERT_TRUE(f.writeAt(4, "xyz").ok());
  EXPECT_EQ(f.size(), 7);
  EXPECT_EQ(f.readAt(4, 10), "xyz");
  EXPECT_EQ(f.readAt(0, 4), std::string(4, '\0'));
}

TEST(SplitLines, CrLfAndLfAndUnterminatedLastLine) {
  auto lines = splitLines("a\r\nb\nc");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[1], "b");
  EXPECT_EQ(lines[2], "c");
  EXPECT_TRUE(splitLines("").empty());
}

}  // namespace
}  // namespace xt
