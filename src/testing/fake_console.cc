#include "testing/fake_console.h"

namespace xt {

InputEvent FakeConsole::readEvent(int timeoutMs) {
  flush();
  for (;;) {
    if (timeoutMs == 0 && (script_.empty() ? !typeAhead_ : waitOnly_.front())) return InputEvent{};
    if (script_.empty()) break;
    InputEvent e = script_.front();
    std::function<void()> action = std::move(actions_.front());
    script_.pop_front();
    waitOnly_.pop_front();
    actions_.pop_front();
    if (!action) return e;
    action();
  }
  if (++dryReads_ > dryLimit_) throw ScriptExhausted{};
  InputEvent esc;
  esc.kind = InputEvent::Kind::Key;
  esc.key = 27;
  return esc;
}

void FakeConsole::pushKey(int16_t key) {
  InputEvent e;
  e.kind = InputEvent::Kind::Key;
  e.key = key;
  script_.push_back(e);
  waitOnly_.push_back(!typeAhead_);
  actions_.emplace_back();
}

void FakeConsole::pushKeys(std::initializer_list<int16_t> keys) {
  for (int16_t k : keys) pushKey(k);
}

void FakeConsole::pushText(std::string_view text) {
  for (char c : text) pushKey(static_cast<int16_t>(static_cast<uint8_t>(c)));
}

void FakeConsole::pushClick(int row, int column, int button) {
  InputEvent e;
  e.kind = InputEvent::Kind::Mouse;
  e.button = static_cast<int16_t>(button);
  e.row = static_cast<int16_t>(row);
  e.column = static_cast<int16_t>(column);
  script_.push_back(e);
  waitOnly_.push_back(!typeAhead_);
  actions_.emplace_back();
}

void FakeConsole::pushIdle() {
  script_.push_back(InputEvent{});
  waitOnly_.push_back(!typeAhead_);
  actions_.emplace_back();
}

void FakeConsole::pushAction(std::function<void()> action) {
  script_.push_back(InputEvent{});
  waitOnly_.push_back(!typeAhead_);
  actions_.push_back(std::move(action));
}

std::string FakeConsole::text(int top, int left, int bottom, int right) const {
  std::string out;
  for (int r = top; r <= bottom; ++r) {
    if (r > top) out += '\n';
    for (int c = left; c <= right; ++c) out += static_cast<char>(screen_.at(r, c).ch);
  }
  return out;
}

std::string FakeConsole::dump() const {
  std::string out;
  for (int r = 1; r <= rows(); ++r) {
    std::string line = rowText(r);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace xt
