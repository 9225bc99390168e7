#include "platform/sqlite_engine.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/files.h"
#include "platform/sqlite_file.h"

namespace xt {

namespace {

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

// Data files at their own paths on the disk, found as the program's paths
// are (either separator, any letter case).
class SqliteBackend : public DataStoreBackend {
 public:
  explicit SqliteBackend(int busyTimeoutMs) : busyTimeoutMs_(busyTimeoutMs) {}

  std::string identity(const std::string& name) override { return realPath(nativePath(name)); }
  bool exists(const std::string& name) override { return fileExists(nativePath(name)); }

  int16_t open(const std::string& name, std::unique_ptr<DataStore>& out) override {
    std::unique_ptr<SqliteFile> file;
    int16_t st = SqliteFile::open(identity(name), busyTimeoutMs_, file);
    if (st == status::kOk) out = std::move(file);
    return st;
  }

  int16_t create(const std::string& name, const FileSpec& fileSpec, bool replace) override {
    return SqliteFile::create(nativePath(name), fileSpec, replace, busyTimeoutMs_);
  }

 private:
  int busyTimeoutMs_;
};

}  // namespace

SqliteEngine::SqliteEngine(int busyTimeoutMs) : StoreEngine(std::make_unique<SqliteBackend>(busyTimeoutMs)) {}

int16_t SqliteEngine::setOwnerName(const std::string& path, const std::string& owner) {
  return SqliteFile::setOwnerName(nativePath(path), owner);
}

}  // namespace xt
