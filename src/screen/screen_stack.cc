#include "screen/screen_stack.h"

#include <cstdlib>

#include "platform/binary_file.h"
#include "screen/screen.h"

namespace xt {

namespace {

constexpr int64_t kEmptyEnd = 5;  // 1-based position after the 4-byte end pointer
constexpr int kFieldsSize = 20;
constexpr int kTrailerSize = 5;

std::string stackPath(const Screen& screen) { return screen.settings.tempDir + "WinPush.tmp"; }

std::string int32Bytes(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                     static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
}

int32_t bytesInt32(const std::string& b) {
  uint32_t u = 0;
  for (size_t i = 0; i < 4 && i < b.size(); ++i) u |= static_cast<uint32_t>(static_cast<uint8_t>(b[i])) << (8 * i);
  return static_cast<int32_t>(u);
}

// Decimal digits only; -1 for anything else.
long digitsValue(const std::string& text) {
  if (text.empty()) return -1;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

void forgetAllWindows(Screen& screen, const std::string& path) {
  screen.windows = WindowState{};
  (void)screen.fs.removeFile(path);
}

}  // namespace

std::string zeroPad(long long value, int width) {
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  if (static_cast<int>(digits.size()) > width) return digits.substr(digits.size() - static_cast<size_t>(width));
  return std::string(static_cast<size_t>(width) - digits.size(), '0') + digits;
}

int16_t screenRows(const Screen& screen) { return static_cast<int16_t>(screen.console.rows()); }

int16_t screenColumns(const Screen& screen) { return static_cast<int16_t>(screen.console.columns()); }

int16_t windowLastColumn(const Screen& screen) {
  return screen.windows.windowDepth == 0 ? screenColumns(screen)
                                          : static_cast<int16_t>(screen.windows.windowRight - 1);
}

int16_t windowFirstRow(const Screen& screen) {
  return screen.windows.windowDepth == 0 ? 1 : static_cast<int16_t>(screen.windows.windowTop + 1);
}

int16_t windowFirstColumn(const Screen& screen) {
  return screen.windows.windowDepth == 0 ? 1 : static_cast<int16_t>(screen.windows.windowLeft + 1);
}

void locateInWindow(Screen& screen, int16_t row, int16_t col) {
  const WindowState& w = screen.windows;
  if (w.windowDepth == 0)
    screen.console.moveCursor(row, col);
  else
    screen.console.moveCursor(w.windowTop + row, w.windowLeft + col);
}

void printText(Screen& screen, const std::string& text) { screen.console.write(text); }

void saveRegion(Screen& screen, int16_t top, int16_t left, int16_t bottom, int16_t right) {
  int16_t rows = screenRows(screen), cols = screenColumns(screen);
  if (top < 1 || top > rows || bottom < 1 || bottom > rows || left < 1 || left > cols || right < 1 ||
      right > cols || top > bottom || left > right)
    return;

  BinaryFile file;
  if (!file.open(screen.fs, stackPath(screen), BinaryFile::Mode::ReadWriteCreate).ok()) return;
  int64_t end = kEmptyEnd;
  if (file.size() > 3) {
    end = bytesInt32(file.readAt(0, 4));
    if (end < kEmptyEnd || end > file.size() + 1) {
      // A damaged stack can't be unwound: forget the windows it held and
      // start a fresh one, so windowDepth keeps counting what the file holds.
      screen.windows = WindowState{};
      end = kEmptyEnd;
    }
  }

  WindowState& w = screen.windows;
  std::string record;
  for (int v : {screen.console.cursorRow(), screen.console.cursorColumn(), int(w.windowTop),
                int(w.windowLeft), int(w.windowBottom), int(w.windowRight), int(top), int(left),
                int(bottom), int(right)})
    record += zeroPad(v, 2);
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      Cell cell = screen.console.cell(r, c);
      record.push_back(static_cast<char>(cell.ch));
      record.push_back(static_cast<char>(cell.attr));
    }
  }
  record += zeroPad(static_cast<long long>(record.size()) + kTrailerSize, kTrailerSize);

  if (!file.writeAt(end - 1, record).ok()) return;
  int64_t newEnd = end + static_cast<int64_t>(record.size());
  if (!file.writeAt(0, int32Bytes(static_cast<int32_t>(newEnd))).ok()) return;
  w.windowTop = top;
  w.windowLeft = left;
  w.windowBottom = bottom;
  w.windowRight = right;
  ++w.windowDepth;
}

void restoreRegion(Screen& screen) {
  std::string path = stackPath(screen);
  BinaryFile file;
  if (!file.open(screen.fs, path, BinaryFile::Mode::ReadWrite).ok()) return;
  int64_t size = file.size();
  int64_t end = kEmptyEnd;
  if (size > 3) {
    end = bytesInt32(file.readAt(0, 4));
    if (end == kEmptyEnd) {
      file.close();
      (void)screen.fs.removeFile(path);
      return;
    }
    // A damaged stack never paints: the window state is reset and the
    // file removed.
    if (end < kEmptyEnd + kFieldsSize + kTrailerSize || end > size + 1) {
      file.close();
      forgetAllWindows(screen, path);
      return;
    }
    long length = digitsValue(file.readAt(end - 1 - kTrailerSize, kTrailerSize));
    int64_t start = end - length;
    if (length < kFieldsSize + kTrailerSize || start < kEmptyEnd) {
      file.close();
      forgetAllWindows(screen, path);
      return;
    }
    std::string fields = file.readAt(start - 1, kFieldsSize);
    long v[10];
    for (int i = 0; i < 10; ++i) v[i] = digitsValue(fields.substr(static_cast<size_t>(i) * 2, 2));
    int rows = screenRows(screen), cols = screenColumns(screen);
    auto onScreen = [&](long t, long l, long b, long r) {
      return t >= 1 && t <= b && b <= rows && l >= 1 && l <= r && r <= cols;
    };
    long top = v[6], left = v[7], bottom = v[8], right = v[9];
    bool sane = true;
    for (long x : v) sane = sane && x >= 0;
    // The window to reopen is either none (all zero) or a rectangle on the
    // screen, like the saved one.
    bool noWindow = v[2] == 0 && v[3] == 0 && v[4] == 0 && v[5] == 0;
    sane = sane && onScreen(top, left, bottom, right) && (noWindow || onScreen(v[2], v[3], v[4], v[5]));
    long cells = sane ? (bottom - top + 1) * (right - left + 1) : 0;
    if (!sane || kFieldsSize + 2 * cells + kTrailerSize != length) {
      file.close();
      forgetAllWindows(screen, path);
      return;
    }

    WindowState& w = screen.windows;
    if (w.windowDepth > 0) --w.windowDepth;
    w.windowTop = static_cast<int16_t>(v[2]);
    w.windowLeft = static_cast<int16_t>(v[3]);
    w.windowBottom = static_cast<int16_t>(v[4]);
    w.windowRight = static_cast<int16_t>(v[5]);

    // The record lies wholly before the end pointer, which is inside the
    // file, so all 2 * cells bytes are there.
    std::string data = file.readAt(start - 1 + kFieldsSize, static_cast<size_t>(2 * cells));
    size_t i = 0;
    for (long r = top; r <= bottom; ++r) {
      for (long c = left; c <= right && i + 1 < data.size(); ++c, i += 2) {
        Cell cell{static_cast<uint8_t>(data[i]), static_cast<uint8_t>(data[i + 1])};
        screen.console.putCell(static_cast<int>(r), static_cast<int>(c), cell);
        screen.console.setAttribute(cell.attr);
      }
    }
    screen.console.moveCursor(static_cast<int>(v[0]), static_cast<int>(v[1]));
    (void)file.writeAt(0, int32Bytes(static_cast<int32_t>(start)));
    end = start;
    // The last record is gone: whatever windowDepth said, no window is open.
    if (end == kEmptyEnd) w.windowDepth = 0;
  }
  file.close();
  // An empty stack (popped to the bottom, or a file of at most 3 bytes that
  // holds nothing) leaves no file; the latter changes no window state.
  if (end < 6) (void)screen.fs.removeFile(path);
}

void drawFrame(Screen& screen, int16_t style) {
  const WindowState& w = screen.windows;
  if (w.windowDepth == 0) return;
  static const uint8_t glyphs[3][6] = {
      {0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0xDA, 0xBF, 0xC0, 0xD9, 0xC4, 0xB3},
      {0xC9, 0xBB, 0xC8, 0xBC, 0xCD, 0xBA},
  };
  const uint8_t* g = glyphs[(style >= 0 && style <= 2) ? style : 0];
  Console& con = screen.console;
  int width = w.windowRight - w.windowLeft - 1;
  auto line = [&](uint8_t first, uint8_t middle, uint8_t last) {
    std::string s(1, static_cast<char>(first));
    if (width > 0) s.append(static_cast<size_t>(width), static_cast<char>(middle));
    if (w.windowRight > w.windowLeft) s.push_back(static_cast<char>(last));
    return s;
  };
  con.moveCursor(w.windowTop, w.windowLeft);
  con.write(line(g[0], g[4], g[1]));
  for (int r = w.windowTop + 1; r <= w.windowBottom - 1; ++r) {
    con.moveCursor(r, w.windowLeft);
    con.write(line(g[5], ' ', g[5]));
  }
  if (w.windowBottom > w.windowTop) {
    con.moveCursor(w.windowBottom, w.windowLeft);
    con.write(line(g[2], g[4], g[3]));
  }
}

}  // namespace xt
