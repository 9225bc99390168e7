// Numeric picture formatting ("Z,ZZ9.99", "-ZZZ9", "***9", ...).
#pragma once

#include <string>

#include "format/format_settings.h"

namespace xt {

// value through picture with the installation's decimal and thousands
// characters; a value that does not fit fills the picture with "!".
std::string formatPicture(const FormatSettings& format, const std::string& picture, double value);

}  // namespace xt
