// xtdata's commands on a whole installation rather than on one data file:
// laying out a new installation from the template, and reporting what the
// lock files hold. Each returns the exit code (0 done, 1 failed, 2 bad
// arguments) once its messages are out.
#pragma once

#include <string>
#include <vector>

namespace xt {

// new-installation DIR [--group GROUP] [--template TEMPLATE]; argv0 helps
// find the executable's directory, where the default template is looked for.
int commandNewInstallation(const std::vector<std::string>& args, const char* argv0);
// locks [NAME]: in $TAVROOT, else the current directory.
int commandLocks(const std::vector<std::string>& args);

}  // namespace xt
