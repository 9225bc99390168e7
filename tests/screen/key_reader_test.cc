#include "screen/key_reader.h"

#include <gtest/gtest.h>

#include "platform/key_codes.h"
#include "testing/test_program.h"

namespace xt {
namespace {

TEST(KeyReader, HotKeyTextArrivesAsTypedKeysAfterTheHotKey) {
  TestProgram t;
  Program& p = t.program();
  int opened = 0;
  p.tools.calendar = [&](Program& prog) {
    ++opened;
    // A second Alt+C inside the calendar must not open another one.
    t.console().pushKey(key::kAltC);
    EXPECT_EQ(waitKey(prog), key::kAltC);
    return std::string("8/12/2026");
  };
  t.console().pushKey(key::kAltC);
  EXPECT_EQ(waitKey(p), key::kAltC);
  t.console().pushKey('x');
  std::string typed;
  for (int i = 0; i < 9; ++i) typed.push_back(static_cast<char>(waitKey(p)));
  EXPECT_EQ(typed, "8/12/2026");
  EXPECT_EQ(waitKey(p), 'x');
  EXPECT_EQ(opened, 1);
}

TEST(KeyReader, UnsetToolHooksDoNothing) {
  TestProgram t;
  t.console().pushKeys({key::kAltX, 'a'});
  EXPECT_EQ(waitKey(t.program()), key::kAltX);
  EXPECT_EQ(waitKey(t.program()), 'a');
}

TEST(KeyReader, AltEGivesTheEuroSignAndClicksBecomeWaitKeyCodes) {
  TestProgram t;
  t.console().pushKey(key::kAltE);
  t.console().pushClick(12, 40, 1);
  EXPECT_EQ(waitKey(t.program()), 0xD5);
  EXPECT_EQ(waitKey(t.program()), 40 * 256 + 64 + 12);
}

TEST(KeyReader, MouseIsSwitchedOffAfterAnEventAndOnAgainAtTheNextRead) {
  TestProgram t;
  Program& p = t.program();
  int16_t key, button, row, col;
  t.console().pushIdle();
  readKeyEvent(p, key, button, row, col);
  EXPECT_EQ(key, 0);
  EXPECT_TRUE(t.console().mouseEnabled());
  EXPECT_EQ(p.keyReader.mouseState, 1);
  t.console().pushKey('a');
  readKeyEvent(p, key, button, row, col);
  EXPECT_FALSE(t.console().mouseEnabled());
  EXPECT_EQ(p.keyReader.mouseState, 2);
}

TEST(KeyReader, NoMouseMeansClicksAreIgnored) {
  TestProgram t;
  t.console().setHasMouse(false);
  t.console().pushClick(3, 4);
  int16_t key, button, row, col;
  readKeyEvent(t.program(), key, button, row, col);
  EXPECT_EQ(button, 0);
  EXPECT_EQ(t.program().keyReader.mouseState, 3);
}

}  // namespace
}  // namespace xt
