#include "format/decimal_text.h"

#include <cmath>

#include "format/fixed_text.h"

namespace xt {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double numericValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  bool digits = false;
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10 + (text[i] - '0');
    digits = true;
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && isDigit(text[i]); ++i, scale /= 10) {
      value += (text[i] - '0') * scale;
      digits = true;
    }
  }
  if (!digits) return 0;
  return negative ? -value : value;
}

int16_t numericValue16(std::string_view text) {
  // Rounded to the nearest integer and held to the 16-bit range, so an
  // absurd value in a file cannot wrap round to a plausible one.
  double v = std::round(numericValue(text));
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<int16_t>(v);
}

std::string packDecimalDigits(std::string_view text) {
  // "20261207" -> 0x94 0x9A 0x8C 0x87: each pair of digits is one byte,
  // value | 0x80. The digits are right-aligned in a field as long as the
  // text, so " 7" packs as "07"; an odd last digit pairs with a 0.
  const size_t n = text.size();
  std::string t = std::string(n, '0') + trimmed(text);
  t = t.substr(t.size() - n);
  for (char& c : t)
    if (c == ' ') c = '0';
  std::string out((n + 1) / 2, ' ');
  for (size_t i = 0; i < out.size(); ++i) {
    auto digit = [&](size_t k) { return k < t.size() && isDigit(t[k]) ? t[k] - '0' : 0; };
    int value = digit(2 * i) * 10 + digit(2 * i + 1);
    out[i] = static_cast<char>(value | 0x80);
  }
  return out;
}

std::string unpackDecimalDigits(const std::string& packed) {
  std::string digits;
  digits.reserve(packed.size() * 2);
  for (char c : packed) digits += twoDigits((static_cast<unsigned char>(c) & 127) % 100);
  return digits;
}

std::string twoDigits(int value) {
  return std::string{static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace xt
