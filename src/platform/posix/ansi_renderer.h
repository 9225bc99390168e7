// The renderer: turns the screen buffer into ANSI bytes for a terminal,
// sending only the cells that differ from the last frame sent. It keeps
// that frame, the colour and cursor state it left the terminal in, and
// uses them to skip needless cursor moves and colour sequences.
//
// Output of one frame, for example a changed "Ab" at row 3 columns 10-11 in
// yellow on blue, then the cursor shown at 3,12:
//   ESC[3;10H  ESC[93;44m  A b  ESC[?25h
// Colours: PC attribute bits are blue 1, green 2, red 4, bright 8; ANSI
// wants red 1, blue 4, so red and blue swap; bright colours use 90-97
// (foreground) and 100-107 (background).
#pragma once

#include <cstdint>
#include <string>

#include "platform/console.h"

namespace xt {

struct CursorState {
  int row = 1;
  int column = 1;
  bool visible = false;
  int sizePercent = 100;  // below 100: underline, 100: block
};

class AnsiRenderer {
 public:
  AnsiRenderer();

  // Appends to out the bytes that bring the terminal from the last frame
  // to screen and cursor, and clears the screen's dirty ranges. Appends
  // nothing when nothing changed.
  void render(ScreenBuffer& screen, const CursorState& cursor, std::string& out);

  // Forget what the terminal shows: the next frame clears it and sends
  // every cell (after a resize, a resume, or drawing something else).
  void invalidate();

  // SGR parameters for a PC attribute ("93;44").
  static std::string colourParameters(uint8_t attr);

 private:
  void moveTo(int row, int column, const ScreenBuffer& screen, std::string& out);
  void setAttribute(uint8_t attr, std::string& out);

  Cell last_[ScreenBuffer::kRows][ScreenBuffer::kColumns];
  bool full_ = true;
  int termRow_ = 0;     // where the terminal's cursor is, 0 when unknown
  int termColumn_ = 0;
  int attr_ = -1;       // the terminal's colours, -1 when unknown
  int cursorVisible_ = -1;
  int cursorShape_ = -1;
};

}  // namespace xt
