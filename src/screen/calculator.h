// The desk calculator pop-up (Alt+X) with its paper tape, kept between runs
// in TAVCALC.TMP in the terminal directory.
#pragma once

#include <string>

namespace xt {

struct Screen;

// The result typed by "F", or "" after Esc.
std::string calculator(Screen& screen);

}  // namespace xt
