// The installation's conventions for dates and numbers ([Usuari] of
// Vexa.ini: DatCaracter, DatOrdre, DecCaracter, MilCaracter), read once at
// start-up; a blank or missing setting keeps the default below.
#pragma once

#include <string>

namespace xt {

struct FormatSettings {
  std::string dateSeparator = "/";  // 1 character
  std::string dateOrder = "DMA";    // 3 characters: D day, M month, A year
  std::string decimalChar = "'";    // 1 character
  std::string thousandsChar = ".";  // 1 character
};

}  // namespace xt
