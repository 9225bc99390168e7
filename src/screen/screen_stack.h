// The stack of saved screen rectangles behind every pop-up, kept in
// WinPush.tmp in the session's temporary directory, and the geometry of the
// current window.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Screen;

struct WindowState {
  int16_t windowDepth = 0;
  int16_t windowTop = 0, windowLeft = 0, windowBottom = 0, windowRight = 0;
};

int16_t screenRows(const Screen& screen);
int16_t screenColumns(const Screen& screen);
int16_t windowLastColumn(const Screen& screen);
// The screen position of the current window's first inside row and
// column (1, 1 without a window).
int16_t windowFirstRow(const Screen& screen);
int16_t windowFirstColumn(const Screen& screen);
void locateInWindow(Screen& screen, int16_t row, int16_t col);
// Writes text at the cursor in the current colour.
void printText(Screen& screen, const std::string& text);
void saveRegion(Screen& screen, int16_t top, int16_t left, int16_t bottom, int16_t right);
void restoreRegion(Screen& screen);
void drawFrame(Screen& screen, int16_t style);
// Decimal digits of value without sign, left-padded with "0" to width,
// only the last width digits kept.
std::string zeroPad(long long value, int width);

}  // namespace xt
