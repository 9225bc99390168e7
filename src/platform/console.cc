#include "platform/console.h"

namespace xt {

ScreenBuffer::ScreenBuffer() {
  fill(Cell{});
}

Cell ScreenBuffer::at(int row, int column) const {
  if (row < 1 || row > kRows || column < 1 || column > kColumns) return Cell{};
  return cells_[row - 1][column - 1];
}

void ScreenBuffer::set(int row, int column, Cell cell) {
  if (row < 1 || row > kRows || column < 1 || column > kColumns) return;
  Cell& target = cells_[row - 1][column - 1];
  if (target == cell) return;
  target = cell;
  int& first = dirtyFirst_[row - 1];
  int& last = dirtyLast_[row - 1];
  if (first == 0 || column < first) first = column;
  if (column > last) last = column;
}

void ScreenBuffer::fill(Cell cell) {
  for (auto& row : cells_)
    for (auto& c : row) c = cell;
  markAllDirty();
}

bool ScreenBuffer::rowDirty(int row) const { return dirtyFirst(row) != 0; }

int ScreenBuffer::dirtyFirst(int row) const {
  return (row < 1 || row > kRows) ? 0 : dirtyFirst_[row - 1];
}

int ScreenBuffer::dirtyLast(int row) const {
  return (row < 1 || row > kRows) ? 0 : dirtyLast_[row - 1];
}

void ScreenBuffer::markAllDirty() {
  for (int r = 0; r < kRows; ++r) {
    dirtyFirst_[r] = 1;
    dirtyLast_[r] = kColumns;
  }
}

void ScreenBuffer::clearDirty() {
  for (int r = 0; r < kRows; ++r) dirtyFirst_[r] = dirtyLast_[r] = 0;
}

void Console::moveCursor(int row, int column) {
  cursorRow_ = row;
  cursorColumn_ = column;
}

void Console::setCursorShape(bool visible, int sizePercent) {
  cursorVisible_ = visible;
  cursorSize_ = sizePercent;
}

void Console::write(std::string_view text) {
  for (char ch : text) {
    if (cursorRow_ < 1 || cursorRow_ > rows()) return;
    if (cursorColumn_ >= 1 && cursorColumn_ <= columns())
      screen_.set(cursorRow_, cursorColumn_, Cell{static_cast<uint8_t>(ch), attr_});
    ++cursorColumn_;
    if (cursorColumn_ > columns()) {
      cursorColumn_ = 1;
      ++cursorRow_;
      if (cursorRow_ > rows()) {
        cursorRow_ = rows();
        cursorColumn_ = columns();
        return;
      }
    }
  }
}

void Console::clear() {
  screen_.fill(Cell{' ', attr_});
  cursorRow_ = cursorColumn_ = 1;
}

std::string Console::rowText(int row) const {
  std::string text;
  text.reserve(columns());
  for (int c = 1; c <= columns(); ++c) text.push_back(static_cast<char>(screen_.at(row, c).ch));
  return text;
}

}  // namespace xt
