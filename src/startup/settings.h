// Start-up's reading of the settings record from the environment and the
// session's INI files.
#pragma once

#include <string>
#include <string_view>

#include "base/session_settings.h"

namespace xt {

class FileSystem;
class System;
struct FormatSettings;

// Fills settings from the environment and the INI files, and format from
// the installation's Vexa.ini.
void loadSettings(const System& system, FileSystem& fs, SessionSettings& settings, FormatSettings& format);

// Puts startDir (the directory the program was started in) before a
// relative rootDir, tempDir or terminalDir, so that they still name the
// same directories once the program has moved into the installation root.
void anchorDirectories(SessionSettings& settings, const std::string& startDir);

// Appends "\" to a non-empty directory text that does not end in ":",
// "\" or "/".
std::string normaliseDirectory(std::string_view dir);

}  // namespace xt
