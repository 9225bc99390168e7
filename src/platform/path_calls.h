// The C library's calls on paths that the SQLite engine makes beside
// SQLite itself, on program paths. On Linux they are the calls themselves;
// on Windows the wide ones, since the narrow ones read the machine's ANSI
// code page and program paths are code page 850 (win32/wide_text.h).
#pragma once

#include <cstdint>
#include <string>

namespace xt {

// As access(): 0 when path may be used as mode says (F_OK, W_OK).
int accessPath(const std::string& path, int mode);
// st_size of stat(path), -1 when stat fails.
int64_t statSize(const std::string& path);
// Whether stat(path) finds a regular file.
bool isRegularFile(const std::string& path);
// As unlink() and chmod(): 0 or -1.
int unlinkPath(const std::string& path);
int chmodPath(const std::string& path, int mode);

}  // namespace xt
