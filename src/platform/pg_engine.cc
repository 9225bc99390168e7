#include "platform/pg_engine.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/native_path.h"
#include "platform/pg_connection.h"
#include "platform/record_engine.h"

namespace xt {

namespace {

constexpr size_t kMaxIdentifier = 63;

std::string lowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// "/srv/tav/./data/../Operador.dat" -> "/srv/tav/Operador.dat"; on Windows
// "C:\tav\Operador.dat" -> "C:/tav/Operador.dat". The root ("/", a drive, a
// share) is kept as written, and ".." stops there.
std::string normalised(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  const size_t rootLength = pathRootLength(p);
  std::vector<std::string> parts;
  size_t i = rootLength;
  while (i <= p.size()) {
    size_t slash = p.find('/', i);
    if (slash == std::string::npos) slash = p.size();
    std::string part = p.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = slash + 1;
  }
  std::string out = p.substr(0, rootLength);
  if (!out.empty() && out.back() != '/' && !parts.empty()) out += '/';
  for (size_t k = 0; k < parts.size(); ++k) out += (k ? "/" : "") + parts[k];
  return out;
}

uint32_t fnv1a(const std::string& s) {
  uint32_t h = 2166136261u;
  for (char c : s) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  return h;
}

std::string col(const char* prefix, size_t key) { return prefix + std::to_string(key); }

// The advisory lock key of record id: positions are 32-bit.
const char* kRecordKey = "(%s %% 2147483648)::int4";

std::string recordKey(const std::string& id) {
  char buf[64];
  std::snprintf(buf, sizeof buf, kRecordKey, id.c_str());
  return buf;
}

// Ids held by this process, as an int8 array in text form.
std::string idArray(const std::map<int64_t, uint32_t>& owners) {
  std::string out = "{";
  for (const auto& [id, owner] : owners) {
    if (out.size() > 1) out += ',';
    out += std::to_string(id);
  }
  return out + "}";
}

// A bytea literal of n zero bytes: '\x0000'::bytea.
std::string zeros(size_t n) { return "'\\x" + std::string(n * 2, '0') + "'::bytea"; }

// One data file as a table on the server.
class PgFile : public DataStore {
 public:
  PgFile(PgConnection& conn, std::string table, int32_t lockClass, FileSpec spec, std::string owner)
      : conn_(conn),
        table_(std::move(table)),
        quoted_(quotedIdentifier(table_)),
        class_(lockClass),
        spec_(std::move(spec)),
        owner_(std::move(owner)),
        generation_(conn.generation()) {}

  ~PgFile() override {
    if (!conn_.connected() || conn_.generation() != generation_) return;
    PgRows rows;
    for (const auto& [id, owner] : owners_)
      (void)conn_.run("SELECT pg_advisory_unlock($1::int4, " + recordKey("$2::int8") + ")",
                      {PgParam::int4(class_), PgParam::int8(id)}, rows);
    (void)conn_.run("SELECT pg_advisory_unlock_shared($1::int4, 0)", {PgParam::int4(class_)}, rows);
  }

  const FileSpec& fileSpec() const override { return spec_; }
  const std::string& ownerName() const override { return owner_; }

  int16_t seek(int key, Seek how, const std::string& image, StoredRecord& out, const ReadLock& lock) override {
    const size_t k = static_cast<size_t>(key);
    const bool dup = spec_.keys[k].duplicates();
    const std::string kc = col("k", k), sc = col("s", k);
    const std::string up = dup ? kc + ", " + sc : kc;
    const std::string down = dup ? kc + " DESC, " + sc + " DESC" : kc + " DESC";
    std::string where, order;
    bool withImage = true;
    switch (how) {
      case Seek::Equal: where = kc + " = $4::bytea"; order = up; break;
      case Seek::GreaterOrEqual: where = kc + " >= $4::bytea"; order = up; break;
      case Seek::Greater: where = kc + " > $4::bytea"; order = up; break;
      case Seek::LessOrEqual: where = kc + " <= $4::bytea"; order = down; break;
      case Seek::Less: where = kc + " < $4::bytea"; order = down; break;
      case Seek::First: where = kc + " IS NOT NULL"; order = up; withImage = false; break;
      case Seek::Last: where = kc + " IS NOT NULL"; order = down; withImage = false; break;
    }
    std::vector<PgParam> params = lockParams(lock);
    if (withImage) params.push_back(PgParam::bytes(image));
    return read(kc, sc, where + " ORDER BY " + order + " LIMIT 1", params, out, lock, status::kEndOfFile);
  }

  // One query: a row comparison on (image, sequence), which PostgreSQL
  // walks through the key's index. The index leaves out null images, and
  // the planner does not see that a row comparison does too: the image is
  // said to be there, or every step would read the whole table.
  int16_t step(int key, bool forward, const std::string& image, int64_t sequence, StoredRecord& out,
               const ReadLock& lock) override {
    const size_t k = static_cast<size_t>(key);
    const bool dup = spec_.keys[k].duplicates();
    const std::string kc = col("k", k), sc = col("s", k);
    const char* op = forward ? " > " : " < ";
    const std::string dir = forward ? "" : " DESC";
    std::vector<PgParam> params = lockParams(lock);
    params.push_back(PgParam::bytes(image));
    std::string where;
    if (dup) {
      params.push_back(PgParam::int8(sequence));
      where = kc + " IS NOT NULL AND (" + kc + ", " + sc + ")" + op + "($4::bytea, $5::int8) ORDER BY " + kc + dir +
              ", " + sc + dir;
    } else {
      where = kc + op + "$4::bytea ORDER BY " + kc + dir;
    }
    return read(kc, sc, where + " LIMIT 1", params, out, lock, status::kEndOfFile);
  }

  int16_t readById(int64_t id, int key, StoredRecord& out, const ReadLock& lock) override {
    std::vector<PgParam> params = lockParams(lock);
    params.push_back(PgParam::int8(id));
    const std::string kc = key >= 0 ? col("k", static_cast<size_t>(key)) : "NULL::bytea";
    const std::string sc = key >= 0 ? col("s", static_cast<size_t>(key)) : "0::int8";
    return read(kc, sc, "id = $4::int8", params, out, lock, status::kInvalidRecordAddress);
  }

  int16_t insert(std::string& record, int key, StoredRecord& out) override {
    if (int16_t st = ready()) return st;
    std::vector<std::optional<std::string>> imgs = images(record);
    bool autoIncrement = false;
    for (const KeySpec& k : spec_.keys) autoIncrement = autoIncrement || k.autoIncrementSegment() >= 0;
    int16_t st = autoIncrement ? insertAutoIncrement(record, imgs, out) : insertRow(record, imgs, out);
    if (st != status::kOk) return st;
    out.data = record;
    out.inKey = key >= 0 && imgs[static_cast<size_t>(key)].has_value();
    out.image = out.inKey ? *imgs[static_cast<size_t>(key)] : std::string();
    out.sequence = key >= 0 && spec_.keys[static_cast<size_t>(key)].duplicates() ? out.id : 0;
    return status::kOk;
  }

  int16_t update(int64_t id, const std::string& record, int key, uint32_t owner, StoredRecord& out) override {
    if (int16_t st = ready()) return st;
    // Another position block of this process: the server would let this
    // session through its own lock.
    if (otherOwner(id, owner)) return status::kRecordLocked;
    std::vector<std::optional<std::string>> imgs = images(record);
    const size_t n = spec_.keys.size();
    // $1 id, $2 lock class, $3 name, $4 data, $5 release the record lock,
    // then the images from $6.
    std::string same = "true";
    for (size_t k = 0; k < n; ++k) {
      if (spec_.keys[k].modifiable()) continue;
      for (const SegmentSpec& s : spec_.keys[k].segments) {
        auto field = [&](const std::string& data) {
          return "substring(substring(" + data + " from " + std::to_string(s.position) + " for " +
                 std::to_string(s.length) + ") || " + zeros(s.length) + " from 1 for " +
                 std::to_string(s.length) + ")";
        };
        same += " AND " + field("t.data") + " = " + field("$4::bytea");
      }
    }
    std::string moved, movedCount = "0";
    std::vector<std::string> movedFlags(n);
    for (size_t k = 0; k < n; ++k) {
      const std::string img = "$" + std::to_string(6 + k) + "::bytea";
      movedFlags[k] = spec_.keys[k].duplicates() ? "(t." + col("k", k) + " IS DISTINCT FROM " + img + ")" : "false";
      moved += ", " + movedFlags[k] + " AS m" + std::to_string(k);
      movedCount += " + o.m" + std::to_string(k) + "::int";
    }
    std::string sets = "data = $4::bytea";
    for (size_t k = 0; k < n; ++k) {
      // A duplicate key that changed goes after the duplicates of its new
      // value: it takes the next sequence, one per moved key in key order.
      std::string later = "0";
      for (size_t j = k + 1; j < n; ++j) later += " + o.m" + std::to_string(j) + "::int";
      sets += ", " + col("k", k) + " = $" + std::to_string(6 + k) + "::bytea, " + col("s", k) + " = CASE WHEN o.m" +
              std::to_string(k) + " THEN (SELECT last_id FROM f) - (" + later + ") ELSE t." + col("s", k) + " END";
    }
    std::string returning = "t.id";
    for (size_t k = 0; k < n; ++k) returning += ", t." + col("s", k);
    const std::string sql =
        "WITH l AS (SELECT pg_try_advisory_xact_lock($2::int4, " + recordKey("$1::int8") + ") AS free), "
        "o AS (SELECT t.id, (" + same + ") AS same" + moved + " FROM " + quoted_ + " t, l "
        "WHERE t.id = $1::int8 AND l.free FOR UPDATE OF t), "
        "f AS (UPDATE xt_files SET last_id = last_id + (SELECT " + movedCount + " FROM o) "
        "WHERE name = $3::text AND EXISTS (SELECT 1 FROM o WHERE o.same AND " + movedCount + " > 0) "
        "RETURNING last_id), "
        "u AS (UPDATE " + quoted_ + " t SET " + sets + " FROM o WHERE t.id = o.id AND o.same RETURNING " + returning + ") "
        "SELECT (SELECT free FROM l), (SELECT count(*) FROM o), (SELECT bool_and(same) FROM o), "
        "(SELECT count(*) FROM u), u.*, "
        "CASE WHEN $5::bool AND EXISTS (SELECT 1 FROM u) THEN pg_advisory_unlock($2::int4, " + recordKey("$1::int8") + ") END "
        "FROM (SELECT 1) one LEFT JOIN u ON true";
    const bool release = ownedBy(id, owner);
    std::vector<PgParam> params = {PgParam::int8(id), PgParam::int4(class_), PgParam::text(table_),
                                   PgParam::bytes(record), PgParam::text(release ? "t" : "f")};
    for (size_t k = 0; k < n; ++k) params.push_back(imgs[k] ? PgParam::bytes(*imgs[k]) : PgParam::none());
    PgRows rows;
    if (int16_t st = run(sql, params, rows)) return st;
    if (!rows.boolean(0, 0)) return status::kRecordLocked;
    if (rows.int8(0, 1) == 0) return status::kInvalidPositioning;
    if (!rows.boolean(0, 2)) return status::kModifiableKeyValue;
    if (release) owners_.erase(id);
    out.id = id;
    out.data = record;
    out.inKey = key >= 0 && imgs[static_cast<size_t>(key)].has_value();
    out.image = out.inKey ? *imgs[static_cast<size_t>(key)] : std::string();
    out.sequence = key >= 0 ? rows.int8(0, 5 + key) : 0;
    return status::kOk;
  }

  int16_t remove(int64_t id, uint32_t owner) override {
    if (int16_t st = ready()) return st;
    if (otherOwner(id, owner)) return status::kRecordLocked;
    const std::string sql =
        "WITH l AS (SELECT pg_try_advisory_xact_lock($2::int4, " + recordKey("$1::int8") + ") AS free), "
        "d AS (DELETE FROM " + quoted_ + " t USING l WHERE t.id = $1::int8 AND l.free RETURNING t.id), "
        "c AS (UPDATE xt_files SET records = records - 1 WHERE name = $3::text AND EXISTS (SELECT 1 FROM d)) "
        "SELECT (SELECT free FROM l), (SELECT count(*) FROM d), "
        "CASE WHEN $4::bool AND EXISTS (SELECT 1 FROM d) THEN pg_advisory_unlock($2::int4, " + recordKey("$1::int8") + ") END";
    const bool release = ownedBy(id, owner);
    PgRows rows;
    if (int16_t st = run(sql,
                         {PgParam::int8(id), PgParam::int4(class_), PgParam::text(table_),
                          PgParam::text(release ? "t" : "f")},
                         rows))
      return st;
    if (!rows.boolean(0, 0)) return status::kRecordLocked;
    if (rows.int8(0, 1) == 0) return status::kInvalidPositioning;
    if (release) owners_.erase(id);
    return status::kOk;
  }

  int64_t recordCount() override {
    if (ready() != status::kOk) return 0;
    PgRows rows;
    if (run("SELECT records FROM xt_files WHERE name = $1::text", {PgParam::text(table_)}, rows) != status::kOk ||
        rows.count() == 0)
      return 0;
    return rows.int8(0, 0);
  }

  int16_t lockRecord(int64_t id, uint32_t owner, bool wait) override {
    auto it = owners_.find(id);
    if (it != owners_.end()) return it->second == owner ? status::kOk : status::kRecordLocked;
    if (int16_t st = ready()) return st;
    const std::string sql = wait ? "SELECT (SELECT true FROM (SELECT pg_advisory_lock($1::int4, " +
                                       recordKey("$2::int8") + ")) w)"
                                 : "SELECT pg_try_advisory_lock($1::int4, " + recordKey("$2::int8") + ")";
    PgRows rows;
    int16_t st = run(sql, {PgParam::int4(class_), PgParam::int8(id)}, rows);
    if (st == status::kFileLocked) return status::kRecordLocked;  // waited the busy time
    if (st != status::kOk) return st;
    if (!rows.boolean(0, 0)) return status::kRecordLocked;
    owners_[id] = owner;
    return status::kOk;
  }

  void unlockRecord(int64_t id) override {
    if (!owners_.erase(id) || !conn_.connected() || conn_.generation() != generation_) return;
    PgRows rows;
    (void)conn_.run("SELECT pg_advisory_unlock($1::int4, " + recordKey("$2::int8") + ")",
                    {PgParam::int4(class_), PgParam::int8(id)}, rows);
  }

  // Takes the file's open lock (shared; a create or replace takes it
  // exclusively), waiting the busy time: 0, 85.
  int16_t holdOpen() {
    PgRows rows;
    int16_t st = conn_.run("SELECT pg_advisory_lock_shared($1::int4, 0)", {PgParam::int4(class_)}, rows);
    generation_ = conn_.generation();
    return st;
  }

 private:
  // A lost connection is made again; its locks went with the old one, so
  // the record locks of this process are forgotten and the open lock is
  // taken again. 0, or 95 while the server cannot be reached.
  int16_t ready() {
    if (!conn_.connected()) {
      if (int16_t st = conn_.connect()) return st;
    }
    if (conn_.generation() != generation_) {
      owners_.clear();
      if (int16_t st = holdOpen()) return st;
    }
    return status::kOk;
  }

  int16_t run(const std::string& sql, const std::vector<PgParam>& params, PgRows& rows) {
    int16_t st = conn_.run(sql, params, rows);
    if (st == status::kServerGone) owners_.clear();
    return st;
  }

  bool ownedBy(int64_t id, uint32_t owner) const {
    auto it = owners_.find(id);
    return it != owners_.end() && it->second == owner;
  }
  bool otherOwner(int64_t id, uint32_t owner) const {
    auto it = owners_.find(id);
    return it != owners_.end() && it->second != owner;
  }

  // $1 lock kind (0 none, 1 try, 2 wait), $2 the ids this process holds,
  // $3 the lock class.
  std::vector<PgParam> lockParams(const ReadLock& lock) const {
    const int32_t kind = !lock.take ? 0 : lock.wait ? 2 : 1;
    return {PgParam::int4(kind), PgParam::text(idArray(owners_)), PgParam::int4(class_)};
  }

  // One record and, when asked, its lock, in one query: the lock is taken
  // on the record found (the inner query is not flattened into the outer
  // one, so the lock function runs for that row alone). A record this
  // process holds already is not locked again on the server. The single
  // lock the new one replaces is given up in the same query, once the new
  // one is taken.
  int16_t read(const std::string& kc, const std::string& sc, const std::string& where,
               std::vector<PgParam> params, StoredRecord& out, const ReadLock& lock, int16_t none) {
    if (int16_t st = ready()) return st;
    const std::string key = recordKey("r.id");
    std::string sql =
        "SELECT r.id, r.data, r.k, r.s, CASE WHEN $1::int4 = 0 OR r.id = ANY($2::int8[]) THEN true "
        "WHEN $1::int4 = 1 THEN pg_try_advisory_lock($3::int4, " + key + ") "
        "ELSE (SELECT true FROM (SELECT pg_advisory_lock($3::int4, " + key + ")) w) END AS locked "
        "FROM (SELECT id, data, " + kc + " AS k, " + sc + " AS s FROM " + quoted_ + " WHERE " + where + ") r";
    const int64_t replaced = lock.take && lock.replaces && ownedBy(lock.replaces, lock.owner) ? lock.replaces : 0;
    if (replaced) {
      const std::string n = std::to_string(params.size() + 1), others = std::to_string(params.size() + 2);
      sql = "SELECT q.*, CASE WHEN q.locked AND q.id <> $" + n + "::int8 AND NOT q.id = ANY($" + others +
            "::int8[]) THEN pg_advisory_unlock($3::int4, " + recordKey("$" + n + "::int8") + ") END FROM (" + sql +
            " OFFSET 0) q";
      std::map<int64_t, uint32_t> heldByOthers;
      for (const auto& [id, owner] : owners_)
        if (owner != lock.owner) heldByOthers.emplace(id, owner);
      params.push_back(PgParam::int8(replaced));
      params.push_back(PgParam::text(idArray(heldByOthers)));
    }
    PgRows rows;
    int16_t st = run(sql, params, rows);
    if (st == status::kFileLocked && lock.take) return status::kRecordLocked;  // waited the busy time
    if (st != status::kOk) return st;
    if (rows.count() == 0) return none;
    out.id = rows.int8(0, 0);
    out.data = rows.bytes(0, 1);
    out.inKey = !rows.isNull(0, 2);
    out.image = out.inKey ? rows.bytes(0, 2) : std::string();
    out.sequence = rows.int8(0, 3);
    if (!lock.take) return status::kOk;
    if (!rows.boolean(0, 4) || otherOwner(out.id, lock.owner)) return status::kRecordLocked;
    if (replaced && out.id != replaced) owners_.erase(replaced);  // given up by the query
    owners_[out.id] = lock.owner;
    return status::kOk;
  }

  std::vector<std::optional<std::string>> images(const std::string& record) const {
    std::vector<std::optional<std::string>> out;
    for (const KeySpec& k : spec_.keys) out.push_back(recordKeyImage(spec_, k, record));
    return out;
  }

  // The insert and the file's counters in one statement: a refused insert
  // (a key taken) leaves them as they were, so positions never skip.
  int16_t insertRow(const std::string& record, const std::vector<std::optional<std::string>>& imgs,
                    StoredRecord& out) {
    std::string columns = "id, data", values = "f.last_id, $2::bytea";
    for (size_t k = 0; k < spec_.keys.size(); ++k) {
      columns += ", " + col("k", k) + ", " + col("s", k);
      values += ", $" + std::to_string(3 + k) + "::bytea, " +
                (spec_.keys[k].duplicates() ? std::string("f.last_id") : std::string("0"));
    }
    const std::string sql =
        "WITH f AS (UPDATE xt_files SET last_id = last_id + 1, records = records + 1 "
        "WHERE name = $1::text RETURNING last_id), "
        "i AS (INSERT INTO " + quoted_ + " (" + columns + ") SELECT " + values + " FROM f RETURNING id) "
        "SELECT id FROM i";
    std::vector<PgParam> params = {PgParam::text(table_), PgParam::bytes(record)};
    for (const auto& img : imgs) params.push_back(img ? PgParam::bytes(*img) : PgParam::none());
    PgRows rows;
    if (int16_t st = run(sql, params, rows)) return st;
    if (rows.count() == 0) return status::kIoError;
    out.id = rows.int8(0, 0);
    return status::kOk;
  }

  // Autoincrement fields take the largest value + 1, read and written
  // under the file's row lock in one transaction.
  int16_t insertAutoIncrement(std::string& record, std::vector<std::optional<std::string>>& imgs,
                              StoredRecord& out) {
    PgRows rows;
    auto abort = [&](int16_t st) {
      (void)conn_.execute("ROLLBACK");
      return st;
    };
    if (int16_t st = conn_.execute("BEGIN")) return st;
    if (int16_t st = run("SELECT 1 FROM xt_files WHERE name = $1::text FOR UPDATE", {PgParam::text(table_)}, rows))
      return abort(st);
    for (size_t k = 0; k < spec_.keys.size(); ++k) {
      const KeySpec& key = spec_.keys[k];
      int seg = key.autoIncrementSegment();
      if (seg < 0) continue;
      const SegmentSpec& s = key.segments[static_cast<size_t>(seg)];
      const size_t at = s.position - 1;
      if (at + s.length > record.size()) continue;
      bool zero = true;
      for (size_t i = 0; i < s.length; ++i) zero = zero && record[at + i] == 0;
      if (!zero) continue;
      const bool descending = s.flags & keyflag::kDescending;
      if (int16_t st = run("SELECT data FROM " + quoted_ + " WHERE " + col("k", k) + " IS NOT NULL ORDER BY " +
                               col("k", k) + (descending ? " ASC" : " DESC") + " LIMIT 1",
                           {}, rows))
        return abort(st);
      int64_t next = 1;
      if (rows.count() > 0) {
        std::string data = rows.bytes(0, 0);
        int64_t v = 0;
        if (at + s.length <= data.size())
          v = s.length == 2 ? int16_t(readLe16(data.data() + at)) : int32_t(readLe32(data.data() + at));
        next = v + 1;
      }
      if (s.length == 2)
        writeLe16(record.data() + at, uint16_t(next));
      else
        writeLe32(record.data() + at, uint32_t(next));
    }
    imgs = images(record);
    if (int16_t st = insertRow(record, imgs, out)) return abort(st);
    if (int16_t st = conn_.execute("COMMIT")) return st;
    return status::kOk;
  }

  PgConnection& conn_;
  std::string table_;
  std::string quoted_;
  int32_t class_;
  FileSpec spec_;
  std::string owner_;
  uint64_t generation_;
  std::map<int64_t, uint32_t> owners_;  // record id -> position block of this process
};

// The tables of the installation on its server.
class PgBackend : public DataStoreBackend {
 public:
  PgBackend(const std::string& conninfo, std::string root, int busyTimeoutMs)
      : conn_(conninfo, busyTimeoutMs), root_(std::move(root)), busyTimeoutMs_(busyTimeoutMs) {}

  PgConnection& connection() { return conn_; }

  // Connects (unless connected) and makes sure of xt_files and the schema
  // on this connection; a connection that did not get that far is tried
  // again by the next call.
  int16_t connect() {
    if (!conn_.connected()) {
      if (int16_t st = conn_.connect()) return st;
    }
    // Made once for the installation. Two terminals making it at once: the
    // one that loses the race finds it made.
    int16_t st = conn_.execute(
        "CREATE TABLE IF NOT EXISTS xt_files (name text PRIMARY KEY, layout bytea NOT NULL, owner bytea, "
        "records bigint NOT NULL DEFAULT 0, last_id bigint NOT NULL DEFAULT 0)");
    PgRows rows;
    if (st != status::kOk && st != status::kServerGone &&
        conn_.run("SELECT to_regclass('xt_files') IS NOT NULL", {}, rows) == status::kOk && rows.boolean(0, 0))
      st = status::kOk;
    if (st != status::kOk) return st;
    // Advisory locks are per database: the schema goes into their class, so
    // installations kept in schemas of one database never block each other.
    if ((st = conn_.run("SELECT current_schema()::text", {}, rows)) != status::kOk) return st;
    schema_ = rows.count() > 0 && !rows.isNull(0, 0) ? rows.bytes(0, 0) : std::string();
    readyGeneration_ = conn_.generation();
    return status::kOk;
  }


  std::string identity(const std::string& name) override { return pgTableName(root_, name); }

  bool exists(const std::string& name) override {
    if (ensureConnected() != status::kOk) return false;
    PgRows rows;
    return conn_.run("SELECT 1 FROM xt_files WHERE name = $1::text", {PgParam::text(identity(name))}, rows) ==
               status::kOk &&
           rows.count() > 0;
  }

  int16_t open(const std::string& name, std::unique_ptr<DataStore>& out) override {
    if (int16_t st = ensureConnected()) return st;
    const std::string table = identity(name);
    PgRows rows;
    if (int16_t st = conn_.run("SELECT layout, owner FROM xt_files WHERE name = $1::text",
                               {PgParam::text(table)}, rows))
      return fail(st);
    if (rows.count() == 0) return status::kFileNotFound;
    FileSpec spec;
    if (parseFileSpec(rows.bytes(0, 0), spec) != status::kOk) return status::kNotADataFile;
    std::string owner = rows.bytes(0, 1);
    auto file = std::make_unique<PgFile>(conn_, table, lockClass(table), std::move(spec), std::move(owner));
    if (int16_t st = file->holdOpen()) return fail(st);
    out = std::move(file);
    return status::kOk;
  }

  int16_t create(const std::string& name, const FileSpec& fileSpec, bool replace) override {
    if (int16_t st = ensureConnected()) return st;
    const std::string table = identity(name);
    const int32_t cls = lockClass(table);
    // No file is made under a terminal that has the old one open: the open
    // lock is taken exclusively, waiting the busy time for them to close.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
    PgRows rows;
    for (;;) {
      if (int16_t st = conn_.run("SELECT pg_try_advisory_lock($1::int4, 0)", {PgParam::int4(cls)}, rows))
        return fail(st);
      if (rows.boolean(0, 0)) break;
      if (std::chrono::steady_clock::now() >= deadline) return status::kFileLocked;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int16_t st = createTable(table, fileSpec, replace);
    (void)conn_.run("SELECT pg_advisory_unlock($1::int4, 0)", {PgParam::int4(cls)}, rows);
    return st;
  }

  int16_t setOwnerName(const std::string& name, const std::string& owner) {
    if (int16_t st = ensureConnected()) return st;
    const PgParam value = owner.empty() ? PgParam::none() : PgParam::bytes(owner);
    PgRows rows;
    if (int16_t st = conn_.run("UPDATE xt_files SET owner = $2::bytea WHERE name = $1::text RETURNING 1",
                               {PgParam::text(identity(name)), value}, rows))
      return st;
    return rows.count() > 0 ? status::kOk : status::kFileNotFound;
  }

  // The server's (or libpq's) words on the last failure.
  std::string lastError() const override { return conn_.lastError(); }

 private:
  int16_t ensureConnected() {
    return conn_.connected() && conn_.generation() == readyGeneration_ ? status::kOk : connect();
  }

  static int16_t fail(int16_t st) { return st; }

  int32_t lockClass(const std::string& table) const { return static_cast<int32_t>(fnv1a(schema_ + "." + table)); }

  // The table, its indexes and its row in xt_files, in one transaction.
  int16_t createTable(const std::string& table, const FileSpec& fileSpec, bool replace) {
    PgRows rows;
    if (int16_t st = conn_.run("SELECT 1 FROM xt_files WHERE name = $1::text", {PgParam::text(table)}, rows))
      return fail(st);
    if (rows.count() > 0 && !replace) return status::kFileAlreadyExists;
    const std::string q = quotedIdentifier(table);
    std::string ddl = "BEGIN; DROP TABLE IF EXISTS " + q + "; CREATE TABLE " + q +
                      " (id bigint PRIMARY KEY, data bytea NOT NULL";
    for (size_t k = 0; k < fileSpec.keys.size(); ++k)
      ddl += ", " + col("k", k) + " bytea, " + col("s", k) + " bigint NOT NULL DEFAULT 0";
    ddl += ");";
    for (size_t k = 0; k < fileSpec.keys.size(); ++k) {
      const std::string kc = col("k", k), sc = col("s", k);
      const std::string index = quotedIdentifier(table.substr(0, 50) + "#" + kc);
      if (fileSpec.keys[k].duplicates())
        ddl += "CREATE INDEX " + index + " ON " + q + " (" + kc + ", " + sc + ") WHERE " + kc + " IS NOT NULL;";
      else
        ddl += "CREATE UNIQUE INDEX " + index + " ON " + q + " (" + kc + ") WHERE " + kc + " IS NOT NULL;";
    }
    if (int16_t st = conn_.execute(ddl)) {
      (void)conn_.execute("ROLLBACK");
      return fail(st);
    }
    int16_t st = conn_.run(
        "INSERT INTO xt_files (name, layout) VALUES ($1::text, $2::bytea) "
        "ON CONFLICT (name) DO UPDATE SET layout = EXCLUDED.layout, owner = NULL, records = 0, last_id = 0",
        {PgParam::text(table), PgParam::bytes(fileSpec.bytes)}, rows);
    if (st == status::kOk) st = conn_.execute("COMMIT");
    if (st != status::kOk) {
      (void)conn_.execute("ROLLBACK");
      return fail(st);
    }
    return status::kOk;
  }

  PgConnection conn_;
  std::string root_;
  std::string schema_;  // where the connection's search path puts new tables
  uint64_t readyGeneration_ = 0;  // the connection connect() saw through
  int busyTimeoutMs_;
};

}  // namespace

std::string pgTableName(const std::string& root, const std::string& path) {
  std::string p = normalised(path);
  const std::string r = normalised(root);
  if (pathRootLength(p) == 0) p = normalised(r + "/" + p);
  std::string inside = p;
  const std::string prefix = !r.empty() && r.back() == '/' ? r : r + "/";
  if (lowerCase(p).rfind(lowerCase(prefix), 0) == 0) inside = p.substr(prefix.size());
  // Letters in any case name the same file; bytes beyond ASCII (a name
  // from another code page) are kept as %XX.
  std::string name;
  for (char c : lowerCase(inside)) {
    auto b = static_cast<uint8_t>(c);
    if (b >= 0x80 || b < 0x20 || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", b);
      name += hex;
    } else {
      name += c;
    }
  }
  if (name.size() > kMaxIdentifier) {
    char hash[16];
    std::snprintf(hash, sizeof hash, "~%08x", fnv1a(name));
    name = name.substr(name.size() - (kMaxIdentifier - 9)) + hash;
  }
  return name;
}

PgEngine::PgEngine(const std::string& conninfo, const std::string& root, int busyTimeoutMs)
    : StoreEngine(std::make_unique<PgBackend>(conninfo, root, busyTimeoutMs)) {
  connection_ = &static_cast<PgBackend&>(backend()).connection();
}

PgEngine::~PgEngine() = default;

int16_t PgEngine::connect() { return static_cast<PgBackend&>(backend()).connect(); }

uint64_t PgEngine::roundTrips() const { return connection_->roundTrips(); }

int16_t PgEngine::setOwnerName(const std::string& path, const std::string& owner) {
  return static_cast<PgBackend&>(backend()).setOwnerName(path, owner);
}

}  // namespace xt
