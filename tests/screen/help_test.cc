#include "screen/help.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/native.h"
#include "testing/no_record_engine.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// The in-memory console, taking a picture of the screen each time the
// program waits for a key.
class SnapshotConsole : public FakeConsole {
 public:
  InputEvent readEvent(int timeoutMs) override {
    shots.push_back(screen());
    depths.push_back(onRead ? onRead() : 0);
    return FakeConsole::readEvent(timeoutMs);
  }
  std::vector<ScreenBuffer> shots;
  std::vector<int> depths;  // what onRead answered at each wait
  std::function<int()> onRead;
};

using NoEngine = NoRecordEngine;

// Help files are found relative to the current directory, as after start-up.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : old_(currentDirectory()) { changeDirectory(dir); }
  ~InDirectory() { changeDirectory(old_); }

 private:
  std::string old_;
};

// A help file of fixed 80-byte lines: "LINE nnn" then blanks, CR LF.
std::string helpLines(int count, const std::string& name = "LINE") {
  std::string data;
  for (int i = 1; i <= count; ++i) {
    char label[32];
    std::snprintf(label, sizeof label, "%s %03d", name.c_str(), i);
    std::string line = label;
    line.resize(78, ' ');
    data += line + "\r\n";
  }
  return data;
}

class HelpTest : public ::testing::Test {
 protected:
  HelpTest() : program(console, system, disk, engine), cwd(dir.path()) {
    makeDirectories(dir / "tmp");
    program.settings.rootDir = dir.path();
    program.settings.tempDir = dir / "tmp/";
    program.console.clear();
    console.moveCursor(1, 1);
    console.write("FORM TITLE");
    console.moveCursor(24, 1);
    console.write("status line");
    console.moveCursor(3, 7);
    console.onRead = [this] { return program.screen.windows.windowDepth; };
  }

  // Line numbers shown in the viewer's inside rows in one picture: the
  // first and the last, 0 when a row shows no line.
  static std::pair<int, int> shownRange(const ScreenBuffer& s) {
    auto lineAt = [&](int row) {
      std::string label;
      for (int c = 3; c <= 10; ++c) label.push_back(static_cast<char>(s.at(row, c).ch));
      return label.rfind("LINE ", 0) == 0 ? std::stoi(label.substr(5)) : 0;
    };
    return {lineAt(5), lineAt(21)};
  }

  std::vector<std::pair<int, int>> run(const std::string& topic, std::initializer_list<int16_t> keys) {
    console.pushKeys(keys);
    console.pushKey(key::kEsc);
    ScreenBuffer before = console.screen();
    showHelp(program.screen, topic);
    EXPECT_EQ(console.pendingEvents(), 0u);
    EXPECT_EQ(console.dryReads(), 0);
    // Closing puts back exactly what was there, cursor included.
    for (int r = 1; r <= 25; ++r)
      for (int c = 1; c <= 80; ++c) EXPECT_EQ(console.cell(r, c), before.at(r, c)) << r << "," << c;
    EXPECT_EQ(console.cursorRow(), 3);
    EXPECT_EQ(console.cursorColumn(), 7);
    EXPECT_EQ(program.screen.windows.windowDepth, 0);
    EXPECT_EQ(program.screen.styles.styleStack, "");
    EXPECT_FALSE(fileExists(dir / "tmp/WinPush.tmp"));
    std::vector<std::pair<int, int>> ranges;
    for (const ScreenBuffer& s : console.shots) ranges.push_back(shownRange(s));
    return ranges;
  }

  ScratchDir dir;
  SnapshotConsole console;
  FakeSystem system;
  NativeFileSystem disk;
  NoEngine engine;
  Program program;
  InDirectory cwd;
};

using Ranges = std::vector<std::pair<int, int>>;

TEST_F(HelpTest, KeyTableScrollsSeventeenLinesOfAFortyLineFile) {
  dir.write("AJUDA/PROVA.HLP", helpLines(40));
  Ranges shown = run("PROVA", {key::kUp, key::kDown, key::kUp, key::kPgDn, key::kPgDn, key::kPgDn,
                               key::kDown, key::kPgUp, key::kPgUp, key::kPgUp, key::kEnd, key::kHome,
                               key::kHome, 'x'});
  Ranges expected = {{1, 17},   // opened
                     {1, 17},   // Up at the top: nothing
                     {2, 18},   // Down
                     {1, 17},   // Up
                     {18, 34},  // PgDn
                     {24, 40},  // PgDn stops at the last line
                     {24, 40},  // PgDn at the end: nothing
                     {24, 40},  // Down at the end: nothing
                     {8, 24},   // PgUp: the old top line becomes the bottom line
                     {1, 17},   // PgUp never goes above line 1
                     {1, 17},   // PgUp at the top: nothing
                     {24, 40},  // End
                     {1, 17},   // Home
                     {1, 17},   // Home at the top: nothing
                     {1, 17}};  // another key: nothing, then Esc
  EXPECT_EQ(shown, expected);
  const ScreenBuffer& open = console.shots[0];
  EXPECT_EQ(open.at(4, 1).ch, 0xC9);  // double frame on rows 4..22
  EXPECT_EQ(open.at(22, 80).ch, 0xBC);
  EXPECT_EQ(open.at(1, 1).ch, 'F');  // the form above stays
}

TEST_F(HelpTest, EndThenPgUpOnAShortFile) {
  // 20 lines: End shows 4..20; PgUp would start above line 1, so it shows 1..17.
  dir.write("AJUDA/PROVA.HLP", helpLines(20));
  EXPECT_EQ(run("PROVA", {key::kEnd, key::kPgUp}), (Ranges{{1, 17}, {4, 20}, {1, 17}}));
}

TEST_F(HelpTest, LineCountIsTheFileLengthOverTheWidthRoundedToNearest) {
  // A partial last line of 40 bytes or more counts as a line; less does not.
  dir.write("AJUDA/PROVA.HLP", helpLines(41).substr(0, 40 * 80 + 40));
  EXPECT_EQ(run("PROVA", {key::kEnd}).back(), std::make_pair(25, 41));
  console.shots.clear();
  dir.write("AJUDA/PROVA.HLP", helpLines(41).substr(0, 40 * 80 + 39));
  EXPECT_EQ(run("PROVA", {key::kEnd}).back(), std::make_pair(24, 40));
}

TEST_F(HelpTest, FewerLinesThanTheWindowScrollsNowhere) {
  dir.write("ajuda/prova.hlp", helpLines(5));  // names are matched without regard to case
  Ranges shown = run("PROVA", {key::kDown, key::kPgDn, key::kEnd});
  for (const auto& r : shown) EXPECT_EQ(r, std::make_pair(1, 0));
  EXPECT_EQ(console.shots[0].at(9, 3).ch, 'L');
  EXPECT_EQ(console.shots[0].at(10, 3).ch, ' ');
}

TEST_F(HelpTest, ControlCharactersSwitchStylesAndTakeNoRoom) {
  int16_t colours[5][2] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};
  std::copy(&colours[0][0], &colours[0][0] + 10, &program.settings.colourPairs[0][0]);
  std::string styled = "ab\x1E" "cd\x1E" "ef\x1F" "gh\x1E\x1F" "ij\x10" "kl\x10" "mn\x10";
  styled.resize(78, ' ');
  std::string wide = std::string(40, 'x') + "\x1F" + std::string(40, 'y');  // 80 visible
  std::string plain(80, 'z');
  // Lines 1 and 17 styled, 2 wide, 3 plain, the rest ordinary.
  std::string data = styled + "\r\n" + wide.substr(0, 80) + plain + helpLines(13) + styled + "\r\n";
  dir.write("AJUDA/PROVA.HLP", data + helpLines(5));
  run("PROVA", {key::kDown});
  const ScreenBuffer& s = console.shots[0];
  std::string text;
  std::string styles;
  for (int c = 3; c <= 16; ++c) {
    text.push_back(static_cast<char>(s.at(5, c).ch));
    styles.push_back(static_cast<char>('0' + s.at(5, c).attr));
  }
  EXPECT_EQ(text, "abcdefghijklmn");
  // With seven toggles the line end would fit in the 76 columns: it is
  // never drawn.
  for (int c = 2; c <= 79; ++c) EXPECT_NE(s.at(5, c).ch, '\r') << c;
  EXPECT_EQ(s.at(5, 74).ch, ' ');
  EXPECT_EQ(s.at(5, 75).ch, ' ');
  // n, h, n, u, n (highlight on again but underline ends it), r, n
  EXPECT_EQ(styles, "22112255223322");
  // At most 76 characters: columns 3..78, with or without control characters.
  EXPECT_EQ(s.at(6, 78).ch, 'y');
  EXPECT_EQ(s.at(6, 79).ch, ' ');
  EXPECT_EQ(s.at(7, 78).ch, 'z');
  EXPECT_EQ(s.at(7, 79).ch, ' ');
  // Line 17 ended in reverse; the row freed by Down is blank in the normal
  // style, not in reverse.
  const ScreenBuffer& down = console.shots[1];
  EXPECT_EQ(down.at(21, 79).attr, 2);
  EXPECT_EQ(down.at(21, 2).attr, 2);
}

TEST_F(HelpTest, DemoHelpFilesShowTheirTitleAndScrollToTheirEnd) {
  copyTree(demoSourceDir() + "AJUDA", dir / "AJUDA");
  int64_t lines = (fileSize(dir / "AJUDA/XTANCAR.HLP") + 40) / 80;
  ASSERT_GT(lines, 17);
  console.pushKey(key::kEnd);
  run("XTANCAR", {});
  auto rowText = [](const ScreenBuffer& s, int row) {
    std::string text;
    for (int c = 3; c <= 78; ++c) text.push_back(static_cast<char>(s.at(row, c).ch));
    return text;
  };
  EXPECT_NE(rowText(console.shots[0], 5).find("MANTENIMENT D'OPERADORS"), std::string::npos);
  std::string last = dir.read("AJUDA/XTANCAR.HLP").substr(static_cast<size_t>((lines - 1) * 80), 76);
  for (char& c : last)
    if (c == '\x1E' || c == '\x1F' || c == '\x10') c = ' ';
  last.erase(std::remove(last.begin(), last.end(), ' '), last.end());
  std::string shown = rowText(console.shots[1], 21);
  shown.erase(std::remove(shown.begin(), shown.end(), ' '), shown.end());
  EXPECT_EQ(shown, last);  // End brings the file's last line to the bottom row
}

TEST_F(HelpTest, F1OpensTheGeneralHelpOverTheTopicButNotOverItself) {
  dir.write("AJUDA/PROVA.HLP", helpLines(30));
  dir.write("AJUDA/XMENUPR.HLP", helpLines(30, "MENU"));
  console.pushKeys({key::kF1, key::kF1, key::kEsc});
  run("PROVA", {});
  ASSERT_EQ(console.shots.size(), 4u);
  EXPECT_EQ(console.depths, (std::vector<int>{1, 2, 2, 1}));
  auto rowAt = [&](size_t shot) {
    std::string s;
    for (int c = 3; c <= 10; ++c) s.push_back(static_cast<char>(console.shots[shot].at(5, c).ch));
    return s;
  };
  EXPECT_EQ(rowAt(0), "LINE 001");
  EXPECT_EQ(rowAt(1), "MENU 001");
  EXPECT_EQ(rowAt(3), "LINE 001");
}

TEST_F(HelpTest, MissingHelpFileSaysSoAndAKeyClosesIt) {
  program.settings.languageCode = "SPA";
  run("NOHIHA", {});
  ASSERT_EQ(console.shots.size(), 1u);
  EXPECT_EQ(console.depths[0], 1);
  std::string screen;
  for (int r = 1; r <= 25; ++r) {
    const ScreenBuffer& s = console.shots[0];
    for (int c = 1; c <= 80; ++c) screen.push_back(static_cast<char>(s.at(r, c).ch));
  }
  EXPECT_NE(screen.find("LA AYUDA DE NOHIHA NO EST\xB5 DISPONIBLE."), std::string::npos);
}

TEST_F(HelpTest, WindowsHostsOpenTheHtmlDocument) {
  program.settings.hostKind = "WIN";
  system.setEnv("COMSPEC", "/usr/bin/env-shell");
  showHelp(program.screen, "XTANCAR_1-b");
  system.setEnv("COMSPEC", "");
  showHelp(program.screen, "XMENUPR");
  system.setEnv("COMSPEC", "C:\\Windows\\system32\\cmd.exe");
  showHelp(program.screen, "XMENUPR");
  EXPECT_EQ(system.commands, (std::vector<std::string>{"/usr/bin/env-shell|XOBRIR 'AJUDA\\XTANCAR_1-b.HTM'",
                                                       "/bin/sh|XOBRIR 'AJUDA\\XMENUPR.HTM'",
                                                       "C:\\Windows\\system32\\cmd.exe|XOBRIR AJUDA\\XMENUPR.HTM"}));
  EXPECT_TRUE(console.shots.empty());  // no key is waited for
  EXPECT_FALSE(fileExists(dir / "tmp/WinPush.tmp"));
}

TEST_F(HelpTest, TopicsThatAreNotPlainNamesNeverReachTheShell) {
  program.settings.hostKind = "WIN";
  for (const char* topic : {"X'; rm -rf ~; '", "A B", "..\\..\\X", "$(id)", "X\nY", ""}) {
    console.shots.clear();
    run(topic, {});
    EXPECT_EQ(console.shots.size(), 1u) << topic;  // the missing-help message waited for a key
  }
  EXPECT_TRUE(system.commands.empty());
  dir.write("AJUDA/A B.HLP", helpLines(20));
  console.shots.clear();
  EXPECT_EQ(run("A B", {}).front(), std::make_pair(1, 17));  // the text viewer shows it
}

}  // namespace
}  // namespace xt
