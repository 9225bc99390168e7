#include "platform/posix/ansi_renderer.h"

#include "platform/cp850.h"

namespace xt {
namespace {

int ansiColour(int pc) { return (pc & 2) | ((pc & 1) << 2) | ((pc & 4) >> 2); }

int foregroundCode(uint8_t attr) {
  return ((attr & 8) ? 90 : 30) + ansiColour(attr & 7);
}

int backgroundCode(uint8_t attr) {
  return ((attr & 0x80) ? 100 : 40) + ansiColour((attr >> 4) & 7);
}

void appendNumber(std::string& out, int n) { out += std::to_string(n); }

}  // namespace

AnsiRenderer::AnsiRenderer() { invalidate(); }

void AnsiRenderer::invalidate() {
  full_ = true;
  termRow_ = termColumn_ = 0;
  attr_ = -1;
  cursorVisible_ = -1;
  cursorShape_ = -1;
}

std::string AnsiRenderer::colourParameters(uint8_t attr) {
  return std::to_string(foregroundCode(attr)) + ";" + std::to_string(backgroundCode(attr));
}

void AnsiRenderer::setAttribute(uint8_t attr, std::string& out) {
  if (attr_ == attr) return;
  out += "\x1b[";
  if (attr_ >= 0 && (attr_ & 0xF0) == (attr & 0xF0)) {
    appendNumber(out, foregroundCode(attr));
  } else if (attr_ >= 0 && (attr_ & 0x0F) == (attr & 0x0F)) {
    appendNumber(out, backgroundCode(attr));
  } else {
    out += colourParameters(attr);
  }
  out += 'm';
  attr_ = attr;
}

void AnsiRenderer::moveTo(int row, int column, const ScreenBuffer& screen, std::string& out) {
  if (termRow_ == row && termColumn_ == column) return;
  if (termRow_ == row && termColumn_ > 0 && termColumn_ < column) {
    // Forward on the same row: either send the cells in between again (they
    // are unchanged, so this only costs bytes when they share the current
    // colour) or move right, whichever is shorter.
    int gap = column - termColumn_;
    size_t forward = gap == 1 ? 3 : 3 + std::to_string(gap).size();
    size_t resend = 0;
    for (int c = termColumn_; c < column && resend <= forward; ++c) {
      Cell cell = screen.at(row, c);
      if (cell.attr != attr_ || !(cell == last_[row - 1][c - 1])) {
        resend = forward + 1;
        break;
      }
      resend += cp850GlyphUtf8(cell.ch).size();
    }
    if (resend <= forward) {
      for (int c = termColumn_; c < column; ++c) out += cp850GlyphUtf8(screen.at(row, c).ch);
    } else {
      out += "\x1b[";
      if (gap > 1) appendNumber(out, gap);
      out += 'C';
    }
  } else {
    out += "\x1b[";
    if (row > 1 || column > 1) appendNumber(out, row);
    if (column > 1) {
      out += ';';
      appendNumber(out, column);
    }
    out += 'H';
  }
  termRow_ = row;
  termColumn_ = column;
}

void AnsiRenderer::render(ScreenBuffer& screen, const CursorState& cursor, std::string& out) {
  if (full_) {
    out += "\x1b[0m\x1b[H\x1b[2J";
    attr_ = -1;
    termRow_ = termColumn_ = 1;
  }
  for (int r = 1; r <= ScreenBuffer::kRows; ++r) {
    int first = full_ ? 1 : screen.dirtyFirst(r);
    int last = full_ ? ScreenBuffer::kColumns : screen.dirtyLast(r);
    if (first == 0) continue;
    for (int c = first; c <= last; ++c) {
      Cell cell = screen.at(r, c);
      Cell& sent = last_[r - 1][c - 1];
      if (!full_ && cell == sent) continue;
      moveTo(r, c, screen, out);
      setAttribute(cell.attr, out);
      out += cp850GlyphUtf8(cell.ch);
      sent = cell;
      // With autowrap off the cursor sticks at the right margin; on a wider
      // terminal it moves on. Either way, say we do not know.
      termColumn_ = c < ScreenBuffer::kColumns ? c + 1 : 0;
    }
  }
  screen.clearDirty();
  full_ = false;

  bool inside = cursor.row >= 1 && cursor.row <= ScreenBuffer::kRows && cursor.column >= 1 &&
                cursor.column <= ScreenBuffer::kColumns;
  bool visible = cursor.visible && inside;
  if (visible) {
    moveTo(cursor.row, cursor.column, screen, out);
    int shape = cursor.sizePercent >= 100 ? 2 : 4;  // steady block / steady underline
    if (shape != cursorShape_) {
      out += "\x1b[";
      appendNumber(out, shape);
      out += " q";
      cursorShape_ = shape;
    }
  }
  if (static_cast<int>(visible) != cursorVisible_) {
    out += visible ? "\x1b[?25h" : "\x1b[?25l";
    cursorVisible_ = visible;
  }
}

}  // namespace xt
