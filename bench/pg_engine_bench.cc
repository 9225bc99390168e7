// The PostgreSQL record engine on the server, in two parts.
//
// Record operations: insert, update, delete, Get Equal, Get Next, Get
// Previous, Get Greater or Equal, a locked read (Get Equal + 200; and one
// while the position block holds the lock of the record before) and Stat,
// each through the record-manager call on a PgEngine and as raw libpq
// sending the statement the engine sends for it: the same SQL, prepared
// once, run with PQexecPrepared and the same binary parameters, one round
// trip. Every iteration runs the engine's operation and raw's, one after
// the other (which goes first alternates), on connections of their own, so
// that both meet the same load on the machine and the server. Only the
// operation itself is timed: what puts the next one in place (the read that
// positions an update or a delete, the insert that gives a delete its
// record back, the delete that takes an insert's record away, the unlock
// after a locked read) is left out, on both sides. Files of 10,000 records
// (and 1,000,000 with XT_BENCH_LARGE=1), on a unique key (dup:0) and on a
// key with duplicates (dup:1). The iteration's time is the engine's;
// counters: the 10th percentiles and the medians of both sides (us) and
// their ratios engine/raw, and round_trips, the engine's own count of round
// trips per operation.
//
// Browse list: the operator maintenance's list opened on its first page
// over operator files of 1,000,000 and 1,000 records on the server (the two
// one after the other in every iteration), the installation's engine being
// the PostgreSQL one; and paged down 1,000 times on 1,000,000.
//
// The client and the server processes of the connections measured are
// kept on one processor (see Placement below; XT_BENCH_PG_PLACE=same, the
// default, other or free). After the runs the ratios are printed once more
// in one table; with --benchmark_repetitions, from the medians of the
// repetitions.
//
// The server is the tests' (testing/pg_test_server.h): the one XT_PG_DIR
// names (scripts/pg-test-server.sh start DIR), else a throwaway one for the
// run. The record files live in a schema of the run, dropped at its end;
// the operator files are loaded once on the server (a bulk insert of the
// stored form) in schemas xt_browse_bench_<records>, and found there by
// later runs on the same server.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/engine_choice.h"
#include "data/file_table.h"
#include "forms/operator_maintenance.h"
#include "lists/browse_list.h"
#include "platform/files.h"
#include "platform/key_codes.h"
#include "platform/key_image.h"
#include "platform/pg_connection.h"
#include "platform/pg_engine.h"
#include "platform/record_engine.h"
#include "startup/program.h"
#include "testing/pg_test_server.h"
#include "testing/test_program.h"

namespace xt {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRecordLength = 64;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// ---------------------------------------------------------------------------
// The server and the schemas.

const std::string& server() {
  static const std::string conninfo = testServerConninfo();
  return conninfo;
}

std::string inSchema(const std::string& schema) { return server() + " options='-c search_path=" + schema + "'"; }

// Runs schema work or a bulk load on a connection of its own: "" or the
// server's words.
std::string serverWork(const std::string& conninfo, const std::vector<std::string>& statements) {
  PgConnection c(conninfo, 600000);
  if (c.connect() != 0) return c.lastError();
  for (const std::string& sql : statements)
    if (c.execute(sql) != 0) return c.lastError() + " (" + sql.substr(0, 80) + ")";
  return {};
}

// The schema of this run's record files, dropped at its end.
class RunSchema {
 public:
  RunSchema() : name_("xt_pgbench_" + std::to_string(::getpid())) {
    if (server().empty()) {
      failure_ = "no PostgreSQL server: " + testServerFailure();
      return;
    }
    failure_ = serverWork(server(), {"DROP SCHEMA IF EXISTS " + name_ + " CASCADE", "CREATE SCHEMA " + name_});
  }
  ~RunSchema() {
    if (failure_.empty()) (void)serverWork(server(), {"DROP SCHEMA IF EXISTS " + name_ + " CASCADE"});
  }
  const std::string& failure() const { return failure_; }
  std::string conninfo() const { return inSchema(name_); }
  // The installation root of the engines (a file's table is named after
  // its path inside it); nothing is written there.
  const std::string& root() const { return root_.path(); }

 private:
  std::string name_;
  std::string failure_;
  ScratchDir root_;
};

RunSchema& runSchema() {
  static RunSchema schema;
  return schema;
}

// ---------------------------------------------------------------------------
// Where the processes run. A round trip costs what it costs mostly by where
// the server's process for the connection runs: on the client's processor
// it runs as soon as the client waits; on another one it must be woken
// there first (several times the cost on a virtual machine, and more when
// other work keeps that processor). Left to the system, two connections
// opened alike get different places for the whole run, and one side
// would win by where it happened to land. So the client and the server
// process of every connection measured are kept on one processor, the
// client's (XT_BENCH_PG_PLACE=same, the default), or the server processes
// on another one (other); free leaves them to the system.

class Placement {
 public:
  Placement() {
    const char* place = std::getenv("XT_BENCH_PG_PLACE");
    mode_ = place && *place ? place : "same";
    if (mode_ == "free") return;
    client_ = ::sched_getcpu();
    const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    server_ = mode_ == "other" && cpus > 1 ? static_cast<int>((client_ + 1) % cpus) : client_;
    pin(0, client_);
  }
  // Keeps the server process of the connection with this application
  // name (of this process's connections) where the mode says.
  void placeServerOf(const std::string& applicationName) {
    if (mode_ == "free") return;
    if (!admin_ || !admin_->connected()) {
      admin_ = std::make_unique<PgConnection>(server(), 5000);
      if (admin_->connect() != 0) return;
    }
    PgRows rows;
    if (admin_->run("SELECT pid FROM pg_stat_activity WHERE application_name = $1::text",
                    {PgParam::text(applicationName)}, rows) == 0)
      for (int i = 0; i < rows.count(); ++i) pin(static_cast<pid_t>(rows.int8(i, 0)), server_);
  }
  void placeServer(pid_t pid) {
    if (mode_ != "free") pin(pid, server_);
  }
  const std::string& mode() const { return mode_; }

 private:
  static void pin(pid_t pid, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    (void)::sched_setaffinity(pid, sizeof set, &set);
  }
  std::string mode_;
  int client_ = 0, server_ = 0;
  std::unique_ptr<PgConnection> admin_;
};

Placement& placement() {
  static Placement p;
  return p;
}

// conninfo with an application name of its own, by which its server
// process is found.
std::string named(const std::string& conninfo, std::string& applicationName) {
  static int counter = 0;
  applicationName = "xt_bench_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  return conninfo + " application_name=" + applicationName;
}

// ---------------------------------------------------------------------------
// Record files: 64-byte records whose first 8 bytes are the key.

std::string keyOf(int64_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "K%07lld", static_cast<long long>(i % 10000000));
  return std::string(buf, 8);
}

std::string recordOf(int64_t i) {
  std::string r = keyOf(i) + " operator record payload ";
  r.resize(kRecordLength, '.');
  return r;
}

std::string fileSpec(bool dup) {
  FileSpec spec;
  spec.recordLength = kRecordLength;
  spec.pageSize = 4096;
  KeySpec key;
  SegmentSpec s;
  s.position = 1;
  s.length = 8;
  s.flags = dup ? keyflag::kDuplicates : 0;
  key.segments.push_back(s);
  spec.keys.push_back(key);
  return encodeFileSpec(spec);
}

// One position block of its own engine on a file.
struct EngineSide {
  explicit EngineSide(const std::string& path) {
    std::string name;
    engine = std::make_unique<PgEngine>(named(runSchema().conninfo(), name), runSchema().root());
    std::string owner(5, '\0');
    owner.resize(sizeof data, ' ');
    std::memcpy(data, owner.data(), owner.size());
    length = 5;
    std::memcpy(key, path.data(), path.size());
    openStatus = engine->call(op::kOpen, pb, data, length, key, static_cast<int>(path.size()), 0);
    std::memset(key, 0, sizeof key);
    placement().placeServerOf(name);
  }
  int16_t call(int16_t operation, uint32_t dataLength = sizeof data) {
    length = dataLength;
    return engine->call(operation, pb, data, length, key, 255, 0);
  }
  void setKey(const std::string& k) { std::memcpy(key, k.data(), k.size()); }
  void setRecord(const std::string& r) { std::memcpy(data, r.data(), r.size()); }
  std::string record() const { return std::string(reinterpret_cast<const char*>(data), length); }

  std::unique_ptr<PgEngine> engine;
  int16_t openStatus = 0;
  uint8_t pb[kPositionBlockSize] = {};
  uint8_t data[1536] = {};
  uint8_t key[256] = {};
  uint32_t length = 0;
};

// Creates data file `name` through the engine and fills it on the server
// with records 0..n-1 on the even keys (odd ones are free for inserts), in
// the stored form the engine gives them: positions 1..n, the key (a plain
// string) its own image, and on a key with duplicates the sequence the
// engine hands out, the position. The path, or "" with why.
std::string makeFile(const std::string& name, int64_t n, bool dup, std::string& why) {
  RunSchema& schema = runSchema();
  if (!schema.failure().empty()) {
    why = schema.failure();
    return {};
  }
  const std::string path = schema.root() + name;
  {
    PgEngine engine(schema.conninfo(), schema.root());
    uint8_t pb[kPositionBlockSize] = {};
    std::string spec = fileSpec(dup);
    uint32_t length = static_cast<uint32_t>(spec.size());
    std::string key = path;
    key.resize(256, '\0');
    // Key number 0: an older file under the name is replaced.
    if (int16_t st = engine.call(op::kCreate, pb, reinterpret_cast<uint8_t*>(spec.data()), length,
                                 reinterpret_cast<uint8_t*>(key.data()), static_cast<int>(path.size()), 0)) {
      why = "create " + name + ": " + std::to_string(st) + " " + engine.lastError();
      return {};
    }
  }
  const std::string table = pgTableName(schema.root(), path);
  const std::string count = std::to_string(n);
  why = serverWork(
      schema.conninfo(),
      {"INSERT INTO " + quotedIdentifier(table) + " (id, data, k0, s0) SELECT g, d, substring(d from 1 for 8), " +
           (dup ? "g" : "0") +
           " FROM (SELECT g, convert_to(rpad('K' || lpad(((g - 1) * 2 % 10000000)::text, 7, '0') || "
           "' operator record payload ', " +
           std::to_string(kRecordLength) + ", '.'), 'UTF8') AS d FROM generate_series(1, " + count + ") g) s",
       "UPDATE xt_files SET records = " + count + ", last_id = " + count + " WHERE name = '" + table + "'",
       "VACUUM ANALYZE " + quotedIdentifier(table)});
  if (!why.empty()) return {};
  // The engine finds a record by its key and counts them all.
  EngineSide check(path);
  const int64_t middle = n / 2 * 2;
  check.setKey(keyOf(middle));
  if (check.openStatus != 0 || check.call(op::kGetEqual) != 0 || check.record() != recordOf(middle) ||
      check.call(op::kStat) != 0 || readLe32(check.data + 6) != static_cast<uint32_t>(n)) {
    why = "the engine does not read the loaded file " + name + " as loaded";
    return {};
  }
  return path;
}

// The file the read benchmarks share, made on first use.
std::string readFile(int64_t n, bool dup, std::string& why) {
  static std::map<std::pair<int64_t, bool>, std::string> files;
  auto it = files.find({n, dup});
  if (it != files.end()) return it->second;
  std::string path = makeFile("read-" + std::to_string(n) + (dup ? "-dup" : "") + ".dat", n, dup, why);
  if (!path.empty()) files.emplace(std::make_pair(n, dup), path);
  return path;
}

// ---------------------------------------------------------------------------
// Raw libpq: the statements PgEngine sends for a file of one 8-byte string
// key (unique or with duplicates) that is not modifiable, written out here
// as pg_engine.cc builds them.

std::string recordKey(const std::string& id) { return "(" + id + " % 2147483648)::int4"; }

// The advisory lock class of a file's records: FNV-1a of its table's name.
int32_t lockClassOf(const std::string& table) {
  uint32_t h = 2166136261u;
  for (char c : table) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  return static_cast<int32_t>(h);
}

// One record, with its lock when $1 asks for one: $1 lock kind, $2 the ids
// held, $3 the lock class, then $4 the image and $5 the sequence.
std::string readSql(const std::string& quoted, const std::string& where) {
  const std::string key = recordKey("r.id");
  return "SELECT r.id, r.data, r.k, r.s, CASE WHEN $1::int4 = 0 OR r.id = ANY($2::int8[]) THEN true "
         "WHEN $1::int4 = 1 THEN pg_try_advisory_lock($3::int4, " + key + ") "
         "ELSE (SELECT true FROM (SELECT pg_advisory_lock($3::int4, " + key + ")) w) END AS locked "
         "FROM (SELECT id, data, k0 AS k, s0 AS s FROM " + quoted + " WHERE " + where + ") r";
}

// The locked read that gives up the lock it replaces ($5) in the same
// query, unless another position block of the process holds it ($6).
std::string readReplacingSql(const std::string& quoted, const std::string& where) {
  return "SELECT q.*, CASE WHEN q.locked AND q.id <> $5::int8 AND NOT q.id = ANY($6::int8[]) THEN "
         "pg_advisory_unlock($3::int4, " + recordKey("$5::int8") + ") END FROM (" + readSql(quoted, where) +
         " OFFSET 0) q";
}

enum class Read { Equal, GreaterOrEqual, First, Last, Next, Previous };

std::string whereOf(Read how, bool dup) {
  const std::string up = dup ? "k0, s0" : "k0";
  const std::string down = dup ? "k0 DESC, s0 DESC" : "k0 DESC";
  switch (how) {
    case Read::Equal: return "k0 = $4::bytea ORDER BY " + up + " LIMIT 1";
    case Read::GreaterOrEqual: return "k0 >= $4::bytea ORDER BY " + up + " LIMIT 1";
    case Read::First: return "k0 IS NOT NULL ORDER BY " + up + " LIMIT 1";
    case Read::Last: return "k0 IS NOT NULL ORDER BY " + down + " LIMIT 1";
    case Read::Next:
      return dup ? "k0 IS NOT NULL AND (k0, s0) > ($4::bytea, $5::int8) ORDER BY k0, s0 LIMIT 1"
                 : "k0 > $4::bytea ORDER BY k0 LIMIT 1";
    case Read::Previous:
      return dup ? "k0 IS NOT NULL AND (k0, s0) < ($4::bytea, $5::int8) ORDER BY k0 DESC, s0 DESC LIMIT 1"
                 : "k0 < $4::bytea ORDER BY k0 DESC LIMIT 1";
  }
  return {};
}

// $1 the table's name, $2 the record, $3 the image.
std::string insertSql(const std::string& quoted, bool dup) {
  return "WITH f AS (UPDATE xt_files SET last_id = last_id + 1, records = records + 1 "
         "WHERE name = $1::text RETURNING last_id), "
         "i AS (INSERT INTO " + quoted + " (id, data, k0, s0) SELECT f.last_id, $2::bytea, $3::bytea, " +
         (dup ? "f.last_id" : "0") + " FROM f RETURNING id) SELECT id FROM i";
}

// $1 id, $2 lock class, $3 the table's name, $4 the record, $5 release the
// record lock, $6 the image.
std::string updateSql(const std::string& quoted, bool dup) {
  const std::string field = "substring(substring(%s from 1 for 8) || '\\x0000000000000000'::bytea from 1 for 8)";
  auto fieldOf = [&](const std::string& data) {
    std::string f = field;
    f.replace(f.find("%s"), 2, data);
    return f;
  };
  const std::string same = "true AND " + fieldOf("t.data") + " = " + fieldOf("$4::bytea");
  const std::string moved = dup ? "(t.k0 IS DISTINCT FROM $6::bytea)" : "false";
  const std::string movedCount = "0 + o.m0::int";
  const std::string sets =
      "data = $4::bytea, k0 = $6::bytea, s0 = CASE WHEN o.m0 THEN (SELECT last_id FROM f) - (0) ELSE t.s0 END";
  return "WITH l AS (SELECT pg_try_advisory_xact_lock($2::int4, " + recordKey("$1::int8") + ") AS free), "
         "o AS (SELECT t.id, (" + same + ") AS same, " + moved + " AS m0 FROM " + quoted + " t, l "
         "WHERE t.id = $1::int8 AND l.free FOR UPDATE OF t), "
         "f AS (UPDATE xt_files SET last_id = last_id + (SELECT " + movedCount + " FROM o) "
         "WHERE name = $3::text AND EXISTS (SELECT 1 FROM o WHERE o.same AND " + movedCount + " > 0) "
         "RETURNING last_id), "
         "u AS (UPDATE " + quoted + " t SET " + sets + " FROM o WHERE t.id = o.id AND o.same RETURNING t.id, t.s0) "
         "SELECT (SELECT free FROM l), (SELECT count(*) FROM o), (SELECT bool_and(same) FROM o), "
         "(SELECT count(*) FROM u), u.*, "
         "CASE WHEN $5::bool AND EXISTS (SELECT 1 FROM u) THEN pg_advisory_unlock($2::int4, " +
         recordKey("$1::int8") + ") END FROM (SELECT 1) one LEFT JOIN u ON true";
}

// $1 id, $2 lock class, $3 the table's name, $4 release the record lock.
std::string deleteSql(const std::string& quoted) {
  return "WITH l AS (SELECT pg_try_advisory_xact_lock($2::int4, " + recordKey("$1::int8") + ") AS free), "
         "d AS (DELETE FROM " + quoted + " t USING l WHERE t.id = $1::int8 AND l.free RETURNING t.id), "
         "c AS (UPDATE xt_files SET records = records - 1 WHERE name = $3::text AND EXISTS (SELECT 1 FROM d)) "
         "SELECT (SELECT free FROM l), (SELECT count(*) FROM d), "
         "CASE WHEN $4::bool AND EXISTS (SELECT 1 FROM d) THEN pg_advisory_unlock($2::int4, " +
         recordKey("$1::int8") + ") END";
}

const char* kStatSql = "SELECT records FROM xt_files WHERE name = $1::text";
const std::string kUnlockSql = "SELECT pg_advisory_unlock($1::int4, " + recordKey("$2::int8") + ")";

std::string bigEndian(uint64_t v, int n) {
  std::string out(static_cast<size_t>(n), '\0');
  for (int i = n - 1; i >= 0; --i, v >>= 8) out[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
  return out;
}

int64_t int8Of(const PGresult* r, int column) {
  const char* p = PQgetvalue(r, 0, column);
  uint64_t v = 0;
  for (int i = 0; i < PQgetlength(r, 0, column); ++i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return static_cast<int64_t>(v);
}

// A parameter as the engine sends it: binary bytes of its type, or text.
struct Param {
  std::string value;
  int format = 1;
};
Param int4(int32_t v) { return {bigEndian(static_cast<uint32_t>(v), 4), 1}; }
Param int8(int64_t v) { return {bigEndian(static_cast<uint64_t>(v), 8), 1}; }
Param bytes(std::string v) { return {std::move(v), 1}; }
Param text(std::string v) { return {std::move(v), 0}; }

// A connection of its own on the engine's file, with the engine's session
// settings, every statement prepared before the runs.
class RawSide {
 public:
  RawSide(const std::string& path, bool dup)
      : table_(pgTableName(runSchema().root(), path)), class_(lockClassOf(table_)), dup_(dup) {
    conn_ = PQconnectdb(runSchema().conninfo().c_str());
    if (PQstatus(conn_) != CONNECTION_OK) {
      failure_ = PQerrorMessage(conn_);
      return;
    }
    placement().placeServer(PQbackendPID(conn_));
    command("SET lock_timeout = 5000; SET client_min_messages = warning");
    const std::string q = quotedIdentifier(table_);
    for (Read how : {Read::Equal, Read::GreaterOrEqual, Read::First, Read::Last, Read::Next, Read::Previous})
      prepare(readName(how), readSql(q, whereOf(how, dup_)));
    prepare("insert", insertSql(q, dup_));
    prepare("update", updateSql(q, dup_));
    prepare("delete", deleteSql(q));
    prepare("stat", kStatSql);
    prepare("unlock", kUnlockSql);
    prepare("equal-replacing", readReplacingSql(q, whereOf(Read::Equal, dup_)));
  }
  ~RawSide() {
    if (result_) PQclear(result_);
    PQfinish(conn_);
  }
  const std::string& failure() const { return failure_; }

  // One record along the key (the image and sequence of the current one
  // for Next and Previous); false when there is none. kind: 0 no lock, 1
  // a lock not waited for; held: the ids locked already, as the engine
  // sends them; replacing: for Equal, the lock given up in the same query.
  bool read(Read how, const std::string& image = {}, int32_t kind = 0, const std::string& held = "{}",
            int64_t replacing = 0) {
    std::vector<Param> params = {int4(kind), text(held), int4(class_)};
    if (how != Read::First && how != Read::Last) params.push_back(bytes(image));
    if (dup_ && (how == Read::Next || how == Read::Previous)) params.push_back(int8(sequence));
    if (replacing) {
      params.push_back(int8(replacing));
      params.push_back(text("{}"));
    }
    if (!run(replacing ? "equal-replacing" : readName(how), params) || PQntuples(result_) == 0) return false;
    id = int8Of(result_, 0);
    std::memcpy(data, PQgetvalue(result_, 0, 1), static_cast<size_t>(PQgetlength(result_, 0, 1)));
    this->image.assign(PQgetvalue(result_, 0, 2), static_cast<size_t>(PQgetlength(result_, 0, 2)));
    sequence = int8Of(result_, 3);
    return PQgetvalue(result_, 0, 4)[0] != 0;
  }
  bool next() { return read(Read::Next, image); }
  bool previous() { return read(Read::Previous, image); }
  // The new record's position, 0 when the insert failed.
  int64_t insert(const std::string& record) {
    if (!run("insert", {text(table_), bytes(record), bytes(record.substr(0, 8))}) || PQntuples(result_) == 0)
      return 0;
    return int8Of(result_, 0);
  }
  bool update(int64_t at, const std::string& record) {
    return run("update", {int8(at), int4(class_), text(table_), bytes(record), text("f"), bytes(record.substr(0, 8))}) &&
           PQgetvalue(result_, 0, 3)[7] == 1;
  }
  bool remove(int64_t at) {
    return run("delete", {int8(at), int4(class_), text(table_), text("f")}) && PQgetvalue(result_, 0, 1)[7] == 1;
  }
  int64_t stat() { return run("stat", {text(table_)}) ? int8Of(result_, 0) : -1; }
  bool unlock(int64_t at) { return run("unlock", {int4(class_), int8(at)}); }

  int64_t id = 0;
  uint8_t data[1536] = {};
  std::string image;
  int64_t sequence = 0;

 private:
  static const char* readName(Read how) {
    static const char* names[] = {"equal", "ge", "first", "last", "next", "previous"};
    return names[static_cast<int>(how)];
  }
  void command(const std::string& sql) {
    PGresult* r = PQexec(conn_, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && failure_.empty()) failure_ = PQresultErrorMessage(r);
    PQclear(r);
  }
  void prepare(const char* name, const std::string& sql) {
    PGresult* r = PQprepare(conn_, name, sql.c_str(), 0, nullptr);
    if (PQresultStatus(r) != PGRES_COMMAND_OK && failure_.empty())
      failure_ = std::string(name) + ": " + PQresultErrorMessage(r);
    PQclear(r);
  }
  bool run(const char* name, const std::vector<Param>& params) {
    const char* values[8];
    int lengths[8], formats[8];
    for (size_t i = 0; i < params.size(); ++i) {
      values[i] = params[i].value.data();
      lengths[i] = static_cast<int>(params[i].value.size());
      formats[i] = params[i].format;
    }
    if (result_) PQclear(result_);
    result_ = PQexecPrepared(conn_, name, static_cast<int>(params.size()), values, lengths, formats, 1);
    return PQresultStatus(result_) == PGRES_TUPLES_OK;
  }

  PGconn* conn_ = nullptr;
  PGresult* result_ = nullptr;
  std::string table_;
  int32_t class_;
  bool dup_;
  std::string failure_;
};

// ---------------------------------------------------------------------------
// The record operations, the engine's and raw's one after the other in
// every iteration (which goes first alternates), so that both meet the
// same load on the machine and the server.

int64_t recordsOf(const benchmark::State& state) { return state.range(0); }
bool dupOf(const benchmark::State& state) { return state.range(1) != 0; }
std::string suffixOf(const benchmark::State& state) {
  return "-" + std::to_string(recordsOf(state)) + (dupOf(state) ? "-dup" : "") + ".dat";
}

// Times the operation run through it and, for the engine, counts its round
// trips.
class Timer {
 public:
  explicit Timer(const EngineSide* engine = nullptr) : engine_(engine) {}
  template <class F>
  auto operator()(F&& f) {
    const uint64_t before = engine_ ? engine_->engine->roundTrips() : 0;
    const auto t0 = Clock::now();
    auto result = f();
    seconds = secondsSince(t0);
    trips = engine_ ? engine_->engine->roundTrips() - before : 1;
    return result;
  }
  double seconds = 0;
  uint64_t trips = 0;

 private:
  const EngineSide* engine_;
};

// One iteration of a side: what puts the operation in place, the operation
// through the timer, what tidies up after it. False when something failed.
using Step = std::function<bool(Timer&)>;

// The value below which fraction f of the times lie.
double quantile(std::vector<double> v, double f) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(f * static_cast<double>(v.size() - 1) + 0.5)];
}

// Counters of two series of times (us), a over b: their 10th percentiles
// and medians, and the ratios of each. On a machine with other work the
// times gather in two crowds, the operations that found the processors
// free and those that waited for one; how many fall in each shifts the
// median from run to run, while the 10th percentile is the operation's own
// cost.
void setQuantiles(benchmark::State& state, const std::string& a, const std::vector<double>& aTimes,
                  const std::string& b, const std::vector<double>& bTimes) {
  for (auto [name, f] : {std::pair<const char*, double>{"p10", 0.1}, {"p50", 0.5}}) {
    const double x = quantile(aTimes, f), y = quantile(bTimes, f);
    state.counters[a + "_" + name] = x;
    state.counters[b + "_" + name] = y;
    state.counters[a + "/" + b + "_" + name] = y > 0 ? x / y : 0;
  }
}

// The iteration's time is the engine's. Counters: setQuantiles' and the
// engine's round trips per operation.
void runPair(benchmark::State& state, EngineSide& engine, const Step& engineStep, const Step& rawStep) {
  Timer engineTimer(&engine), rawTimer;
  // Once untimed: every statement is prepared.
  if (!engineStep(engineTimer)) return state.SkipWithError(("warm-up: " + engine.engine->lastError()).c_str());
  if (!rawStep(rawTimer)) return state.SkipWithError("warm-up: raw");
  std::vector<double> engineTimes, rawTimes;
  uint64_t trips = 0;
  int64_t done = 0;
  for (auto _ : state) {
    const bool engineFirst = done++ % 2 == 0;
    const bool ok = engineFirst ? engineStep(engineTimer) && rawStep(rawTimer)
                                : rawStep(rawTimer) && engineStep(engineTimer);
    if (!ok) return state.SkipWithError("the operation failed");
    state.SetIterationTime(engineTimer.seconds);
    engineTimes.push_back(engineTimer.seconds * 1e6);
    rawTimes.push_back(rawTimer.seconds * 1e6);
    trips += engineTimer.trips;
  }
  setQuantiles(state, "engine", engineTimes, "raw", rawTimes);
  state.counters["round_trips"] = benchmark::Counter(static_cast<double>(trips), benchmark::Counter::kAvgIterations);
}

// Both sides on their files: the engine on enginePath, raw on rawPath.
// Null (the run skipped) when either cannot be had.
struct Sides {
  std::unique_ptr<EngineSide> engine;
  std::unique_ptr<RawSide> raw;
};

Sides sidesOn(benchmark::State& state, const std::string& enginePath, const std::string& rawPath,
              const std::string& why) {
  Sides s;
  if (enginePath.empty() || rawPath.empty()) {
    state.SkipWithError(why.c_str());
    return s;
  }
  s.engine = std::make_unique<EngineSide>(enginePath);
  if (s.engine->openStatus != 0) {
    state.SkipWithError(("open: " + s.engine->engine->lastError()).c_str());
    return {};
  }
  s.raw = std::make_unique<RawSide>(rawPath, dupOf(state));
  if (!s.raw->failure().empty()) {
    state.SkipWithError(s.raw->failure().c_str());
    return {};
  }
  return s;
}

// Files of their own for each side (the operation changes them).
Sides ownFiles(benchmark::State& state, const std::string& what) {
  std::string why;
  const std::string e = makeFile(what + "-engine" + suffixOf(state), recordsOf(state), dupOf(state), why);
  const std::string r = e.empty() ? "" : makeFile(what + "-raw" + suffixOf(state), recordsOf(state), dupOf(state), why);
  return sidesOn(state, e, r, why);
}

// The file the reads share.
Sides sharedFile(benchmark::State& state) {
  std::string why;
  const std::string path = readFile(recordsOf(state), dupOf(state), why);
  return sidesOn(state, path, path, why);
}

// Random keys of the file's records (even), or of the free keys between
// them (odd), the same for both sides.
struct Keys {
  Keys(int64_t records, uint64_t seed) : n(records), rng(seed) {}
  int64_t taken() { return int64_t(rng() % uint64_t(n)) * 2; }
  int64_t free() { return int64_t(rng() % uint64_t(n - 1)) * 2 + 1; }
  int64_t n;
  std::mt19937_64 rng;
};

// Insert on a free key; the record is deleted again untimed, so that the
// file keeps its size.
void Insert(benchmark::State& state) {
  Sides s = ownFiles(state, "ins");
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  const int64_t n = recordsOf(state);
  int64_t ei = 0, ri = 0;
  runPair(
      state, e,
      [&](Timer& t) {
        e.setRecord(recordOf(2 * (ei++ % n) + 1));
        return t([&] { return e.call(op::kInsert, kRecordLength); }) == 0 && e.call(op::kDelete) == 0;
      },
      [&](Timer& t) {
        const std::string r = recordOf(2 * (ri++ % n) + 1);
        const int64_t id = t([&] { return raw.insert(r); });
        return id != 0 && raw.remove(id);
      });
}

// Update of a record read (untimed) by a random key: its last byte changes.
void Update(benchmark::State& state) {
  Sides s = ownFiles(state, "upd");
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  Keys ek(recordsOf(state), 3), rk(recordsOf(state), 3);
  int64_t ei = 0, ri = 0;
  runPair(
      state, e,
      [&](Timer& t) {
        e.setKey(keyOf(ek.taken()));
        if (e.call(op::kGetEqual) != 0) return false;
        e.data[kRecordLength - 1] = static_cast<uint8_t>('a' + ei++ % 26);
        return t([&] { return e.call(op::kUpdate, kRecordLength); }) == 0;
      },
      [&](Timer& t) {
        if (!raw.read(Read::Equal, keyOf(rk.taken()))) return false;
        raw.data[kRecordLength - 1] = static_cast<uint8_t>('a' + ri++ % 26);
        const std::string r(reinterpret_cast<const char*>(raw.data), kRecordLength);
        return t([&] { return raw.update(raw.id, r); });
      });
}

// Delete of a record read (untimed) by a random key; it is inserted again
// untimed.
void Delete(benchmark::State& state) {
  Sides s = ownFiles(state, "del");
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  Keys ek(recordsOf(state), 4), rk(recordsOf(state), 4);
  runPair(
      state, e,
      [&](Timer& t) {
        const int64_t k = ek.taken();
        e.setKey(keyOf(k));
        if (e.call(op::kGetEqual) != 0 || t([&] { return e.call(op::kDelete); }) != 0) return false;
        e.setRecord(recordOf(k));
        return e.call(op::kInsert, kRecordLength) == 0;
      },
      [&](Timer& t) {
        const int64_t k = rk.taken();
        if (!raw.read(Read::Equal, keyOf(k))) return false;
        const int64_t at = raw.id;
        return t([&] { return raw.remove(at); }) && raw.insert(recordOf(k)) != 0;
      });
}

// Get Equal on a random key; with the lock bias + 200 (a single lock, not
// waited for) the record is locked, then unlocked untimed.
void equal(benchmark::State& state, bool locked) {
  Sides s = sharedFile(state);
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  Keys ek(recordsOf(state), 1), rk(recordsOf(state), 1);
  const int16_t operation = locked ? op::kGetEqual + op::kLockBias : op::kGetEqual;
  runPair(
      state, e,
      [&](Timer& t) {
        e.setKey(keyOf(ek.taken()));
        return t([&] { return e.call(operation); }) == 0 && (!locked || e.call(op::kUnlock) == 0);
      },
      [&](Timer& t) {
        const std::string k = keyOf(rk.taken());
        return t([&] { return raw.read(Read::Equal, k, locked ? 1 : 0); }) && (!locked || raw.unlock(raw.id));
      });
}

void GetEqual(benchmark::State& state) { equal(state, false); }
void LockedRead(benchmark::State& state) { equal(state, true); }

// Locked reads one after the other: the position block holds the lock of
// the record read before, which the engine gives up in the query that
// takes the new one; raw sends the same query. Files of their own, so that
// the locks of the two sides are apart.
void LockedReadHolding(benchmark::State& state) {
  Sides s = ownFiles(state, "lock");
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  Keys ek(recordsOf(state), 6), rk(recordsOf(state), 6);
  int64_t held = 0;
  runPair(
      state, e,
      [&](Timer& t) {
        e.setKey(keyOf(ek.taken()));
        return t([&] { return e.call(op::kGetEqual + op::kLockBias); }) == 0;
      },
      [&](Timer& t) {
        const std::string k = keyOf(rk.taken());
        const std::string ids = held ? "{" + std::to_string(held) + "}" : "{}";
        return t([&] {
          if (!raw.read(Read::Equal, k, 1, ids, held)) return false;
          held = raw.id;
          return true;
        });
      });
}

// Get Next (Previous) through the file, from the first (last) record again
// at its end.
void stepThrough(benchmark::State& state, bool forward) {
  Sides s = sharedFile(state);
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  const int16_t start = forward ? op::kGetFirst : op::kGetLast;
  const int16_t step = forward ? op::kGetNext : op::kGetPrevious;
  const Read rawStart = forward ? Read::First : Read::Last;
  if (e.call(start) != 0 || !raw.read(rawStart)) return state.SkipWithError("the file is empty");
  runPair(
      state, e,
      [&](Timer& t) {
        int16_t st = t([&] { return e.call(step); });
        return st == 0 || (st == status::kEndOfFile && e.call(start) == 0);
      },
      [&](Timer& t) { return t([&] { return forward ? raw.next() : raw.previous(); }) || raw.read(rawStart); });
}

void GetNext(benchmark::State& state) { stepThrough(state, true); }
void GetPrevious(benchmark::State& state) { stepThrough(state, false); }

// Get Greater or Equal on a random free key: the record after it.
void GetGreaterOrEqual(benchmark::State& state) {
  Sides s = sharedFile(state);
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  Keys ek(recordsOf(state), 5), rk(recordsOf(state), 5);
  runPair(
      state, e,
      [&](Timer& t) {
        e.setKey(keyOf(ek.free()));
        return t([&] { return e.call(op::kGetGreaterOrEqual); }) == 0;
      },
      [&](Timer& t) {
        const std::string k = keyOf(rk.free());
        return t([&] { return raw.read(Read::GreaterOrEqual, k); });
      });
}

void Stat(benchmark::State& state) {
  Sides s = sharedFile(state);
  if (!s.engine) return;
  EngineSide& e = *s.engine;
  RawSide& raw = *s.raw;
  const int64_t n = recordsOf(state);
  runPair(
      state, e, [&](Timer& t) { return t([&] { return e.call(op::kStat); }) == 0; },
      [&](Timer& t) { return t([&] { return raw.stat(); }) == n; });
}

void sizes(benchmark::internal::Benchmark* b) {
  std::vector<int64_t> records = {10000};
  const char* large = std::getenv("XT_BENCH_LARGE");
  if (large && *large && std::string(large) != "0") records.push_back(1000000);
  b->ArgNames({"records", "dup"});
  for (int64_t n : records)
    for (int64_t dup : {0, 1}) b->Args({n, dup});
  b->UseManualTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(Insert)->Apply(sizes);
BENCHMARK(Update)->Apply(sizes);
BENCHMARK(Delete)->Apply(sizes);
BENCHMARK(GetEqual)->Apply(sizes);
BENCHMARK(GetNext)->Apply(sizes);
BENCHMARK(GetPrevious)->Apply(sizes);
BENCHMARK(GetGreaterOrEqual)->Apply(sizes);
BENCHMARK(LockedRead)->Apply(sizes);
BENCHMARK(LockedReadHolding)->Apply(sizes);
BENCHMARK(Stat)->Apply(sizes);

// ---------------------------------------------------------------------------
// The browse list on the server.

// Answers PgDn to the first `pages` waits and Esc after that, noting the
// time of every wait.
class PagingConsole : public FakeConsole {
 public:
  InputEvent readEvent(int timeoutMs) override {
    if (timeoutMs == 0) return InputEvent{};  // nothing typed while records are read
    waits.push_back(Clock::now());
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.key = static_cast<int>(waits.size()) <= pages ? key::kPgDn : key::kEsc;
    return e;
  }
  int pages = 0;
  std::vector<Clock::time_point> waits;
};

// An installation of the operator file with `records` records on the
// server: its root (the dictionary) and the server's connection string,
// or "" with why. The file's table is made by the program (the operator
// file opened, so created from its dictionary), then filled on the server
// with operators O0000000.. as the operator file stores them: the 17-byte
// record (code, text, level), its key (the code, a plain string) its own
// image. Kept on the server for later runs.
struct Installation {
  std::string root;
  std::string conninfo;
};

Installation installationFor(int records, std::string& why) {
  if (server().empty()) {
    why = "no PostgreSQL server: " + testServerFailure();
    return {};
  }
  const std::string schema = "xt_browse_bench_" + std::to_string(records);
  Installation in{(fs::temp_directory_path() / ("xt-pg-browse-bench-" + std::to_string(records))).string() + "/",
                  inSchema(schema)};
  if (!fileExists(in.root + "ddf/Operador.xdf")) {
    fs::create_directories(in.root + "ddf");
    fs::copy_file(std::string(XT_SOURCE_DIR) + "/demo/ddf/Operador.xdf", in.root + "ddf/Operador.xdf",
                  fs::copy_options::overwrite_existing);
  }
  {
    PgConnection c(in.conninfo, 5000);
    PgRows rows;
    if (c.connect() == 0 &&
        c.run("SELECT records FROM xt_files", {}, rows) == 0 && rows.count() == 1 &&
        rows.int8(0, 0) == records)
      return in;  // loaded by an earlier run
  }
  why = serverWork(server(), {"DROP SCHEMA IF EXISTS " + schema + " CASCADE", "CREATE SCHEMA " + schema});
  if (!why.empty()) return {};
  std::string table;
  {
    TestProgram t;
    std::unique_ptr<RecordEngine> engine = makeRecordEngine(in.conninfo, in.root);
    Program program(t.console(), t.system(), t.fs(), *engine);
    program.settings = t.program().settings;
    program.settings.rootDir = in.root;
    program.settings.dataServer = in.conninfo;
    OperatorRecord rec{};
    if (int16_t st = openDataFile(program.data, kOperatorFileId, in.root + "Operador", recordBytes(rec))) {
      why = "the operator file: " + std::to_string(st) + " " + engine->lastError();
      return {};
    }
    (void)resetAllFiles(program.data);
    PgConnection c(in.conninfo, 5000);
    PgRows rows;
    if (c.connect() != 0 || c.run("SELECT name FROM xt_files", {}, rows) != 0 || rows.count() != 1) {
      why = "no operator file on the server";
      return {};
    }
    table = rows.bytes(0, 0);
  }
  const std::string q = quotedIdentifier(table), n = std::to_string(records);
  why = serverWork(
      in.conninfo,
      {"BEGIN",
       "INSERT INTO " + q + " (id, data, k0, s0) SELECT g, d, substring(d from 1 for 8), 0 "
       "FROM (SELECT g, convert_to('O' || lpad((g - 1)::text, 7, '0') || 'BENCH   ', 'UTF8') || "
       "CASE WHEN (g - 1) % 2 = 1 THEN '\\x01'::bytea ELSE '\\x00'::bytea END AS d "
       "FROM generate_series(1, " + n + ") g) s",
       "UPDATE xt_files SET records = " + n + ", last_id = " + n + " WHERE name = '" + table + "'",
       "COMMIT",
       "VACUUM ANALYZE " + q});
  if (!why.empty()) return {};
  return in;
}

// A program on the installation with the form's list 1: rows 3..22 (18
// lines), columns 10..60.
struct BrowseRun {
  explicit BrowseRun(const Installation& in)
      : engine(makeRecordEngine(named(in.conninfo, applicationName), in.root)),
        program(console, t.system(), t.fs(), *engine),
        form(program.entry, program.data, program.browse) {
    program.settings = t.program().settings;
    program.settings.rootDir = in.root;
    program.settings.dataServer = in.conninfo;
    t.system().setEnv("TAVROOT", in.root);
    program.form.lookups.resize(2);
    LookupList& list = program.form.lookups[1];
    list.attr[0] = kOperatorFileId;
    list.attr[2] = 3;
    list.attr[3] = 10;
    list.attr[4] = 22;
    list.attr[5] = 60;
    list.lookupTitle = "CODI TEXT NIVELL";
    program.entry.hooks = &form;
    openStatus = openDataFile(program.data, kOperatorFileId, in.root + "Operador", recordBytes(form.record()));
    placement().placeServerOf(applicationName);
  }
  ~BrowseRun() { (void)resetAllFiles(program.data); }

  int16_t browse() {
    int16_t list = 1, result = 0;
    browseList(program.entry, program.data, program.browse, list, result);
    return result;
  }
  uint64_t roundTrips() const { return static_cast<const PgEngine&>(*engine).roundTrips(); }

  std::string applicationName;
  TestProgram t;
  PagingConsole console;
  std::unique_ptr<RecordEngine> engine;
  Program program;
  OperatorMaintenance form;
  int16_t openStatus = 0;
};

// The first page on 1,000,000 records and on 1,000, one after the other in
// every iteration. The iteration's time is the large file's; counters: the
// 10th percentiles and medians (us), their ratios, and the round trips of
// an opening.
void BM_PgOpenFirstPage(benchmark::State& state) {
  std::string why;
  Installation small = installationFor(1000, why);
  Installation large = small.root.empty() ? Installation{} : installationFor(1000000, why);
  if (large.root.empty()) return state.SkipWithError(why.c_str());
  BrowseRun smallRun(small), largeRun(large);
  if (smallRun.openStatus != 0 || largeRun.openStatus != 0) return state.SkipWithError("cannot open the operator file");
  smallRun.browse();  // the statements prepared
  largeRun.browse();
  auto open = [](BrowseRun& run) {
    run.console.waits.clear();
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(run.browse());
    return secondsSince(t0);
  };
  std::vector<double> smallTimes, largeTimes;
  uint64_t trips = 0;
  bool largeFirst = true;
  for (auto _ : state) {
    double l = 0, sm = 0;
    const uint64_t before = largeRun.roundTrips();
    if (largeFirst) {
      l = open(largeRun);
      sm = open(smallRun);
    } else {
      sm = open(smallRun);
      l = open(largeRun);
    }
    largeFirst = !largeFirst;
    trips += largeRun.roundTrips() - before;
    state.SetIterationTime(l);
    largeTimes.push_back(l * 1e6);
    smallTimes.push_back(sm * 1e6);
  }
  setQuantiles(state, "1M", largeTimes, "1K", smallTimes);
  state.counters["round_trips"] = benchmark::Counter(static_cast<double>(trips), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PgOpenFirstPage)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Per-page cost of PgDn over the first and the last 50 of 1,000 pages.
void BM_PgPageDown1000(benchmark::State& state) {
  std::string why;
  Installation in = installationFor(1000000, why);
  if (in.root.empty()) return state.SkipWithError(why.c_str());
  BrowseRun run(in);
  if (run.openStatus != 0) return state.SkipWithError("cannot open the operator file");
  run.console.pages = 1000;
  double first = 0, last = 0;
  for (auto _ : state) {
    run.console.waits.clear();
    benchmark::DoNotOptimize(run.browse());
    const auto& w = run.console.waits;
    if (w.size() < 1001) return state.SkipWithError("the list ended early");
    auto span = [&](size_t from, size_t to) {
      return std::chrono::duration<double, std::micro>(w[to] - w[from]).count() / static_cast<double>(to - from);
    };
    first += span(1, 51);
    last += span(950, 1000);
  }
  auto n = static_cast<double>(state.iterations());
  state.counters["us_per_page_first50"] = first / n;
  state.counters["us_per_page_last50"] = last / n;
  state.counters["ratio_last_first"] = last / first;
}
BENCHMARK(BM_PgPageDown1000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// ---------------------------------------------------------------------------

// Prints the runs as usual, then the ratios once more in one table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      if (r.run_type == Run::RT_Iteration)
        runs_.push_back(r);
      else if (r.aggregate_name == "median")
        medians_.push_back(r);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto counter = [](const Run& r, const char* name) {
      auto it = r.counters.find(name);
      return it == r.counters.end() ? -1.0 : it->second.value;
    };
    const std::vector<Run>& runs = medians_.empty() ? runs_ : medians_;
    std::printf("\n%-60s %21s %21s %21s %6s\n", "", "10th percentile (us)", "median (us)", "engine/raw", "round");
    std::printf("%-60s %10s %10s %10s %10s %10s %10s %6s\n", "operation", "engine", "raw", "engine", "raw", "p10",
                "p50", "trips");
    for (const Run& r : runs)
      if (counter(r, "engine/raw_p10") >= 0)
        std::printf("%-60s %10.1f %10.1f %10.1f %10.1f %10.2f %10.2f %6.2f\n", r.benchmark_name().c_str(),
                    counter(r, "engine_p10"), counter(r, "raw_p10"), counter(r, "engine_p50"), counter(r, "raw_p50"),
                    counter(r, "engine/raw_p10"), counter(r, "engine/raw_p50"), counter(r, "round_trips"));
    for (const Run& r : runs)
      if (counter(r, "1M/1K_p10") >= 0)
        std::printf("\nbrowse list, first page (us): 1,000,000 records p10 %.1f median %.1f; 1,000 records p10 %.1f "
                    "median %.1f; 1M/1K p10 %.2f median %.2f; %.0f round trips\n",
                    counter(r, "1M_p10"), counter(r, "1M_p50"), counter(r, "1K_p10"), counter(r, "1K_p50"),
                    counter(r, "1M/1K_p10"), counter(r, "1M/1K_p50"), counter(r, "round_trips"));
  }

 private:
  std::vector<Run> runs_, medians_;
};

}  // namespace
}  // namespace xt

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  xt::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
