// A new installation laid out from the installation template (the form,
// its texts, the help, the dictionaries and a session directory to copy
// per terminal), with the group permissions that let terminals run as
// different users share it: one group on everything, group-writable, and
// directories that pass their group on to the files made in them.
#pragma once

#include <string>
#include <vector>

namespace xt {

struct NewInstallation {
  std::string directory;     // the installation to make; must not exist or be empty
  std::string templateDir;   // where the template is
  std::string group;         // a group name or number; empty: the caller's group
};

// Where the template is looked for, best first, for an executable in
// exeDir: <exeDir>/../share/xtancar/installation (an installed package or
// an unpacked package root), then <exeDir>/share/xtancar/installation
// (the build tree, where CMake copies demo/).
std::vector<std::string> templateCandidates(const std::string& exeDir);
// The directory of the running executable; empty when it cannot be told.
std::string executableDirectory(const char* argv0);

// The permission bits the installation gives an entry whose template has
// templateMode: read and write for the owner and the group, directories
// searchable by both and with the set-group-id bit; the others' bits kept.
unsigned installationMode(unsigned templateMode, bool directory);

// Whether a template entry is left out: the files a running installation
// makes for itself (data files, lock files, the log, the intranet files,
// a session's work files), so that a used installation given as template
// does not pass on its terminal identity or its records. relative uses "/".
bool leftOutOfTemplate(const std::string& relative);

// Lays out the installation: built in a directory beside it and renamed
// into place, so that a failure leaves nothing behind. 0 when done, else 1
// with the reason in error.
int makeInstallation(const NewInstallation& request, std::string& error);

}  // namespace xt
