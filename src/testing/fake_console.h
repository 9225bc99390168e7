// The in-memory console of the tests: the same cell buffer, input events
// from a script, the screen read back as text. When the script runs dry it
// answers Esc, so a loop that waits for keys ends instead of hanging.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/console.h"

namespace xt {

class FakeConsole : public Console {
 public:
  void flush() override { ++flushes_; }
  InputEvent readEvent(int timeoutMs) override;
  void discardInput() override { ++discards_; }
  bool hasMouse() const override { return mouse_; }
  void enableMouse(bool on) override { mouseEnabled_ = on; }
  void beep() override { ++beeps_; }
  // Keeps the screen as it is sent before the pause, then runs onPause: a
  // test ends the process there (throws ProcessExit) to stand for a signal
  // that came during a wait.
  void beforePause() override {
    ++flushes_;
    pauseScreens.push_back(dump());
    if (onPause) onPause();
  }
  std::function<void()> onPause;
  std::vector<std::string> pauseScreens;  // the screen at each beforePause

  // Script: keys and clicks delivered in order.
  void pushKey(int16_t key);
  void pushKeys(std::initializer_list<int16_t> keys);
  void pushText(std::string_view text);  // one key per byte
  void pushClick(int row, int column, int button = 1);
  // A "no key" answer (readEvent returns an empty event once).
  void pushIdle();
  // Something the test does at this point of the script (the server going
  // away, another terminal's change): run when the program reads past it.
  void pushAction(std::function<void()> action);
  size_t pendingEvents() const { return script_.size(); }
  // After this many events past the end of the script, the next read throws
  // ScriptExhausted instead of answering Esc (a test safety net).
  void setDryLimit(int limit) { dryLimit_ = limit; }
  int dryReads() const { return dryReads_; }

  // Off: the events pushed from now on are typed only once the program
  // waits for input, so a read that does not wait (timeout 0) sees none of
  // them and, with the script dry, gets no key instead of Esc. On (the
  // default): every event is typed ahead.
  void setTypeAhead(bool on) { typeAhead_ = on; }

  void setHasMouse(bool on) { mouse_ = on; }
  bool mouseEnabled() const { return mouseEnabled_; }
  int beeps() const { return beeps_; }
  int discards() const { return discards_; }
  int flushes() const { return flushes_; }

  // Text of a rectangle of the screen, rows joined with "\n".
  std::string text(int top, int left, int bottom, int right) const;
  // Whole screen, trailing blanks of each row removed.
  std::string dump() const;

 private:
  std::deque<InputEvent> script_;
  std::deque<bool> waitOnly_;  // per scripted event: not typed ahead
  std::deque<std::function<void()>> actions_;  // per scripted event: run instead of it
  bool typeAhead_ = true;
  bool mouse_ = true;
  bool mouseEnabled_ = false;
  int beeps_ = 0;
  int discards_ = 0;
  int flushes_ = 0;
  int dryReads_ = 0;
  int dryLimit_ = 10000;
};

struct ScriptExhausted {};

}  // namespace xt
