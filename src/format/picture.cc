#include "format/picture.h"

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

}  // namespace

// Worked example, 1234.5 through "ZZ,ZZ9.99" with the default characters:
// the number is scaled to the digits "123450" (two decimals); the first pass
// fills the positions right to left with 0 5 ' 4 3 2 . 1 until the digits
// run out; the second pass blanks the remaining "Z" on the left, giving
// " 1.234'50".
std::string formatPicture(const FormatSettings& format, const std::string& picture, double value) {
  const char decimalChar = format.decimalChar.empty() ? '\'' : format.decimalChar[0];
  const char thousandsChar = format.thousandsChar.empty() ? '.' : format.thousandsChar[0];
  const int n = static_cast<int>(picture.size());

  // An infinite or undefined number (a division by zero) cannot be shown
  // in digits: the picture is filled with the overflow mark.
  if (!std::isfinite(value)) return std::string(picture.size(), '!');

  bool hasSign = picture.find_first_of("-+") != std::string::npos;
  size_t pointAt = picture.find('.');
  int dp = 0;  // digit and sign positions after the point
  int decimals = 0;
  if (pointAt != std::string::npos) {
    for (size_t k = pointAt + 1; k < picture.size(); ++k) {
      if (isDigitPosition(picture[k]) || picture[k] == '-' || picture[k] == '+') ++dp;
    }
    if (dp != 0) {
      for (size_t k = pointAt + 1; k < picture.size() && isDigitPosition(picture[k]); ++k) {
        ++decimals;
      }
    }
  }

  const double scaled =
      value == 0 ? 0.0 : roundHalfEven(std::fabs(value) * std::pow(10.0, decimals));
  if (!std::isfinite(scaled)) return std::string(picture.size(), '!');
  const std::string g = wholeDigits(scaled);
  const int len = static_cast<int>(g.size());
  bool neg = value < 0;

  // Digit j of g (1-based), or none.
  auto digitAt = [&](int j) -> int { return j >= 1 && j <= len ? g[j - 1] : 0; };
  auto restAllZero = [&](int j) {
    for (int k = std::max(j, 1); k <= len; ++k) {
      if (g[k - 1] != '0') return false;
    }
    return true;
  };

  std::string out = picture;
  int i = n;
  int j = len - decimals + dp;
  int boundary = n - dp;
  int last = 0;  // fill of the last digit position: its code, + 256 when it got no digit

  while (i >= 1 && j >= 1) {
    char& c = out[i - 1];
    switch (picture[i - 1]) {
      case '9': {
        int d = digitAt(j);
        c = d ? static_cast<char>(d) : '0';
        last = 0;
        --j;
        break;
      }
      case 'Z':
      case 'z': {
        int d = digitAt(j);
        if (i < boundary) {
          c = d ? static_cast<char>(d) : ' ';
          last = d ? 32 : 288;
        } else if (!restAllZero(j) || dp == 0) {
          c = d ? static_cast<char>(d) : '0';
          last = d ? 32 : 288;
        } else {
          c = ' ';
          last = 288;
        }
        --j;
        break;
      }
      case '*': {
        int d = digitAt(j);
        c = d ? static_cast<char>(d) : '*';
        last = d ? 42 : 298;
        --j;
        break;
      }
      case '.':
        c = last > 255 ? static_cast<char>(last % 256) : decimalChar;
        dp = 0;
        boundary = n;
        break;
      case ',':
        c = thousandsChar;
        break;
      case '-':
        c = neg ? '-' : ' ';
        if (dp > 0) --j;
        break;
      case '+':
        c = neg ? '-' : '+';
        if (dp > 0) --j;
        break;
      default:
        break;
    }
    --i;
  }

  if (j >= 1 || (!hasSign && neg && i == 0)) {
    int intDigits = std::max(len - decimals, 0);
    if (n < intDigits + (neg ? 1 : 0)) return std::string(picture.size(), '!');
    std::string t = neg ? "-" : "";
    t += g.substr(0, static_cast<size_t>(intDigits));
    if (decimals >= 1) {
      std::string dec = len >= decimals ? g.substr(static_cast<size_t>(len - decimals))
                                        : std::string(static_cast<size_t>(decimals - len), '0') + g;
      t += decimalChar;
      t += dec;
    }
    if (static_cast<int>(t.size()) > n) return t.substr(0, static_cast<size_t>(n));
    return std::string(static_cast<size_t>(n) - t.size(), ' ') + t;
  }

  for (int k = i; k >= 1; --k) {
    char& c = out[k - 1];
    switch (picture[k - 1]) {
      case '9':
        if (neg && !hasSign && k < boundary) {
          c = '-';
          neg = false;
        } else {
          c = '0';
        }
        last = 0;
        break;
      case 'Z':
      case 'z':
        if (neg && !hasSign) {
          c = '-';
          neg = false;
        } else if (k < boundary || value == 0) {
          c = ' ';
          last = 288;
        } else {
          c = '0';
          last = 32;
        }
        break;
      case '*':
        if (neg && !hasSign) {
          c = '-';
          neg = false;
        } else {
          c = k < boundary ? '*' : '0';
          last = 42;
        }
        break;
      case ',':
        if (neg && !hasSign) {
          c = '-';
          neg = false;
        } else {
          c = last != 0 ? static_cast<char>(last % 256) : thousandsChar;
        }
        break;
      case '.':
        c = last > 255 ? static_cast<char>(last % 256) : decimalChar;
        break;
      case '-':
        c = neg ? '-' : ' ';
        break;
      case '+':
        c = neg ? '-' : '+';
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace xt
