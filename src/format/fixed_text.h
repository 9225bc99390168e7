// Fixed-length texts: record fields, field values and 1- and 3-character
// settings keep their length, so an assignment left-justifies, cuts and
// pads with blanks; and the trimming of blanks that goes with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xt {

// text left-justified, cut or blank-padded to width: ("AB", 4) gives "AB  ".
std::string fitText(std::string_view text, size_t width);
// text without its trailing blanks.
std::string rightTrimmed(std::string_view text);
// text without its leading and trailing blanks.
std::string trimmed(std::string_view text);
// -1 when every character of text has the code (also for an empty text),
// else 0.
int16_t isAllChar(std::string_view text, int16_t code);

}  // namespace xt
