#include "platform/pg_connection.h"

#include <libpq-fe.h>

#include <cstring>
#include <utility>

#include "platform/record_engine.h"

namespace xt {

namespace {

uint64_t bigEndian(const char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

std::string bigEndianBytes(uint64_t v, int n) {
  std::string out(static_cast<size_t>(n), '\0');
  for (int i = n - 1; i >= 0; --i, v >>= 8) out[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
  return out;
}

// libpq's message on one line: its line ends and tabs become blanks, runs
// of blanks one.
std::string trimmedMessage(const char* text) {
  std::string s;
  for (const char* p = text ? text : ""; *p; ++p) {
    char c = (*p == '\n' || *p == '\t' || *p == '\r') ? ' ' : *p;
    if (c == ' ' && (s.empty() || s.back() == ' ')) continue;
    s += c;
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

PgParam PgParam::int8(int64_t v) { return {bigEndianBytes(static_cast<uint64_t>(v), 8), true, false}; }
PgParam PgParam::int4(int32_t v) {
  return {bigEndianBytes(static_cast<uint32_t>(v), 4), true, false};
}

PgRows::~PgRows() {
  if (result_) PQclear(result_);
}
PgRows::PgRows(PgRows&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
PgRows& PgRows::operator=(PgRows&& other) noexcept {
  if (this != &other) {
    if (result_) PQclear(result_);
    result_ = std::exchange(other.result_, nullptr);
  }
  return *this;
}

int PgRows::count() const { return result_ ? PQntuples(result_) : 0; }
bool PgRows::isNull(int row, int column) const { return !result_ || PQgetisnull(result_, row, column); }
std::string PgRows::bytes(int row, int column) const {
  if (isNull(row, column)) return {};
  return std::string(PQgetvalue(result_, row, column), static_cast<size_t>(PQgetlength(result_, row, column)));
}
int64_t PgRows::int8(int row, int column) const {
  if (isNull(row, column)) return 0;
  int n = PQgetlength(result_, row, column);
  uint64_t v = bigEndian(PQgetvalue(result_, row, column), n);
  if (n == 4) return static_cast<int32_t>(v);
  if (n == 2) return static_cast<int16_t>(v);
  return static_cast<int64_t>(v);
}
bool PgRows::boolean(int row, int column) const {
  return !isNull(row, column) && PQgetvalue(result_, row, column)[0] != 0;
}

PgConnection::PgConnection(std::string conninfo, int busyTimeoutMs)
    : conninfo_(std::move(conninfo)), busyTimeoutMs_(busyTimeoutMs) {}

PgConnection::~PgConnection() {
  if (conn_) PQfinish(conn_);
}

bool PgConnection::connected() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }

int16_t PgConnection::connect() {
  if (conn_) PQfinish(conn_);
  statements_.clear();
  conn_ = PQconnectdb(conninfo_.c_str());
  ++roundTrips_;
  if (PQstatus(conn_) != CONNECTION_OK) {
    lastError_ = trimmedMessage(PQerrorMessage(conn_));
    PQfinish(conn_);
    conn_ = nullptr;
    return status::kServerGone;
  }
  ++generation_;
  // The server's notices and warnings would go to standard error, over
  // the form on the terminal: they are dropped (errors come with results).
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  // A statement waits for another session's lock as long as a write waits
  // for another writer on the embedded engine.
  const std::string setup =
      "SET lock_timeout = " + std::to_string(busyTimeoutMs_) + "; SET client_min_messages = warning";
  return execute(setup);
}

int16_t PgConnection::failure(pg_result* result) {
  lastError_ = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
  if (lastError_.empty()) lastError_ = trimmedMessage(PQerrorMessage(conn_));
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  std::string code = state ? state : "";
  if (result) PQclear(result);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return status::kServerGone;
  if (code == "23505") return status::kDuplicateKey;
  if (code == "42501") return status::kAccessDenied;  // the role may not do it
  if (code == "55P03" || code == "40P01" || code == "40001") return status::kFileLocked;
  if (code.rfind("08", 0) == 0 || code.rfind("57P", 0) == 0) return status::kServerGone;
  return status::kIoError;
}

int16_t PgConnection::prepared(const std::string& sql, std::string& name) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) {
    name = it->second;
    return status::kOk;
  }
  name = "xt" + std::to_string(statements_.size() + 1);
  pg_result* r = PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr);
  ++roundTrips_;
  if (PQresultStatus(r) != PGRES_COMMAND_OK) return failure(r);
  PQclear(r);
  statements_.emplace(sql, name);
  return status::kOk;
}

int16_t PgConnection::run(const std::string& sql, const std::vector<PgParam>& params, PgRows& rows) {
  if (!connected()) {
    lastError_ = "not connected to the server";
    return status::kServerGone;
  }
  std::string name;
  if (int16_t st = prepared(sql, name)) return st;
  std::vector<const char*> values(params.size());
  std::vector<int> lengths(params.size()), formats(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    values[i] = params[i].null ? nullptr : params[i].value.data();
    lengths[i] = static_cast<int>(params[i].value.size());
    formats[i] = params[i].binary ? 1 : 0;
  }
  pg_result* r = PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()), values.data(),
                                lengths.data(), formats.data(), 1);
  ++roundTrips_;
  ExecStatusType st = PQresultStatus(r);
  if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) return failure(r);
  rows = PgRows(r);
  return status::kOk;
}

int16_t PgConnection::execute(const std::string& sql) {
  if (!conn_) return status::kServerGone;
  pg_result* r = PQexec(conn_, sql.c_str());
  ++roundTrips_;
  ExecStatusType st = PQresultStatus(r);
  if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) return failure(r);
  PQclear(r);
  return status::kOk;
}

std::string quotedIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace xt
