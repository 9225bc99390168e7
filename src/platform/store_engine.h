// The record engine over data stores (data_store.h): the record-manager
// call, the same for every backend. The 128-byte position block holds a
// handle; the engine keeps the cursor behind it (the file, the key path,
// the current key image, sequence and record id, and the record locks the
// position block holds). Create one engine per process: record locks
// belong to the process (to its connection, on a server).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include "platform/data_store.h"
#include "platform/record_engine.h"

namespace xt {


class StoreEngine : public RecordEngine {
 public:
  explicit StoreEngine(std::unique_ptr<DataStoreBackend> backend);
  ~StoreEngine() override;

  int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data, uint32_t& dataLength,
               uint8_t* key, int keyLength, int16_t keyNumber) override;

  // Why the last call failed, when it failed for a reason the status does
  // not tell (the system's or the server's words); "" otherwise.
  std::string lastError() const override;

 protected:
  DataStoreBackend& backend() { return *backend_; }

 private:
  struct Cursor {
    DataStore* file = nullptr;
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
  int16_t dispatch(Request& r);
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

  // The lock a biased read asks the store for.
  static ReadLock readLock(const Cursor& c, uint32_t handle, int lockKind);
  // Books the lock a biased read took on record id.
  void adoptLock(Cursor& c, int64_t id, int lockKind);
  void releaseLock(Cursor& c, int64_t id);
  void releaseAllLocks(Cursor& c);
  // Copies the record and its key value to the caller; 22 when the data
  // buffer is too short (the part that fits is copied).
  int16_t deliver(Request& r, Cursor& c, const StoredRecord& rec, int16_t keyPath);
  void makeCurrent(Cursor& c, const StoredRecord& rec, int16_t keyPath);

  std::unique_ptr<DataStoreBackend> backend_;
  int16_t lastStatus_ = 0;
  std::map<std::string, std::unique_ptr<DataStore>> files_;  // by the backend's identity
  std::unordered_map<uint32_t, Cursor> cursors_;
  uint32_t nextHandle_ = 1;
};

}  // namespace xt
