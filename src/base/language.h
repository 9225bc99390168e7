// The session's language: the choice among the four texts of a message the
// program builds itself, and the translation of the program's Catalan texts
// through the form's message file LOCALE\<form>.LNG.
#pragma once

#include <string>

#include "base/session_settings.h"
#include "platform/file_system.h"

namespace xt {

// The text of a message in the session's language (languageCode):
// Catalan (the default), Spanish "SPA", Galician "GLG" or Aranese "OCI".
const std::string& pickLanguage(const SessionSettings& settings, const std::string& catalan,
                                const std::string& spanish, const std::string& galician,
                                const std::string& aranese);

// text in the session's language, from the message file under the
// installation root; text itself when it has no translation there.
std::string translateText(FileSystem& fs, const SessionSettings& settings, const std::string& text);

}  // namespace xt
