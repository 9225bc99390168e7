// The key reader: console events turned into the screen's key codes,
// text typed by the pop-up tools (pendingInput), and the hot keys of the
// calculator (Alt+X) and the calendar (Alt+C).
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Screen;

struct KeyReaderState {
  std::string pendingInput;
  // 0 not set up, 1 clicks taken, 2 clicks taken again from the next read,
  // 3 no mouse. The console itself reports the mouse throughout once set up.
  int16_t mouseState = 0;
  bool inCalculator = false;
  bool inCalendar = false;
};

// Returns at once (or after waiting up to timeoutMs for input, -1 without
// limit); key 0 when nothing is waiting. button != 0 for a click at the
// 1-based screen position (mouseRow, mouseColumn).
void readKeyEvent(Screen& screen, int16_t& key, int16_t& button, int16_t& mouseRow,
                  int16_t& mouseColumn, int timeoutMs = 0);
// A key read straight from the console, for readers that must not type the
// tools' text nor open the tools: pendingInput is left alone, the hot keys
// are plain keys and mouse events are dropped. 0 when no key came within
// timeoutMs (-1 without limit).
int16_t readConsoleKey(Screen& screen, int timeoutMs);
// Waits for a key or click; a click becomes column*256 + button*64 + row.
void waitKey(Screen& screen, int16_t& key);
int16_t waitKey(Screen& screen);

}  // namespace xt
