// One connection to the PostgreSQL server that keeps an installation's data
// files, as the record engine uses it: every statement prepared once under
// a name of its own (again after a reconnection), parameters and rows in
// binary, the server's errors turned into the record manager's statuses,
// and a count of the round trips made. The server drops a connection's
// advisory locks when the connection ends, so locks held through it are the
// terminal's record locks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace xt {

// A statement parameter: binary bytes of its type, text, or NULL.
struct PgParam {
  std::string value;
  bool binary = true;
  bool null = false;

  static PgParam bytes(std::string v) { return {std::move(v), true, false}; }
  static PgParam int8(int64_t v);
  static PgParam int4(int32_t v);
  static PgParam text(std::string v) { return {std::move(v), false, false}; }
  static PgParam none() { return {std::string(), true, true}; }
};

// The rows of a statement, their columns in binary.
class PgRows {
 public:
  PgRows() = default;
  ~PgRows();
  PgRows(const PgRows&) = delete;
  PgRows& operator=(const PgRows&) = delete;
  PgRows(PgRows&& other) noexcept;
  PgRows& operator=(PgRows&& other) noexcept;

  int count() const;
  bool isNull(int row, int column) const;
  std::string bytes(int row, int column) const;
  int64_t int8(int row, int column) const;
  bool boolean(int row, int column) const;

 private:
  friend class PgConnection;
  explicit PgRows(pg_result* result) : result_(result) {}
  pg_result* result_ = nullptr;
};

class PgConnection {
 public:
  // busyTimeoutMs: how long a statement waits for a lock another session
  // holds (a row being written, a record lock waited for) before it fails.
  PgConnection(std::string conninfo, int busyTimeoutMs);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Connects, or connects again after the server was lost: 0, or 95 with
  // the server's reason in lastError().
  [[nodiscard]] int16_t connect();
  bool connected() const;
  // Counts the connections made: a new one has none of the old one's locks.
  uint64_t generation() const { return generation_; }

  // Runs sql with the parameters: 0 with the rows, or the status of the
  // failure (5 a unique key taken, 85 a lock not obtained in the busy time
  // or a deadlock, 95 the server lost, 2 anything else) with lastError().
  [[nodiscard]] int16_t run(const std::string& sql, const std::vector<PgParam>& params, PgRows& rows);
  // Runs statements given as text, without parameters (schema work).
  [[nodiscard]] int16_t execute(const std::string& sql);

  const std::string& lastError() const { return lastError_; }
  uint64_t roundTrips() const { return roundTrips_; }
  int busyTimeoutMs() const { return busyTimeoutMs_; }

 private:
  int16_t failure(pg_result* result);
  int16_t prepared(const std::string& sql, std::string& name);

  std::string conninfo_;
  int busyTimeoutMs_;
  pg_conn* conn_ = nullptr;
  uint64_t generation_ = 0;
  uint64_t roundTrips_ = 0;
  std::map<std::string, std::string> statements_;  // sql -> prepared name
  std::string lastError_;
};

// A double-quoted SQL identifier: "operador.dat".
std::string quotedIdentifier(const std::string& name);

}  // namespace xt
