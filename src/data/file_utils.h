// Small file-system operations of the intranet rewrite: delete, rename,
// existence through the resolved name, and absolute directory paths.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

constexpr int16_t kErrorNoMatch = 53;

int16_t deletePath(const std::string& path);
int16_t renameFile(const std::string& from, const std::string& to);
// The existing path as the file layer resolves it, or "" when it does not exist.
std::string shortPathName(const std::string& path);
// Absolute directory ending in "/", with "." and ".." removed.
std::string fullDirectoryPath(const std::string& path);

}  // namespace xt
