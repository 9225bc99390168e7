// Date formatting in the four languages, with the separator and order read
// once from Vexa.ini.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Program;

struct FormatSettings {
  std::string dateSeparator = std::string(1, '\0');
  std::string dateOrder = std::string(3, '\0');
  std::string decimalChar = std::string(1, '\0');
  std::string thousandsChar = std::string(1, '\0');
};

std::string formatDate(Program& program, const std::string& packed, int16_t style,
                       const std::string& parts);
// Inverse of packDecimalDigits: two digits per byte.
std::string unpackDecimalDigits(const std::string& packed);

}  // namespace xt
