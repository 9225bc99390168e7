#include "screen/text_styles.h"

#include "screen/screen.h"

namespace xt {

void selectTextStyle(Screen& screen, std::string& letters) {
  for (char& c : letters)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (letters.find_first_not_of(' ') == std::string::npos) return;

  StyleState& s = screen.styles;
  if (letters.find('+') != std::string::npos) s.styleStack.push_back(static_cast<char>(s.currentStyle));

  int16_t style;
  if (letters.find('-') != std::string::npos) {
    if (s.styleStack.empty()) {
      style = 0;
    } else {
      style = static_cast<uint8_t>(s.styleStack.back());
      s.styleStack.pop_back();
    }
  } else if (letters.find('U') != std::string::npos) {
    style = 4;
  } else {
    style = static_cast<int16_t>((letters.find('R') != std::string::npos ? 2 : 0) +
                                 (letters.find('N') != std::string::npos ? 1 : 0));
  }
  if (style < 0 || style > 4) style = 0;
  const int16_t* pair = screen.settings.colourPairs[style];
  screen.console.setColours(pair[0], pair[1]);
  s.currentStyle = style;
}

}  // namespace xt
