// The active-key table: the keys that end a field (a from list and a to
// list of 2-byte codes) with a stack of saved tables, and the mask
// character of masked echo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xt {

struct Screen;

struct ActiveKeyTable {
  std::string activeFrom;  // 2-byte little-endian codes
  std::string activeTo;
  std::vector<std::pair<std::string, std::string>> saved;
  int16_t maskChar = 0;
};

void setActiveKeys(Screen& screen, const std::string& keys, const std::string& letters);

}  // namespace xt
