// The data files behind the record engine, whatever keeps them: a
// DataStore is one open data file (its records in key order, its writes,
// the record locks of this process's position blocks), a DataStoreBackend
// is where the files live (SQLite databases beside the installation, or
// tables on a PostgreSQL server) and opens and creates them. The engine
// over them (store_engine.h) is the same for every backend, so that the
// record manager's semantics are one code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/key_image.h"

namespace xt {

// A record as read through one key path.
struct StoredRecord {
  int64_t id = 0;
  std::string data;
  bool inKey = false;  // false: the record is left out of this key (null key)
  std::string image;
  int64_t sequence = 0;
};

enum class Seek { Equal, GreaterOrEqual, Greater, LessOrEqual, Less, First, Last };

// The record lock a read takes on the record it finds, for a position block.
struct ReadLock {
  bool take = false;
  bool wait = false;   // another process's lock is waited for (up to the busy time)
  uint32_t owner = 0;  // the position block
  // A single lock of the position block that the new one replaces: given
  // up by the read once the new lock is taken (0 none, or the same record).
  int64_t replaces = 0;
};

class DataStore {
 public:
  virtual ~DataStore() = default;

  virtual const FileSpec& fileSpec() const = 0;
  virtual const std::string& ownerName() const = 0;

  // Reads one record along key: 0 found, 9 none, 85 busy, 2 failure, 95
  // the server is gone. With lock.take the record found is also locked for
  // lock.owner, or the read answers 84 (46 for a file this user may only
  // read) and delivers nothing.
  [[nodiscard]] virtual int16_t seek(int key, Seek how, const std::string& image, StoredRecord& out,
                                     const ReadLock& lock) = 0;
  // The record after (forward) or before the one at (image, sequence) on
  // key, in the order of the key's images and, among duplicates, their
  // sequence. Statuses as seek.
  [[nodiscard]] virtual int16_t step(int key, bool forward, const std::string& image, int64_t sequence,
                                     StoredRecord& out, const ReadLock& lock) = 0;
  // The record with the given id, with its image on key (none for key
  // -1): 0, 43 none; locked as seek does.
  [[nodiscard]] virtual int16_t readById(int64_t id, int key, StoredRecord& out, const ReadLock& lock) = 0;

  // Inserts record (autoincrement fields filled in place): 0, 5 duplicate,
  // 46 read-only, 85 busy. id and the images on key come back in out.
  [[nodiscard]] virtual int16_t insert(std::string& record, int key, StoredRecord& out) = 0;
  // Rewrites record id: 0, 5 duplicate, 10 a non-modifiable key changed,
  // 8 the record is gone, 84 another owner holds its lock, 85 busy. The
  // lock is looked at in the write's own transaction.
  [[nodiscard]] virtual int16_t update(int64_t id, const std::string& record, int key, uint32_t owner,
                                       StoredRecord& out) = 0;
  // Deletes record id: 0, 8 gone, 84 locked by another owner, 85 busy.
  [[nodiscard]] virtual int16_t remove(int64_t id, uint32_t owner) = 0;
  virtual int64_t recordCount() = 0;

  // Locks record id for the position block owner: 0 (also when owner holds
  // it already), 84 when another position block or another process holds
  // it (a waiting lock waits for the other process up to the busy time),
  // 46 read-only.
  [[nodiscard]] virtual int16_t lockRecord(int64_t id, uint32_t owner, bool wait) = 0;
  // Gives up record id if a position block of this process holds it.
  virtual void unlockRecord(int64_t id) = 0;
};

class DataStoreBackend {
 public:
  virtual ~DataStoreBackend() = default;

  // The one name under which the process keeps a data file open, for the
  // name a caller gives (a resolved path, a table's name).
  virtual std::string identity(const std::string& name) = 0;
  virtual bool exists(const std::string& name) = 0;
  // Opens an existing data file: 0, 12 missing, 30 not a data file, 85
  // busy (another process creates or replaces it), 2 or 95 any other
  // failure (lastError() says why).
  [[nodiscard]] virtual int16_t open(const std::string& name, std::unique_ptr<DataStore>& out) = 0;
  // Creates a data file for fileSpec; an existing one is replaced only when
  // replace is set (otherwise 59), and never while another process has it
  // open (85 after the busy time).
  [[nodiscard]] virtual int16_t create(const std::string& name, const FileSpec& fileSpec, bool replace) = 0;
  // Why the last open or create failed, as the system or server said; ""
  // when there is nothing to add to the status.
  virtual std::string lastError() const { return {}; }
};

}  // namespace xt
