#include "platform/files.h"

#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#else
#include "platform/posix/posix_file_system.h"
#endif

namespace xt {

namespace {

#ifdef _WIN32
using DiskFileSystem = Win32FileSystem;
#else
using DiskFileSystem = PosixFileSystem;
#endif

// The one file system behind the free functions until callers pass theirs.
DiskFileSystem& disk() {
  static DiskFileSystem fileSystem;
  return fileSystem;
}

}  // namespace

std::string nativePath(std::string_view path) { return disk().nativePath(path); }
bool fileExists(std::string_view path) { return disk().fileExists(path); }
bool directoryExists(std::string_view path) { return disk().directoryExists(path); }
bool writableDirectory(std::string_view path) { return disk().writableDirectory(path); }
bool pathExists(std::string_view path) { return disk().pathExists(path); }
int64_t fileSize(std::string_view path) { return disk().fileSize(path); }

std::optional<std::string> readWholeFile(std::string_view path) { return disk().readWholeFile(path); }

FileResult writeWholeFile(std::string_view path, std::string_view data) {
  return disk().writeWholeFile(path, data);
}

FileResult replaceFileAtomically(std::string_view path, std::string_view data) {
  return disk().replaceFileAtomically(path, data);
}

FileResult appendToFile(std::string_view path, std::string_view data) { return disk().appendToFile(path, data); }
FileResult removeFile(std::string_view path) { return disk().removeFile(path); }
FileResult removeDirectory(std::string_view path) { return disk().removeDirectory(path); }

FileResult renamePath(std::string_view from, std::string_view to, bool replace) {
  return disk().renamePath(from, to, replace);
}

FileResult makeDirectory(std::string_view path) { return disk().makeDirectory(path); }
FileResult makeDirectories(std::string_view path) { return disk().makeDirectories(path); }
std::vector<std::string> listDirectory(std::string_view path) { return disk().listDirectory(path); }
std::string currentDirectory() { return disk().currentDirectory(); }
bool changeDirectory(std::string_view path) { return disk().changeDirectory(path); }

FileResult copyModeAndGroup(std::string_view from, const BinaryFile& to) { return to.copyModeAndGroupFrom(from); }

FileResult BinaryFile::open(std::string_view path, Mode mode, bool exclusive) {
  return open(disk(), path, mode, exclusive);
}


}  // namespace xt
