// The three-month calendar pop-up (Alt+C) and the date arithmetic it uses.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Screen;

int16_t weekdayOf(const std::string& packedDate);  // 1..7, Monday = 1
int32_t daysBetween(const std::string& first, const std::string& second, const std::string& unit);
// The chosen date as formatDate(packed, 0, "dma"), or "" after Esc.
std::string calendar(Screen& screen);

}  // namespace xt
