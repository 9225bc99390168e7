// The program-wide settings record, filled once at start-up from the
// environment and the session's INI files, and the small numeric helpers
// the start-up uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xt {

struct Program;

struct SessionSettings {
  std::string rootDir;      // TAVROOT, unchanged; ends in a separator
  std::string tempDir;      // TAVTMP normalised, else terminalDir
  std::string terminalDir;  // Sessio.ini [Terminal] Dir, else TERM (if a directory)
  std::string menuTitle;    // " " + Titol + " "
  std::string menuName;
  std::string operatorName;
  int16_t operatorType = 0;  // 0 = unrestricted operator
  int16_t colourPairs[5][2] = {{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}};
  std::string systemDate;          // packed YYYYMMDD
  std::string languageCode = "   ";  // 3 characters
  std::string hostKind = "DOS";    // "CGI", "WIN" or "DOS"
  std::string formName = "XTANCAR";
};

// Fills program.settings from the environment and the INI files.
void loadSettings(Program& program);

// Puts startDir (the directory the program was started in) before a
// relative rootDir, tempDir or terminalDir, so that they still name the
// same directories once the program has moved into the installation root.
void anchorDirectories(SessionSettings& settings, const std::string& startDir);

// Packs decimal digits two per byte, each byte = value | 0x80.
std::string packDecimalDigits(std::string_view text);

// Skip leading blanks, optional sign, digits with an optional fraction,
// stop at the first other character; no digits gives 0. numericValue16
// rounds to the nearest integer and holds the result to -32768..32767.
double numericValue(std::string_view text);
int16_t numericValue16(std::string_view text);

// Appends "\" to a non-empty directory text that does not end in ":",
// "\" or "/".
std::string normaliseDirectory(std::string_view dir);

}  // namespace xt
