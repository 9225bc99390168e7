// Date formatting in the four languages, with the installation's
// separator and order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/format_settings.h"

namespace xt {

// A packed date (4 bytes, YYYYMMDD) as text. style -1: "YYYY-MM-DD";
// 0, 1: the parts named in parts ("dma", any case), in the installation's
// order with its separator, the month as a number (0) or its first three
// letters (1), blank-padded to a fixed width; 2 and more: words ("7 de
// desembre de 2026"). Month names and words in the session's language.
std::string formatDate(const FormatSettings& format, std::string_view languageCode,
                       const std::string& packed, int16_t style, const std::string& parts);

}  // namespace xt
