#include "format/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace xt {

namespace {

bool isDigitPosition(char c) { return c == '9' || c == 'Z' || c == 'z' || c == '*'; }

// The decimal digits of a non-negative whole number held in a double,
// without leading zeros; "" for 0.
std::string wholeDigits(double n) {
  if (n < 1) return "";
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", n);
  return buf;
}

// v rounded to a whole number, halves to the even neighbour.
double roundHalfEven(double v) {
  double t = std::trunc(v);
  double f = v - t;
  if (f > 0.5 || (f == 0.5 && std::fmod(t, 2.0) == 1.0)) t += 1;
  return t;
}

// How the digit position filled last shapes a point or comma to its left:
// after a "Z" or "*" position they take its fill character (a blank or an
// asterisk) instead of the decimal or thousands character; a point does so
// only when that position got no digit.
struct LastFill {
  char fill = 0;       // ' ' after "Z", '*' after "*", 0 after "9" or none yet
  bool empty = false;  // the position got no digit

  static LastFill digit() { return {}; }
  static LastFill of(char fill, bool empty) { return {fill, empty}; }
};

// One number through one picture: the picture's positions are filled from
// the right, first with the number's digits (fillDigits), then what is left
// of the picture on their left (fillLeft); a number whose digits do not all
// fit is written plainly instead (plainNumber).
class PictureWriter {
 public:
  PictureWriter(const FormatSettings& format, const std::string& picture, double value)
      : picture_(picture), out_(picture), value_(value), neg_(value < 0) {
    decimalChar_ = format.decimalChar.empty() ? '\'' : format.decimalChar[0];
    thousandsChar_ = format.thousandsChar.empty() ? '.' : format.thousandsChar[0];
    hasSign_ = picture.find_first_of("-+") != std::string::npos;
    size_t pointAt = picture.find('.');
    if (pointAt != std::string::npos) {
      for (size_t k = pointAt + 1; k < picture.size(); ++k)
        if (isDigitPosition(picture[k]) || picture[k] == '-' || picture[k] == '+') ++afterPoint_;
      if (afterPoint_ != 0)
        for (size_t k = pointAt + 1; k < picture.size() && isDigitPosition(picture[k]); ++k) ++decimals_;
    }
  }

  std::string write() {
    // An infinite or undefined number (a division by zero) cannot be shown
    // in digits: the picture is filled with the overflow mark.
    if (!std::isfinite(value_)) return overflow();
    const double scaled = value_ == 0 ? 0.0 : roundHalfEven(std::fabs(value_) * std::pow(10.0, decimals_));
    if (!std::isfinite(scaled)) return overflow();
    digits_ = wholeDigits(scaled);
    fillDigits();
    if (digit_ >= 1 || (!hasSign_ && neg_ && position_ == 0)) return plainNumber();
    fillLeft();
    return out_;
  }

 private:
  int size() const { return static_cast<int>(picture_.size()); }
  int length() const { return static_cast<int>(digits_.size()); }
  std::string overflow() const { return std::string(picture_.size(), '!'); }
  // Digit j of the number (1-based), 0 when there is none.
  int digitAt(int j) const { return j >= 1 && j <= length() ? digits_[static_cast<size_t>(j - 1)] : 0; }
  bool restAllZero(int j) const {
    for (int k = std::max(j, 1); k <= length(); ++k)
      if (digits_[static_cast<size_t>(k - 1)] != '0') return false;
    return true;
  }

  // From the right end, each position takes the next digit (or a sign,
  // point or comma) until the picture or the digits run out.
  void fillDigits() {
    position_ = size();
    digit_ = length() - decimals_ + afterPoint_;
    boundary_ = size() - afterPoint_;
    int afterPoint = afterPoint_;
    while (position_ >= 1 && digit_ >= 1) {
      char& c = out_[static_cast<size_t>(position_ - 1)];
      const int d = digitAt(digit_);
      switch (picture_[static_cast<size_t>(position_ - 1)]) {
        case '9':
          c = d ? static_cast<char>(d) : '0';
          last_ = LastFill::digit();
          --digit_;
          break;
        case 'Z':
        case 'z':
          if (position_ < boundary_)
            c = d ? static_cast<char>(d) : ' ';
          else if (!restAllZero(digit_) || afterPoint == 0)
            c = d ? static_cast<char>(d) : '0';
          else
            c = ' ';
          last_ = LastFill::of(' ', c == ' ' || !d);
          --digit_;
          break;
        case '*':
          c = d ? static_cast<char>(d) : '*';
          last_ = LastFill::of('*', !d);
          --digit_;
          break;
        case '.':
          c = last_.empty ? last_.fill : decimalChar_;
          afterPoint = 0;
          boundary_ = size();
          break;
        case ',':
          c = thousandsChar_;
          break;
        case '-':
          c = neg_ ? '-' : ' ';
          if (afterPoint > 0) --digit_;
          break;
        case '+':
          c = neg_ ? '-' : '+';
          if (afterPoint > 0) --digit_;
          break;
        default:
          break;
      }
      --position_;
    }
  }

  // The positions left of the number: leading blanks, zeros or asterisks,
  // the minus sign floated to the first free position when the picture
  // has no sign of its own.
  void fillLeft() {
    for (int k = position_; k >= 1; --k) {
      char& c = out_[static_cast<size_t>(k - 1)];
      const char p = picture_[static_cast<size_t>(k - 1)];
      const bool floatsMinus = neg_ && !hasSign_ && (p == 'Z' || p == 'z' || p == '*' || p == ',' ||
                                                    (p == '9' && k < boundary_));
      if (floatsMinus) {
        c = '-';
        neg_ = false;
        if (p == '9') last_ = LastFill::digit();
        continue;
      }
      switch (p) {
        case '9':
          c = '0';
          last_ = LastFill::digit();
          break;
        case 'Z':
        case 'z':
          if (k < boundary_ || value_ == 0) {
            c = ' ';
            last_ = LastFill::of(' ', true);
          } else {
            c = '0';
            last_ = LastFill::of(' ', false);
          }
          break;
        case '*':
          c = k < boundary_ ? '*' : '0';
          last_ = LastFill::of('*', false);
          break;
        case ',':
          c = last_.fill != 0 ? last_.fill : thousandsChar_;
          break;
        case '.':
          c = last_.empty ? last_.fill : decimalChar_;
          break;
        case '-':
          c = neg_ ? '-' : ' ';
          break;
        case '+':
          c = neg_ ? '-' : '+';
          break;
        default:
          break;
      }
    }
  }

  // The number as plain text right-aligned in the picture's width ("-1234"
  // for "Z,ZZ9"), or the overflow mark when even that does not fit.
  std::string plainNumber() const {
    const int intDigits = std::max(length() - decimals_, 0);
    if (size() < intDigits + (neg_ ? 1 : 0)) return overflow();
    std::string t = neg_ ? "-" : "";
    t += digits_.substr(0, static_cast<size_t>(intDigits));
    if (decimals_ >= 1) {
      t += decimalChar_;
      t += length() >= decimals_ ? digits_.substr(static_cast<size_t>(length() - decimals_))
                                 : std::string(static_cast<size_t>(decimals_ - length()), '0') + digits_;
    }
    if (static_cast<int>(t.size()) > size()) return t.substr(0, static_cast<size_t>(size()));
    return std::string(static_cast<size_t>(size()) - t.size(), ' ') + t;
  }

  const std::string& picture_;
  std::string out_;
  const double value_;
  bool neg_;  // a minus sign still to be written
  char decimalChar_ = '\'';
  char thousandsChar_ = '.';
  bool hasSign_ = false;
  int afterPoint_ = 0;  // digit and sign positions after the point
  int decimals_ = 0;    // digit positions right after the point
  std::string digits_;  // the number scaled by its decimals, as digits
  int position_ = 0;    // the picture position to fill next (1-based)
  int digit_ = 0;       // the digit to place next (1-based)
  int boundary_ = 0;    // positions right of it are after the point
  LastFill last_;
};

}  // namespace

// Worked example, 1234.5 through "ZZ,ZZ9.99" with the default characters:
// the number is scaled to the digits "123450" (two decimals); the first pass
// fills the positions right to left with 0 5 ' 4 3 2 . 1 until the digits
// run out; the second pass blanks the remaining "Z" on the left, giving
// " 1.234'50".
std::string formatPicture(const FormatSettings& format, const std::string& picture, double value) {
  return PictureWriter(format, picture, value).write();
}

}  // namespace xt
