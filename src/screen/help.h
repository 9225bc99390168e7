// Help: an HTML document opened by the suite's document opener on Windows
// hosts, otherwise the text help viewer over AJUDA\<topic>.HLP.
#pragma once

#include <string>

namespace xt {

struct Program;

void showHelp(Program& program, const std::string& topic);

}  // namespace xt
