#include "platform/posix/ansi_renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/cp850.h"

namespace xt {
namespace {

// A small terminal: understands cursor position (CUP, CUF), SGR colours,
// erase display, cursor visibility and shape, and UTF-8 text, with
// autowrap off. Anything else fails the test.
class TerminalModel {
 public:
  struct Glyph {
    char32_t cp = ' ';
    int fg = 39, bg = 49;
  };

  void feed(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
      auto b = static_cast<uint8_t>(bytes[i]);
      if (b == 0x1B) {
        ASSERT_LT(i + 1, bytes.size());
        ASSERT_EQ(bytes[i + 1], '[') << "only CSI sequences expected";
        size_t j = i + 2;
        std::string params;
        while (j < bytes.size() && (bytes[j] < 0x40 || bytes[j] > 0x7E)) params += bytes[j++];
        ASSERT_LT(j, bytes.size());
        csi(params, bytes[j]);
        i = j + 1;
        continue;
      }
      ASSERT_GE(b, 0x20) << "raw control byte " << int(b);
      int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
      for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<uint8_t>(bytes[i + k]) & 0x3F);
      i += n;
      ASSERT_TRUE(row >= 1 && row <= 25 && column >= 1 && column <= 80) << row << "," << column;
      cells[row - 1][column - 1] = Glyph{cp, fg, bg};
      if (column < 80) ++column;  // autowrap off: stays at the margin
    }
  }

  Glyph cells[25][80];
  int row = 1, column = 1, fg = 39, bg = 49;
  bool cursorVisible = true;
  int cursorShape = 0;

 private:
  static std::vector<int> numbers(const std::string& s) {
    std::vector<int> out;
    int v = 0;
    bool any = false;
    for (char c : s) {
      if (c == ';') {
        out.push_back(any ? v : -1);
        v = 0;
        any = false;
      } else if (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        any = true;
      }
    }
    out.push_back(any ? v : -1);
    return out;
  }

  void csi(const std::string& params, char final) {
    auto p = numbers(params);
    auto at = [&](size_t n, int dflt) { return n < p.size() && p[n] >= 0 ? p[n] : dflt; };
    switch (final) {
      case 'H': row = at(0, 1); column = at(1, 1); break;
      case 'C': column = std::min(80, column + at(0, 1)); break;
      case 'J':
        ASSERT_EQ(at(0, 0), 2);
        for (auto& r : cells)
          for (auto& c : r) c = Glyph{' ', fg, bg};
        break;
      case 'm':
        for (int v : p) {
          if (v <= 0) fg = 39, bg = 49;
          else if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97)) fg = v;
          else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) bg = v;
          else FAIL() << "SGR " << v;
        }
        break;
      case 'h': case 'l':
        ASSERT_EQ(params, "?25");
        cursorVisible = final == 'h';
        break;
      case 'q':
        ASSERT_EQ(params.back(), ' ');
        cursorShape = at(0, 0);
        break;
      default: FAIL() << "unexpected CSI " << params << final;
    }
  }
};

int expectedFg(uint8_t attr) {
  static const int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};  // PC colour -> ANSI colour
  return ((attr & 8) ? 90 : 30) + kAnsi[attr & 7];
}
int expectedBg(uint8_t attr) {
  static const int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  return ((attr & 0x80) ? 100 : 40) + kAnsi[(attr >> 4) & 7];
}

void expectSame(const TerminalModel& term, const ScreenBuffer& screen) {
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c) {
      Cell cell = screen.at(r, c);
      const auto& g = term.cells[r - 1][c - 1];
      ASSERT_EQ(g.cp, cp850ToUnicode(cell.ch)) << r << "," << c;
      ASSERT_EQ(g.fg, expectedFg(cell.attr)) << r << "," << c;
      ASSERT_EQ(g.bg, expectedBg(cell.attr)) << r << "," << c;
    }
}

TEST(AnsiRenderer, ReplayedFramesEqualTheBuffer) {
  std::mt19937 random(7);
  ScreenBuffer screen;
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c)
      screen.set(r, c, Cell{static_cast<uint8_t>(random()), static_cast<uint8_t>(random())});
  AnsiRenderer renderer;
  TerminalModel term;
  std::string out;
  CursorState cursor{3, 4, true, 50};
  renderer.render(screen, cursor, out);
  term.feed(out);
  expectSame(term, screen);
  // Frames of scattered changes, runs of one colour, and a forced repaint.
  for (int frame = 0; frame < 40; ++frame) {
    int changes = static_cast<int>(random() % 60);
    for (int i = 0; i < changes; ++i) {
      int r = 1 + random() % 25, c = 1 + random() % 80;
      uint8_t attr = (frame % 3 == 0) ? 0x1E : static_cast<uint8_t>(random());
      screen.set(r, c, Cell{static_cast<uint8_t>(random()), attr});
      if (frame % 4 == 0 && c < 80) screen.set(r, c + 1, Cell{'x', attr});
    }
    if (frame == 20) renderer.invalidate();
    cursor = CursorState{1 + static_cast<int>(random() % 25), 1 + static_cast<int>(random() % 80),
                         frame % 2 == 0, frame % 3 == 0 ? 100 : 50};
    out.clear();
    renderer.render(screen, cursor, out);
    term.feed(out);
    SCOPED_TRACE(frame);
    expectSame(term, screen);
    EXPECT_EQ(term.cursorVisible, cursor.visible);
    if (cursor.visible) {
      EXPECT_EQ(term.row, cursor.row);
      EXPECT_EQ(term.column, cursor.column);
      EXPECT_EQ(term.cursorShape, cursor.sizePercent == 100 ? 2 : 4);
    }
    EXPECT_FALSE(screen.rowDirty(1));
  }
}

TEST(AnsiRenderer, SendsOnlyWhatChanged) {
  ScreenBuffer screen;
  AnsiRenderer renderer;
  std::string out;
  CursorState cursor;  // hidden
  renderer.render(screen, cursor, out);
  out.clear();
  renderer.render(screen, cursor, out);
  EXPECT_EQ(out, "");  // nothing changed: nothing sent

  screen.set(3, 10, Cell{'A', 0x07});
  renderer.render(screen, cursor, out);
  EXPECT_EQ(out, "\x1b[3;10HA");

  // Two adjacent cells: one cursor move; a cell two to the right of the
  // last one written: the unchanged cell between is cheaper to resend.
  out.clear();
  screen.set(5, 1, Cell{'x', 0x07});
  screen.set(5, 2, Cell{'y', 0x07});
  screen.set(5, 4, Cell{'z', 0x07});
  renderer.render(screen, cursor, out);
  EXPECT_EQ(out, "\x1b[5Hxy z");

  // A different colour in between: move right instead of resending.
  out.clear();
  screen.set(6, 2, Cell{'q', 0x1E});
  screen.set(6, 1, Cell{'p', 0x07});
  screen.set(6, 3, Cell{' ', 0x1E});
  renderer.render(screen, cursor, out);
  out.clear();
  screen.set(6, 1, Cell{'P', 0x07});
  screen.set(6, 5, Cell{'r', 0x07});
  renderer.render(screen, cursor, out);
  EXPECT_EQ(out, "\x1b[6H\x1b[37;40mP\x1b[3Cr");
}

TEST(AnsiRenderer, ColourOnlyWhenTheAttributeChanges) {
  ScreenBuffer screen;
  screen.fill(Cell{' ', 0x1E});
  AnsiRenderer renderer;
  std::string out;
  renderer.render(screen, CursorState{}, out);
  size_t sgr = 0;
  for (size_t p = out.find('m'); p != std::string::npos; p = out.find('m', p + 1)) ++sgr;
  EXPECT_EQ(sgr, 2u);  // the reset before clearing, then yellow on blue once
  EXPECT_NE(out.find("\x1b[93;44m"), std::string::npos);
  // Only the half that changed is sent.
  out.clear();
  screen.set(1, 1, Cell{'a', 0x1C});
  screen.set(1, 2, Cell{'b', 0x4C});
  renderer.render(screen, CursorState{}, out);
  EXPECT_EQ(out, "\x1b[H\x1b[91ma\x1b[41mb");
}

TEST(AnsiRenderer, ColourMapping) {
  EXPECT_EQ(AnsiRenderer::colourParameters(0x07), "37;40");
  EXPECT_EQ(AnsiRenderer::colourParameters(0x1E), "93;44");  // yellow on blue
  EXPECT_EQ(AnsiRenderer::colourParameters(0x4F), "97;41");  // white on red
  EXPECT_EQ(AnsiRenderer::colourParameters(0x03), "36;40");  // cyan stays cyan
  EXPECT_EQ(AnsiRenderer::colourParameters(0xE5), "35;103");  // bright background
}

TEST(AnsiRenderer, CursorStateIsSentOnlyWhenItChanges) {
  ScreenBuffer screen;
  AnsiRenderer renderer;
  std::string out;
  renderer.render(screen, CursorState{5, 10, true, 50}, out);
  EXPECT_EQ(out.substr(out.size() - 18), "\x1b[5;10H\x1b[4 q\x1b[?25h");
  out.clear();
  renderer.render(screen, CursorState{5, 10, true, 50}, out);
  EXPECT_EQ(out, "");
  renderer.render(screen, CursorState{5, 10, true, 100}, out);
  EXPECT_EQ(out, "\x1b[2 q");
  out.clear();
  renderer.render(screen, CursorState{5, 10, false, 100}, out);
  EXPECT_EQ(out, "\x1b[?25l");
  out.clear();
  renderer.render(screen, CursorState{26, 1, true, 100}, out);  // off the screen: hidden
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace xt
