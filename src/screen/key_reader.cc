#include "screen/key_reader.h"

#include "platform/key_codes.h"
#include "screen/screen.h"

namespace xt {

namespace {

// The screen's code for a key event; Alt+E stands for the euro sign.
int16_t keyCode(const InputEvent& event) {
  if (event.kind != InputEvent::Kind::Key) return 0;
  return event.key == key::kAltE ? static_cast<int16_t>(0xD5) : event.key;
}

}  // namespace

void readKeyEvent(Screen& screen, int16_t& key, int16_t& button, int16_t& mouseRow,
                  int16_t& mouseColumn, int timeoutMs) {
  KeyReaderState& state = screen.keyReader;
  if (!state.pendingInput.empty()) {
    key = static_cast<uint8_t>(state.pendingInput.front());
    state.pendingInput.erase(0, 1);
    return;
  }

  // The console reports the mouse from the first read on; switching it off
  // and on around every event is kept here, in mouseState, since on a
  // terminal each switch is a mode sequence written out and leaves a moment
  // in which a click goes to the terminal instead of the screen.
  Console& console = screen.console;
  if (state.mouseState == 0) {
    state.mouseState = console.hasMouse() ? 2 : 3;
    if (state.mouseState == 2) console.enableMouse(true);
  }
  if (state.mouseState == 2) state.mouseState = 1;

  key = button = mouseRow = mouseColumn = 0;
  InputEvent event = console.readEvent(timeoutMs);
  if (event.kind == InputEvent::Kind::Key) {
    key = keyCode(event);
  } else if (event.kind == InputEvent::Kind::Mouse && state.mouseState == 1 && event.button != 0) {
    button = event.button;
    mouseRow = event.row;
    mouseColumn = event.column;
  }

  if (key == key::kAltX && !state.inCalculator) {
    state.inCalculator = true;
    std::string typed = screen.tools.calculator ? screen.tools.calculator(screen) : std::string();
    state.pendingInput = typed;
    state.inCalculator = false;
  } else if (key == key::kAltC && !state.inCalendar) {
    state.inCalendar = true;
    std::string typed = screen.tools.calendar ? screen.tools.calendar(screen) : std::string();
    state.pendingInput = typed;
    state.inCalendar = false;
  }

  if (state.mouseState == 1 && (key != 0 || button != 0)) state.mouseState = 2;
}

int16_t readConsoleKey(Screen& screen, int timeoutMs) {
  return keyCode(screen.console.readEvent(timeoutMs));
}

void waitKey(Screen& screen, int16_t& key) {
  int16_t button = 0, row = 0, column = 0;
  for (;;) {
    readKeyEvent(screen, key, button, row, column, -1);
    if (key != 0) return;
    if (button != 0) {
      key = static_cast<int16_t>(static_cast<uint16_t>(column * 256 + button * 64 + row));
      return;
    }
  }
}

int16_t waitKey(Screen& screen) {
  int16_t key = 0;
  waitKey(screen, key);
  return key;
}

}  // namespace xt
