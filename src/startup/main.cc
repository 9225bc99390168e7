// The operator maintenance program: builds the program on the real
// terminal, the system and the record manager, and runs the form until the
// operator leaves it with Esc.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/language.h"
#include "data/engine_choice.h"
#include "data/file_table.h"
#include "forms/operator_maintenance.h"
#include "platform/cp850.h"
#include "platform/native.h"
#include "screen/calculator.h"
#include "screen/calendar.h"
#include "screen/message_box.h"
#include "screen/screen_stack.h"
#include "startup/program.h"
#include "startup/settings.h"

namespace {

// What the program is and how it is started: on standard output for --help,
// on the error output after a wrong argument.
constexpr const char* kUsage = R"(usage: xtancar
       xtancar --help | --version

The operator maintenance form: keeps the installation's operator file and
the intranet's .HTACCESS and .HTPASSWD. It runs on the terminal (at least
80x25, UTF-8) and takes no arguments: the installation and the session come
from the environment.

  TAVROOT     the installation root, ending in / (Vexa.ini, FORMS/XTANCAR.JPN,
              LOCALE/XTANCAR.LNG, ddf/Operador.xdf, Operador.dat, LOCKS/,
              AJUDA/, .HTACCESS, .HTPASSWD, db.log); the program runs there
  TAVTMP      the session directory, one per terminal (Sessio.ini,
              VexaTerm.ini, WinPush.tmp, Browse.tmp, LOCKS.TMP)
  TERM        the terminal type; the terminal directory instead when it names
              an existing directory and Sessio.ini has no [Terminal] Dir
  ESCDELAY    milliseconds to wait for the rest of a key after Esc (default 25)
  PGPASSFILE  the password file for the data server (default ~/.pgpass)

A relative TAVROOT or TAVTMP is taken from the directory the program is
started in.

Exit codes: 0 the operator left with Esc, 1 the operator file could not be
opened, 2 any other start-up failure or a wrong argument, 128 + the signal
when the program is ended from outside.

The manual: man xtancar (the data files: man xtdata).
)";

// The notice shown instead of the form while the terminal is smaller than
// the form, in the session's language (code page 850).
std::string tooSmallText(const xt::SessionSettings& settings, int columns, int rows) {
  const std::string size = std::to_string(columns) + "x" + std::to_string(rows);
  return xt::pickLanguage(settings, "TERMINAL MASSA PETIT: CAL 80x25, EN T\x90 " + size,  // É
                          "TERMINAL DEMASIADO PEQUE\xA5O: SE NECESITA 80x25, TIENE " + size,  // Ñ
                          "TERMINAL DEMASIADO PEQUENO: PRECISA 80x25, TEN " + size,
                          "TERMINAU MASSA PETIT: CAU 80x25, N'A " + size);
}

// Gives the terminal back and repeats on the shell's error output why the
// program ends early, if it does (code page 850).
void closeTerminal(xt::NativeConsole& console, const std::string& exitMessage) {
  console.close();
  if (!exitMessage.empty()) std::fprintf(stderr, "xtancar: %s\n", xt::cp850ToUtf8(exitMessage).c_str());
}

// A start-up failure: shown on the form's screen until a key is pressed,
// and repeated on the shell's error output once the terminal is restored.
int fatal(xt::Program& program, xt::NativeConsole& console, const std::string& message) {
  xt::messageBox(program.screen, 12, message);
  console.beep();
  console.discardInput();
  console.readEvent(-1);
  xt::restoreRegion(program.screen);
  closeTerminal(console, message);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything touches the terminal or the installation.
  if (argc > 1) {
    const std::string argument = argv[1];
    if (argc == 2 && argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argc == 2 && argument == "--version") {
      std::puts("xtancar " XT_VERSION);
      return 0;
    }
    std::fprintf(stderr, "xtancar: unexpected argument %s\n%s", argument.c_str(), kUsage);
    return 2;
  }
  xt::NativeSystem system;
  xt::NativeFileSystem disk;
  xt::NativeConsole console;
  std::string error;
  if (!console.open(error)) {
    std::fprintf(stderr, "xtancar: %s\n", error.c_str());
    return 2;
  }
  xt::ChosenEngine engine;  // embedded or on the server, as the installation's settings say
  xt::Program program(console, system, disk, engine);
  system.setExitHandler([&console] { closeTerminal(console, ""); });
  program.screen.tools.calculator = xt::calculator;
  program.screen.tools.calendar = xt::calendar;

  // Ended from outside (the terminal closed, SIGTERM): the pass being
  // edited is given up as Esc would, the record lock is released and the
  // files are closed before the process ends.
  xt::OperatorMaintenance form(program.entry, program.data, program.browse);
  console.setTerminationHandler([&](int signal) {
    form.abandon();
    (void)xt::resetAllFiles(program.data);
    // The pop-ups that were open are gone with the terminal.
    (void)disk.removeFile(program.settings.tempDir + "WinPush.tmp");
    (void)disk.removeFile(program.settings.tempDir + "Browse.tmp");
    console.close();
    std::_Exit(128 + signal);
  });

  console.setCursorShape(false, 100);
  xt::loadSettings(system, disk, program.settings, program.format);
  console.setNoticeText([&program](int columns, int rows) { return tooSmallText(program.settings, columns, rows); });
  xt::anchorDirectories(program.settings, disk.currentDirectory());
  engine.choose(program.settings);
  const xt::SessionSettings& settings = program.settings;
  if (!settings.rootDir.empty() && !disk.changeDirectory(settings.rootDir))
    return fatal(program, console,
                 xt::pickLanguage(settings, "No es pot entrar al directori de la instal\xFAlaci\xA2 (TAVROOT): " /* ·ó */,
                                  "No se puede entrar en el directorio de la instalaci\xA2n (TAVROOT): " /* ó */,
                                  "Non se pode entrar no directorio da instalaci\xA2n (TAVROOT): " /* ó */,
                                  "Non se p\x95t entrar en direct\x95ri dera installacion (TAVROOT): " /* òò */) +
                     settings.rootDir);
  // The pop-ups keep the screen under them in the session directory: without
  // it they could not be taken off again.
  if (!settings.tempDir.empty() && !disk.writableDirectory(settings.tempDir)) {
    std::string message =
        xt::pickLanguage(settings, "No es pot escriure al directori de la sessi\xA2 (TAVTMP): " /* ó */,
                         "No se puede escribir en el directorio de la sesi\xA2n (TAVTMP): " /* ó */,
                         "Non se pode escribir no directorio da sesi\xA2n (TAVTMP): " /* ó */,
                         "Non se p\x95t escr\xA1uer en direct\x95ri dera session (TAVTMP): " /* òíò */) +
        settings.tempDir;
    // The message box itself needs a place for the screen under it: the
    // installation root, entered above, for this one message.
    program.settings.tempDir.clear();
    return fatal(program, console, message);
  }

  xt::FormRunResult run = xt::runOperatorForm(form);
  if (run.exitCode == 1) {
    // The operator file could not be opened: the operator has seen why.
    closeTerminal(console, run.message);
    return 1;
  }
  if (!run.ok) return fatal(program, console, run.message);
  console.close();
  return 0;
}
