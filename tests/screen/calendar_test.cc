#include "screen/calendar.h"

#include <gtest/gtest.h>

#include <chrono>

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
