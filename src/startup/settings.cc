#include "startup/settings.h"

#include "base/ini_file.h"
#include "format/decimal_text.h"
#include "format/fixed_text.h"
#include "format/format_settings.h"
#include "platform/file_system.h"
#include "platform/native_path.h"
#include "platform/system.h"

namespace xt {

namespace {

// Colours used when VexaTerm.ini names no colour set: pairs (15,0), (7,0),
// then (0,7) three times.
constexpr const char* kDefaultColours = "15000700000700070007";

// Vexa.ini's [Usuari] conventions for dates and numbers; a blank or
// missing one keeps the default.
void loadFormatSettings(FileSystem& fs, const std::string& vexaIni, FormatSettings& f) {
  std::string separator = fitText(readIniValue(fs, vexaIni, "Usuari", "DatCaracter"), 1);
  if (separator != " ") f.dateSeparator = separator;
  std::string order = fitText(readIniValue(fs, vexaIni, "Usuari", "DatOrdre"), 3);
  if (order != "   ") f.dateOrder = order;
  std::string dec = readIniValue(fs, vexaIni, "Usuari", "DecCaracter");
  if (!dec.empty() && dec[0] != ' ') f.decimalChar = dec.substr(0, 1);
  std::string mil = readIniValue(fs, vexaIni, "Usuari", "MilCaracter");
  if (!mil.empty() && mil[0] != ' ') f.thousandsChar = mil.substr(0, 1);
}

}  // namespace

std::string normaliseDirectory(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && out.back() != ':' && out.back() != '\\' && out.back() != '/') out += '\\';
  return out;
}

void anchorDirectories(SessionSettings& settings, const std::string& startDir) {
  if (startDir.empty()) return;
  auto absolute = [](std::string dir) {
    for (char& c : dir)
      if (c == '\\') c = '/';
    return pathRootLength(dir) > 0;  // "/x" or "\\x"; on Windows also "C:\\x" and "\\\\server\\share\\x"
  };
  const std::string prefix = startDir.back() == '/' ? startDir : startDir + "/";
  for (std::string* dir : {&settings.rootDir, &settings.tempDir, &settings.terminalDir})
    if (!dir->empty() && !absolute(*dir)) dir->insert(0, prefix);
}

void loadSettings(const System& sys, FileSystem& fs, SessionSettings& s, FormatSettings& format) {
  s.rootDir = sys.env("TAVROOT");
  s.tempDir = normaliseDirectory(sys.env("TAVTMP"));

  const std::string session = s.tempDir + "Sessio.ini";
  s.menuTitle = readIniValue(fs, session, "Menu", "Titol");
  s.menuTitle.insert(s.menuTitle.begin(), ' ');
  s.menuTitle += ' ';
  s.menuName = readIniValue(fs, session, "Menu", "NomMenu");
  s.operatorName = readIniValue(fs, session, "Menu", "Operador");
  s.operatorType = numericValue16(readIniValue(fs, session, "Menu", "TavTipOper"));

  // On Linux TERM names the terminal type; it stands for the terminal
  // directory only when it really is one.
  std::string terminal = readIniValue(fs, session, "Terminal", "Dir");
  if (terminal.empty()) {
    std::string term = sys.env("TERM");
    if (!term.empty() && fs.directoryExists(term)) terminal = term;
  }
  s.terminalDir = normaliseDirectory(terminal);
  if (s.tempDir.empty()) s.tempDir = s.terminalDir;

  const std::string vexaTerm = s.tempDir + "VexaTerm.ini";
  int16_t selection = numericValue16(readIniValue(fs, vexaTerm, "Pantalla", "Seleccio"));
  std::string colours = readIniValue(fs, vexaTerm, "Pantalla", "Col" + std::to_string(selection));
  if (colours.empty()) colours = kDefaultColours;
  for (size_t p = 0; p < 5; ++p) {
    for (size_t k = 0; k < 2; ++k) {
      size_t at = p * 4 + k * 2;
      std::string_view part = at < colours.size() ? std::string_view(colours).substr(at, 2) : "";
      s.colourPairs[p][k] = numericValue16(part);
    }
  }

  s.systemDate = packDecimalDigits(readIniValue(fs, vexaTerm, "Sistema", "Data"));

  s.languageCode = fitText(readIniValue(fs, vexaTerm, "Sistema", "Idioma"), 3);
  if (s.languageCode == "   ")
    s.languageCode = fitText(readIniValue(fs, s.rootDir + "Vexa.ini", "Usuari", "Idioma"), 3);
  loadFormatSettings(fs, s.rootDir + "Vexa.ini", format);
  s.dataServer = readIniValue(fs, s.rootDir + "Vexa.ini", "Dades", "Servidor");

  if (!sys.env("HTTP_USER_AGENT").empty() || !sys.env("HTTP_ACCEPT").empty())
    s.hostKind = "CGI";
  else if (!sys.env("WINDIR").empty() || !sys.env("SYSTEMROOT").empty())
    s.hostKind = "WIN";
  else
    s.hostKind = "DOS";
}

}  // namespace xt
