#include "format/date_format.h"

#include <cctype>
#include <string>

#include "format/decimal_text.h"

namespace xt {

namespace {

// Connecting words and month names of one language. Month names are in
// 10-character slots, January first (code page 850 bytes).
struct DateWords {
  const char* beforeConsonantMonth;
  const char* beforeVowelMonth;
  const char* beforeLaterElement;
  const char* months;
};

constexpr DateWords kSpanish = {
    " de ", " de ", " de ",
    "enero     febrero   marzo     abril     mayo      junio     julio     agosto    "
    "septiembreoctubre   noviembre diciembre "};
constexpr DateWords kGalician = {
    " de ", " de ", " do ",
    "janeiro   fevereiro mar\x87o     abril     maio      junho     julho     agosto    "  // ç
    "setembro  outubro   novembro  dezembro  "};
constexpr DateWords kAranese = {
    " de ", " d'", " deth ",
    "g\x8Ar       hereu\x8Ar   mar\x87      abriu     mai       junh      "  // è, è, ç
    "junhsega  agost     seteme    octobre   noveme    deseme    "};
constexpr DateWords kCatalan = {
    " de ", " d'", " del ",
    "gener     febrer    mar\x87      abril     maig      juny      "  // ç
    "juliol    agost     setembre  octubre   novembre  desembre  "};

// Twelve slots of ten characters each.
static_assert(std::char_traits<char>::length(kSpanish.months) == 120);
static_assert(std::char_traits<char>::length(kGalician.months) == 120);
static_assert(std::char_traits<char>::length(kAranese.months) == 120);
static_assert(std::char_traits<char>::length(kCatalan.months) == 120);

const DateWords& wordsFor(std::string_view languageCode) {
  if (languageCode == "SPA") return kSpanish;
  if (languageCode == "GLG") return kGalician;
  if (languageCode == "OCI") return kAranese;
  return kCatalan;
}

// Numeric value of a run of decimal digits; anything else gives 0.
int digitsValue(const std::string& digits) {
  if (digits.empty()) return 0;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The month's name from its 10-character slot without trailing blanks, or
// "?" for a month number outside the table.
std::string monthName(const DateWords& words, int month) {
  if (month < 1 || month > 12) return "?";
  std::string slot = std::string(words.months).substr((month - 1) * 10, 10);
  while (!slot.empty() && slot.back() == ' ') slot.pop_back();
  return slot;
}

bool containsUpper(const std::string& parts, char letter) {
  for (char c : parts) {
    if (std::toupper(static_cast<unsigned char>(c)) == letter) return true;
  }
  return false;
}

}  // namespace



std::string formatDate(const FormatSettings& format, std::string_view languageCode,
                       const std::string& packed, int16_t style, const std::string& parts) {
  const DateWords& words = wordsFor(languageCode);

  std::string digits = unpackDecimalDigits(packed);
  std::string year = digits.substr(0, 4);
  year.insert(0, 4 - year.size(), '0');
  int month = digitsValue(digits.size() > 4 ? digits.substr(4, 2) : "");
  int day = digitsValue(digits.size() > 6 ? digits.substr(6, 2) : "");

  if (style == -1) return year + "-" + twoDigits(month) + "-" + twoDigits(day);

  std::string result;
  if (month != 0 || day != 0) {
    for (char x : format.dateOrder) {
      if (x != 'D' && x != 'M' && x != 'A') continue;
      if (!containsUpper(parts, x)) continue;
      std::string piece;
      if (x == 'D') {
        piece = std::to_string(day);
      } else if (x == 'A') {
        piece = year;
      } else if (style >= 2) {
        piece = monthName(words, month);
      } else if (style == 1) {
        piece = monthName(words, month).substr(0, 3);
      } else {
        piece = std::to_string(month);
      }
      if (!result.empty()) {
        if (style < 2) {
          result += format.dateSeparator;
        } else if (x == 'M') {
          char first = static_cast<char>(std::toupper(static_cast<unsigned char>(piece[0])));
          bool vowel = std::string("AEIOU").find(first) != std::string::npos;
          result += vowel ? words.beforeVowelMonth : words.beforeConsonantMonth;
        } else {
          result += words.beforeLaterElement;
        }
      }
      result += piece;
    }
  }
  if (style >= 2) return result;

  int width = static_cast<int>(parts.size()) - 1;
  if (containsUpper(parts, 'D')) width += 2;
  if (containsUpper(parts, 'A')) width += 4;
  if (containsUpper(parts, 'M')) width += style + 2;
  if (width <= 0) return "";
  result.resize(static_cast<size_t>(width), ' ');
  return result;
}

}  // namespace xt
