// The record engine on SQLite: data files kept as SQLite databases at their
// own paths (sqlite_file.h), with record locks on a sidecar beside each,
// under the engine of every backend (store_engine.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/store_engine.h"

namespace xt {

class SqliteEngine : public StoreEngine {
 public:
  // busyTimeoutMs: how long a write waits for another process's write, and
  // a waiting lock for another process's lock, before 85 or 84.
  explicit SqliteEngine(int busyTimeoutMs = 5000);

  // Sets or clears (empty) the owner name stored in a data file that is not
  // open. Returns a status (12 missing, 30 not a data file).
  static int16_t setOwnerName(const std::string& path, const std::string& owner);
};

}  // namespace xt
