#include "platform/sqlite_file.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/cp850.h"
#include "platform/files.h"
#include "platform/path_calls.h"
#include "platform/record_engine.h"

namespace xt {

namespace {

// Fixed statement slots; the per-key ones follow from kKeySlots on.
enum Fixed : size_t {
  kBegin, kCommit, kRollback, kInsert, kUpdate, kDelete, kReadAll, kReadPlain, kCount,
  kDataVersion, kNextSequence, kKeySlots
};
// Per-key slots: the nine seeks, then these.
constexpr size_t kReadById = 9, kMaxAuto = 10, kPerKey = 11;

// SQLite makes its files 0644 whatever the umask. A data file shared by
// the terminals of several users gets the mode any other file made here
// gets, 0666 less the umask; SQLite gives its -wal and -shm files the mode
// of the data file.
mode_t createdFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string col(const char* prefix, int key) { return prefix + std::to_string(key); }

int16_t busyOr(int rc, int16_t otherwise) {
  int primary = rc & 0xFF;
  return (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) ? status::kFileLocked : otherwise;
}

const char* kSequenceExpr =
    "(SELECT ifnull((SELECT seq FROM sqlite_sequence WHERE name='records'),0)+1)";

// A file this user may not write (its -wal and -shm do not count) is
// opened for reading only.
bool readOnlyFor(const std::string& path) { return accessPath(path, W_OK) != 0; }

// The file name as SQLite takes it. On Windows that is UTF-8, which it
// turns into the wide name, and the program's names are code page 850 (as
// the Win32 file system reads them); on Linux names are bytes.
std::string sqliteName(const std::string& path) {
#ifdef _WIN32
  return cp850ToUtf8(path);
#else
  return path;
#endif
}

}  // namespace

// The sidecar closes after the connection (it is a member): until then no
// file is made under the name.
SqliteFile::~SqliteFile() {
  for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
  sqlite3_close_v2(db_);
}

int16_t SqliteFile::open(const std::string& path, int busyTimeoutMs, std::unique_ptr<SqliteFile>& out) {
  if (!isRegularFile(path)) return status::kFileNotFound;
  const bool readOnly = readOnlyFor(path);
  std::unique_ptr<SqliteFile> file(new SqliteFile());
  file->readOnly_ = readOnly;
  // Held from before the connection: a create or replace under the name
  // finishes first, and none starts while the file is open here.
  if (int16_t s = file->sidecar_.open(path, readOnly, busyTimeoutMs)) return s;
  if (int16_t s = file->sidecar_.holdOpen()) return s;
  int rc = sqlite3_open_v2(sqliteName(path).c_str(), &file->db_,
                           (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  sqlite3* db = file->db_;
  if (rc != SQLITE_OK) return status::kIoError;
  sqlite3_busy_timeout(db, busyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return busyOr(rc, status::kNotADataFile);

  sqlite3_stmt* st2 = nullptr;
  rc = sqlite3_prepare_v2(db, "SELECT name, value FROM file_info", -1, &st2, nullptr);
  if (rc != SQLITE_OK) return busyOr(rc, status::kNotADataFile);
  std::string specBytes;
  while ((rc = sqlite3_step(st2)) == SQLITE_ROW) {
    std::string name(reinterpret_cast<const char*>(sqlite3_column_text(st2, 0)));
    std::string value(static_cast<const char*>(sqlite3_column_blob(st2, 1)),
                      static_cast<size_t>(sqlite3_column_bytes(st2, 1)));
    if (name == "layout") specBytes = value;
    if (name == "owner") file->owner_ = value;
  }
  sqlite3_finalize(st2);
  if (rc != SQLITE_DONE) return busyOr(rc, status::kNotADataFile);
  if (parseFileSpec(specBytes, file->spec_) != status::kOk) return status::kNotADataFile;
  out = std::move(file);
  return status::kOk;
}

int16_t SqliteFile::create(const std::string& path, const FileSpec& fileSpec, bool replace, int busyTimeoutMs) {
  if (!replace && pathExists(path)) return status::kFileAlreadyExists;
  SqliteSidecar sidecar;
  if (int16_t s = sidecar.open(path, /*readOnly=*/false, busyTimeoutMs)) return s;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
  for (;;) {
    // Another terminal may have made it meanwhile.
    if (!replace && pathExists(path)) return status::kFileAlreadyExists;
    if (sidecar.holdAlone()) break;
    // A process has the file under this name open (for a missing file: the
    // deleted one, whose journal is still in use).
    if (std::chrono::steady_clock::now() >= deadline) return status::kFileLocked;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!replace && pathExists(path)) return status::kFileAlreadyExists;

  std::string work = path + ".new-" + std::to_string(::getpid());
  unlinkPath(work);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(sqliteName(work).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::string sql =
      "PRAGMA journal_mode=WAL;"
      "BEGIN;"
      "CREATE TABLE file_info(name TEXT PRIMARY KEY, value BLOB) WITHOUT ROWID;"
      "CREATE TABLE records(id INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB NOT NULL";
  for (size_t k = 0; k < fileSpec.keys.size(); ++k)
    sql += ", " + col("k", int(k)) + " BLOB, " + col("s", int(k)) + " INTEGER NOT NULL DEFAULT 0";
  sql += ");";
  for (size_t k = 0; k < fileSpec.keys.size(); ++k) {
    std::string kc = col("k", int(k)), sc = col("s", int(k));
    if (fileSpec.keys[k].duplicates())
      sql += "CREATE INDEX records_" + kc + " ON records(" + kc + ", " + sc + ") WHERE " + kc +
             " IS NOT NULL;";
    else
      sql += "CREATE UNIQUE INDEX records_" + kc + " ON records(" + kc + ") WHERE " + kc +
             " IS NOT NULL;";
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "INSERT INTO file_info VALUES('layout', ?1)", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_blob(st, 1, fileSpec.bytes.data(), int(fileSpec.bytes.size()), SQLITE_TRANSIENT);
      rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    }
    sqlite3_finalize(st);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  // Closing checkpoints the journal into the file, so one file is renamed.
  if (sqlite3_close(db) != SQLITE_OK) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK && chmodPath(work, createdFileMode()) != 0) rc = SQLITE_ERROR;
  if (rc != SQLITE_OK) {
    unlinkPath(work);
    return status::kIoError;
  }
  // No process has a file under this name open, so a journal beside it is
  // left from a process that ended without closing (for a missing file,
  // from a file that is gone): SQLite would replay it into the new file.
  for (const char* journal : {"-wal", "-shm", "-journal"}) unlinkPath(path + journal);
  FileResult r = renamePath(work, path, replace);
  if (!r.ok()) {
    unlinkPath(work);
    return r.error == EEXIST ? status::kFileAlreadyExists : status::kIoError;
  }
  return status::kOk;
}

int16_t SqliteFile::setOwnerName(const std::string& path, const std::string& owner) {
  std::unique_ptr<SqliteFile> file;
  if (int16_t st = open(path, 5000, file)) return st;
  sqlite3_stmt* st = nullptr;
  const char* sql = owner.empty() ? "DELETE FROM file_info WHERE name='owner'"
                                  : "INSERT OR REPLACE INTO file_info VALUES('owner', ?1)";
  if (sqlite3_prepare_v2(file->db_, sql, -1, &st, nullptr) != SQLITE_OK) return status::kIoError;
  if (!owner.empty()) sqlite3_bind_blob(st, 1, owner.data(), int(owner.size()), SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  return rc == SQLITE_DONE ? status::kOk : busyOr(rc, status::kIoError);
}

sqlite3_stmt* SqliteFile::statement(size_t slot, const std::string& sql) {
  if (slot >= statements_.size()) statements_.resize(slot + 1, nullptr);
  if (!statements_[slot]) {
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statements_[slot],
                           nullptr) != SQLITE_OK)
      statements_[slot] = nullptr;
  }
  return statements_[slot];
}

sqlite3_stmt* SqliteFile::seekStatement(int key, SeekKind how) {
  size_t slot = kKeySlots + size_t(key) * kPerKey + size_t(how);
  if (slot < statements_.size() && statements_[slot]) return statements_[slot];
  std::string k = col("k", key), s = col("s", key);
  bool dup = spec_.keys[size_t(key)].duplicates();
  std::string up = dup ? k + ", " + s : k;
  std::string down = dup ? k + " DESC, " + s + " DESC" : k + " DESC";
  std::string where, order;
  switch (how) {
    case SeekKind::Equal: where = k + " = ?1"; order = up; break;
    case SeekKind::GreaterOrEqual: where = k + " >= ?1"; order = up; break;
    case SeekKind::Greater: where = k + " > ?1"; order = up; break;
    case SeekKind::LessOrEqual: where = k + " <= ?1"; order = down; break;
    case SeekKind::Less: where = k + " < ?1"; order = down; break;
    case SeekKind::First: where = k + " IS NOT NULL"; order = up; break;
    case SeekKind::Last: where = k + " IS NOT NULL"; order = down; break;
    case SeekKind::NextSame: where = k + " = ?1 AND " + s + " > ?2"; order = s; break;
    case SeekKind::PreviousSame: where = k + " = ?1 AND " + s + " < ?2"; order = s + " DESC"; break;
  }
  return statement(slot, "SELECT id, data, " + k + ", " + s + " FROM records WHERE " + where +
                              " ORDER BY " + order + " LIMIT 1");
}

int16_t SqliteFile::stepRecord(sqlite3_stmt* st, StoredRecord& out) {
  int rc = sqlite3_step(st);
  int16_t result = status::kEndOfFile;
  if (rc == SQLITE_ROW) {
    out.id = sqlite3_column_int64(st, 0);
    out.data.assign(static_cast<const char*>(sqlite3_column_blob(st, 1)),
                    size_t(sqlite3_column_bytes(st, 1)));
    out.inKey = sqlite3_column_type(st, 2) != SQLITE_NULL;
    if (out.inKey)
      out.image.assign(static_cast<const char*>(sqlite3_column_blob(st, 2)),
                       size_t(sqlite3_column_bytes(st, 2)));
    else
      out.image.clear();
    out.sequence = sqlite3_column_int64(st, 3);
    result = status::kOk;
  } else if (rc != SQLITE_DONE) {
    result = busyOr(rc, status::kIoError);
  }
  sqlite3_reset(st);  // never keep a read snapshot between calls
  sqlite3_clear_bindings(st);
  return result;
}

int16_t SqliteFile::seekOne(int key, SeekKind how, const std::string& image, int64_t sequence,
                            StoredRecord& out) {
  sqlite3_stmt* st = seekStatement(key, how);
  if (!st) return status::kIoError;
  if (how != SeekKind::First && how != SeekKind::Last)
    sqlite3_bind_blob(st, 1, image.data(), int(image.size()), SQLITE_STATIC);
  if (how == SeekKind::NextSame || how == SeekKind::PreviousSame) sqlite3_bind_int64(st, 2, sequence);
  return stepRecord(st, out);
}

int16_t SqliteFile::withLock(int16_t found, const StoredRecord& out, const ReadLock& lock) {
  if (found != status::kOk || !lock.take) return found;
  int16_t st = sidecar_.lockRecord(out.id, lock.owner, lock.wait);
  if (st == status::kOk && lock.replaces && lock.replaces != out.id) unlockRecord(lock.replaces);
  return st;
}

int16_t SqliteFile::seek(int key, Seek how, const std::string& image, StoredRecord& out, const ReadLock& lock) {
  return withLock(seekOne(key, static_cast<SeekKind>(how), image, 0, out), out, lock);
}

// Two queries: SQLite walks a row comparison over the duplicates of the
// image instead of seeking to it, so the rest of the duplicates come
// first, then the next image.
int16_t SqliteFile::step(int key, bool forward, const std::string& image, int64_t sequence, StoredRecord& out,
                         const ReadLock& lock) {
  int16_t st = status::kEndOfFile;
  if (spec_.keys[size_t(key)].duplicates())
    st = seekOne(key, forward ? SeekKind::NextSame : SeekKind::PreviousSame, image, sequence, out);
  if (st == status::kEndOfFile) st = seekOne(key, forward ? SeekKind::Greater : SeekKind::Less, image, 0, out);
  return withLock(st, out, lock);
}

int16_t SqliteFile::readById(int64_t id, int key, StoredRecord& out, const ReadLock& lock) {
  sqlite3_stmt* st;
  if (key >= 0)
    st = statement(kKeySlots + size_t(key) * kPerKey + kReadById,
                   "SELECT id, data, " + col("k", key) + ", " + col("s", key) +
                       " FROM records WHERE id = ?1");
  else
    st = statement(kReadPlain, "SELECT id, data, NULL, 0 FROM records WHERE id = ?1");
  if (!st) return status::kIoError;
  sqlite3_bind_int64(st, 1, id);
  int16_t result = stepRecord(st, out);
  return withLock(result == status::kEndOfFile ? status::kInvalidRecordAddress : result, out, lock);
}

int16_t SqliteFile::begin() {
  sqlite3_stmt* st = statement(kBegin, "BEGIN IMMEDIATE");
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE ? status::kOk : busyOr(rc, status::kIoError);
}

int16_t SqliteFile::commit() {
  sqlite3_stmt* st = statement(kCommit, "COMMIT");
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc == SQLITE_DONE) return status::kOk;
  rollback();
  return busyOr(rc, status::kIoError);
}

void SqliteFile::rollback() {
  if (sqlite3_get_autocommit(db_)) return;
  sqlite3_stmt* st = statement(kRollback, "ROLLBACK");
  sqlite3_step(st);
  sqlite3_reset(st);
}

std::vector<std::optional<std::string>> SqliteFile::images(const std::string& record) const {
  std::vector<std::optional<std::string>> out;
  out.reserve(spec_.keys.size());
  for (const KeySpec& k : spec_.keys) out.push_back(recordKeyImage(spec_, k, record));
  return out;
}

// Writes max + 1 into each autoincrement segment that holds zero.
int16_t SqliteFile::fillAutoIncrement(std::string& record) {
  for (size_t k = 0; k < spec_.keys.size(); ++k) {
    const KeySpec& key = spec_.keys[k];
    int seg = key.autoIncrementSegment();
    if (seg < 0) continue;
    const SegmentSpec& s = key.segments[size_t(seg)];
    size_t at = s.position - 1;
    if (at + s.length > record.size()) continue;
    bool zero = true;
    for (size_t i = 0; i < s.length; ++i) zero = zero && record[at + i] == 0;
    if (!zero) continue;
    // The autoincrement field leads its key, so the largest value is at the
    // end of the key (the start when descending).
    bool descending = s.flags & keyflag::kDescending;
    sqlite3_stmt* st = statement(
        kKeySlots + k * kPerKey + kMaxAuto,
        "SELECT data FROM records WHERE " + col("k", int(k)) + " IS NOT NULL ORDER BY " +
            col("k", int(k)) + (descending ? " ASC" : " DESC") + " LIMIT 1");
    int64_t next = 1;
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      std::string data(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                       size_t(sqlite3_column_bytes(st, 0)));
      int64_t v = 0;
      if (at + s.length <= data.size())
        v = s.length == 2 ? int16_t(readLe16(data.data() + at)) : int32_t(readLe32(data.data() + at));
      next = v + 1;
    }
    sqlite3_reset(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return busyOr(rc, status::kIoError);
    if (s.length == 2)
      writeLe16(record.data() + at, uint16_t(next));
    else
      writeLe32(record.data() + at, uint32_t(next));
  }
  return status::kOk;
}

int16_t SqliteFile::insert(std::string& record, int key, StoredRecord& out) {
  if (readOnly_) return status::kAccessDenied;
  if (int16_t st = begin()) return st;
  if (int16_t st = fillAutoIncrement(record)) {
    rollback();
    return st;
  }
  auto imgs = images(record);
  std::string sql = "INSERT INTO records(data";
  std::string values = "?1";
  for (size_t k = 0; k < spec_.keys.size(); ++k) {
    sql += ", " + col("k", int(k)) + ", " + col("s", int(k));
    values += ", ?" + std::to_string(k + 2) + ", " +
              (spec_.keys[k].duplicates() ? std::string(kSequenceExpr) : std::string("0"));
  }
  sqlite3_stmt* st = statement(kInsert, sql + ") VALUES(" + values + ")");
  if (!st) {
    rollback();
    return status::kIoError;
  }
  sqlite3_bind_blob(st, 1, record.data(), int(record.size()), SQLITE_STATIC);
  for (size_t k = 0; k < imgs.size(); ++k) {
    if (imgs[k])
      sqlite3_bind_blob(st, int(k) + 2, imgs[k]->data(), int(imgs[k]->size()), SQLITE_STATIC);
    else
      sqlite3_bind_null(st, int(k) + 2);
  }
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc != SQLITE_DONE) {
    rollback();
    return rc == SQLITE_CONSTRAINT_UNIQUE ? status::kDuplicateKey : busyOr(rc, status::kIoError);
  }
  out.id = sqlite3_last_insert_rowid(db_);
  if (int16_t s = commit()) return s;
  if (cachedCount_ >= 0) ++cachedCount_;
  out.data = record;
  out.inKey = key >= 0 && size_t(key) < imgs.size() && imgs[size_t(key)].has_value();
  out.image = out.inKey ? *imgs[size_t(key)] : std::string();
  out.sequence = key >= 0 && spec_.keys[size_t(key)].duplicates() ? out.id : 0;
  return status::kOk;
}

int16_t SqliteFile::nextSequence(int64_t& sequence) {
  // Takes the next record id for the sequence, so later inserts still sort
  // after it; ids are never reused anyway.
  sqlite3_stmt* st = statement(
      kNextSequence, "UPDATE sqlite_sequence SET seq = seq + 1 WHERE name = 'records' RETURNING seq");
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) sequence = sqlite3_column_int64(st, 0);
  while (rc == SQLITE_ROW) rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE ? status::kOk : busyOr(rc, status::kIoError);
}

int16_t SqliteFile::update(int64_t id, const std::string& record, int key, uint32_t owner,
                           StoredRecord& out) {
  if (readOnly_) return status::kAccessDenied;
  if (int16_t st = begin()) return st;
  auto fail = [&](int16_t code) {
    rollback();
    return code;
  };
  if (sidecar_.lockedByOther(id, owner)) return fail(status::kRecordLocked);
  std::string sql = "SELECT data";
  for (size_t k = 0; k < spec_.keys.size(); ++k) sql += ", " + col("k", int(k)) + ", " + col("s", int(k));
  sqlite3_stmt* read = statement(kReadAll, sql + " FROM records WHERE id = ?1");
  if (!read) return fail(status::kIoError);
  sqlite3_bind_int64(read, 1, id);
  int rc = sqlite3_step(read);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(read);
    return fail(rc == SQLITE_DONE ? status::kInvalidPositioning : busyOr(rc, status::kIoError));
  }
  auto imgs = images(record);
  const std::string oldData(static_cast<const char*>(sqlite3_column_blob(read, 0)),
                            size_t(sqlite3_column_bytes(read, 0)));
  std::vector<int64_t> seqs(spec_.keys.size(), 0);
  std::vector<bool> moved(spec_.keys.size(), false);
  for (size_t k = 0; k < spec_.keys.size(); ++k) {
    int c = 1 + int(k) * 2;
    bool wasIn = sqlite3_column_type(read, c) != SQLITE_NULL;
    std::string old = wasIn ? std::string(static_cast<const char*>(sqlite3_column_blob(read, c)),
                                          size_t(sqlite3_column_bytes(read, c)))
                            : std::string();
    seqs[k] = sqlite3_column_int64(read, c + 1);
    bool same = wasIn == imgs[k].has_value() && (!wasIn || old == *imgs[k]);
    // A key without the modifiable flag may not change its value.
    if (!spec_.keys[k].modifiable() &&
        keyValue(spec_.keys[k], record) != keyValue(spec_.keys[k], oldData)) {
      sqlite3_reset(read);
      return fail(status::kModifiableKeyValue);
    }
    moved[k] = !same && spec_.keys[k].duplicates();
  }
  sqlite3_reset(read);
  // A duplicate key that changed goes after the duplicates of its new value.
  for (size_t k = 0; k < spec_.keys.size(); ++k)
    if (moved[k])
      if (int16_t st = nextSequence(seqs[k])) return fail(st);

  sql = "UPDATE records SET data = ?1";
  for (size_t k = 0; k < spec_.keys.size(); ++k)
    sql += ", " + col("k", int(k)) + " = ?" + std::to_string(2 + 2 * k) + ", " + col("s", int(k)) +
           " = ?" + std::to_string(3 + 2 * k);
  sqlite3_stmt* st = statement(kUpdate, sql + " WHERE id = ?" + std::to_string(2 + 2 * spec_.keys.size()));
  if (!st) return fail(status::kIoError);
  sqlite3_bind_blob(st, 1, record.data(), int(record.size()), SQLITE_STATIC);
  for (size_t k = 0; k < spec_.keys.size(); ++k) {
    if (imgs[k])
      sqlite3_bind_blob(st, int(2 + 2 * k), imgs[k]->data(), int(imgs[k]->size()), SQLITE_STATIC);
    else
      sqlite3_bind_null(st, int(2 + 2 * k));
    sqlite3_bind_int64(st, int(3 + 2 * k), seqs[k]);
  }
  sqlite3_bind_int64(st, int(2 + 2 * spec_.keys.size()), id);
  rc = sqlite3_step(st);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc != SQLITE_DONE)
    return fail(rc == SQLITE_CONSTRAINT_UNIQUE ? status::kDuplicateKey : busyOr(rc, status::kIoError));
  if (int16_t s = commit()) return s;
  out.id = id;
  out.data = record;
  out.inKey = key >= 0 && size_t(key) < imgs.size() && imgs[size_t(key)].has_value();
  out.image = out.inKey ? *imgs[size_t(key)] : std::string();
  out.sequence = key >= 0 && size_t(key) < seqs.size() ? seqs[size_t(key)] : 0;
  return status::kOk;
}

int16_t SqliteFile::remove(int64_t id, uint32_t owner) {
  if (readOnly_) return status::kAccessDenied;
  if (int16_t st = begin()) return st;
  if (sidecar_.lockedByOther(id, owner)) {
    rollback();
    return status::kRecordLocked;
  }
  sqlite3_stmt* st = statement(kDelete, "DELETE FROM records WHERE id = ?1");
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) {
    rollback();
    return busyOr(rc, status::kIoError);
  }
  bool gone = sqlite3_changes(db_) > 0;
  if (int16_t s = commit()) return s;
  if (!gone) return status::kInvalidPositioning;
  if (cachedCount_ >= 0) --cachedCount_;
  return status::kOk;
}

int64_t SqliteFile::recordCount() {
  // The count is kept while no other connection has written to the file.
  sqlite3_stmt* v = statement(kDataVersion, "PRAGMA data_version");
  int64_t version = -2;
  if (sqlite3_step(v) == SQLITE_ROW) version = sqlite3_column_int64(v, 0);
  sqlite3_reset(v);
  if (cachedCount_ >= 0 && version == countVersion_) return cachedCount_;
  sqlite3_stmt* st = statement(kCount, "SELECT count(*) FROM records");
  int64_t n = 0;
  if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  cachedCount_ = n;
  countVersion_ = version;
  return n;
}

}  // namespace xt
