#include "startup/settings.h"

#include <cmath>

#include "forms/form_definition.h"
#include "platform/files.h"
#include "startup/ini_file.h"
#include "startup/program.h"

namespace xt {

namespace {

// Colours used when VexaTerm.ini names no colour set: pairs (15,0), (7,0),
// then (0,7) three times.
constexpr const char* kDefaultColours = "15000700000700070007";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string trimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

}  // namespace

double numericValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  bool digits = false;
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10 + (text[i] - '0');
    digits = true;
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && isDigit(text[i]); ++i, scale /= 10) {
      value += (text[i] - '0') * scale;
      digits = true;
    }
  }
  if (!digits) return 0;
  return negative ? -value : value;
}

int16_t numericValue16(std::string_view text) {
  // Rounded to the nearest integer and held to the 16-bit range, so an
  // absurd value in a file cannot wrap round to a plausible one.
  double v = std::round(numericValue(text));
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<int16_t>(v);
}

std::string normaliseDirectory(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && out.back() != ':' && out.back() != '\\' && out.back() != '/') out += '\\';
  return out;
}

std::string packDecimalDigits(std::string_view text) {
  // "20261207" -> 0x94 0x9A 0x8C 0x87: each pair of digits is one byte,
  // value | 0x80. The digits are right-aligned in a field as long as the
  // text, so " 7" packs as "07"; an odd last digit pairs with a 0.
  const size_t n = text.size();
  std::string t = std::string(n, '0') + trimBlanks(text);
  t = t.substr(t.size() - n);
  for (char& c : t)
    if (c == ' ') c = '0';
  std::string out((n + 1) / 2, ' ');
  for (size_t i = 0; i < out.size(); ++i) {
    auto digit = [&](size_t k) { return k < t.size() && isDigit(t[k]) ? t[k] - '0' : 0; };
    int value = digit(2 * i) * 10 + digit(2 * i + 1);
    out[i] = static_cast<char>(value | 0x80);
  }
  return out;
}

void anchorDirectories(SessionSettings& settings, const std::string& startDir) {
  if (startDir.empty()) return;
  const std::string prefix = startDir.back() == '/' ? startDir : startDir + "/";
  for (std::string* dir : {&settings.rootDir, &settings.tempDir, &settings.terminalDir})
    if (!dir->empty() && dir->front() != '/' && dir->front() != '\\') dir->insert(0, prefix);
}

void loadSettings(Program& program) {
  SessionSettings& s = program.settings;
  const System& sys = program.system;

  s.rootDir = sys.env("TAVROOT");
  s.tempDir = normaliseDirectory(sys.env("TAVTMP"));

  const std::string session = s.tempDir + "Sessio.ini";
  s.menuTitle = readIniValue(session, "Menu", "Titol");
  s.menuTitle.insert(s.menuTitle.begin(), ' ');
  s.menuTitle += ' ';
  s.menuName = readIniValue(session, "Menu", "NomMenu");
  s.operatorName = readIniValue(session, "Menu", "Operador");
  s.operatorType = numericValue16(readIniValue(session, "Menu", "TavTipOper"));

  // On Linux TERM names the terminal type; it stands for the terminal
  // directory only when it really is one.
  std::string terminal = readIniValue(session, "Terminal", "Dir");
  if (terminal.empty()) {
    std::string term = sys.env("TERM");
    if (!term.empty() && directoryExists(term)) terminal = term;
  }
  s.terminalDir = normaliseDirectory(terminal);
  if (s.tempDir.empty()) s.tempDir = s.terminalDir;

  const std::string vexaTerm = s.tempDir + "VexaTerm.ini";
  int16_t selection = numericValue16(readIniValue(vexaTerm, "Pantalla", "Seleccio"));
  std::string colours = readIniValue(vexaTerm, "Pantalla", "Col" + std::to_string(selection));
  if (colours.empty()) colours = kDefaultColours;
  for (size_t p = 0; p < 5; ++p) {
    for (size_t k = 0; k < 2; ++k) {
      size_t at = p * 4 + k * 2;
      std::string_view part = at < colours.size() ? std::string_view(colours).substr(at, 2) : "";
      s.colourPairs[p][k] = numericValue16(part);
    }
  }

  s.systemDate = packDecimalDigits(readIniValue(vexaTerm, "Sistema", "Data"));

  s.languageCode = fitText(readIniValue(vexaTerm, "Sistema", "Idioma"), 3);
  if (s.languageCode == "   ")
    s.languageCode = fitText(readIniValue(s.rootDir + "Vexa.ini", "Usuari", "Idioma"), 3);

  if (!sys.env("HTTP_USER_AGENT").empty() || !sys.env("HTTP_ACCEPT").empty())
    s.hostKind = "CGI";
  else if (!sys.env("WINDIR").empty() || !sys.env("SYSTEMROOT").empty())
    s.hostKind = "WIN";
  else
    s.hostKind = "DOS";
}

}  // namespace xt
