// One data file as a SQLite database: its connection (one per file per
// process), its persistent prepared statements and its creation
// specification. The file's lock sidecar "<path>.lck" (sqlite_sidecar.h)
// is opened before the connection and closed after it; it also keeps the
// record locks.
//
// Schema (readable by any SQLite client):
//   file_info(name TEXT PRIMARY KEY, value BLOB)  -- 'layout', 'owner'
//   records(id INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB,
//           k0 BLOB, s0 INTEGER, k1 BLOB, s1 INTEGER, ...)
// kN is the image of key N (NULL when the record is left out of the key),
// sN orders the duplicates of key N in insertion order (0 for unique keys).
// Unique keys have a unique partial index on kN, duplicate keys an index on
// (kN, sN).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/data_store.h"
#include "platform/key_image.h"
#include "platform/sqlite_sidecar.h"

struct sqlite3;
struct sqlite3_stmt;

namespace xt {

class SqliteFile : public DataStore {
 public:
  ~SqliteFile() override;
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Opens an existing data file (native path); one this user may not write
  // is opened for reading, and its writes and record locks answer 46.
  // Status 0, 12 missing, 30 not a data file, 85 busy (also while another
  // process creates or replaces the file), 2 any other failure.
  [[nodiscard]] static int16_t open(const std::string& path, int busyTimeoutMs,
                                    std::unique_ptr<SqliteFile>& out);
  // Creates a data file for fileSpec; an existing file is replaced only when
  // replace is set (otherwise 59). The file appears complete or not at all.
  // While another process has a file under the name open (for a missing
  // file: the deleted one) it waits up to busyTimeoutMs, then answers 85.
  // A journal left beside the name by a process that has ended is removed.
  // Not for a file this process has open.
  [[nodiscard]] static int16_t create(const std::string& path, const FileSpec& fileSpec, bool replace,
                                      int busyTimeoutMs);
  // Sets (or with an empty name clears) the owner name of a closed file.
  [[nodiscard]] static int16_t setOwnerName(const std::string& path, const std::string& owner);

  const FileSpec& fileSpec() const override { return spec_; }
  const std::string& ownerName() const override { return owner_; }

  [[nodiscard]] int16_t seek(int key, Seek how, const std::string& image, StoredRecord& out,
                             const ReadLock& lock) override;
  [[nodiscard]] int16_t step(int key, bool forward, const std::string& image, int64_t sequence, StoredRecord& out,
                             const ReadLock& lock) override;
  [[nodiscard]] int16_t readById(int64_t id, int key, StoredRecord& out, const ReadLock& lock) override;
  // Inserts record (autoincrement fields filled in place). 0, 5 duplicate,
  // 46 read-only, 85 busy. id and the images on key come back in out.
  [[nodiscard]] int16_t insert(std::string& record, int key, StoredRecord& out) override;
  // Rewrites record id. 0, 5 duplicate, 10 a non-modifiable key changed,
  // 8 the record is gone, 84 another owner holds its lock, 85 busy. The
  // lock is looked at inside the write transaction, so no lock taken
  // between the look and the write is overlooked.
  [[nodiscard]] int16_t update(int64_t id, const std::string& record, int key, uint32_t owner,
                               StoredRecord& out) override;
  // Deletes record id: 0, 8 gone, 84 locked by another owner, 85 busy.
  [[nodiscard]] int16_t remove(int64_t id, uint32_t owner) override;
  int64_t recordCount() override;

  // The record locks, on the file's sidecar; a waiting lock waits up to the
  // busy timeout. A file this user may only read answers 46 to them.
  [[nodiscard]] int16_t lockRecord(int64_t id, uint32_t owner, bool wait) override {
    return sidecar_.lockRecord(id, owner, wait);
  }
  void unlockRecord(int64_t id) override { sidecar_.unlockRecord(id); }

 private:
  SqliteFile() = default;
  sqlite3_stmt* statement(size_t slot, const std::string& sql);
  // The queries on one key: the seeks, then the two along the duplicates.
  enum class SeekKind { Equal, GreaterOrEqual, Greater, LessOrEqual, Less, First, Last, NextSame, PreviousSame };
  sqlite3_stmt* seekStatement(int key, SeekKind how);
  [[nodiscard]] int16_t seekOne(int key, SeekKind how, const std::string& image, int64_t sequence,
                                StoredRecord& out);
  [[nodiscard]] int16_t withLock(int16_t found, const StoredRecord& out, const ReadLock& lock);
  [[nodiscard]] int16_t stepRecord(sqlite3_stmt* st, StoredRecord& out);
  [[nodiscard]] int16_t begin();
  [[nodiscard]] int16_t commit();
  void rollback();
  [[nodiscard]] int16_t nextSequence(int64_t& sequence);
  [[nodiscard]] int16_t fillAutoIncrement(std::string& record);
  std::vector<std::optional<std::string>> images(const std::string& record) const;

  sqlite3* db_ = nullptr;
  FileSpec spec_;
  std::string owner_;
  std::vector<sqlite3_stmt*> statements_;
  SqliteSidecar sidecar_;
  bool readOnly_ = false;
  int64_t cachedCount_ = -1;
  int64_t countVersion_ = -1;
};

}  // namespace xt
