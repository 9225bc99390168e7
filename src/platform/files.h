// Files and paths as free functions on the real disk, each forwarding to
// the FileSystem member of the same name (see file_system.h for what they
// do) on the one disk file system of the build (PosixFileSystem, or
// Win32FileSystem on Windows) kept in files.cc, as does BinaryFile::open
// without a file system. A temporary bridge: callers are moving to take a
// FileSystem, and all but splitLines go when none is left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/binary_file.h"
#include "platform/file_system.h"

namespace xt {

std::string nativePath(std::string_view path);

bool fileExists(std::string_view path);
bool directoryExists(std::string_view path);
bool writableDirectory(std::string_view path);
bool pathExists(std::string_view path);
int64_t fileSize(std::string_view path);

std::optional<std::string> readWholeFile(std::string_view path);
FileResult writeWholeFile(std::string_view path, std::string_view data);
FileResult replaceFileAtomically(std::string_view path, std::string_view data);
FileResult appendToFile(std::string_view path, std::string_view data);

FileResult removeFile(std::string_view path);
FileResult removeDirectory(std::string_view path);
FileResult renamePath(std::string_view from, std::string_view to, bool replace);
FileResult makeDirectory(std::string_view path);
FileResult makeDirectories(std::string_view path);
std::vector<std::string> listDirectory(std::string_view path);

std::string currentDirectory();
bool changeDirectory(std::string_view path);

FileResult copyModeAndGroup(std::string_view from, const BinaryFile& to);

}  // namespace xt
