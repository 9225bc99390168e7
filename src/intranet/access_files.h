// The web server's access files of the installation: .HTACCESS (written
// once) and .HTPASSWD (rewritten with the operator's line at the end, or
// without it).
#pragma once

#include <string>

namespace xt {

struct Program;

void writeIntranetAccess(Program& program, const std::string& directory, const std::string& user,
                         const std::string& password, bool remove);

}  // namespace xt
