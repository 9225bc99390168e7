#include "base/ini_file.h"

#include <gtest/gtest.h>

#include "platform/native.h"

#include "testing/test_program.h"

namespace xt {
namespace {

NativeFileSystem disk;  // the tests' files are on the real disk

class IniFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& content) {
    dir.write("Sessio.ini", content);
    return dir / "Sessio.ini";
  }
  ScratchDir dir;
};

TEST_F(IniFileTest, CommentCutKeepsBlanksAroundValue) {
  std::string f = write("[menu]\r\nTitol = Comptes ; main menu\r\n");
  EXPECT_EQ(readIniValue(disk, f, "Menu", "titol"), " Comptes ");
}

TEST_F(IniFileTest, SemicolonCutsEvenInsideQuotes) {
  std::string f = write("[A]\r\nk=\"x;y\"\r\nv=a;b\r\n");
  EXPECT_EQ(readIniValue(disk, f, "A", "k"), "\"x");
  EXPECT_EQ(readIniValue(disk, f, "A", "v"), "a");
}

TEST_F(IniFileTest, QuotesRemovedOnlyWhenBothEndsAreQuotes) {
  std::string f = write("[A]\r\nq=\"C:\\TMP\\\"\r\none=\"\r\ninner=a\"b\"\r\nhalf=\"abc\r\n");
  EXPECT_EQ(readIniValue(disk, f, "A", "q"), "C:\\TMP\\");
  EXPECT_EQ(readIniValue(disk, f, "A", "one"), "\"");
  EXPECT_EQ(readIniValue(disk, f, "A", "inner"), "a\"b\"");
  EXPECT_EQ(readIniValue(disk, f, "A", "half"), "\"abc");
}

TEST_F(IniFileTest, SecondHeaderOfSameNameEndsTheSearch) {
  std::string f = write("[Menu]\r\nA=1\r\n[Menu]\r\nNomMenu=X\r\n");
  EXPECT_EQ(readIniValue(disk, f, "Menu", "NomMenu"), "");
  EXPECT_EQ(readIniValue(disk, f, "Menu", "A"), "1");
}

TEST_F(IniFileTest, SectionAndKeyMatching) {
  std::string f = write(
      "NomMenu=before\r\n"
      "x[Menu]\r\nNomMenu=notasection\r\n"
      "   [ Menu ]\r\n"
      "  NOMMENU   =first\r\n"
      "NomMenu=second\r\n");
  EXPECT_EQ(readIniValue(disk, f, "  menu ", " nommenu "), "first");
  EXPECT_EQ(readIniValue(disk, f, "Other", "NomMenu"), "");
}

TEST_F(IniFileTest, TabsAreNotBlanks) {
  std::string f = write("[A]\r\n\tk=1\r\nk =2\r\n");
  EXPECT_EQ(readIniValue(disk, f, "A", "k"), "2");
}

TEST_F(IniFileTest, HeaderWithoutClosingBracketAndLfLines) {
  std::string f = write("[Sistema\nData=20261208\nIdioma=SPA");
  EXPECT_EQ(readIniValue(disk, f, "sistema", "data"), "20261208");
  EXPECT_EQ(readIniValue(disk, f, "sistema", "Idioma"), "SPA");  // last line without line end
}

TEST_F(IniFileTest, MissingFileOrDirectoryGivesEmpty) {
  EXPECT_EQ(readIniValue(disk, dir / "none.ini", "A", "k"), "");
  EXPECT_EQ(readIniValue(disk, dir.path(), "A", "k"), "");
}

TEST_F(IniFileTest, FileFoundWhateverTheCaseOfItsName) {
  dir.write("VEXATERM.INI", "[Sistema]\r\nIdioma=GLG\r\n");
  EXPECT_EQ(readIniValue(disk, dir / "VexaTerm.ini", "Sistema", "Idioma"), "GLG");
}

}  // namespace
}  // namespace xt
