#include "screen/message_box.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "format/fixed_text.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

bool isControl(char c) { return static_cast<uint8_t>(c) < 0x20; }

// Widens the gaps between words one blank at a time, from the left and
// round again, until the line is width long.
std::string justify(const std::string& line, size_t indent, size_t width) {
  std::vector<size_t> gaps;  // positions of the last blank of each gap
  for (size_t i = indent; i + 1 < line.size(); ++i)
    if (line[i] == ' ' && line[i + 1] != ' ') gaps.push_back(i);
  if (gaps.empty()) return line;
  std::string out = line;
  size_t next = 0;
  while (out.size() < width) {
    size_t g = gaps[next];
    out.insert(g, 1, ' ');
    for (size_t k = next + 1; k < gaps.size(); ++k) ++gaps[k];
    next = (next + 1) % gaps.size();
  }
  return out;
}

}  // namespace

void wrapText(std::string& text, int16_t indent, int16_t width, const std::string& mode) {
  char m = mode.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(mode[0])));
  std::string result;
  size_t pos = 0;
  bool first = true;
  const std::string& src = text;
  while (pos < src.size()) {
    int ind = first ? (indent > 0 ? indent : 0) : (indent < 0 ? -indent : 0);
    first = false;
    int room = width - ind;
    // Take characters until room of them are taken; control characters
    // take no room.
    size_t end = pos;
    int taken = 0;
    while (end < src.size() && taken < room) {
      if (!isControl(src[end])) ++taken;
      ++end;
    }
    if (end > pos && static_cast<uint8_t>(src[end - 1]) > 0x20)
      while (end < src.size() && isControl(src[end])) ++end;
    // Cut back to the last blank when a word would be split.
    if (end < src.size() && src[end] != ' ') {
      size_t blank = src.rfind(' ', end - 1);
      if (blank != std::string::npos && blank >= pos && blank > pos) end = blank;
    }
    if (end == pos) end = pos + 1;  // never stall on a piece of nothing
    std::string line = std::string(static_cast<size_t>(ind), ' ') + src.substr(pos, end - pos);
    pos = end;
    while (pos < src.size() && src[pos] == ' ') ++pos;
    bool last = pos >= src.size();

    size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    if (line.size() < w) {
      size_t missing = w - line.size();
      switch (m) {
        case 'E': case 'L': case 'I': line.append(missing, ' '); break;
        case 'N': line.append(missing, '-'); break;
        case 'D': case 'R': line.insert(0, missing, ' '); break;
        case 'C': line = std::string(missing / 2, ' ') + line + std::string(missing - missing / 2, ' '); break;
        case 'A': case 'B':
          if (!last) line = justify(line, static_cast<size_t>(ind), w);
          break;
        default: break;
      }
    }
    result += line;
  }
  text = result;
}

void messageBox(Screen& screen, int16_t row, const std::string& text) {
  selectTextStyle(screen, "+rh");
  std::string wrapped = text;
  wrapText(wrapped, 0, 76, "i");
  std::vector<std::string> lines;
  for (size_t i = 0; i < wrapped.size(); i += 76) lines.push_back(wrapped.substr(i, 76));
  int n = static_cast<int>(lines.size());
  int rows = screenRows(screen);

  int top = std::max(1, row - (n + 1) / 2 - 2);
  int bottom = top + n + 1;
  if (bottom > rows) {
    bottom = rows;
    top = bottom - n - 1;
  }
  if (top < 1) {
    // Too long for the screen: nothing is drawn, but a region is still
    // pushed (the whole screen, unchanged) so the caller's restoreRegion
    // pops this box and not the window under it.
    saveRegion(screen, 1, 1, static_cast<int16_t>(rows), screenColumns(screen));
    selectTextStyle(screen, "-");
    return;
  }
  size_t longest = 0;
  for (const std::string& l : lines) longest = std::max(longest, rightTrimmed(l).size());
  int L = static_cast<int>(longest);
  int left = 41 - (L + 1) / 2 - 2;
  int right = 41 + L / 2 + 1;
  saveRegion(screen, static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
             static_cast<int16_t>(right));
  drawFrame(screen, 1);
  for (int i = 0; i < n; ++i) {
    locateInWindow(screen, static_cast<int16_t>(i + 1), 2);
    printText(screen, rightTrimmed(lines[static_cast<size_t>(i)]));
  }
  selectTextStyle(screen, "-");
}

void scrollRectangle(Screen& screen, int16_t top, int16_t left, int16_t bottom, int16_t right,
                     int16_t lines) {
  Console& con = screen.console;
  int t = top + 1, l = left + 1, b = bottom + 1, r = right + 1;
  t = std::max(t, 1);
  l = std::max(l, 1);
  b = std::min(b, con.rows());
  r = std::min(r, con.columns());
  if (t > b || l > r || lines == 0) return;
  int height = b - t + 1;
  Cell blank{' ', con.attribute()};
  auto copyRow = [&](int from, int to) {
    for (int c = l; c <= r; ++c) con.putCell(to, c, con.cell(from, c));
  };
  auto clearRow = [&](int rowNumber) {
    for (int c = l; c <= r; ++c) con.putCell(rowNumber, c, blank);
  };
  int n = lines > 0 ? lines : -lines;
  if (n >= height) {
    for (int row = t; row <= b; ++row) clearRow(row);
    return;
  }
  if (lines > 0) {
    for (int row = t; row + n <= b; ++row) copyRow(row + n, row);
    for (int row = b - n + 1; row <= b; ++row) clearRow(row);
  } else {
    for (int row = b; row - n >= t; --row) copyRow(row - n, row);
    for (int row = t; row < t + n; ++row) clearRow(row);
  }
}

}  // namespace xt
