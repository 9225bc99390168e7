#include "platform/store_engine.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/key_image.h"

namespace xt {

namespace {

// A live position block: "XT", then the cursor's handle, little-endian.
constexpr uint8_t kMagic0 = 'X', kMagic1 = 'T';

void writeHandle(uint8_t* pb, uint32_t handle) {
  std::memset(pb, 0, kPositionBlockSize);
  pb[0] = kMagic0;
  pb[1] = kMagic1;
  writeLe32(pb + 2, handle);
}

// The file name in a key buffer: up to keyLength bytes or the first NUL.
std::string nameFrom(const uint8_t* key, int keyLength) {
  if (!key || keyLength <= 0) return {};
  size_t n = 0, limit = static_cast<size_t>(std::min(keyLength, 255));
  while (n < limit && key[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(key), n);
}

bool isRead(int op) { return (op >= op::kGetEqual && op <= op::kGetLast) || op == op::kGetDirect || op == op::kGetPosition; }

}  // namespace

StoreEngine::StoreEngine(std::unique_ptr<DataStoreBackend> backend) : backend_(std::move(backend)) {}

StoreEngine::~StoreEngine() = default;

int16_t StoreEngine::call(int16_t operation, uint8_t* positionBlock, uint8_t* data,
                           uint32_t& dataLength, uint8_t* key, int keyLength, int16_t keyNumber) {
  if (operation < 0 || !positionBlock) return status::kInvalidOperation;
  int base = operation % 100;
  int lockKind = operation / 100;
  if (lockKind > 4 || (lockKind != 0 && !isRead(base))) return status::kInvalidOperation;
  Request r{static_cast<int16_t>(base), lockKind, positionBlock, data, dataLength, key, keyLength,
            keyNumber};
  lastStatus_ = dispatch(r);
  return lastStatus_;
}

std::string StoreEngine::lastError() const {
  switch (lastStatus_) {
    case status::kIoError:
    case status::kAccessDenied:
    case status::kServerGone:
    case status::kNetworkFileSystem:
      return backend_->lastError();
    default:
      return {};
  }
}

int16_t StoreEngine::dispatch(Request& r) {
  const int base = r.op;
  switch (base) {
    case op::kOpen: return open(r);
    case op::kClose: return close(r);
    case op::kInsert: return insert(r);
    case op::kUpdate: return update(r);
    case op::kDelete: return remove(r);
    case op::kCreate: return create(r);
    case op::kStat: return stat(r);
    case op::kGetPosition: return getPosition(r);
    case op::kGetDirect: return getDirect(r);
    case op::kUnlock: return unlock(r);
    case op::kReset: return reset(r);
    default:
      if (base >= op::kGetEqual && base <= op::kGetLast) return read(r);
      return status::kInvalidOperation;
  }
}

StoreEngine::Cursor* StoreEngine::cursorOf(const uint8_t* pb, uint32_t* handle) {
  if (pb[0] != kMagic0 || pb[1] != kMagic1) return nullptr;
  uint32_t h = readLe32(pb + 2);
  auto it = cursors_.find(h);
  if (it == cursors_.end()) return nullptr;
  if (handle) *handle = h;
  return &it->second;
}

int16_t StoreEngine::open(Request& r) {
  std::string name = nameFrom(r.key, r.keyLength);
  if (name.empty()) return status::kInvalidFileName;
  if (!backend_->exists(name)) return status::kFileNotFound;
  const std::string identity = backend_->identity(name);

  auto it = files_.find(identity);
  if (it == files_.end()) {
    std::unique_ptr<DataStore> file;
    if (int16_t st = backend_->open(name, file)) return st;
    it = files_.emplace(identity, std::move(file)).first;
  }
  DataStore* file = it->second.get();
  if (!file->ownerName().empty()) {
    size_t n = 0;
    while (r.data && n < r.dataLength && r.data[n] != 0) ++n;
    if (std::string(reinterpret_cast<const char*>(r.data), n) != file->ownerName())
      return status::kOwnerName;
  }
  // A position block reused without Close gives up its old cursor.
  Request closing = r;
  close(closing);
  uint32_t handle = nextHandle_++;
  Cursor& c = cursors_[handle];
  c.file = file;
  writeHandle(r.positionBlock, handle);
  return status::kOk;
}

int16_t StoreEngine::create(Request& r) {
  std::string name = nameFrom(r.key, r.keyLength);
  if (name.empty()) return status::kInvalidFileName;
  FileSpec fileSpec;
  if (!r.data) return status::kDataBufferLength;
  if (int16_t st = parseFileSpec(
          std::string_view(reinterpret_cast<const char*>(r.data), r.dataLength), fileSpec))
    return st;
  bool replace = r.keyNumber != -1;
  if (!replace && backend_->exists(name)) return status::kFileAlreadyExists;
  if (files_.count(backend_->identity(name))) return status::kFileLocked;  // open here
  return backend_->create(name, fileSpec, replace);
}

int16_t StoreEngine::close(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  releaseAllLocks(*c);
  cursors_.erase(handle);
  std::memset(r.positionBlock, 0, kPositionBlockSize);
  return status::kOk;
}

void StoreEngine::makeCurrent(Cursor& c, const StoredRecord& rec, int16_t keyPath) {
  c.keyPath = keyPath;
  c.positioned = true;
  c.deleted = false;
  c.inKey = rec.inKey;
  c.image = rec.image;
  c.sequence = rec.sequence;
  c.id = rec.id;
}

int16_t StoreEngine::deliver(Request& r, Cursor& c, const StoredRecord& rec, int16_t keyPath) {
  makeCurrent(c, rec, keyPath);
  const FileSpec& fileSpec = c.file->fileSpec();
  if (keyPath >= 0 && size_t(keyPath) < fileSpec.keys.size() && r.key) {
    std::string value = keyValue(fileSpec.keys[size_t(keyPath)], rec.data);
    std::memcpy(r.key, value.data(), value.size());
  }
  uint32_t n = std::min<uint32_t>(r.dataLength, uint32_t(rec.data.size()));
  if (n && r.data) std::memcpy(r.data, rec.data.data(), n);
  r.dataLength = n;
  return n < rec.data.size() ? status::kDataBufferLength : status::kOk;
}

int16_t StoreEngine::read(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  const FileSpec& fileSpec = c->file->fileSpec();
  if (r.keyNumber < 0 || size_t(r.keyNumber) >= fileSpec.keys.size()) return status::kInvalidKeyNumber;
  const KeySpec& key = fileSpec.keys[size_t(r.keyNumber)];
  if (!r.key || r.keyLength < key.length) return status::kKeyBufferTooShort;

  DataStore& file = *c->file;
  const ReadLock lock = readLock(*c, handle, r.lockKind);
  StoredRecord rec;
  int16_t st;
  auto searchImage = [&] {
    return keyImageOf(fileSpec, key, std::string_view(reinterpret_cast<const char*>(r.key), size_t(key.length)));
  };
  switch (r.op) {
    case op::kGetEqual:
      st = file.seek(r.keyNumber, Seek::Equal, searchImage(), rec, lock);
      if (st == status::kEndOfFile) st = status::kKeyNotFound;
      break;
    case op::kGetGreater: st = file.seek(r.keyNumber, Seek::Greater, searchImage(), rec, lock); break;
    case op::kGetGreaterOrEqual: st = file.seek(r.keyNumber, Seek::GreaterOrEqual, searchImage(), rec, lock); break;
    case op::kGetLess: st = file.seek(r.keyNumber, Seek::Less, searchImage(), rec, lock); break;
    case op::kGetLessOrEqual: st = file.seek(r.keyNumber, Seek::LessOrEqual, searchImage(), rec, lock); break;
    case op::kGetFirst: st = file.seek(r.keyNumber, Seek::First, {}, rec, lock); break;
    case op::kGetLast: st = file.seek(r.keyNumber, Seek::Last, {}, rec, lock); break;
    default: {  // Next, Previous: the rest of the same duplicates, else the next value
      if (!c->positioned || !c->inKey) return status::kInvalidPositioning;
      if (r.keyNumber != c->keyPath) return status::kDifferentKeyNumber;
      st = file.step(r.keyNumber, r.op == op::kGetNext, c->image, c->sequence, rec, lock);
      break;
    }
  }
  if (st != status::kOk) return st;
  if (r.lockKind) adoptLock(*c, rec.id, r.lockKind);
  return deliver(r, *c, rec, r.keyNumber);
}

ReadLock StoreEngine::readLock(const Cursor& c, uint32_t handle, int lockKind) {
  ReadLock lock;
  lock.take = lockKind != 0;
  lock.wait = lockKind == 1 || lockKind == 3;
  lock.owner = handle;
  // A single lock replaces the previous single lock of the position block
  // (unless that record is held as one of its multiple locks too); the
  // file gives the old one up in the same step as it takes the new one.
  if ((lockKind == 1 || lockKind == 2) && c.singleLock && !c.multipleLocks.count(c.singleLock))
    lock.replaces = c.singleLock;
  return lock;
}

// The lock the read took; a replaced single lock is already given up.
void StoreEngine::adoptLock(Cursor& c, int64_t id, int lockKind) {
  if (lockKind <= 2)
    c.singleLock = id;
  else
    c.multipleLocks.insert(id);
}

void StoreEngine::releaseLock(Cursor& c, int64_t id) {
  bool held = c.singleLock == id || c.multipleLocks.count(id);
  if (c.singleLock == id) c.singleLock = 0;
  c.multipleLocks.erase(id);
  if (held) c.file->unlockRecord(id);
}

void StoreEngine::releaseAllLocks(Cursor& c) {
  if (c.singleLock) releaseLock(c, c.singleLock);
  while (!c.multipleLocks.empty()) releaseLock(c, *c.multipleLocks.begin());
}

// The record the caller sends: the fixed record length, or for a file of
// variable-length records everything the data length covers.
static bool recordFrom(const FileSpec& fileSpec, const uint8_t* data, uint32_t dataLength, std::string& out) {
  if (!data || dataLength < fileSpec.recordLength) return false;
  size_t n = fileSpec.variableLength() ? dataLength : fileSpec.recordLength;
  out.assign(reinterpret_cast<const char*>(data), n);
  return true;
}

int16_t StoreEngine::insert(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  const FileSpec& fileSpec = c->file->fileSpec();
  bool withKey = r.keyNumber >= 0 && size_t(r.keyNumber) < fileSpec.keys.size();
  if (!withKey && !fileSpec.keys.empty()) return status::kInvalidKeyNumber;
  if (withKey && (!r.key || r.keyLength < fileSpec.keys[size_t(r.keyNumber)].length))
    return status::kKeyBufferTooShort;
  std::string record;
  if (!recordFrom(fileSpec, r.data, r.dataLength, record)) return status::kDataBufferLength;
  StoredRecord rec;
  if (int16_t st = c->file->insert(record, withKey ? r.keyNumber : -1, rec)) return st;
  std::memcpy(r.data, record.data(), record.size());  // autoincrement values filled in
  return deliver(r, *c, rec, withKey ? r.keyNumber : -1);
}

int16_t StoreEngine::update(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  if (!c->positioned || c->deleted) return status::kInvalidPositioning;
  const FileSpec& fileSpec = c->file->fileSpec();
  int16_t keyPath = (r.keyNumber >= 0 && size_t(r.keyNumber) < fileSpec.keys.size()) ? r.keyNumber : c->keyPath;
  if (keyPath >= 0 && (!r.key || r.keyLength < fileSpec.keys[size_t(keyPath)].length))
    return status::kKeyBufferTooShort;
  std::string record;
  if (!recordFrom(fileSpec, r.data, r.dataLength, record)) return status::kDataBufferLength;
  StoredRecord rec;
  if (int16_t st = c->file->update(c->id, record, keyPath, handle, rec)) return st;
  releaseLock(*c, c->id);
  return deliver(r, *c, rec, keyPath);
}

int16_t StoreEngine::remove(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  if (!c->positioned || c->deleted) return status::kInvalidPositioning;
  if (int16_t st = c->file->remove(c->id, handle)) return st;
  releaseLock(*c, c->id);
  c->deleted = true;  // the place stays, so Next and Previous go on from it
  return status::kOk;
}

int16_t StoreEngine::stat(Request& r) {
  Cursor* c = cursorOf(r.positionBlock);
  if (!c) return status::kFileNotOpen;
  std::string bytes = c->file->fileSpec().bytes;
  int64_t count = c->file->recordCount();
  writeLe32(bytes.data() + 6, uint32_t(std::min<int64_t>(count, UINT32_MAX)));
  if (!r.data || r.dataLength < bytes.size()) return status::kDataBufferLength;
  std::memcpy(r.data, bytes.data(), bytes.size());
  r.dataLength = uint32_t(bytes.size());
  return status::kOk;
}

int16_t StoreEngine::getPosition(Request& r) {
  Cursor* c = cursorOf(r.positionBlock);
  if (!c) return status::kFileNotOpen;
  if (!c->positioned || c->deleted) return status::kInvalidPositioning;
  if (!r.data || r.dataLength < 4) return status::kDataBufferLength;
  writeLe32(r.data, uint32_t(c->id));
  r.dataLength = 4;
  return status::kOk;
}

int16_t StoreEngine::getDirect(Request& r) {
  uint32_t handle;
  Cursor* c = cursorOf(r.positionBlock, &handle);
  if (!c) return status::kFileNotOpen;
  const FileSpec& fileSpec = c->file->fileSpec();
  if (r.keyNumber < 0 || size_t(r.keyNumber) >= fileSpec.keys.size()) return status::kInvalidKeyNumber;
  if (!r.key || r.keyLength < fileSpec.keys[size_t(r.keyNumber)].length) return status::kKeyBufferTooShort;
  if (!r.data || r.dataLength < 4) return status::kDataBufferLength;
  StoredRecord rec;
  if (int16_t st = c->file->readById(readLe32(r.data), r.keyNumber, rec, readLock(*c, handle, r.lockKind)))
    return st;
  if (r.lockKind) adoptLock(*c, rec.id, r.lockKind);
  return deliver(r, *c, rec, r.keyNumber);
}

int16_t StoreEngine::unlock(Request& r) {
  Cursor* c = cursorOf(r.positionBlock);
  if (!c) return status::kFileNotOpen;
  if (r.keyNumber >= 0) {
    if (c->singleLock) releaseLock(*c, c->singleLock);
  } else if (r.keyNumber == -1) {
    if (!r.data || r.dataLength < 4) return status::kDataBufferLength;
    int64_t id = readLe32(r.data);
    if (c->multipleLocks.count(id)) releaseLock(*c, id);
  } else {
    while (!c->multipleLocks.empty()) releaseLock(*c, *c->multipleLocks.begin());
  }
  return status::kOk;
}

int16_t StoreEngine::reset(Request& r) {
  for (auto& [handle, c] : cursors_) releaseAllLocks(c);
  cursors_.clear();
  files_.clear();  // closes the connections and the lock sidecars
  std::memset(r.positionBlock, 0, kPositionBlockSize);
  return status::kOk;
}

}  // namespace xt
