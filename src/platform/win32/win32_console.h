// The console on a Windows console window. The program draws into a screen
// buffer of its own (80x25 where the window allows), made active while it
// runs, so the command prompt's text is there again afterwards. Changed cells
// go out with WriteConsoleOutputW; input comes from ReadConsoleInputW as key
// and mouse records, turned into key codes by platform/console_keys.h. A
// window smaller than 80x25 shows a notice instead of the screen until it
// grows; keys are read meanwhile.
//
// Termination: closing the window, logging off and Ctrl+Break (Ctrl+C is a
// key: processed input is off, and a Ctrl+C event counts as the key) are
// handled inside readEvent and beforePause, which call the termination
// handler with 1 (closed), 15 or 2; the default one restores the console and ends the process with
// 128 + that number. Windows ends a closed console's process a few seconds
// after the close; if the program is not reading by then, the console's
// modes are restored from the control handler.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/console_keys.h"

namespace xt {

class Win32Console : public Console {
 public:
  static constexpr int kClosed = 1, kInterrupted = 2, kTerminated = 15;

  Win32Console();
  ~Win32Console() override;

  // Takes over the process's console (CONIN$/CONOUT$, so redirected
  // standard handles do not matter). On failure returns false with a
  // message; the console is left as it was.
  bool open(std::string& error);
  // Gives the console back as it was (also done by the destructor).
  void close();

  void flush() override;
  InputEvent readEvent(int timeoutMs) override;
  void discardInput() override;
  bool hasMouse() const override;
  void enableMouse(bool on) override;
  void beep() override;
  void beforePause() override;
  void leaveTerminal() override;
  void returnToTerminal() override;
  // The Windows clipboard as Unicode text; the process-wide text when the
  // clipboard cannot be opened.
  void setClipboard(const std::string& text) override;
  std::string clipboard() const override;

  // Runs the termination handler when a termination request is waiting.
  void checkTermination();
  // Called with kClosed, kInterrupted or kTerminated when the process is
  // asked to end. If the handler returns after kClosed, readEvent answers
  // Esc from then on, since no more keys will come.
  void setTerminationHandler(std::function<void(int)> handler);
  static bool terminationPending();

  // The too-small notice: the default English text, or the one set with
  // setNoticeText (code page 850). A notice on the screen is drawn again.
  static std::string tooSmallNotice(int columns, int rows);
  void setNoticeText(std::function<std::string(int columns, int rows)> text);
  bool tooSmall() const { return tooSmall_; }

 private:
  bool takeConsole();
  void fitWindow();
  void updateSize(bool force);
  void drawNotice();
  void flushNow();
  bool readInput();
  void setInputMode();

  void* in_ = nullptr;       // CONIN$
  void* shellOut_ = nullptr; // the screen buffer active before open
  void* out_ = nullptr;      // the one drawn on
  bool open_ = false;
  bool ownBuffer_ = false;
  uint32_t savedInputMode_ = 0;
  bool mouseOn_ = true;
  bool hangup_ = false;
  bool tooSmall_ = false;
  int windowColumns_ = ScreenBuffer::kColumns;
  int windowRows_ = ScreenBuffer::kRows;
  int originColumn_ = 0;  // where the screen's top left cell is in the buffer
  int originRow_ = 0;
  bool cursorKnown_ = false;  // the console shows cursor* below
  int sentRow_ = 0, sentColumn_ = 0, sentSize_ = 0;
  bool sentVisible_ = false;
  ConsoleKeyTranslator keys_;
  ConsoleMouseTracker mouse_;
  std::deque<InputEvent> events_;
  std::function<void(int)> terminationHandler_;
  std::function<std::string(int, int)> noticeText_;
};

// Clipboard texts: code page 850 to UTF-16 (line breaks and tabs kept as
// such, the other bytes by their glyph), and back: the first line only,
// characters the code page lacks and control characters dropped.
std::u16string clipboardUnicode(std::string_view text);
std::string clipboardCp850(std::u16string_view text);

}  // namespace xt
