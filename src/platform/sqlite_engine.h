// The record engine on SQLite: data files kept as SQLite databases at their
// own paths (sqlite_file.h), with record locks on a sidecar beside each,
// under the engine of every backend (store_engine.h). A data file whose
// directory is on a network file system is refused (file_system_kind.h):
// an installation shared by several hosts keeps its data on a server.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/store_engine.h"

namespace xt {

// The statfs type (f_type) of the file system a directory is on (on
// Windows as file_system_kind.h's fileSystemType tells it); nullopt when
// it cannot be told.
using FileSystemTypeOf = std::function<std::optional<uint32_t>(const std::string& directory)>;

class SqliteEngine : public StoreEngine {
 public:
  // busyTimeoutMs: how long a write waits for another process's write, and
  // a waiting lock for another process's lock, before 85 or 84.
  // fileSystemTypeOf: asked for the directory of every file opened or
  // created; empty asks the system (fileSystemType).
  explicit SqliteEngine(int busyTimeoutMs = 5000, FileSystemTypeOf fileSystemTypeOf = {});

  // Sets or clears (empty) the owner name stored in a data file that is not
  // open. Returns a status (12 missing, 30 not a data file).
  static int16_t setOwnerName(const std::string& path, const std::string& owner);
};

}  // namespace xt
