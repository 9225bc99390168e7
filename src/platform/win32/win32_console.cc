#include "platform/win32/win32_console.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/cp850.h"
#include "platform/key_codes.h"
#include "platform/win32/win32_system.h"

namespace xt {

static_assert(vk::kBack == VK_BACK && vk::kClear == VK_CLEAR && vk::kMenu == VK_MENU &&
              vk::kEscape == VK_ESCAPE && vk::kPrior == VK_PRIOR && vk::kDelete == VK_DELETE &&
              vk::kNumpad0 == VK_NUMPAD0 && vk::kF12 == VK_F12 && vk::kRMenu == VK_RMENU &&
              vk::kLWin == VK_LWIN && vk::kNumLock == VK_NUMLOCK);
static_assert(keystate::kRightAlt == RIGHT_ALT_PRESSED && keystate::kLeftAlt == LEFT_ALT_PRESSED &&
              keystate::kRightCtrl == RIGHT_CTRL_PRESSED && keystate::kLeftCtrl == LEFT_CTRL_PRESSED &&
              keystate::kShift == SHIFT_PRESSED && keystate::kNumLock == NUMLOCK_ON &&
              keystate::kEnhanced == ENHANCED_KEY);
static_assert(ConsoleMouseTracker::kMouseWheeled == MOUSE_WHEELED &&
              ConsoleMouseTracker::kMouseHWheeled == MOUSE_HWHEELED);
static_assert(FROM_LEFT_1ST_BUTTON_PRESSED == 1 && RIGHTMOST_BUTTON_PRESSED == 2 &&
              FROM_LEFT_2ND_BUTTON_PRESSED == 4);

namespace {

// Waits for input wake up this often to notice a window resized without a
// buffer size event (the classic console sends none for the window alone).
constexpr DWORD kSizePollMs = 250;
// How long the control handler of a closing console waits for the program
// to end on its own (Windows ends the process about 5 s after the close).
constexpr DWORD kCloseGraceMs = 4000;

// Shared with the control handler, which runs on a thread of its own.
std::atomic<int> pendingTermination{0};
std::atomic<int> typedCtrlC{0};
HANDLE wakeEvent = nullptr;
struct Saved {
  HANDLE in = nullptr;
  DWORD inputMode = 0;
  HANDLE shellOut = nullptr;
  std::atomic<bool> held{false};
};
Saved saved;

// Puts the console back as the shell had it: its input mode and its screen
// buffer. Safe from any thread; does it once per open.
void restoreConsole() {
  if (!saved.held.exchange(false)) return;
  SetConsoleMode(saved.in, saved.inputMode);
  SetConsoleActiveScreenBuffer(saved.shellOut);
}

BOOL WINAPI controlHandler(DWORD type) {
  int code = 0;
  switch (type) {
    case CTRL_C_EVENT:
      // Ctrl+C is a key here; a console that raises the event for it all
      // the same (Wine does, in a Unix terminal) gets it typed.
      typedCtrlC.fetch_add(1);
      if (wakeEvent) SetEvent(wakeEvent);
      return TRUE;
    case CTRL_BREAK_EVENT: code = Win32Console::kInterrupted; break;
    case CTRL_CLOSE_EVENT: code = Win32Console::kClosed; break;
    case CTRL_LOGOFF_EVENT: case CTRL_SHUTDOWN_EVENT: code = Win32Console::kTerminated; break;
    default: return FALSE;
  }
  pendingTermination.store(code);
  if (wakeEvent) SetEvent(wakeEvent);
  Win32System::requestEnd();  // a pause under way ends at once, so the next beforePause sees it
  if (type == CTRL_BREAK_EVENT) return TRUE;  // the program ends itself at its next read
  // The process ends when this returns: the program's own handler gets
  // its chance to end it first.
  Sleep(kCloseGraceMs);
  restoreConsole();
  return FALSE;
}

void defaultTermination(int code) {
  restoreConsole();
  std::_Exit(128 + code);
}

HANDLE openConsoleFile(const wchar_t* name) {
  HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

std::string systemMessage(const char* what) {
  return std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
}

CHAR_INFO consoleCell(Cell cell) {
  CHAR_INFO out;
  out.Char.UnicodeChar = static_cast<WCHAR>(cp850ToUnicode(cell.ch));
  out.Attributes = cell.attr;  // PC colours: the console's own bit order
  return out;
}

}  // namespace

std::u16string clipboardUnicode(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte == '\r' || byte == '\n' || byte == '\t') out.push_back(static_cast<char16_t>(byte));
    else out.push_back(static_cast<char16_t>(cp850ToUnicode(byte)));
  }
  return out;
}

std::string clipboardCp850(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp == u'\r' || cp == u'\n') break;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    const int byte = unicodeToCp850(cp);
    if (byte >= 0) out.push_back(static_cast<char>(byte));
  }
  return out;
}

Win32Console::Win32Console() : terminationHandler_(defaultTermination) {}

Win32Console::~Win32Console() { close(); }

std::string Win32Console::tooSmallNotice(int columns, int rows) {
  return "Console window too small: needs " + std::to_string(ScreenBuffer::kColumns) + "x" +
         std::to_string(ScreenBuffer::kRows) + ", has " + std::to_string(columns) + "x" + std::to_string(rows);
}

void Win32Console::setNoticeText(std::function<std::string(int columns, int rows)> text) {
  noticeText_ = std::move(text);
  if (open_ && tooSmall_) drawNotice();
}

void Win32Console::setTerminationHandler(std::function<void(int)> handler) {
  terminationHandler_ = handler ? std::move(handler) : std::function<void(int)>(defaultTermination);
}

bool Win32Console::terminationPending() { return pendingTermination.load() != 0; }

bool Win32Console::open(std::string& error) {
  if (open_) return true;
  in_ = openConsoleFile(L"CONIN$");
  shellOut_ = openConsoleFile(L"CONOUT$");
  DWORD mode = 0;
  if (!in_ || !shellOut_ || !GetConsoleMode(in_, &mode)) {
    error = systemMessage("no console to run in");
    if (in_) CloseHandle(in_);
    if (shellOut_) CloseHandle(shellOut_);
    in_ = shellOut_ = nullptr;
    return false;
  }
  savedInputMode_ = mode;
  // A buffer of our own, like a terminal's alternate screen; the shell's
  // one is drawn on only when none can be made.
  out_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CONSOLE_TEXTMODE_BUFFER, nullptr);
  ownBuffer_ = out_ != INVALID_HANDLE_VALUE && out_ != nullptr;
  if (!ownBuffer_) out_ = shellOut_;
  if (!wakeEvent) wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  saved.in = in_;
  saved.inputMode = savedInputMode_;
  saved.shellOut = shellOut_;
  open_ = true;
  takeConsole();
  SetConsoleCtrlHandler(controlHandler, TRUE);
  return true;
}

// Our modes and our buffer, sized to the screen where the window allows.
bool Win32Console::takeConsole() {
  setInputMode();
  SetConsoleActiveScreenBuffer(out_);
  saved.held.store(true);
  fitWindow();
  keys_.reset();
  mouse_.reset();
  updateSize(true);
  return true;
}

void Win32Console::setInputMode() {
  // No processed input (Ctrl+C is a key), no line input or echo, no quick
  // edit (a click would start a selection and stop the output).
  DWORD mode = ENABLE_EXTENDED_FLAGS | ENABLE_WINDOW_INPUT;
  if (mouseOn_) mode |= ENABLE_MOUSE_INPUT;
  SetConsoleMode(in_, mode);
}

void Win32Console::fitWindow() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(out_, &info)) return;
  const SHORT columns = ScreenBuffer::kColumns, rows = ScreenBuffer::kRows;
  if (info.dwSize.X == columns && info.dwSize.Y == rows && info.srWindow.Left == 0 && info.srWindow.Top == 0 &&
      info.srWindow.Right == columns - 1 && info.srWindow.Bottom == rows - 1)
    return;
  // The window has to fit in the buffer at every step: shrink it first.
  SMALL_RECT inner{0, 0, static_cast<SHORT>(std::min<int>(info.srWindow.Right - info.srWindow.Left + 1, columns) - 1),
                   static_cast<SHORT>(std::min<int>(info.srWindow.Bottom - info.srWindow.Top + 1, rows) - 1)};
  SetConsoleWindowInfo(out_, TRUE, &inner);
  SetConsoleScreenBufferSize(out_, COORD{columns, rows});
  // Not beyond the largest window the screen (or the terminal, under Wine)
  // can show: Wine would take the size and draw past the terminal's edge.
  const COORD largest = GetLargestConsoleWindowSize(out_);
  const SHORT wide = largest.X > 0 ? std::min(columns, largest.X) : columns;
  const SHORT high = largest.Y > 0 ? std::min(rows, largest.Y) : rows;
  SMALL_RECT whole{0, 0, static_cast<SHORT>(wide - 1), static_cast<SHORT>(high - 1)};
  SetConsoleWindowInfo(out_, TRUE, &whole);
}

void Win32Console::updateSize(bool force) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  int columns = ScreenBuffer::kColumns, rows = ScreenBuffer::kRows, left = 0, top = 0;
  if (GetConsoleScreenBufferInfo(out_, &info)) {
    const COORD largest = GetLargestConsoleWindowSize(out_);
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (largest.X > 0) columns = std::min<int>(columns, largest.X);
    if (largest.Y > 0) rows = std::min<int>(rows, largest.Y);
    left = info.srWindow.Left;
    top = info.srWindow.Top;
  }
  if (!force && columns == windowColumns_ && rows == windowRows_ && left == originColumn_ && top == originRow_)
    return;
  windowColumns_ = columns;
  windowRows_ = rows;
  originColumn_ = left;
  originRow_ = top;
  tooSmall_ = columns < ScreenBuffer::kColumns || rows < ScreenBuffer::kRows;
  // Whatever the console showed is unknown now: everything is sent again.
  screen_.markAllDirty();
  cursorKnown_ = false;
  if (tooSmall_) drawNotice();
}

void Win32Console::drawNotice() {
  // Blank the window and write the text cut to its width, line after line.
  const std::string text =
      noticeText_ ? noticeText_(windowColumns_, windowRows_) : tooSmallNotice(windowColumns_, windowRows_);
  std::vector<CHAR_INFO> line(static_cast<size_t>(std::max(windowColumns_, 1)));
  size_t pos = 0;
  for (int row = 0; row < windowRows_; ++row) {
    for (int c = 0; c < windowColumns_; ++c) {
      const bool inText = pos + c < text.size();
      line[c] = consoleCell(Cell{inText ? static_cast<uint8_t>(text[pos + c]) : static_cast<uint8_t>(' '), 0x07});
    }
    pos += windowColumns_;
    SMALL_RECT rect{static_cast<SHORT>(originColumn_), static_cast<SHORT>(originRow_ + row),
                    static_cast<SHORT>(originColumn_ + windowColumns_ - 1), static_cast<SHORT>(originRow_ + row)};
    WriteConsoleOutputW(out_, line.data(), COORD{static_cast<SHORT>(windowColumns_), 1}, COORD{0, 0}, &rect);
  }
  CONSOLE_CURSOR_INFO hidden{100, FALSE};
  SetConsoleCursorInfo(out_, &hidden);
  cursorKnown_ = false;
}

void Win32Console::close() {
  if (!open_) return;
  open_ = false;
  SetConsoleCtrlHandler(controlHandler, FALSE);
  restoreConsole();
  if (ownBuffer_) CloseHandle(out_);
  CloseHandle(shellOut_);
  CloseHandle(in_);
  in_ = out_ = shellOut_ = nullptr;
  events_.clear();
}

void Win32Console::flush() { flushNow(); }

void Win32Console::flushNow() {
  if (!open_ || tooSmall_) return;
  CHAR_INFO cells[ScreenBuffer::kColumns];
  for (int row = 1; row <= ScreenBuffer::kRows; ++row) {
    if (!screen_.rowDirty(row)) continue;
    const int first = screen_.dirtyFirst(row), last = screen_.dirtyLast(row);
    for (int c = first; c <= last; ++c) cells[c - first] = consoleCell(screen_.at(row, c));
    SMALL_RECT rect{static_cast<SHORT>(originColumn_ + first - 1), static_cast<SHORT>(originRow_ + row - 1),
                    static_cast<SHORT>(originColumn_ + last - 1), static_cast<SHORT>(originRow_ + row - 1)};
    WriteConsoleOutputW(out_, cells, COORD{static_cast<SHORT>(last - first + 1), 1}, COORD{0, 0}, &rect);
  }
  screen_.clearDirty();
  const bool onScreen = cursorRow_ >= 1 && cursorRow_ <= ScreenBuffer::kRows && cursorColumn_ >= 1 &&
                        cursorColumn_ <= ScreenBuffer::kColumns;
  const bool visible = cursorVisible_ && onScreen;
  const int size = cursorSize_ <= 50 ? 50 : 100;
  if (visible && (!cursorKnown_ || cursorRow_ != sentRow_ || cursorColumn_ != sentColumn_)) {
    SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(originColumn_ + cursorColumn_ - 1),
                                         static_cast<SHORT>(originRow_ + cursorRow_ - 1)});
    sentRow_ = cursorRow_;
    sentColumn_ = cursorColumn_;
  }
  if (!cursorKnown_ || visible != sentVisible_ || (visible && size != sentSize_)) {
    CONSOLE_CURSOR_INFO info{static_cast<DWORD>(size), visible ? TRUE : FALSE};
    SetConsoleCursorInfo(out_, &info);
    sentVisible_ = visible;
    sentSize_ = size;
  }
  if (!cursorKnown_ && !visible) sentRow_ = sentColumn_ = 0;  // position not sent
  cursorKnown_ = true;
}

void Win32Console::checkTermination() {
  const int code = pendingTermination.exchange(0);
  if (code == 0) return;
  if (code == kClosed) hangup_ = true;
  terminationHandler_(code);
}

void Win32Console::beforePause() {
  checkTermination();
  flushNow();
}

void Win32Console::leaveTerminal() {
  if (!open_) return;
  flushNow();
  restoreConsole();
}

void Win32Console::returnToTerminal() {
  if (!open_) return;
  takeConsole();
  flushNow();
}

bool Win32Console::readInput() {
  if (typedCtrlC.load() > 0) {
    typedCtrlC.fetch_sub(1);
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.key = key::kCtrlC;
    events_.push_back(e);
    return true;
  }
  DWORD waiting = 0;
  if (!GetNumberOfConsoleInputEvents(in_, &waiting) || waiting == 0) return false;
  INPUT_RECORD records[64];
  DWORD got = 0;
  if (!ReadConsoleInputW(in_, records, std::min<DWORD>(waiting, 64), &got) || got == 0) return false;
  for (DWORD i = 0; i < got; ++i) {
    const INPUT_RECORD& r = records[i];
    if (r.EventType == KEY_EVENT) {
      const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
      const ConsoleKeyRecord record{k.bKeyDown != FALSE, k.wVirtualKeyCode, k.wVirtualScanCode,
                                    static_cast<char16_t>(k.uChar.UnicodeChar), k.dwControlKeyState};
      const int repeat = k.bKeyDown ? std::max<int>(k.wRepeatCount, 1) : 1;
      for (int n = 0; n < repeat; ++n) {
        if (const int16_t code = keys_.translate(record); code != key::kNone) {
          InputEvent e;
          e.kind = InputEvent::Kind::Key;
          e.key = code;
          events_.push_back(e);
        }
      }
    } else if (r.EventType == MOUSE_EVENT) {
      const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
      const int column = m.dwMousePosition.X - originColumn_, row = m.dwMousePosition.Y - originRow_;
      auto e = mouse_.update(m.dwButtonState, m.dwEventFlags, column, row);
      if (e && mouseOn_ && !tooSmall_ && column >= 0 && column < ScreenBuffer::kColumns && row >= 0 &&
          row < ScreenBuffer::kRows)
        events_.push_back(*e);
    } else if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
      updateSize(true);
      flushNow();
    }
  }
  return true;
}

InputEvent Win32Console::readEvent(int timeoutMs) {
  if (!open_) return {};
  checkTermination();
  // Always before waiting; a look for a key typed meanwhile sends nothing.
  if (timeoutMs != 0) flushNow();
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    checkTermination();
    if (hangup_) {  // the handler chose to go on: no more keys will come
      InputEvent esc;
      esc.kind = InputEvent::Kind::Key;
      esc.key = key::kEsc;
      return esc;
    }
    if (!events_.empty()) {
      InputEvent e = events_.front();
      events_.pop_front();
      return e;
    }
    if (readInput()) continue;
    const ULONGLONG elapsed = GetTickCount64() - start;
    if (timeoutMs == 0 || (timeoutMs > 0 && elapsed >= static_cast<ULONGLONG>(timeoutMs))) return {};
    DWORD wait = kSizePollMs;
    if (timeoutMs > 0) wait = std::min<DWORD>(wait, static_cast<DWORD>(timeoutMs - elapsed));
    HANDLE handles[2] = {in_, wakeEvent};
    WaitForMultipleObjects(wakeEvent ? 2 : 1, handles, FALSE, wait);
    updateSize(false);
    flushNow();
  }
}

void Win32Console::discardInput() {
  if (open_) FlushConsoleInputBuffer(in_);
  typedCtrlC.store(0);
  events_.clear();
  keys_.reset();
}

bool Win32Console::hasMouse() const {
  DWORD buttons = 0;
  return open_ && GetNumberOfConsoleMouseButtons(&buttons) && buttons > 0;
}

void Win32Console::enableMouse(bool on) {
  if (on == mouseOn_) return;
  mouseOn_ = on;
  mouse_.reset();
  if (open_) setInputMode();
}

void Win32Console::beep() {
  // The console's own bell (a BEL written with processed output).
  DWORD written = 0;
  if (open_) WriteConsoleW(out_, L"\a", 1, &written, nullptr);
}

void Win32Console::setClipboard(const std::string& text) {
  Console::setClipboard(text);
  if (!OpenClipboard(nullptr)) return;
  const std::u16string wide = clipboardUnicode(text);
  const size_t bytes = (wide.size() + 1) * sizeof(char16_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, wide.c_str(), bytes);
      GlobalUnlock(memory);
      EmptyClipboard();
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

std::string Win32Console::clipboard() const {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(nullptr)) return Console::clipboard();
  std::string text = Console::clipboard();
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(data))) {
      const size_t limit = GlobalSize(data) / sizeof(char16_t);
      size_t length = 0;
      while (length < limit && p[length] != 0) ++length;
      text = clipboardCp850(std::u16string_view(p, length));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace xt
