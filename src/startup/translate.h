// Translation of the program's Catalan texts through the form's message
// file LOCALE\<form>.LNG, by the language code of the session.
#pragma once

#include <string>

namespace xt {

struct Program;

std::string translateText(Program& program, const std::string& text);

// The four-language table of a message the program builds itself, chosen by
// languageCode: Catalan (default), Spanish, Galician, Aranese.
const std::string& pickLanguage(const Program& program, const std::string& catalan,
                                const std::string& spanish, const std::string& galician,
                                const std::string& aranese);

}  // namespace xt
