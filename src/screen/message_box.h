// The message box (a word-wrapped text in a framed box centred on a row,
// left on the screen stack for its caller to close), text wrapping and
// rectangle scrolling.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Screen;

void messageBox(Screen& screen, int16_t row, const std::string& text);
// Replaces text by its lines of width characters laid end to end.
void wrapText(std::string& text, int16_t indent, int16_t width, const std::string& mode);
void scrollRectangle(Screen& screen, int16_t top, int16_t left, int16_t bottom, int16_t right,
                     int16_t lines);

}  // namespace xt
