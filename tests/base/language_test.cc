#include "base/language.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

class TranslateTest : public ::testing::Test {
 protected:
  TranslateTest() { makeDirectory(t.root() + "LOCALE"); }
  std::string tr(const std::string& language, const std::string& text) {
    t.program().settings.languageCode = language;
    return translateText(t.program().fs, t.program().settings, text);
  }
  void messages(const std::string& content) { t.dir().write("LOCALE/XTANCAR.LNG", content); }
  std::string file() const { return t.root() + "LOCALE/XTANCAR.LNG"; }
  TestProgram t;
};

TEST_F(TranslateTest, CatalanTouchesNoFile) {
  EXPECT_EQ(tr("CAT", "GENERAL"), "GENERAL");
  EXPECT_FALSE(pathExists(file()));
}

TEST_F(TranslateTest, MissingFileIsCreatedEmpty) {
  EXPECT_EQ(tr("SPA", "GENERAL"), "GENERAL");
  EXPECT_EQ(fileSize(file()), 0);
}

TEST_F(TranslateTest, PicksTheColumnOfTheLanguage) {
  messages("GENERAL,GENERAL ES,GENERAL GL,GENERAU\r\n\"|G,GENERAL|R,RESTRINGIT\",\"|G,G\",\"|G,GL\",\"|G,OC\"\r\n");
  EXPECT_EQ(tr("SPA", "GENERAL"), "GENERAL ES");
  EXPECT_EQ(tr("GLG", "GENERAL"), "GENERAL GL");
  EXPECT_EQ(tr("OCI", "GENERAL"), "GENERAU");
  EXPECT_EQ(tr("ENG", "GENERAL"), "GENERAL");
  EXPECT_EQ(tr("   ", "GENERAL"), "GENERAL");
  EXPECT_EQ(tr("spa", "GENERAL"), "GENERAL");
  EXPECT_EQ(tr("OCI", "|G,GENERAL|R,RESTRINGIT"), "|G,OC");
}

TEST_F(TranslateTest, OtherLanguageCreatesTheFileToo) {
  EXPECT_EQ(tr("ENG", "X"), "X");
  EXPECT_TRUE(fileExists(file()));
}

TEST_F(TranslateTest, KeyMatchesOnlyTheWholeText) {
  messages("\"Codi: \",\"C\xA2" "digo: \",\"C\xA2" "digo: \",\"C\x95" "di: \"\r\nCodi,a,b,c\r\n");
  EXPECT_EQ(tr("SPA", "Codi: "), "C\xA2" "digo: ");
  EXPECT_EQ(tr("SPA", "Codi"), "a");
  EXPECT_EQ(tr("SPA", "codi"), "codi");
  EXPECT_EQ(tr("SPA", "Codi  "), "Codi  ");
}

TEST_F(TranslateTest, FirstEntryWins) {
  messages("A,first,1,1\r\nA,second,2,2\r\n");
  EXPECT_EQ(tr("SPA", "A"), "first");
}

TEST_F(TranslateTest, EntriesMayRunOverLinesAndEmptyTranslationsCount) {
  messages("A\r\nes\r\n  gl,oc\nB,,,\r\nC,c1,c2,c3");
  EXPECT_EQ(tr("OCI", "A"), "oc");
  EXPECT_EQ(tr("SPA", "B"), "");
  EXPECT_EQ(tr("OCI", "B"), "");
  EXPECT_EQ(tr("OCI", "C"), "c3");
}

TEST_F(TranslateTest, BlankLinesDoNotShiftEntries) {
  messages("A,a1,a2,a3\r\n\r\n   \r\nB,b1,b2,b3\r\n\r\n");
  EXPECT_EQ(tr("GLG", "B"), "b2");
}

TEST_F(TranslateTest, ShortLastEntry) {
  messages("A,a1,a2,a3\r\nB,b1\r\n");
  EXPECT_EQ(tr("SPA", "B"), "b1");
  // The missing Galician and Aranese items leave the text untranslated
  // rather than blank.
  EXPECT_EQ(tr("GLG", "B"), "B");
  EXPECT_EQ(tr("OCI", "B"), "B");
}

TEST_F(TranslateTest, KeyAsLastItemNeverMatches) {
  messages("A,a1,a2,a3\r\nB");
  EXPECT_EQ(tr("SPA", "B"), "B");
}

TEST_F(TranslateTest, MissingEntryShiftsTheFollowingOnes) {
  messages("A,a1,a2\r\nB,b1,b2,b3\r\n");
  EXPECT_EQ(tr("SPA", "B"), "B");  // B is now A's Aranese item
}

TEST_F(TranslateTest, EndMarkEndsTheData) {
  messages("A,a1,a2,a3\r\n\x1A" "B,b1,b2,b3\r\n");
  EXPECT_EQ(tr("SPA", "B"), "B");
  EXPECT_EQ(tr("SPA", "A"), "a1");
}

TEST_F(TranslateTest, NoLocaleDirectoryLeavesTextsAlone) {
  removeDirectory(t.root() + "LOCALE");
  EXPECT_EQ(tr("SPA", "GENERAL"), "GENERAL");
  EXPECT_FALSE(pathExists(t.root() + "LOCALE"));
}

TEST_F(TranslateTest, PickLanguage) {
  const std::string ca = "ca", es = "es", gl = "gl", oc = "oc";
  auto pick = [&](const std::string& language) {
    t.program().settings.languageCode = language;
    return pickLanguage(t.program().settings, ca, es, gl, oc);
  };
  EXPECT_EQ(pick("SPA"), "es");
  EXPECT_EQ(pick("GLG"), "gl");
  EXPECT_EQ(pick("OCI"), "oc");
  EXPECT_EQ(pick("CAT"), "ca");
  EXPECT_EQ(pick("ENG"), "ca");
}

}  // namespace
}  // namespace xt
