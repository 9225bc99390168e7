// The console: an 80x25 grid of code page 850 cells with a cursor and a
// current colour, plus keyboard and mouse input already turned into the
// program's 16-bit key codes. Everything the program draws goes into the
// cell buffer; a backend (the terminal, or the in-memory console of the
// tests) shows it on flush() and feeds input events back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xt {

struct Cell {
  uint8_t ch = ' ';
  uint8_t attr = 0x07;  // foreground bits 0-3, background bits 4-7
  bool operator==(const Cell&) const = default;
};

// The cell grid with a dirty column range per row, so a renderer can send
// only what changed since the last frame.
class ScreenBuffer {
 public:
  static constexpr int kRows = 25;
  static constexpr int kColumns = 80;

  ScreenBuffer();

  // Positions are 1-based; out-of-range positions read as a blank cell and
  // writes to them are dropped.
  Cell at(int row, int column) const;
  void set(int row, int column, Cell cell);
  void fill(Cell cell);

  bool rowDirty(int row) const;
  int dirtyFirst(int row) const;  // first dirty column, 0 when clean
  int dirtyLast(int row) const;
  void markAllDirty();
  void clearDirty();

 private:
  Cell cells_[kRows][kColumns];
  int dirtyFirst_[kRows];
  int dirtyLast_[kRows];
};

struct InputEvent {
  enum class Kind { None, Key, Mouse };
  Kind kind = Kind::None;
  int16_t key = 0;     // program key code (character code, or scan code x 256)
  int16_t button = 0;  // mouse: the released button, 1 left, 2 right, 4 middle
  int16_t row = 0;     // mouse: 1-based screen row
  int16_t column = 0;  // mouse: 1-based screen column
};

class Console {
 public:
  virtual ~Console() = default;

  ScreenBuffer& screen() { return screen_; }
  const ScreenBuffer& screen() const { return screen_; }
  int rows() const { return ScreenBuffer::kRows; }
  int columns() const { return ScreenBuffer::kColumns; }

  // Output into the buffer.
  void setAttribute(uint8_t attr) { attr_ = attr; }
  uint8_t attribute() const { return attr_; }
  void setColours(int foreground, int background) {
    attr_ = static_cast<uint8_t>((foreground & 15) | ((background & 15) << 4));
  }
  void moveCursor(int row, int column);
  int cursorRow() const { return cursorRow_; }
  int cursorColumn() const { return cursorColumn_; }
  // Visible cursor with a size of 50 (bar/underline) or 100 (block) percent.
  void setCursorShape(bool visible, int sizePercent);
  bool cursorVisible() const { return cursorVisible_; }
  int cursorSize() const { return cursorSize_; }
  // Writes code page 850 bytes at the cursor in the current colour; the
  // cursor advances, wraps to the next row at column 80 and stops after the
  // last cell of the screen.
  void write(std::string_view text);
  Cell cell(int row, int column) const { return screen_.at(row, column); }
  void putCell(int row, int column, Cell cell) { screen_.set(row, column, cell); }
  // Fills the whole screen with blanks in the current colour.
  void clear();

  // The text of one row as code page 850 bytes (80 characters).
  std::string rowText(int row) const;

  // Sends the changes to the display. Called before every wait for input.
  virtual void flush() = 0;
  // Returns the next input event, waiting at most timeoutMs milliseconds
  // (0: do not wait, negative: wait until there is one). Flushes first when
  // it waits; a look without waiting sends nothing.
  virtual InputEvent readEvent(int timeoutMs) = 0;
  // Throws away keys typed ahead.
  virtual void discardInput() = 0;
  virtual bool hasMouse() const = 0;
  virtual void enableMouse(bool on) = 0;
  virtual void beep() = 0;
  // Waits that read no key (a locked file, another terminal's lock, the
  // intranet rewrite) call this before each of their pauses: the screen is
  // sent as it stands, so what the wait shows is seen, and a process asked
  // to end (the terminal closed, SIGTERM) ends here as it would while
  // reading a key.
  virtual void beforePause() { flush(); }
  // Around another program that uses the terminal (the help opener): the
  // terminal goes back to the modes it had before this program, then is
  // taken again with the whole screen sent anew.
  virtual void leaveTerminal() {}
  virtual void returnToTerminal() {}

  // Process-wide text clipboard (Ctrl-C / Ctrl-V of the value editor).
  virtual void setClipboard(const std::string& text) { clipboard_ = text; }
  virtual std::string clipboard() const { return clipboard_; }

  // The keyboard's Insert toggle, kept for the whole process.
  bool insertMode() const { return insertMode_; }
  void setInsertMode(bool on) { insertMode_ = on; }

 protected:
  ScreenBuffer screen_;
  uint8_t attr_ = 0x07;
  int cursorRow_ = 1;
  int cursorColumn_ = 1;
  bool cursorVisible_ = false;
  int cursorSize_ = 100;
  bool insertMode_ = false;
  std::string clipboard_;
};

}  // namespace xt
