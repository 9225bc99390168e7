// A text's lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xt {

// Splits a text into lines ended by CR LF or LF (the line ends removed). A
// last line without a line end is kept.
std::vector<std::string> splitLines(std::string_view text);

}  // namespace xt
