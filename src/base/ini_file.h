// The INI reader: one key of one section of a text file, read afresh on
// every call (no cache, no writing).
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace xt {

// The value of key in section of file, or "" when the file, the section or
// the key is missing. Surrounding double quotes are removed.
std::string readIniValue(FileSystem& fs, std::string_view file, std::string_view section, std::string_view key);

}  // namespace xt
