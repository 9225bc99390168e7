#include "screen/calculator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "format/picture.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/key_reader.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr int kTapeLines = 22;
constexpr int kBoxWidth = 26;
constexpr int16_t kLastLeft = 80 - kBoxWidth + 1;  // 55: the box's right edge at column 80
constexpr int16_t kEmptyTapeTop = 23;
// A double holds no more significant digits than these; a number typed
// within them is kept exactly as its digits.
constexpr int kMaxDigits = 15;
constexpr int16_t kMaxDecimals = 15;
const char* const kFileName = "TAVCALC.TMP";
const std::string kIntegerMask = "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";

struct TapeLine {
  double value = 0;
  bool hasPoint = false;
  int16_t decimals = 0;
  std::string op;  // "" prints as a blank
};

// The whole calculator, as kept in TAVCALC.TMP between openings.
struct CalcState {
  int16_t calcLeft = 1;
  int16_t tapeTop = kEmptyTapeTop;
  double entry = 0;
  double accumulator = 0;
  bool cleared = true;
  bool entering = false;
  bool hasPoint = false;
  int16_t decimals = 0;
  std::string lastKey;
  std::string pendingOp;
  std::array<TapeLine, kTapeLines> tape;  // tape[21] is the newest line
};

// ---- TAVCALC.TMP ------------------------------------------------------
//
// Comma-separated items, texts in double quotes, lines ended by CR LF:
//   1,23,15,15                     calcLeft, tapeTop, entry, accumulator
//   0,0,0,0                        cleared, entering, hasPoint, decimals
//   "",""                          lastKey, pendingOp
//   12,0,0,"+"                     22 tape lines: value, point flag,
//   ...                            decimals, operator
// Flags are -1 (true) or 0. An item that is missing or unusable keeps its
// first-use value.

std::vector<std::string> splitItems(const std::string& line) {
  std::vector<std::string> items;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::string item;
    if (i < line.size() && line[i] == '"') {
      size_t close = line.find('"', i + 1);
      if (close == std::string::npos) close = line.size();
      item = "\"";
      item.append(line, i + 1, close - i - 1);
      item += '"';
      i = close + 1;
    }
    size_t comma = line.find(',', std::min(i, line.size()));
    std::string rest = line.substr(std::min(i, line.size()), comma == std::string::npos
                                                                  ? std::string::npos
                                                                  : comma - std::min(i, line.size()));
    if (item.empty()) item = rest;
    while (!item.empty() && item.back() == ' ') item.pop_back();
    items.push_back(item);
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  return items;
}

bool parseNumber(const std::string& item, double& out) {
  if (item.empty()) return false;
  double v = 0;
  const char* first = item.data();
  const char* last = first + item.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool parseInt(const std::string& item, int lo, int hi, int16_t& out) {
  double v;
  if (!parseNumber(item, v) || v != std::trunc(v) || v < lo || v > hi) return false;
  out = static_cast<int16_t>(v);
  return true;
}

bool parseFlag(const std::string& item, bool& out) {
  int16_t v;
  if (!parseInt(item, -1, 0, v)) return false;
  out = v != 0;
  return true;
}

// A quoted text that is one of the allowed values.
bool parseText(const std::string& item, const std::string& allowed, std::string& out) {
  if (item.size() < 2 || item.front() != '"' || item.back() != '"') return false;
  std::string text = item.substr(1, item.size() - 2);
  if (text.size() > 1 || (text.size() == 1 && allowed.find(text[0]) == std::string::npos)) return false;
  out = text;
  return true;
}

// The point flag and the decimals together: no decimals without a point.
void parsePointAndDecimals(const std::string& flagItem, const std::string& decimalsItem,
                           bool& hasPoint, int16_t& decimals) {
  bool point = hasPoint;
  int16_t dec = decimals;
  parseFlag(flagItem, point);
  parseInt(decimalsItem, 0, kMaxDecimals, dec);
  hasPoint = point;
  decimals = point ? dec : 0;
}

CalcState loadState(const std::string& path) {
  CalcState s;
  std::optional<std::string> text = readWholeFile(path);
  if (!text) return s;
  std::vector<std::string> lines = splitLines(*text);
  auto itemsOf = [&](size_t line) {
    std::vector<std::string> items = line < lines.size() ? splitItems(lines[line])
                                                         : std::vector<std::string>{};
    items.resize(4);
    return items;
  };

  std::vector<std::string> l1 = itemsOf(0);
  parseInt(l1[0], 1, kLastLeft, s.calcLeft);
  parseInt(l1[1], 2, kEmptyTapeTop, s.tapeTop);
  parseNumber(l1[2], s.entry);
  parseNumber(l1[3], s.accumulator);

  std::vector<std::string> l2 = itemsOf(1);
  parseFlag(l2[0], s.cleared);
  parseFlag(l2[1], s.entering);
  parsePointAndDecimals(l2[2], l2[3], s.hasPoint, s.decimals);

  std::vector<std::string> l3 = itemsOf(2);
  parseText(l3[0], "+-*/%RC=", s.lastKey);
  parseText(l3[1], "+-*/", s.pendingOp);

  for (int k = 0; k < kTapeLines; ++k) {
    std::vector<std::string> t = itemsOf(3 + static_cast<size_t>(k));
    TapeLine& line = s.tape[static_cast<size_t>(k)];
    parseNumber(t[0], line.value);
    parsePointAndDecimals(t[1], t[2], line.hasPoint, line.decimals);
    parseText(t[3], " +-*/%R=", line.op);
  }
  return s;
}

std::string numberItem(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string flagItem(bool v) { return v ? "-1" : "0"; }
std::string textItem(const std::string& v) { return "\"" + v + "\""; }

std::string stateText(const CalcState& s) {
  std::string out;
  out += std::to_string(s.calcLeft) + "," + std::to_string(s.tapeTop) + "," + numberItem(s.entry) +
         "," + numberItem(s.accumulator) + "\r\n";
  out += flagItem(s.cleared) + "," + flagItem(s.entering) + "," + flagItem(s.hasPoint) + "," +
         std::to_string(s.decimals) + "\r\n";
  out += textItem(s.lastKey) + "," + textItem(s.pendingOp) + "\r\n";
  for (const TapeLine& t : s.tape) {
    out += numberItem(t.value) + "," + flagItem(t.hasPoint) + "," + std::to_string(t.decimals) +
           "," + textItem(t.op) + "\r\n";
  }
  return out;
}

// ---- Arithmetic ---------------------------------------------------------

double powerOfTen(int n) { return std::pow(10.0, n); }

// Rounds a number of no sign to a whole number, with ties to the even
// neighbour.
double roundTiesEven(double x) {
  double t = std::trunc(x);
  double f = x - t;
  if (f > 0.5 || (f == 0.5 && std::fmod(t, 2.0) == 1.0)) t += 1;
  return t;
}

// The digits that show for a number at the given decimals, without sign,
// point or leading zeros ("0" for zero); "" for an infinite or undefined
// number. The rounding is the display's own (halves to even on the scaled
// magnitude), so the digits are those on the screen. A number made by
// fromDigits from at most kMaxDigits significant digits gives them back
// exactly: its double is the one nearest to them, and scaling it is off by
// far less than half a unit.
std::string shownDigits(double value, int decimals) {
  double scaled = roundTiesEven(std::fabs(value) * powerOfTen(decimals));
  if (!std::isfinite(scaled)) return "";
  char buf[400];  // the largest double has 309 digits
  std::snprintf(buf, sizeof buf, "%.0f", scaled);
  return buf;
}

// The double nearest to the decimal number with these digits, the last
// `decimals` of them after the point: 1234 with 3 decimals is 1.234.
double fromDigits(bool negative, std::string digits, int decimals) {
  if (digits.size() <= static_cast<size_t>(decimals)) {
    digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
  }
  digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
  double v = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), v);
  return negative ? -v : v;
}

// The number shown, rounded to two decimals on its decimal digits rather
// than on its binary value: a half goes to the even neighbour (0.125 gives
// 0.12, 0.375 gives 0.38, 2.345 gives 2.34), and a negative number rounds
// as its magnitude does (-0.129 gives -0.13).
double roundToCents(double value, int decimals) {
  std::string digits = shownDigits(value, decimals);
  if (digits.empty()) return value;  // infinite or undefined: it stays so
  if (decimals > 2) {
    const size_t dropped = static_cast<size_t>(decimals - 2);
    if (digits.size() <= dropped) digits.insert(0, dropped + 1 - digits.size(), '0');
    const std::string rest = digits.substr(digits.size() - dropped);
    digits.resize(digits.size() - dropped);
    const int half = rest.compare("5" + std::string(dropped - 1, '0'));
    if (half > 0 || (half == 0 && (digits.back() - '0') % 2 == 1)) {
      size_t k = digits.size();
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0) {
        digits.insert(0, 1, '1');
      } else {
        ++digits[k - 1];
      }
    }
    decimals = 2;
  }
  double rounded = fromDigits(std::signbit(value), digits, decimals);
  return rounded == 0 ? 0.0 : rounded;  // no negative zero on the display
}

int significantDigits(const std::string& digits) {
  size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? 0 : static_cast<int>(digits.size() - first);
}

// Keeps at most 15 significant digits and no trailing zero decimals, and
// sets the point and decimals the display shows.
void normalise(double& value, bool& hasPoint, int16_t& decimals) {
  hasPoint = false;
  decimals = 0;
  if (!std::isfinite(value)) return;
  double a = std::fabs(value);
  int intDigits = a < 1 ? 0 : static_cast<int>(std::floor(std::log10(a))) + 1;
  int k = 0;
  double x = a;
  while (x != std::trunc(x) && intDigits + k < 15) {
    x *= 10;
    ++k;
  }
  x = std::round(x);
  while (k > 0 && std::fmod(x, 10.0) == 0) {
    x /= 10;
    --k;
  }
  value = std::copysign(x / powerOfTen(k), value);
  if (value == 0) value = 0;  // no negative zero on the display
  decimals = static_cast<int16_t>(k);
  hasPoint = k > 0;
}

// The number on the display as text with two implied decimals and no
// sign: 1250 for 12.5, 123.4 for 1.234. Nothing for an infinite or
// undefined number.
std::string resultText(const CalcState& s) {
  std::string digits = shownDigits(s.entry, s.decimals);
  if (digits.empty()) return "";
  const int d = std::max<int>(s.decimals, 2);
  if (digits != "0") digits.append(static_cast<size_t>(d - s.decimals), '0');
  if (static_cast<int>(digits.size()) < d - 2) digits.insert(0, static_cast<size_t>(d - 2) - digits.size(), '0');
  size_t intLength = static_cast<size_t>(std::max<int>(0, static_cast<int>(digits.size()) - d + 2));
  std::string out = digits.substr(0, intLength);
  if (d > 2) {
    out += '.';
    out.append(digits, intLength);
  }
  return out;
}

// ---- The pop-up ---------------------------------------------------------

class Calculator {
 public:
  Calculator(Screen& screen, CalcState state) : screen_(screen), s_(std::move(state)) {}

  const CalcState& state() const { return s_; }

  void open() {
    saveRegion(screen_, 1, s_.calcLeft, 25, static_cast<int16_t>(s_.calcLeft + kBoxWidth - 1));
    drawBox();
  }
  void close() { restoreRegion(screen_); }

  // Handles one key; returns false when the calculator closes, with the
  // result in result.
  bool handleKey(int16_t key, std::string& result) {
    if (key > 255 || key < -255) {
      if (key == key::kLeft || key == key::kCtrlLeft) {
        slideTo(s_.calcLeft == 1 ? kLastLeft : static_cast<int16_t>(s_.calcLeft - 1));
      } else if (key == key::kRight || key == key::kCtrlRight) {
        slideTo(s_.calcLeft + kBoxWidth - 1 >= 80 ? int16_t{1} : static_cast<int16_t>(s_.calcLeft + 1));
      } else if (key == key::kAltF) {
        result = resultText(s_);
        return false;
      }
      return true;
    }
    if (key < 0) return true;
    char c = static_cast<char>(key);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c >= '0' && c <= '9') {
      typeDigit(c - '0');
    } else if (c == '.') {
      if (!s_.entering) startEntry();
      if (!s_.hasPoint) {
        s_.hasPoint = true;
        s_.decimals = 0;
      }
      s_.entering = true;
    } else if (key == key::kBackspace) {
      backspace();
    } else if (std::string("+-*/%RC").find(c) != std::string::npos) {
      s_.lastKey = std::string(1, c);
      operation();
    } else if (c == '=' || key == key::kEnter) {
      if (s_.entering) {
        s_.lastKey = "=";
        operation();
      }
    } else if (c == 'T') {
      s_.entry = -s_.entry;
    } else if (c == 'F') {
      result = resultText(s_);
      return false;
    } else if (key == key::kEsc) {
      result.clear();
      return false;
    }
    return true;
  }

  void drawDisplay() {
    locateInWindow(screen_, 23, 0);
    std::string row = "\xB3";  // │
    row += number(s_.entry, s_.hasPoint, s_.decimals);
    row += "  \xB3";
    printText(screen_, row);
  }

 private:
  // The number in 22 columns: a sign position, the digits with thousands
  // separators, and the decimals typed or kept.
  std::string number(double value, bool hasPoint, int decimals) {
    std::string decimalPart;
    if (hasPoint) {
      decimalPart = ".";
      decimalPart.append(static_cast<size_t>(decimals), '9');
    }
    std::string picture = "-";
    picture.append(kIntegerMask, decimalPart.size());
    picture += decimalPart;
    return formatPicture(screen_.format, picture, value);
  }

  void drawRow(int row, const std::string& text) {
    locateInWindow(screen_, static_cast<int16_t>(row - 1), 0);
    printText(screen_, text);
  }

  std::string border(char left, char right) {
    return std::string(1, left) + std::string(kBoxWidth - 2, '\xC4') + std::string(1, right);
  }

  void drawBox() {
    if (s_.tapeTop < kEmptyTapeTop) {
      drawRow(s_.tapeTop - 1, border('\xDA', '\xBF'));  // ┌─┐
      for (int row = s_.tapeTop; row <= kTapeLines; ++row) {
        const TapeLine& t = s_.tape[static_cast<size_t>(row - 1)];
        std::string text = "\xB3";
        text += number(t.value, t.hasPoint, t.decimals);
        text += ' ';
        text += t.op.empty() ? std::string(" ") : t.op;
        text += '\xB3';
        drawRow(row, text);
      }
      drawRow(23, border('\xC3', '\xB4'));  // ├─┤
    } else {
      drawRow(23, border('\xDA', '\xBF'));
    }
    drawDisplay();
    drawRow(25, border('\xC0', '\xD9'));  // └─┘
  }

  // Puts back what lay under the box and draws it again (at a new column,
  // or shorter after the tape was hidden).
  void redrawFromScratch() {
    restoreRegion(screen_);
    open();
  }

  void slideTo(int16_t left) {
    restoreRegion(screen_);
    s_.calcLeft = left;
    open();
  }

  void startEntry() {
    s_.entry = 0;
    s_.hasPoint = false;
    s_.decimals = 0;
  }

  // The number being typed is worked on as the digits it shows, so that
  // typing and Backspace are exact whatever its size; its sign (from "T")
  // stays with it, and a further digit makes a negative number larger.
  void typeDigit(int digit) {
    if (!s_.entering || !std::isfinite(s_.entry)) startEntry();
    s_.entering = true;
    std::string digits = shownDigits(s_.entry, s_.decimals);
    if (significantDigits(digits) >= kMaxDigits) return;
    if (s_.hasPoint) {
      if (s_.decimals >= kMaxDecimals) return;
      ++s_.decimals;
    }
    digits += static_cast<char>('0' + digit);
    s_.entry = fromDigits(std::signbit(s_.entry), digits, s_.decimals);
  }

  // Takes the last digit away, which cuts the number toward zero; with no
  // decimals left the point goes.
  void backspace() {
    if (!std::isfinite(s_.entry)) return;
    if (s_.hasPoint && s_.decimals == 0) {
      s_.hasPoint = false;
    } else {
      std::string digits = shownDigits(s_.entry, s_.decimals);
      digits.pop_back();
      if (s_.hasPoint) --s_.decimals;
      s_.entry = fromDigits(std::signbit(s_.entry), digits, s_.decimals);
    }
    s_.entering = s_.entry != 0;
  }

  void printTapeLine() {
    if (s_.tapeTop > 2) --s_.tapeTop;
    for (int k = 0; k + 1 < kTapeLines; ++k) s_.tape[static_cast<size_t>(k)] = s_.tape[static_cast<size_t>(k) + 1];
    s_.tape[kTapeLines - 1] = {s_.entry, s_.hasPoint, s_.decimals, s_.lastKey};
    drawBox();
  }

  void operation() {
    const std::string key = s_.lastKey;
    if (key == "C") {
      if (s_.entering) {
        // Clear the entry only; the pending operation stays.
        s_.entering = false;
        s_.entry = s_.accumulator;
        normalise(s_.entry, s_.hasPoint, s_.decimals);
        s_.lastKey = s_.pendingOp;
      } else if (!s_.cleared) {
        s_.entry = 0;
        s_.accumulator = 0;
        s_.hasPoint = false;
        s_.decimals = 0;
        s_.lastKey.clear();
        s_.pendingOp.clear();  // a full clear forgets the pending operation too
        s_.cleared = true;
      } else {
        s_.tapeTop = kEmptyTapeTop;
        redrawFromScratch();
      }
    } else if (key == "R") {
      s_.entry = roundToCents(s_.entry, s_.decimals);
      s_.accumulator = s_.entry;
      s_.hasPoint = true;
      s_.decimals = 2;
      // The rounded number is a result, as after "=": a digit starts a new
      // number, and C clears everything.
      s_.entering = false;
      s_.cleared = false;
      printTapeLine();
    } else if (key == "%") {
      printTapeLine();
      if (s_.pendingOp == "+" || s_.pendingOp == "-") {
        s_.entry = s_.accumulator / 100 * s_.entry;
      } else {
        s_.entry = s_.entry / 100;
      }
      normalise(s_.entry, s_.hasPoint, s_.decimals);
    } else {
      const std::string& op = s_.pendingOp;
      if (op == "+") {
        s_.accumulator += s_.entry;
      } else if (op == "-") {
        s_.accumulator -= s_.entry;
      } else if (op == "*") {
        s_.accumulator *= s_.entry;
      } else if (op == "/") {
        s_.accumulator = s_.accumulator / s_.entry;
      } else {
        s_.accumulator = s_.entry;
      }
      printTapeLine();
      s_.entry = s_.accumulator;
      normalise(s_.entry, s_.hasPoint, s_.decimals);
      s_.entering = false;
      if (key == "=") {
        s_.lastKey.clear();
        printTapeLine();
      }
      s_.cleared = false;
      s_.pendingOp = s_.lastKey;
    }
  }

  Screen& screen_;
  CalcState s_;
};

}  // namespace

std::string calculator(Screen& screen) {
  setActiveKeys(screen, "", "+e");
  selectTextStyle(screen, "+n");
  screen.console.setCursorShape(false, screen.console.cursorSize());
  const std::string path = screen.settings.terminalDir + kFileName;

  Calculator calc(screen, loadState(path));
  calc.open();
  std::string result;
  for (;;) {
    calc.drawDisplay();
    int16_t key = waitKey(screen);
    if (!calc.handleKey(key, result)) break;
  }
  calc.close();
  // A failed write keeps the previous state file whole; the result still
  // goes to the caller.
  (void)replaceFileAtomically(path, stateText(calc.state()));

  screen.console.setCursorShape(true, screen.console.cursorSize());
  selectTextStyle(screen, "-");
  setActiveKeys(screen, "", "-");
  return result;
}

}  // namespace xt
