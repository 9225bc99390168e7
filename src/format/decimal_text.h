// Numbers written as decimal text: the lenient reading of the settings and
// files, and dates and digit strings packed two digits per byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xt {

// Skip leading blanks, optional sign, digits with an optional fraction,
// stop at the first other character; no digits gives 0. numericValue16
// rounds to the nearest integer and holds the result to -32768..32767.
double numericValue(std::string_view text);
int16_t numericValue16(std::string_view text);

// Packs decimal digits two per byte, each byte = value | 0x80:
// "20261207" gives 0x94 0x9A 0x8C 0x87.
std::string packDecimalDigits(std::string_view text);
// The digits back: two per byte.
std::string unpackDecimalDigits(const std::string& packed);
// value's last two decimal digits: 7 gives "07".
std::string twoDigits(int value);

}  // namespace xt
