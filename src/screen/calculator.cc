#include "screen/calculator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "format/picture.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/calculator_state.h"
#include "screen/key_reader.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr int kBoxWidth = 26;
const std::string kIntegerMask = "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";

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
  const std::string path = screen.settings.terminalDir + kCalculatorStateFile;

  Calculator calc(screen, loadCalculatorState(screen.fs, path));
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
  (void)screen.fs.replaceFileAtomically(path, calculatorStateText(calc.state()));

  screen.console.setCursorShape(true, screen.console.cursorSize());
  selectTextStyle(screen, "-");
  setActiveKeys(screen, "", "-");
  return result;
}

}  // namespace xt
