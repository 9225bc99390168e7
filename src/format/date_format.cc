#include "format/date_format.h"

#include <cctype>
#include <string>

#include "startup/ini_file.h"
#include "startup/program.h"

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

const DateWords& wordsFor(const std::string& languageCode) {
  if (languageCode == "SPA") return kSpanish;
  if (languageCode == "GLG") return kGalician;
  if (languageCode == "OCI") return kAranese;
  return kCatalan;
}

// A fixed-length setting: the value left-justified, cut and blank-padded.
std::string fixedLength(const std::string& value, size_t length) {
  std::string out = value.substr(0, length);
  out.resize(length, ' ');
  return out;
}

void loadDateSettings(Program& program) {
  FormatSettings& f = program.format;
  std::string ini = program.settings.rootDir + "Vexa.ini";
  if (f.dateSeparator.size() != 1 || f.dateSeparator[0] == '\0') {
    f.dateSeparator = fixedLength(readIniValue(ini, "Usuari", "DatCaracter"), 1);
    if (f.dateSeparator == " ") f.dateSeparator = "/";
  }
  if (f.dateOrder.size() != 3 || f.dateOrder == std::string(3, '\0')) {
    f.dateOrder = fixedLength(readIniValue(ini, "Usuari", "DatOrdre"), 3);
    if (f.dateOrder == "   ") f.dateOrder = "DMA";
  }
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

std::string twoDigits(int value) {
  return std::string{static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
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

std::string unpackDecimalDigits(const std::string& packed) {
  std::string digits;
  digits.reserve(packed.size() * 2);
  for (char c : packed) digits += twoDigits((static_cast<unsigned char>(c) & 127) % 100);
  return digits;
}

std::string formatDate(Program& program, const std::string& packed, int16_t style,
                       const std::string& parts) {
  loadDateSettings(program);
  const DateWords& words = wordsFor(program.settings.languageCode);

  std::string digits = unpackDecimalDigits(packed);
  std::string year = digits.substr(0, 4);
  year.insert(0, 4 - year.size(), '0');
  int month = digitsValue(digits.size() > 4 ? digits.substr(4, 2) : "");
  int day = digitsValue(digits.size() > 6 ? digits.substr(6, 2) : "");

  if (style == -1) return year + "-" + twoDigits(month) + "-" + twoDigits(day);

  std::string result;
  if (month != 0 || day != 0) {
    for (char x : program.format.dateOrder) {
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
          result += program.format.dateSeparator;
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
