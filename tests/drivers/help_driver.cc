// Driver of the terminal tests of the help viewer: draws a form-like screen
// in the real terminal, opens the help of a topic over it on F1, and ends
// on "q". Help files are read from the installation directory given.
//
//   help_driver <installation directory> <topic>
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/terminal_console.h"
#include "screen/help.h"
#include "startup/program.h"
#include "testing/no_record_engine.h"

namespace {

void writeAt(xt::Console& console, int row, int column, uint8_t attr, const std::string& text) {
  console.setAttribute(attr);
  console.moveCursor(row, column);
  console.write(text);
}

// A screen with several colours, frame glyphs and accented letters, so a
// repaint that loses any of them shows.
void drawForm(xt::Console& console) {
  console.setAttribute(0x17);
  console.clear();
  writeAt(console, 1, 1, 0x70, std::string(80, ' '));
  writeAt(console, 1, 30, 0x70, "FORM TITLE");
  for (int row = 3; row <= 22; ++row)
    writeAt(console, row, 2, static_cast<uint8_t>(0x10 | (row % 7 + 9)),
            "row " + std::to_string(row) + " \x87\x8A\x90 \xC4\xC4\xB3 text under the help window");
  writeAt(console, 24, 1, 0x4E, "status line: F1 help, q quit");
  console.moveCursor(12, 40);
  console.setCursorShape(true, 100);  // visible, so the test can see it come back
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: help_driver <installation directory> <topic>\n", stderr);
    return 2;
  }
  std::string root = argv[1];
  if (root.empty() || root.back() != '/') root += '/';
  if (!xt::changeDirectory(root)) {
    std::fprintf(stderr, "help_driver: cannot enter %s\n", root.c_str());
    return 2;
  }
  const std::string topic = argv[2];

  xt::PosixSystem system;
  xt::TerminalConsole console;
  std::string error;
  if (!console.open(error)) {
    std::fprintf(stderr, "help_driver: %s\n", error.c_str());
    return 2;
  }
  xt::NoRecordEngine engine;  // the help viewer touches no data file
  xt::PosixFileSystem disk;
  xt::Program program(console, system, disk, engine);
  program.settings.rootDir = root;
  program.settings.tempDir = root + "tmp/";
  (void)xt::makeDirectories(program.settings.tempDir);

  drawForm(console);
  for (;;) {
    xt::InputEvent event = console.readEvent(-1);
    if (event.kind != xt::InputEvent::Kind::Key) continue;
    if (event.key == xt::key::kF1) xt::showHelp(program.screen, topic);
    if (event.key == 'q') break;
  }
  return 0;
}
