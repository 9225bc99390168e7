// Numeric picture formatting ("Z,ZZ9.99", "-ZZZ9", "***9", ...).
#pragma once

#include <string>

namespace xt {

struct Program;

std::string formatPicture(Program& program, const std::string& picture, double value);

}  // namespace xt
