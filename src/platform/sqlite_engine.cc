#include "platform/sqlite_engine.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide_text.h"
#endif

#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/file_system_kind.h"
#include "platform/files.h"
#include "platform/sqlite_file.h"

namespace xt {

namespace {

#ifdef _WIN32
// The absolute path with "/" separators ("C:/tav/Operador.dat",
// "//server/share/tav/Operador.dat"); "." and ".." resolved. Letter case
// is as nativePath made it.
std::string realPath(const std::string& path) {
  std::wstring wide = widePath(path);
  DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(n);
  std::string result = narrowText(full);
  for (char& c : result)
    if (c == '\\') c = '/';
  return result;
}
#else
// The path with its directory resolved; for a missing file (one deleted
// while open here, say) the resolved directory and the name.
std::string realPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer)) return buffer;
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (!::realpath(directory.c_str(), buffer)) return path;
  return std::string(buffer) + (std::string(buffer) == "/" ? "" : "/") +
         (slash == std::string::npos ? path : path.substr(slash + 1));
}
#endif

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Data files at their own paths on the disk, found as the program's paths
// are (either separator, any letter case).
class SqliteBackend : public DataStoreBackend {
 public:
  SqliteBackend(int busyTimeoutMs, FileSystemTypeOf fileSystemTypeOf)
      : busyTimeoutMs_(busyTimeoutMs), fileSystemTypeOf_(std::move(fileSystemTypeOf)) {}

  std::string identity(const std::string& name) override { return realPath(nativePath(name)); }
  bool exists(const std::string& name) override { return fileExists(nativePath(name)); }

  int16_t open(const std::string& name, std::unique_ptr<DataStore>& out) override {
    const std::string path = identity(name);
    if (int16_t st = refuseNetworkFileSystem(path)) return st;
    std::unique_ptr<SqliteFile> file;
    int16_t st = SqliteFile::open(path, busyTimeoutMs_, file);
    if (st == status::kOk) out = std::move(file);
    return st;
  }

  int16_t create(const std::string& name, const FileSpec& fileSpec, bool replace) override {
    if (int16_t st = refuseNetworkFileSystem(identity(name))) return st;
    return SqliteFile::create(nativePath(name), fileSpec, replace, busyTimeoutMs_);
  }

  std::string lastError() const override { return lastError_; }

 private:
  // Terminals on several hosts writing one SQLite file would damage it (its
  // write-ahead log is shared through memory that only one host shares), so
  // a file on a network file system is neither opened nor created: 94, and
  // lastError() says where the data belongs instead. A directory whose
  // type cannot be told is let through: what is wrong with it comes out
  // when the file is opened.
  int16_t refuseNetworkFileSystem(const std::string& path) {
    lastError_.clear();
    const std::string directory = directoryOf(path);
    std::optional<uint32_t> type = fileSystemTypeOf_(directory);
    std::string_view kind = type ? networkFileSystemName(*type) : std::string_view();
    if (kind.empty()) return status::kOk;
    lastError_ = directory + " is on a network file system (" + std::string(kind) +
                 "): terminals on several hosts would damage an SQLite data file there. Keep the "
                 "data on a database server: in Vexa.ini, under [Dades], "
                 "Servidor=<libpq connection string>";
    return status::kNetworkFileSystem;
  }

  int busyTimeoutMs_;
  FileSystemTypeOf fileSystemTypeOf_;
  std::string lastError_;
};

}  // namespace

SqliteEngine::SqliteEngine(int busyTimeoutMs, FileSystemTypeOf fileSystemTypeOf)
    : StoreEngine(std::make_unique<SqliteBackend>(
          busyTimeoutMs, fileSystemTypeOf ? std::move(fileSystemTypeOf) : FileSystemTypeOf(fileSystemType))) {}

int16_t SqliteEngine::setOwnerName(const std::string& path, const std::string& owner) {
  return SqliteFile::setOwnerName(nativePath(path), owner);
}

}  // namespace xt
