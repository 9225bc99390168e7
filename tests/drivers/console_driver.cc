// Test driver for the terminal console, run in tmux by
// tests/scripts/terminal_console.sh: draws a coloured screen and shows the
// key codes it reads. Esc ends it; "p" waits a second (keys typed meanwhile
// must not reach the shell) and ends; "m" turns the mouse on.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/posix/terminal_console.h"

namespace {

void show(xt::TerminalConsole& c, const std::string& log) {
  c.setAttribute(0x1F);
  for (int r = 6; r <= 20; ++r) {
    c.moveCursor(r, 1);
    c.write(std::string(80, ' '));
  }
  c.moveCursor(6, 1);
  c.write(log);
}

}  // namespace

int main() {
  xt::TerminalConsole c;
  std::string error;
  if (!c.open(error)) {
    std::fprintf(stderr, "console_driver: %s\n", error.c_str());
    return 2;
  }
  c.setAttribute(0x1F);
  c.clear();
  c.setAttribute(0x4E);
  c.moveCursor(1, 1);
  c.write(" CONSOLE DRIVER                                                                 ");
  c.setAttribute(0x1A);
  c.moveCursor(3, 3);
  c.write("Glyphs: \x10 \x11 \xC9\xCD\xBB \x82 \xD5 \x87");  // ► ◄ ╔═╗ é € ç
  c.moveCursor(5, 3);
  c.setAttribute(0x1F);
  c.write("Keys:");
  c.moveCursor(25, 1);
  c.setAttribute(0x70);
  c.write(" Esc ends  P pauses and ends  M mouse on                                       ");
  c.moveCursor(5, 10);
  c.setCursorShape(true, 50);

  std::string log;
  for (;;) {
    xt::InputEvent e = c.readEvent(-1);
    char item[32];
    if (e.kind == xt::InputEvent::Kind::Key) {
      std::snprintf(item, sizeof item, "%04X ", static_cast<unsigned>(static_cast<uint16_t>(e.key)));
    } else if (e.kind == xt::InputEvent::Kind::Mouse) {
      std::snprintf(item, sizeof item, "M%d:%d,%d ", e.button, e.row, e.column);
    } else {
      continue;
    }
    log += item;
    show(c, log);
    if (e.key == 27) break;
    if (e.key == 'm') c.enableMouse(true);
    if (e.key == 'p') {
      c.flush();
      struct timespec ts{1, 0};
      while (nanosleep(&ts, &ts) != 0 && !xt::TerminalConsole::terminationPending()) {
      }
      break;
    }
  }
  c.close();
  std::printf("driver done\n");
  return 0;
}
