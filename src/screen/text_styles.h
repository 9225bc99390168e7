// Text styles: five colour pairs of the session chosen by letters, with a
// push/pop stack of styles.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Screen;

struct StyleState {
  int16_t currentStyle = 0;
  std::string styleStack;  // one byte per pushed style number
};

// Upper-cases letters in place and selects the style they name (see the
// style table: "h" 0, "n" 1, "r" 2, "rn" 3, "u" 4; "+" push, "-" pop).
void selectTextStyle(Screen& screen, std::string& letters);
inline void selectTextStyle(Screen& screen, const char* letters) {
  std::string l(letters);
  selectTextStyle(screen, l);
}

}  // namespace xt
