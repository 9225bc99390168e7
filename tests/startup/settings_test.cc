#include "startup/settings.h"

#include <gtest/gtest.h>

#include "base/ini_file.h"
#include "format/decimal_text.h"
#include "format/format_settings.h"
#include "platform/files.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

TEST(NormaliseDirectoryTest, Examples) {
  EXPECT_EQ(normaliseDirectory(""), "");
  EXPECT_EQ(normaliseDirectory("C:"), "C:");
  EXPECT_EQ(normaliseDirectory("C:\\TMP"), "C:\\TMP\\");
  EXPECT_EQ(normaliseDirectory("C:\\TMP\\"), "C:\\TMP\\");
  EXPECT_EQ(normaliseDirectory("/tmp/s/"), "/tmp/s/");
  EXPECT_EQ(normaliseDirectory("/tmp/s"), "/tmp/s\\");
}

TEST(AnchorDirectoriesTest, RelativeDirectoriesAreTakenFromTheStartDirectory) {
  SessionSettings s;
  s.rootDir = "inst/";
  s.tempDir = "inst/sessio\\";
  s.terminalDir = "/srv/term/";
  anchorDirectories(s, "/home/op");
  EXPECT_EQ(s.rootDir, "/home/op/inst/");
  EXPECT_EQ(s.tempDir, "/home/op/inst/sessio\\");
  EXPECT_EQ(s.terminalDir, "/srv/term/");  // already absolute
  s.rootDir = "\\srv\\tav\\";
  s.tempDir.clear();
  anchorDirectories(s, "/");
  EXPECT_EQ(s.rootDir, "\\srv\\tav\\");
  EXPECT_EQ(s.tempDir, "");  // not set stays not set
#ifdef _WIN32
  s.rootDir = "Z:\\tav\\";
  s.tempDir = "\\\\srv\\share\\t1\\";
  anchorDirectories(s, "C:/work");
  EXPECT_EQ(s.rootDir, "Z:\\tav\\");
  EXPECT_EQ(s.tempDir, "\\\\srv\\share\\t1\\");
#endif
}

class LoadSettingsTest : public ::testing::Test {
 protected:
  SessionSettings& load() {
    loadSettings(t.program().system, t.program().fs, t.program().settings, t.program().format);
    return t.program().settings;
  }
  void session(const std::string& text) { t.dir().write("tmp/Sessio.ini", text); }
  void terminal(const std::string& text) { t.dir().write("tmp/VexaTerm.ini", text); }
  TestProgram t;
};

TEST_F(LoadSettingsTest, SessionValues) {
  session("[Menu]\r\nTitol=MANTENIMENT\r\nNomMenu=XTANCAR\r\nOperador=ADMIN\r\nTavTipOper=2\r\n");
  SessionSettings& s = load();
  EXPECT_EQ(s.rootDir, t.root());
  EXPECT_EQ(s.tempDir, t.temp());
  EXPECT_EQ(s.menuTitle, " MANTENIMENT ");
  EXPECT_EQ(s.menuName, "XTANCAR");
  EXPECT_EQ(s.operatorName, "ADMIN");
  EXPECT_EQ(s.operatorType, 2);
  EXPECT_EQ(s.formName, "XTANCAR");
}

TEST_F(LoadSettingsTest, NothingConfigured) {
  t.system().environment.clear();
  SessionSettings& s = load();
  EXPECT_EQ(s.rootDir, "");
  EXPECT_EQ(s.tempDir, "");
  EXPECT_EQ(s.terminalDir, "");
  EXPECT_EQ(s.menuTitle, "  ");
  EXPECT_EQ(s.operatorType, 0);
  EXPECT_EQ(s.languageCode, "   ");
  EXPECT_EQ(s.systemDate, "");
  EXPECT_EQ(s.hostKind, "DOS");
  const int16_t expected[5][2] = {{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}};
  for (int p = 0; p < 5; ++p)
    for (int k = 0; k < 2; ++k) EXPECT_EQ(s.colourPairs[p][k], expected[p][k]) << p << k;
}

TEST_F(LoadSettingsTest, TemporaryDirectoryIsNormalised) {
  t.system().setEnv("TAVTMP", t.root() + "tmp");
  session("[Menu]\r\nNomMenu=X\r\n");
  SessionSettings& s = load();
  EXPECT_EQ(s.tempDir, t.root() + "tmp\\");
  EXPECT_EQ(s.menuName, "X");  // "tmp\" + "Sessio.ini" is found
}

TEST_F(LoadSettingsTest, TerminalDirectoryFromSessionElseTermWhenADirectory) {
  session("[Terminal]\r\nDir=" + t.root() + "term\r\n");
  EXPECT_EQ(load().terminalDir, t.root() + "term\\");

  session("");
  t.system().setEnv("TERM", "xterm-256color");
  EXPECT_EQ(load().terminalDir, "");

  t.system().setEnv("TERM", t.root());
  EXPECT_EQ(load().terminalDir, t.root());
}

TEST_F(LoadSettingsTest, WithoutTavtmpTheTerminalDirectoryServes) {
  t.system().environment.erase("TAVTMP");
  t.system().setEnv("TERM", t.temp());
  terminal("[Sistema]\r\nIdioma=GLG\r\n");
  SessionSettings& s = load();
  EXPECT_EQ(s.tempDir, t.temp());
  EXPECT_EQ(s.languageCode, "GLG");
}

TEST_F(LoadSettingsTest, ColourSetChosenBySelection) {
  terminal("[Pantalla]\r\nSeleccio=3\r\nCol0=01020304050607080910\r\nCol3=150007002\r\n");
  SessionSettings& s = load();
  const int16_t expected[5][2] = {{15, 0}, {7, 0}, {2, 0}, {0, 0}, {0, 0}};
  for (int p = 0; p < 5; ++p)
    for (int k = 0; k < 2; ++k) EXPECT_EQ(s.colourPairs[p][k], expected[p][k]) << p << k;
}

TEST_F(LoadSettingsTest, ColourSetZeroWhenSelectionMissingAndNegativeSelection) {
  terminal("[Pantalla]\r\nCol0=01020304050607080910\r\n");
  SessionSettings& s = load();
  EXPECT_EQ(s.colourPairs[0][0], 1);
  EXPECT_EQ(s.colourPairs[4][1], 10);

  terminal("[Pantalla]\r\nSeleccio=-1\r\nCol-1=02000000000000000000\r\n");
  EXPECT_EQ(load().colourPairs[0][0], 2);
}

TEST_F(LoadSettingsTest, DateAndLanguage) {
  terminal("[Sistema]\r\nData=20261208\r\nIdioma=SPANISH\r\n");
  t.dir().write("Vexa.ini", "[Usuari]\r\nIdioma=GLG\r\n");
  SessionSettings& s = load();
  EXPECT_EQ(s.systemDate, "\x94\x9A\x8C\x88");
  EXPECT_EQ(s.languageCode, "SPA");

  terminal("[Sistema]\r\nIdioma=   \r\n");
  EXPECT_EQ(load().languageCode, "GLG");

  t.dir().write("Vexa.ini", "[Usuari]\r\nIdioma=oc\r\n");
  EXPECT_EQ(load().languageCode, "oc ");
}

// Vexa.ini's conventions for dates and numbers, read once at start-up; a
// blank or missing one keeps its default.
TEST_F(LoadSettingsTest, FormatSettingsFromVexaIni) {
  t.dir().write("Vexa.ini", "[Usuari]\r\nDatOrdre=AMD\r\nDatCaracter=-\r\nDecCaracter=,\r\nMilCaracter=\r\n");
  load();
  const FormatSettings& f = t.program().format;
  EXPECT_EQ(f.dateOrder, "AMD");
  EXPECT_EQ(f.dateSeparator, "-");
  EXPECT_EQ(f.decimalChar, ",");
  EXPECT_EQ(f.thousandsChar, ".");
  struct Case {
    const char* ini;
    const char* separator;
    const char* order;
    const char* decimal;
  } cases[] = {
      {"DatCaracter=\" \"\r\nDatOrdre=AMD\r\n", "/", "AMD", "'"},
      {"DatOrdre=dma\r\nDecCaracter= \r\n", "/", "dma", "'"},
      {"DatCaracter=..\r\nDatOrdre=DM\r\nDecCaracter=.,\r\n", ".", "DM ", "."},
  };
  for (const Case& c : cases) {
    t.dir().write("Vexa.ini", std::string("[Usuari]\r\n") + c.ini);
    t.program().format = FormatSettings{};
    load();
    EXPECT_EQ(f.dateSeparator, c.separator) << c.ini;
    EXPECT_EQ(f.dateOrder, c.order) << c.ini;
    EXPECT_EQ(f.decimalChar, c.decimal) << c.ini;
  }
}

TEST_F(LoadSettingsTest, HostKind) {
  t.system().setEnv("WINDIR", "C:\\WINDOWS");
  EXPECT_EQ(load().hostKind, "WIN");
  t.system().setEnv("HTTP_ACCEPT", "text/html");
  EXPECT_EQ(load().hostKind, "CGI");
}

}  // namespace
}  // namespace xt

namespace xt {
namespace {

TEST(DemoSettingsTest, DemoSessionAsTheDemoCommandStartsIt) {
  TestProgram t;
  copyTree(demoSourceDir(), t.root());
  t.system().setEnv("TAVTMP", t.root() + "sessio/");
  t.system().setEnv("TERM", "xterm-256color");
  loadSettings(t.program().system, t.program().fs, t.program().settings, t.program().format);
  const SessionSettings& s = t.program().settings;
  EXPECT_EQ(s.tempDir, t.root() + "sessio/");
  EXPECT_EQ(s.terminalDir, "");  // the calculator's state then goes to the root
  EXPECT_EQ(s.menuTitle, " MANTENIMENT D'OPERADORS ");
  EXPECT_EQ(s.menuName, "XTANCAR");
  EXPECT_EQ(s.operatorName, "ADMIN");
  EXPECT_EQ(s.operatorType, 0);
  EXPECT_EQ(s.languageCode, "CAT");
  EXPECT_EQ(s.systemDate, packDecimalDigits("20261208"));
  EXPECT_EQ(s.colourPairs[0][0], 14);
  EXPECT_EQ(s.colourPairs[0][1], 1);
  EXPECT_EQ(s.colourPairs[4][1], 11);
  EXPECT_TRUE(fileExists(t.root() + "AJUDA\\" + s.menuName + ".HLP"));
  EXPECT_EQ(readIniValue(t.fs(), t.root() + "Vexa.ini", "Usuari", "DecCaracter"), ",");
  EXPECT_EQ(readIniValue(t.fs(), t.root() + "Vexa.ini", "Usuari", "DatOrdre"), "DMA");
}

}  // namespace
}  // namespace xt
