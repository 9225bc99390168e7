// The record engine on SQLite: the record-manager call over data files kept
// as SQLite databases (sqlite_file.h). The 128-byte position block holds a
// handle; the engine keeps the cursor behind it (the file, the key path,
// the current key image, sequence and record id, and the record locks the
// position block holds). Create one engine per process: record locks are
// POSIX locks, which belong to the process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include "platform/record_engine.h"

namespace xt {

class SqliteFile;
struct StoredRecord;
enum class Seek;

class SqliteEngine : public RecordEngine {
 public:
  // busyTimeoutMs: how long a write waits for another process's write, and
  // a waiting lock for another process's lock, before 85 or 84.
  explicit SqliteEngine(int busyTimeoutMs = 5000);
  ~SqliteEngine() override;

  int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data, uint32_t& dataLength,
               uint8_t* key, int keyLength, int16_t keyNumber) override;

  // Sets or clears (empty) the owner name stored in a data file that is not
  // open. Returns a status (12 missing, 30 not a data file).
  static int16_t setOwnerName(const std::string& path, const std::string& owner);

 private:
  struct Cursor {
    SqliteFile* file = nullptr;
    int16_t keyPath = -1;
    bool positioned = false;  // there is a current record (or the place of a deleted one)
    bool deleted = false;     // the current record was deleted; its place is kept
    bool inKey = false;       // the current record is in the key path
    std::string image;
    int64_t sequence = 0;
    int64_t id = 0;
    int64_t singleLock = 0;
    std::set<int64_t> multipleLocks;
  };
  struct Request {
    int16_t op;
    int lockKind;  // 0 none, 1..4 the bias / 100
    uint8_t* positionBlock;
    uint8_t* data;
    uint32_t& dataLength;
    uint8_t* key;
    int keyLength;
    int16_t keyNumber;
  };

  Cursor* cursorOf(const uint8_t* positionBlock, uint32_t* handle = nullptr);
  int16_t open(Request& r);
  int16_t create(Request& r);
  int16_t close(Request& r);
  int16_t insert(Request& r);
  int16_t update(Request& r);
  int16_t remove(Request& r);
  int16_t read(Request& r);
  int16_t stat(Request& r);
  int16_t getPosition(Request& r);
  int16_t getDirect(Request& r);
  int16_t unlock(Request& r);
  int16_t reset(Request& r);

  // Takes the lock a biased read asks for on record id.
  int16_t takeLock(Cursor& c, uint32_t handle, int64_t id, int lockKind);
  void releaseLock(Cursor& c, int64_t id);
  void releaseAllLocks(Cursor& c);
  // Copies the record and its key value to the caller; 22 when the data
  // buffer is too short (the part that fits is copied).
  int16_t deliver(Request& r, Cursor& c, const StoredRecord& rec, int16_t keyPath);
  void makeCurrent(Cursor& c, const StoredRecord& rec, int16_t keyPath);

  int busyTimeoutMs_;
  std::map<std::string, std::unique_ptr<SqliteFile>> files_;  // by real path
  std::unordered_map<uint32_t, Cursor> cursors_;
  uint32_t nextHandle_ = 1;
};

}  // namespace xt
