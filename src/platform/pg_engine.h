// The record engine on a PostgreSQL server, for installations whose
// terminals run on several hosts: each data file is a table on the server
// (named after the file's path inside the installation), holding the same
// stored form as the embedded engine's SQLite files (the record, one key
// image per key as bytea, a sequence for duplicates, a position that is
// never reused), and the record locks are advisory locks of the terminal's
// connection, which the server drops when the terminal or its host goes.
// Above the tables it is the same engine as the embedded one
// (store_engine.h).
//
// On the server, besides one table per data file:
//   xt_files(name text PRIMARY KEY, layout bytea, owner bytea,
//            records bigint, last_id bigint)
// layout is the file's creation specification, records the number of
// records, last_id the last position or duplicate sequence given out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/store_engine.h"

namespace xt {

class PgConnection;

class PgEngine : public StoreEngine {
 public:
  // conninfo: a libpq connection string or service ("service=tav",
  // "host=db port=5432 dbname=tav"); passwords stay in libpq's own places
  // (~/.pgpass, PGPASSFILE). root: the installation root, absolute; a data
  // file's table is named after its path inside it. busyTimeoutMs: how long
  // a write or a waiting record lock waits for another terminal.
  PgEngine(const std::string& conninfo, const std::string& root, int busyTimeoutMs = 5000);
  ~PgEngine() override;

  // Connects to the server now: 0, or 95 with the server's reason in
  // lastError(). The engine also connects (again) by itself when needed.
  [[nodiscard]] int16_t connect();
  // Round trips made to the server so far.
  uint64_t roundTrips() const;
  // Sets or clears (empty) the owner name stored for the table of path.
  // Returns a status (12 no such table, 95 the server cannot be reached).
  // Files this engine has open keep the name they were opened with.
  [[nodiscard]] int16_t setOwnerName(const std::string& path, const std::string& owner);

 private:
  PgConnection* connection_;  // owned by the backend
};

// The table of the data file at path (absolute, or relative to root): its
// path inside the installation in lower case with "/" separators
// ("operador.dat", "data/clients.dat"), or the whole path for a file
// outside it; cut to PostgreSQL's 63 bytes with a hash of the whole.
std::string pgTableName(const std::string& root, const std::string& path);

}  // namespace xt
