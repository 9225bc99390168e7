#include "screen/calculator.h"

#include <gtest/gtest.h>

#include "platform/key_codes.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// Box texts of code page 850.
const std::string V = "\xB3";  // │
std::string border(const char* left, const char* right) {
  return std::string(left) + std::string(24, '\xC4') + right;
}
const std::string kTop = border("\xDA", "\xBF");
const std::string kSeparator = border("\xC3", "\xB4");
const std::string kBottom = border("\xC0", "\xD9");

// A number as the calculator shows it: 22 columns, the sign in the first,
// the digits right-aligned.
std::string num(const std::string& text) {
  if (!text.empty() && text[0] == '-') return "-" + std::string(22 - text.size(), ' ') + text.substr(1);
  return std::string(22 - text.size(), ' ') + text;
}
std::string displayRow(const std::string& text) { return V + num(text) + "  " + V; }
std::string tapeRow(const std::string& text, char op) { return V + num(text) + " " + op + V; }

// Types keys into the calculator and leaves it open on the screen: the
// script's end stops the run before the calculator closes.
void typeAndLook(TestProgram& t, const std::string& keys) {
  t.console().pushText(keys);
  t.console().setDryLimit(0);
  EXPECT_THROW(calculator(t.program().screen), ScriptExhausted);
}

std::string boxRow(TestProgram& t, int row, int left = 1) {
  return t.console().text(row, left, row, left + 25);
}

std::string run(TestProgram& t, const std::string& keys) {
  t.console().pushText(keys);
  return calculator(t.program().screen);
}

// What the display shows after the keys, and what "F" types after them.
struct Typed {
  const char* keys;
  const char* display;
  const char* result;
};

void expectTyped(const Typed& c, const std::string& stateFile = "") {
  TestProgram t;
  if (!stateFile.empty()) t.dir().write("tmp/TAVCALC.TMP", stateFile);
  typeAndLook(t, c.keys);
  EXPECT_EQ(boxRow(t, 24), displayRow(c.display)) << c.keys;
  TestProgram u;
  if (!stateFile.empty()) u.dir().write("tmp/TAVCALC.TMP", stateFile);
  EXPECT_EQ(run(u, std::string(c.keys) + "F"), c.result) << c.keys;
}

TEST(Calculator, AdditionPrintsTheTapeAndTypesTheResult) {
  TestProgram t;
  typeAndLook(t, "12+3=");
  EXPECT_EQ(boxRow(t, 19), kTop);
  EXPECT_EQ(boxRow(t, 20), tapeRow("12", '+'));
  EXPECT_EQ(boxRow(t, 21), tapeRow("3", '='));
  EXPECT_EQ(boxRow(t, 22), tapeRow("15", ' '));
  EXPECT_EQ(boxRow(t, 23), kSeparator);
  EXPECT_EQ(boxRow(t, 24), displayRow("15"));
  EXPECT_EQ(boxRow(t, 25), kBottom);

  TestProgram u;
  EXPECT_EQ(run(u, "12+3=F"), "1500");
}

TEST(Calculator, ResultTexts) {
  struct Case {
    const char* keys;
    const char* result;
  } cases[] = {
      {"12.5F", "1250"},      {"1.234F", "123.4"},    {"200+10%=F", "22000"},
      {"7f", "700"},          {"5T=F", "500"},        {"0.00001F", ".001"},
      {"10-12.5=F", "250"},   {"8/2CC5=F", "500"},  // a full clear forgets the pending "/"
      {"12+3C4=F", "1600"},   {"1/3=F", "33.3333333333333"},
      {"12+3=%F", "15"},      {"1/3=%F", ".3333333333333"},  // the percentage shown
      {"\x1b", ""},
  };
  for (const Case& c : cases) {
    TestProgram t;
    EXPECT_EQ(run(t, c.keys), c.result) << c.keys;
  }
  TestProgram t;
  t.console().pushText("9");
  t.console().pushKey(key::kAltF);
  EXPECT_EQ(calculator(t.program().screen), "900");
}

TEST(Calculator, Display) {
  struct Case {
    const char* keys;
    const char* display;
  } cases[] = {
      {"200+10%", "20"},
      {"200+10%=", "220"},
      {"50*10%", "0'1"},
      {"0.125R", "0'12"},
      {"0.375R", "0'38"},
      {"2.345R", "2'34"},  // halves to even on the decimal digits, whatever the binary value
      {"1234567", "1.234.567"},
      {"1.50", "1'50"},
      {"1.", "1'"},
      {"123\b", "12"},
      {"1.25\b", "1'2"},
      {"1.2\b\b", "1"},
      {"1/3=", "0'333333333333333"},
      {"2/3=", "0'666666666666667"},
      {"0.1+0.2=", "0'3"},
      {"12+3", "3"},
      {"12+3C", "12"},
      {"12+3CC", "0"},
      {"1.5+3C", "1'5"},
  };
  for (const Case& c : cases) {
    TestProgram t;
    typeAndLook(t, c.keys);
    EXPECT_EQ(boxRow(t, 24), displayRow(c.display)) << c.keys;
  }
}

TEST(Calculator, LongNumbersAreTypedDigitForDigit) {
  const Typed cases[] = {
      {"1234567.89", "1.234.567'89", "123456789"},
      {"123456789012.345", "123.456.789.012'345", "12345678901234.5"},
      {"0.123456789012345", "0'123456789012345", "12.3456789012345"},
      // No digit beyond the fifteenth significant one is taken.
      {"1234567890123456", "123.456.789.012.345", "12345678901234500"},
      {"12345678.123456789", "12.345.678'1234567", "1234567812.34567"},
  };
  for (const Typed& c : cases) expectTyped(c);
}

TEST(Calculator, BackspaceCutsTheLastTypedDigit) {
  const Typed cases[] = {
      {"9999999.99\b", "9.999.999'9", "999999990"},
      {"123456789012.349\b", "123.456.789.012'34", "12345678901234"},
      {"0.999999999999999\b", "0'99999999999999", "99.999999999999"},
      {"99999999999999.9\b\b\b", "9.999.999.999.999", "999999999999900"},
      {"12.34T\b", "-12'3", "1230"},
  };
  for (const Typed& c : cases) expectTyped(c);
  // A number left half typed in the state file goes on from its digits.
  expectTyped({"\b", "9.999.999'9", "999999990"}, "1,23,9999999.99,0\r\n0,-1,-1,2\r\n");
}

TEST(Calculator, DigitsAfterTExtendTheNegativeNumber) {
  const Typed cases[] = {
      {"5T3", "-53", "5300"},
      {"12.5T7", "-12'57", "1257"},
      {"5T3+60=", "7", "700"},
      {"0.T5", "-0'5", "50"},
      {"12+3=T4", "4", "400"},  // a result's sign stays with the result
  };
  for (const Typed& c : cases) expectTyped(c);
}

TEST(Calculator, RoundsTheShownDigitsToCents) {
  const Typed cases[] = {
      {"0.129TR", "-0'13", "13"},  // a negative number rounds as its magnitude
      {"0.375TR", "-0'38", "38"},
      {"0.125TR", "-0'12", "12"},  // the tie goes to the even neighbour, as for 0.125
      {"9.995TR", "-10'00", "1000"},
      {"1234567890.12345TR", "-1.234.567.890'12", "123456789012"},
      {"123456789012.135R", "123.456.789.012'14", "12345678901214"},  // a tie in decimal, not in binary
  };
  for (const Typed& c : cases) expectTyped(c);

  TestProgram t;
  typeAndLook(t, "0.129TR");
  EXPECT_EQ(boxRow(t, 22), tapeRow("-0'13", 'R'));
}

TEST(Calculator, DigitsAfterRStartANewNumber) {
  const Typed cases[] = {
      {"0.125R7", "7", "700"},
      {"0.125R7+1=", "8", "800"},
      {"0.125RC", "0", "0"},  // the rounded number is a result: C clears it all
  };
  for (const Typed& c : cases) expectTyped(c);
}

TEST(Calculator, SignTakesTheFirstColumn) {
  TestProgram t;
  typeAndLook(t, "5T");
  EXPECT_EQ(boxRow(t, 24), V + "-" + std::string(20, ' ') + "5  " + V);
}

TEST(Calculator, ThirdClearHidesTheTape) {
  TestProgram t;
  t.console().write(std::string(80, '#'));  // row 1 shows the screen under the box
  for (int r = 2; r <= 25; ++r) {
    t.console().moveCursor(r, 1);
    t.console().write(std::string(80, '#'));
  }
  typeAndLook(t, "12+3CCC");
  EXPECT_EQ(boxRow(t, 19), std::string(26, '#'));
  EXPECT_EQ(boxRow(t, 22), std::string(26, '#'));
  EXPECT_EQ(boxRow(t, 23), kTop);
  EXPECT_EQ(boxRow(t, 24), displayRow("0"));
}

TEST(Calculator, TapeKeepsTheLast22Lines) {
  TestProgram t;
  std::string keys;
  for (int k = 1; k <= 30; ++k) keys += std::to_string(k) + "+";
  typeAndLook(t, keys);
  EXPECT_EQ(boxRow(t, 1), kTop);
  EXPECT_EQ(boxRow(t, 2), tapeRow("10", '+'));  // the oldest line still shown
  EXPECT_EQ(boxRow(t, 22), tapeRow("30", '+'));
  EXPECT_EQ(boxRow(t, 24), displayRow("465"));
}

TEST(Calculator, DivisionByZeroShowsOverflowMarks) {
  TestProgram t;
  typeAndLook(t, "5/0=");
  EXPECT_EQ(boxRow(t, 20), tapeRow("5", '/'));
  EXPECT_EQ(boxRow(t, 21), tapeRow("0", '='));
  EXPECT_EQ(boxRow(t, 22), V + std::string(22, '!') + "  " + V);
  EXPECT_EQ(boxRow(t, 24), displayRow(std::string(22, '!')));

  // The infinite result types nothing; a clear goes back to numbers, and
  // the state written survives a reopening.
  TestProgram u;
  EXPECT_EQ(run(u, "5/0=F"), "");
  EXPECT_EQ(run(u, "C4+1=F"), "500");
  TestProgram v;
  EXPECT_EQ(run(v, "0/0=F"), "");
  v.console().setDryLimit(1);
  typeAndLook(v, "");
  EXPECT_EQ(boxRow(v, 22), tapeRow("0", ' '));  // the undefined number was not kept
}

TEST(Calculator, SlidesAndWraps) {
  TestProgram t;
  t.dir().write("tmp/TAVCALC.TMP", "55,23,0,0\r\n");
  t.console().moveCursor(25, 1);
  t.console().write(std::string(80, '.'));
  t.console().pushKey(key::kRight);
  typeAndLook(t, "7");
  EXPECT_EQ(boxRow(t, 25, 1), kBottom);
  EXPECT_EQ(boxRow(t, 24, 1), displayRow("7"));
  EXPECT_EQ(t.console().text(25, 55, 25, 80), std::string(26, '.'));  // the old place restored

  TestProgram u;
  u.console().pushKey(key::kLeft);
  typeAndLook(u, "");
  EXPECT_EQ(boxRow(u, 25, 55), kBottom);

  TestProgram w;
  w.console().pushKeys({key::kCtrlRight, key::kCtrlRight, key::kLeft});
  typeAndLook(w, "");
  EXPECT_EQ(boxRow(w, 25, 2), kBottom);
}

TEST(Calculator, EscRestoresTheScreenAndSavesTheState) {
  TestProgram t;
  for (int r = 1; r <= 25; ++r) {
    t.console().moveCursor(r, 1);
    t.console().write(std::string(80, static_cast<char>('A' + r)));
  }
  std::string before = t.console().dump();
  EXPECT_EQ(run(t, "12+3=\x1b"), "");
  EXPECT_EQ(t.console().dump(), before);
  std::string file = t.dir().read("tmp/TAVCALC.TMP");
  EXPECT_EQ(file.substr(0, file.find("\r\n\"")), "1,20,15,15\r\n0,0,0,0");
  EXPECT_NE(file.find("\r\n12,0,0,\"+\"\r\n3,0,0,\"=\"\r\n15,0,0,\"\"\r\n"), std::string::npos);
}

TEST(Calculator, ANewRunFindsTheTapeAndDisplayAsLeft) {
  TestProgram first;
  first.console().pushKey(key::kRight);
  EXPECT_EQ(run(first, "12+3=4.5"), "");

  TestProgram second;
  second.program().settings.terminalDir = first.temp();
  typeAndLook(second, "");
  EXPECT_EQ(boxRow(second, 19, 2), kTop);
  EXPECT_EQ(boxRow(second, 20, 2), tapeRow("12", '+'));
  EXPECT_EQ(boxRow(second, 22, 2), tapeRow("15", ' '));
  EXPECT_EQ(boxRow(second, 24, 2), displayRow("4'5"));

  TestProgram third;
  third.program().settings.terminalDir = first.temp();
  EXPECT_EQ(run(third, "7=F"), "457");  // the typed number goes on: 4.57
}

TEST(Calculator, CorruptStateFileLoadsFirstUseValues) {
  struct Case {
    const char* file;
    int left;
    const char* display;
  } cases[] = {
      {"garbage\r\n\x01\x02,,,\"\r\n", 1, "0"},
      {"200,-5,1e400,nan\r\n", 1, "0"},
      {"30,abc,7,7\r\n", 30, "7"},
      {"0,23,inf,0\r\n9,9,9,99\r\n", 1, "0"},
      {"1,23,2.5,0\r\n0,-1,-1,99\r\n", 1, "2'"},  // absurd decimals: none kept
      {"1,2,0,0\r\n", 1, "0"},                      // a full tape of first-use lines
      {"", 1, "0"},
  };
  for (const Case& c : cases) {
    TestProgram t;
    t.dir().write("tmp/TAVCALC.TMP", c.file);
    typeAndLook(t, "");
    EXPECT_EQ(boxRow(t, 24, c.left), displayRow(c.display)) << c.file;
    EXPECT_EQ(boxRow(t, 25, c.left), kBottom) << c.file;
  }

  TestProgram t;
  std::string tape = "1,5,0,0\r\n0,0,0,0\r\n\"x\",\"%\"\r\n";
  for (int k = 0; k < 22; ++k) tape += k % 2 ? "nan,0,0,\"+\"\r\n" : "3,-1,40,\"@\"\r\n";
  t.dir().write("tmp/TAVCALC.TMP", tape);
  typeAndLook(t, "");
  EXPECT_EQ(boxRow(t, 4), kTop);
  EXPECT_EQ(boxRow(t, 5), tapeRow("3'", ' '));
  EXPECT_EQ(boxRow(t, 6), tapeRow("0", '+'));
  // The unusable pending operation is none: 2 + 3 = 5 from a fresh start.
  TestProgram u;
  u.dir().write("tmp/TAVCALC.TMP", tape);
  EXPECT_EQ(run(u, "=2+3=F"), "500");
}

}  // namespace
}  // namespace xt
