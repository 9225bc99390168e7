// The program-wide settings record, filled once at start-up from the
// environment and the session's INI files and read by every layer.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct SessionSettings {
  std::string rootDir;      // TAVROOT, made absolute; ends in a separator
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
  // Vexa.ini [Dades] Servidor: the libpq connection string (or service) of
  // the PostgreSQL server that keeps the data files; "" for the embedded
  // engine, files beside the installation.
  std::string dataServer;
};

}  // namespace xt
