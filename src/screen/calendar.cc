#include "screen/calendar.h"

#include <algorithm>
#include <cctype>
#include <tuple>

#include "format/date_format.h"
#include "format/decimal_text.h"
#include "format/folding.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/key_reader.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

struct Date {
  int year = 0, month = 0, day = 0;
  auto operator<=>(const Date&) const = default;
};

int digitsValue(const std::string& digits, size_t from, size_t count) {
  if (digits.size() < from + count) return 0;
  int value = 0;
  for (size_t k = from; k < from + count; ++k) {
    char c = digits[k];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

Date unpackDate(const std::string& packed) {
  std::string digits = unpackDecimalDigits(packed);
  return {digitsValue(digits, 0, 4), digitsValue(digits, 4, 2), digitsValue(digits, 6, 2)};
}

std::string packDate(const Date& date) {
  int parts[4] = {date.year / 100, date.year % 100, date.month, date.day};
  std::string packed;
  for (int p : parts) packed += static_cast<char>((p % 100) | 0x80);
  return packed;
}

// Leap years: every fourth year before 1582 (Julian), the Gregorian rule
// from 1582 on.
bool isLeapYear(int year, bool julianBefore1582) {
  if (julianBefore1582 && year < 1582) return year % 4 == 0;
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int monthLength(int year, int month, bool julianBefore1582) {
  int length = 30 + (1 + (month + 1) % 9) % 2;
  if (month == 2) length -= isLeapYear(year, julianBefore1582) ? 1 : 2;
  return length;
}

int positiveMod(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// Days from the earlier date a to the later date b.
int32_t daysForward(const Date& a, const Date& b) {
  int32_t days = 0;
  for (int y = a.year + 1; y < b.year; ++y) days += isLeapYear(y, true) ? 366 : 365;
  int lastMonth = a.year == b.year ? b.month - 1 : 12;
  for (int m = a.month; m <= lastMonth; ++m) days += monthLength(a.year, m, true);
  if (a.year < b.year) {
    for (int m = 1; m < b.month; ++m) days += monthLength(b.year, m, true);
  }
  return days - a.day + b.day;
}

int32_t wholeMonthsForward(const Date& a, const Date& b) {
  return (b.year - a.year) * 12 + (b.month - a.month) - (b.day < a.day ? 1 : 0);
}

}  // namespace

int32_t daysBetween(const std::string& first, const std::string& second, const std::string& unit) {
  Date a = unpackDate(first);
  Date b = unpackDate(second);
  int32_t sign = 1;
  if (b < a) {
    std::swap(a, b);
    sign = -1;
  }
  char u = unit.empty() ? 'D' : static_cast<char>(std::toupper(static_cast<unsigned char>(unit[0])));
  if (u == 'M') return sign * wholeMonthsForward(a, b);
  if (u == 'A') return sign * (wholeMonthsForward(a, b) / 12);
  return sign * daysForward(a, b);
}

int16_t weekdayOf(const std::string& packedDate) {
  Date date = unpackDate(packedDate);
  int n = daysBetween(packDate({date.year, 1, 1}), packedDate, "D");
  int y = date.year - 1;
  int weekday;
  if (date < Date{1582, 10, 5}) {
    weekday = positiveMod(positiveMod(y + y / 4, 7) + 5 + n, 7) + 1;
  } else {
    weekday = positiveMod(positiveMod(y + y / 4 - y / 100 + y / 400, 7) + n, 7) + 1;
  }
  return static_cast<int16_t>(weekday);
}

namespace {

constexpr int kWidth = 20;  // columns inside the frame

// The calendar pop-up: one quarter of a year inside a frame at the right
// of the screen, with the highlighted day.
class CalendarView {
 public:
  CalendarView(Screen& screen, Date start) : screen_(screen), date_(start) {}

  const Date& date() const { return date_; }

  void drawQuarter() {
    selectTextStyle(screen_, "n");
    std::string year = std::to_string(date_.year);
    locateInWindow(screen_, 0, (kWidth - 6) / 2 + 1);
    printText(screen_, " " + std::string(4 - std::min<size_t>(4, year.size()), ' ') + year + " ");
    locateInWindow(screen_, 1, 1);
    printText(screen_, weekdayHeading());

    for (int m = 1; m <= 12; ++m) {
      lengths_[m] = monthLength(date_.year, m, false);
      for (int d = 1; d <= 31; ++d) grid_[m][d] = weekdayOf(packDate({date_.year, m, d}));
    }
    firstMonth_ = (date_.month - 1) / 3 * 3 + 1;

    for (int m = firstMonth_; m < firstMonth_ + 3; ++m) {
      selectTextStyle(screen_, "n");
      int row = blockRow(m);
      locateInWindow(screen_, static_cast<int16_t>(row), 1);
      printText(screen_, std::string(kWidth, ' '));
      std::string name = foldText(formatDate(screen_.format, screen_.settings.languageCode, packDate({date_.year, m, 1}), 2, "m"));
      locateInWindow(screen_, static_cast<int16_t>(row),
                     static_cast<int16_t>((kWidth - static_cast<int>(name.size())) / 2 + 1));
      printText(screen_, name);

      selectTextStyle(screen_, "h");
      int before = grid_[m][1] - 1;
      for (int cell = 1; cell <= 42; ++cell) {
        int d = cell - before;
        if (d >= 1 && d <= lengths_[m]) {
          drawDay(m, d);
        } else {
          locateInWindow(screen_, static_cast<int16_t>(row + (cell - 1) / 7 + 1),
                         static_cast<int16_t>(3 * ((cell - 1) % 7 + 1) - 2));
          printText(screen_, "  ");
        }
      }
    }
  }

  void drawHighlightedDay() { drawDay(date_.month, date_.day); }

  // Moves to a new date; the quarter is drawn again when the date leaves
  // the one shown. Dates outside the years 1..9999 are refused.
  void moveTo(Date next) {
    if (next.year < 1 || next.year > 9999) return;
    bool redraw = next.year != date_.year || next.month < firstMonth_ ||
                  next.month > firstMonth_ + 2;
    date_ = next;
    if (redraw) drawQuarter();
  }

  // The date days away from the highlighted one (|days| <= 7).
  Date dayMove(int days) const {
    Date d = date_;
    d.day += days;
    if (d.day < 1) {
      if (--d.month < 1) {
        d.month = 12;
        --d.year;
      }
      d.day += monthLength(d.year, d.month, false);
    }
    int length = monthLength(d.year, d.month, false);
    if (d.day > length) {
      d.day -= length;
      if (++d.month > 12) {
        d.month = 1;
        ++d.year;
      }
    }
    return d;
  }

  Date quarterMove(int months) const {
    Date d = date_;
    d.month += months;
    if (d.month < 1) {
      d.month += 12;
      --d.year;
    } else if (d.month > 12) {
      d.month -= 12;
      ++d.year;
    }
    d.day = std::min(d.day, monthLength(d.year, d.month, false));
    return d;
  }

 private:
  int blockRow(int month) const { return (month - firstMonth_) * 7 + 2; }

  void drawDay(int m, int d) {
    int row = blockRow(m) + (grid_[m][1] + d - 2) / 7 + 1;
    locateInWindow(screen_, static_cast<int16_t>(row), static_cast<int16_t>(3 * grid_[m][d] - 2));
    printText(screen_, d < 10 ? " " + std::to_string(d) : std::to_string(d));
  }

  std::string weekdayHeading() const {
    const std::string& lang = screen_.settings.languageCode;
    if (lang == "SPA" || lang == "GLG") return " L  M  X  J  V  S  D";
    if (lang == "OCI") return "DL DT DC DJ DD DS DG";
    return "DL DT DC DJ DV DS DG";
  }

  Screen& screen_;
  Date date_;
  int firstMonth_ = 1;
  int lengths_[13] = {};
  int grid_[13][32] = {};
};

// The session's working date, or today's date when it is empty or unusable.
Date startDate(Screen& screen) {
  Date date = unpackDate(screen.settings.systemDate);
  if (screen.settings.systemDate.empty() || date.year < 1 || date.month < 1 || date.month > 12 ||
      date.day < 1) {
    LocalTime now = screen.system.now();
    date = {std::clamp(now.year, 1, 9999), now.month, now.day};
  }
  date.day = std::min(date.day, monthLength(date.year, date.month, false));
  return date;
}

}  // namespace

std::string calendar(Screen& screen) {
  setActiveKeys(screen, "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b", "+ea");
  selectTextStyle(screen, "+n");
  screen.console.setCursorShape(false, screen.console.cursorSize());
  saveRegion(screen, 1, 59, 24, 80);
  drawFrame(screen, 1);

  CalendarView view(screen, startDate(screen));
  view.drawQuarter();

  std::string result;
  for (;;) {
    selectTextStyle(screen, "+u");
    view.drawHighlightedDay();
    int16_t key = waitKey(screen);
    selectTextStyle(screen, "-");
    view.drawHighlightedDay();

    Date d = view.date();
    if (key == key::kRight) {
      view.moveTo(view.dayMove(1));
    } else if (key == key::kLeft) {
      view.moveTo(view.dayMove(-1));
    } else if (key == key::kDown) {
      view.moveTo(view.dayMove(7));
    } else if (key == key::kUp) {
      view.moveTo(view.dayMove(-7));
    } else if (key == key::kPgDn) {
      view.moveTo(view.quarterMove(3));
    } else if (key == key::kPgUp) {
      view.moveTo(view.quarterMove(-3));
    } else if (key == key::kHome) {
      view.moveTo({d.year, 1, d.day});
    } else if (key == key::kEnd) {
      view.moveTo({d.year, 12, d.day});
    } else if (key == 'F' || key == 'f' || key == key::kAltF) {
      result = formatDate(screen.format, screen.settings.languageCode, packDate(d), 0, "dma");
      break;
    } else if (key == key::kEsc) {
      break;
    }
  }

  restoreRegion(screen);
  screen.console.setCursorShape(true, screen.console.cursorSize());
  selectTextStyle(screen, "-");
  setActiveKeys(screen, "", "-");
  return result;
}

}  // namespace xt
