// Small file-system operations of the intranet rewrite: delete, rename,
// existence through the resolved name, and absolute directory paths. They
// return plain values and never show a message.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace xt {

// Error numbers of the program's file layer.
constexpr int16_t kErrorNoMatch = 53;        // no file matched
constexpr int16_t kErrorPermission = 70;     // permission denied
constexpr int16_t kErrorPathAccess = 75;     // the path exists but cannot be used
constexpr int16_t kErrorPathNotFound = 76;   // a directory of the path is missing

// Deletes the files that path names or matches ("*" and "?" wildcards in
// the last component, "*.*" added when it ends in a separator; directories
// never match, nor do dot-files for a wildcard). When no file matched,
// deletes the files inside path as a directory and then the directory.
// 0 on success, else an error number (53 when nothing matched).
[[nodiscard]] int16_t deletePath(FileSystem& fs, const std::string& path);
// Renames from to to; never replaces an existing file. 0 on success, else
// the system error code.
[[nodiscard]] int16_t renameFile(FileSystem& fs, const std::string& from, const std::string& to);
// The existing path as the file layer resolves it (letter case of the
// entries as found on disk), or "" when it does not exist.
std::string shortPathName(FileSystem& fs, const std::string& path);
// Absolute directory ending in "/", with "." and ".." removed; a relative
// path is taken from the current directory. "/srv/a/../b" gives "/srv/b/".
std::string fullDirectoryPath(FileSystem& fs, const std::string& path);

}  // namespace xt
