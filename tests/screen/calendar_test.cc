#include "screen/calendar.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/key_codes.h"
#include "testing/test_program.h"

namespace xt {
namespace {

std::string packed(int year, int month, int day) {
  int parts[4] = {year / 100, year % 100, month, day};
  std::string p;
  for (int v : parts) p += static_cast<char>(v | 0x80);
  return p;
}

TEST(WeekdayOf, AroundTheCalendarReform) {
  struct Case {
    int year, month, day, weekday;
  } cases[] = {
      {2024, 1, 1, 1},   {1582, 10, 15, 5}, {1582, 1, 1, 1},   {1582, 10, 4, 4},
      {2026, 12, 7, 1},  {2000, 2, 29, 2},  {1900, 3, 1, 4},   {2023, 1, 1, 7},
      {1600, 1, 1, 6},   {1500, 3, 1, 7},   {2400, 12, 31, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(weekdayOf(packed(c.year, c.month, c.day)), c.weekday)
        << c.year << "-" << c.month << "-" << c.day;
  }
}

int64_t civilDays(int y, int m, int d) {
  using namespace std::chrono;
  return sys_days{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}}
      .time_since_epoch()
      .count();
}

TEST(DaysBetween, MatchesCivilDaysFrom1600To2400) {
  // A deterministic spread of date pairs, month ends and leap days included.
  uint32_t seed = 12345;
  auto next = [&](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  auto monthDays = [](int y, int m) {
    using namespace std::chrono;
    return static_cast<int>(static_cast<unsigned>(
        year_month_day_last{year{y} / month{static_cast<unsigned>(m)} / last}.day()));
  };
  for (int k = 0; k < 3000; ++k) {
    int y1 = 1600 + static_cast<int>(next(801)), y2 = 1600 + static_cast<int>(next(801));
    if (k % 5 == 0) y2 = y1;
    int m1 = 1 + static_cast<int>(next(12)), m2 = 1 + static_cast<int>(next(12));
    int d1 = 1 + static_cast<int>(next(static_cast<uint32_t>(monthDays(y1, m1))));
    int d2 = k % 3 == 0 ? monthDays(y2, m2) : 1 + static_cast<int>(next(static_cast<uint32_t>(monthDays(y2, m2))));
    int64_t expected = civilDays(y2, m2, d2) - civilDays(y1, m1, d1);
    ASSERT_EQ(daysBetween(packed(y1, m1, d1), packed(y2, m2, d2), "D"), expected)
        << y1 << "-" << m1 << "-" << d1 << " to " << y2 << "-" << m2 << "-" << d2;
  }
}

TEST(DaysBetween, UnitsAndOrder) {
  EXPECT_EQ(daysBetween(packed(2024, 1, 1), packed(2024, 1, 1), "D"), 0);
  EXPECT_EQ(daysBetween(packed(2024, 3, 1), packed(2024, 2, 28), "D"), -2);
  // Julian leap years before 1582: 1500 has a 29 February.
  EXPECT_EQ(daysBetween(packed(1500, 2, 28), packed(1500, 3, 1), "D"), 2);
  EXPECT_EQ(daysBetween(packed(1700, 2, 28), packed(1700, 3, 1), "D"), 1);

  EXPECT_EQ(daysBetween(packed(2024, 1, 31), packed(2024, 2, 29), "M"), 0);
  EXPECT_EQ(daysBetween(packed(2024, 1, 31), packed(2024, 3, 31), "M"), 2);
  EXPECT_EQ(daysBetween(packed(2020, 5, 10), packed(2024, 5, 9), "M"), 47);
  EXPECT_EQ(daysBetween(packed(2024, 5, 9), packed(2020, 5, 10), "m"), -47);
  EXPECT_EQ(daysBetween(packed(2020, 5, 10), packed(2024, 5, 9), "A"), 3);
  EXPECT_EQ(daysBetween(packed(2020, 5, 10), packed(2024, 5, 10), "A"), 4);
  EXPECT_EQ(daysBetween(packed(2024, 5, 10), packed(2020, 5, 10), "A"), -4);
}

}  // namespace
}  // namespace xt

namespace xt {
namespace {

// Opens the calendar on a working date, types keys and leaves it open on
// the screen (the script's end stops the run before it closes).
void openAndLook(TestProgram& t, const std::string& systemDate, std::initializer_list<int16_t> keys) {
  t.program().settings.systemDate = systemDate;
  t.console().pushKeys(keys);
  t.console().setDryLimit(0);
  EXPECT_THROW(calendar(t.program().screen), ScriptExhausted);
}

std::string choose(const std::string& systemDate, std::initializer_list<int16_t> keys,
                   const std::string& language = "CAT") {
  TestProgram t;
  t.program().settings.languageCode = language;
  t.program().settings.systemDate = systemDate;
  t.console().pushKeys(keys);
  return calendar(t.program().screen);
}

// Inside of the frame, window row r (1..22), 20 columns.
std::string inside(TestProgram& t, int r) { return t.console().text(r + 1, 60, r + 1, 79); }

TEST(Calendar, DrawsTheQuarterOfTheWorkingDate) {
  TestProgram t;
  openAndLook(t, packed(2024, 1, 1), {});
  EXPECT_EQ(t.console().text(1, 59, 1, 80),
            "\xDA" + std::string(7, '\xC4') + " 2024 " + std::string(7, '\xC4') + "\xBF");
  EXPECT_EQ(inside(t, 1), "DL DT DC DJ DV DS DG");
  EXPECT_EQ(inside(t, 2), "       GENER        ");
  EXPECT_EQ(inside(t, 3), " 1  2  3  4  5  6  7");
  EXPECT_EQ(inside(t, 7), "29 30 31            ");
  EXPECT_EQ(inside(t, 9), "       FEBRER       ");
  EXPECT_EQ(inside(t, 10), "          1  2  3  4");
  EXPECT_EQ(inside(t, 14), "26 27 28 29         ");
  EXPECT_EQ(inside(t, 15), std::string(20, ' '));
  EXPECT_EQ(inside(t, 16), "        MAR\x80        ");  // MARÇ
  // The highlighted day is in the underline style, the others highlighted.
  EXPECT_EQ(t.console().cell(4, 61).attr, 0x70);
  EXPECT_EQ(t.console().cell(4, 64).attr, 0x0F);
}

TEST(Calendar, YearStartingOnSundayAndLanguages) {
  TestProgram t;
  t.program().settings.languageCode = "SPA";
  openAndLook(t, packed(2023, 1, 15), {});
  EXPECT_EQ(inside(t, 1), " L  M  X  J  V  S  D");
  EXPECT_EQ(inside(t, 2), "       ENERO        ");
  EXPECT_EQ(inside(t, 3), std::string(19, ' ') + "1");
  EXPECT_EQ(inside(t, 4), " 2  3  4  5  6  7  8");

  TestProgram o;
  o.program().settings.languageCode = "OCI";
  openAndLook(o, packed(2023, 1, 15), {});
  EXPECT_EQ(inside(o, 1), "DL DT DC DJ DD DS DG");
  EXPECT_EQ(inside(o, 2), "        G\xD4R         ");  // GÈR
}

TEST(Calendar, MovesAndCarries) {
  const int16_t F = 'f';
  EXPECT_EQ(choose(packed(2024, 1, 31), {key::kRight, F}), "1/2/2024  ");
  EXPECT_EQ(choose(packed(2024, 1, 1), {key::kLeft, F}), "31/12/2023");
  EXPECT_EQ(choose(packed(2024, 11, 29), {key::kPgDn, F}), "28/2/2025 ");
  EXPECT_EQ(choose(packed(2024, 5, 31), {key::kPgUp, F}), "29/2/2024 ");
  EXPECT_EQ(choose(packed(2024, 2, 26), {key::kDown, F}), "4/3/2024  ");
  EXPECT_EQ(choose(packed(2024, 3, 3), {key::kUp, F}), "25/2/2024 ");
  EXPECT_EQ(choose(packed(2024, 12, 28), {key::kDown, F}), "4/1/2025  ");
  EXPECT_EQ(choose(packed(2024, 5, 20), {key::kHome, F}), "20/1/2024 ");
  EXPECT_EQ(choose(packed(2024, 5, 20), {key::kEnd, key::kAltF}), "20/12/2024");
  EXPECT_EQ(choose(packed(2024, 5, 20), {key::kEnter, 'F'}), "20/5/2024 ");
  EXPECT_EQ(choose(packed(2024, 5, 20), {key::kRight, key::kEsc}), "");
  EXPECT_EQ(choose(packed(1, 1, 1), {key::kLeft, key::kPgUp, F}), "1/1/0001  ");
}

TEST(Calendar, LeavingTheQuarterDrawsTheNewOne) {
  TestProgram t;
  openAndLook(t, packed(2024, 1, 1), {key::kLeft});
  EXPECT_EQ(t.console().text(1, 67, 1, 72), " 2023 ");
  EXPECT_EQ(inside(t, 2), "      OCTUBRE       ");
  EXPECT_EQ(inside(t, 16), "      DESEMBRE      ");
  // 31 December 2023, a Sunday, highlighted in the fifth week row.
  EXPECT_EQ(t.console().text(22, 78, 22, 79), "31");
  EXPECT_EQ(t.console().cell(22, 78).attr, 0x70);
}

TEST(Calendar, EmptyWorkingDateStartsToday) {
  // The fake clock says 7 December 2026.
  EXPECT_EQ(choose("", {'F'}), "7/12/2026 ");
}

TEST(Calendar, EscRestoresTheScreen) {
  TestProgram t;
  for (int r = 1; r <= 25; ++r) {
    t.console().moveCursor(r, 1);
    t.console().write(std::string(80, static_cast<char>('a' + r)));
  }
  std::string before = t.console().dump();
  t.program().settings.systemDate = packed(2024, 6, 15);
  t.console().pushKeys({key::kPgDn, key::kRight, key::kEsc});
  EXPECT_EQ(calendar(t.program().screen), "");
  EXPECT_EQ(t.console().dump(), before);
}

}  // namespace
}  // namespace xt
