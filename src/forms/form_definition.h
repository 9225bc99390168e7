// Reading the form definition file FORMS\<form>.JPN into the form, and
// the check that it has what the operator maintenance procedure uses.
#pragma once

#include <string>

#include "base/session_settings.h"
#include "entry/form.h"
#include "platform/file_system.h"

namespace xt {

struct FormLoadResult {
  bool ok = true;
  std::string message;  // names the file and, where known, the line
  int line = 0;         // line of the fault, 0 when it concerns the whole file
};

// Reads the form definition at path into form, translating labels,
// choices and titles. A missing, unreadable or malformed file (counts out of
// range, a group with more fields than the header's maximum, a group, list
// or window that does not exist, a file that ends inside its records or goes
// on after a look-up count of 0) is reported in the result, in the session's language, and
// leaves the form empty. Whatever follows the last look-up list is ignored.
// Lines may end in CR LF or LF alone.
FormLoadResult loadForm(FileSystem& fs, FormDefinition& form, const SessionSettings& settings, const std::string& path);

// Checks that the loaded form has what the operator maintenance procedure
// indexes: group 1 with the code field, group 2 with the text and access
// level, group 3 with the confirmation. path is named in the message.
FormLoadResult checkOperatorForm(const FormDefinition& form, const SessionSettings& settings,
                                 const std::string& path);

}  // namespace xt
