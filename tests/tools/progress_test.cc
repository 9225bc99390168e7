#include "tools/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace xt {
namespace {

TEST(ProgressLine, Formats) {
  struct Case {
    uint64_t done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {0, 50000, 0.0, "0/50000 records loaded (0%)"},
      {12000, 50000, 3.0, "12000/50000 records loaded (24%), 4000/s, 0:10 left"},
      {12000, 50000, 0.1, "12000/50000 records loaded (24%)"},  // too early for a rate
      {1, 7200, 1.0, "1/7200 records loaded (0%), 1/s, 1:59:59 left"},
      {50000, 50000, 5.0, "50000/50000 records loaded (100%), 10000/s"},
      {60, 50, 1.0, "60/50 records loaded (100%), 60/s"},  // records added meanwhile
      {1500, 0, 2.0, "1500 records loaded, 750/s"},        // total not known
      {90, 100, 1.0, "90/100 records loaded (90%), 90/s, 0:00 left"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(progressLine("loaded", c.done, c.total, c.seconds), c.line) << c.done << " " << c.seconds;
}

// A clock the test moves and the text the progress writes.
struct Terminal {
  double now = 100.0;
  std::vector<std::string> written;
  Progress make(uint64_t total, bool enabled = true) {
    return Progress("copied", total, enabled, [this] { return now; },
                    [this](const std::string& s) { written.push_back(s); });
  }
};

TEST(Progress, DrawsAfterAWhileAtMostFourTimesASecondAndClearsItsLine) {
  Terminal t;
  {
    Progress p = t.make(1000);
    for (int i = 0; i < 8; ++i) {
      p.step();
      t.now += 0.0625;
    }
    EXPECT_TRUE(t.written.empty()) << "a quick run shows nothing";
    // Steps every 1/64 s from 0.5 s on: a line at 0.5 s, then each 0.25 s.
    for (int i = 0; i < 100; ++i) {
      p.step();
      t.now += 0.015625;
    }
    ASSERT_EQ(t.written.size(), 7u);
    EXPECT_EQ(t.written[0], "\r9/1000 records copied (0%), 18/s, 0:55 left");
    EXPECT_EQ(t.written[1], "\r25/1000 records copied (2%), 33/s, 0:29 left");
    size_t widest = 0;
    for (const std::string& s : t.written) {
      EXPECT_EQ(s.find('\n'), std::string::npos) << s;
      widest = std::max(widest, s.size() - 1);
    }
    p.finish();
    ASSERT_EQ(t.written.size(), 8u);
    EXPECT_EQ(t.written[7], "\r" + std::string(widest, ' ') + "\r");
    t.now += 1.0;
    p.step();
  }
  EXPECT_EQ(t.written.size(), 8u) << "nothing after finish, nor when the progress goes";
}

TEST(Progress, BlanksTheRestOfALongerLine) {
  Terminal t;
  Progress p = t.make(0);
  t.now += 0.25;
  for (int i = 0; i < 99999; ++i) p.step();
  t.now += 0.75;
  p.step();  // "100000 records copied, 100000/s"
  t.now += 9.0;
  p.step();  // "100001 records copied, 10000/s": one character shorter
  ASSERT_EQ(t.written.size(), 2u);
  EXPECT_EQ(t.written[0], "\r100000 records copied, 100000/s");
  EXPECT_EQ(t.written[1], "\r100001 records copied, 10000/s ");
}

TEST(Progress, DisabledWritesNothing) {
  Terminal t;
  {
    Progress p = t.make(10, false);
    for (int i = 0; i < 10; ++i) {
      t.now += 1.0;
      p.step();
    }
    Progress::finishShown();
  }
  EXPECT_TRUE(t.written.empty());
}

TEST(Progress, FinishShownTakesAwayTheLineBeingDrawn) {
  Terminal t;
  Progress p = t.make(10);
  t.now += 1.0;
  p.step();
  ASSERT_EQ(t.written.size(), 1u);
  Progress::finishShown();
  ASSERT_EQ(t.written.size(), 2u);
  EXPECT_EQ(t.written[1].front(), '\r');
  Progress::finishShown();
  EXPECT_EQ(t.written.size(), 2u);
}

}  // namespace
}  // namespace xt
