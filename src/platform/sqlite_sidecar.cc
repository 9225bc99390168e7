#include "platform/sqlite_sidecar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/record_engine.h"

namespace xt {

namespace {

// Byte 0 of the sidecar (record ids, the record locks' offsets, start at
// 1): every process that has the file open holds it shared, and whoever
// makes a file under the name holds it exclusively. So no file is created
// or replaced under a process that has the old one open.
constexpr int64_t kOpenLockByte = 0;

// Every SQLite connection to a database in WAL mode holds a shared lock on
// this byte of the -shm file while it is connected: a process of any
// program that has the file open.
constexpr off_t kShmConnectionByte = 128;

// A lock of the given type on the one byte at offset at.
struct flock oneByte(short type, int64_t at) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(at);
  fl.l_len = 1;
  return fl;
}

// Takes (or with F_UNLCK gives up) the lock on one byte without waiting.
bool setRangeLock(int fd, int64_t at, short type) {
  struct flock fl = oneByte(type, at);
  return ::fcntl(fd, F_SETLK, &fl) == 0;
}

// Whether another process holds a lock on the byte at offset at (this
// process's own locks never count).
bool lockedElsewhere(int fd, int64_t at) {
  struct flock fl = oneByte(F_WRLCK, at);
  return ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

// Tries again for up to waitMs while another process holds the byte.
bool waitRangeLock(int fd, int64_t at, short type, int waitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!setRangeLock(fd, at, type)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether a process (of this program or any SQLite client) is connected to
// the database at path. Only asked by a process that has not got the file
// open itself: closing the descriptor drops this process's locks on -shm.
bool otherConnections(const std::string& path) {
  int fd = ::open((path + "-shm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool connected = lockedElsewhere(fd, kShmConnectionByte);
  ::close(fd);
  return connected;
}

// A reader that may not write the data file leaves its own -wal and -shm
// behind (owned by it, empty); whoever may write the file cannot use them.
// When no process is connected and the -wal holds nothing, they are
// removed before connecting. A -wal with content is never touched: it may
// hold the last writes of a terminal that was killed. Needs byte 0 of the
// sidecar held exclusively.
void removeUnusableEmptyJournal(const std::string& path) {
  const std::string wal = path + "-wal", shm = path + "-shm";
  struct stat st {};
  bool walEmpty = ::stat(wal.c_str(), &st) != 0 || st.st_size == 0;
  bool unusable = (::access(wal.c_str(), F_OK) == 0 && ::access(wal.c_str(), W_OK) != 0) ||
                  (::access(shm.c_str(), F_OK) == 0 && ::access(shm.c_str(), W_OK) != 0);
  if (!walEmpty || !unusable || otherConnections(path)) return;
  ::unlink(wal.c_str());
  ::unlink(shm.c_str());
}

}  // namespace

SqliteSidecar::~SqliteSidecar() {
  if (fd_ >= 0) ::close(fd_);
}

int16_t SqliteSidecar::open(const std::string& path, bool readOnly, int waitMs) {
  const std::string name = path + ".lck";
  path_ = path;
  readOnly_ = readOnly;
  waitMs_ = waitMs;
  fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0 && readOnly) fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ < 0 ? status::kIoError : status::kOk;
}

int16_t SqliteSidecar::holdOpen() {
  if (!readOnly_ && setRangeLock(fd_, kOpenLockByte, F_WRLCK)) {
    removeUnusableEmptyJournal(path_);
    setRangeLock(fd_, kOpenLockByte, F_RDLCK);  // exclusive becomes shared
  }
  return waitRangeLock(fd_, kOpenLockByte, F_RDLCK, waitMs_) ? status::kOk : status::kFileLocked;
}

bool SqliteSidecar::holdAlone() {
  if (!setRangeLock(fd_, kOpenLockByte, F_WRLCK)) return false;
  if (!otherConnections(path_)) return true;
  setRangeLock(fd_, kOpenLockByte, F_UNLCK);
  return false;
}

int16_t SqliteSidecar::lockRecord(int64_t id, uint32_t owner, bool wait) {
  if (readOnly_) return status::kAccessDenied;  // a lock is taken to write the record
  auto it = owners_.find(id);
  if (it != owners_.end()) return it->second == owner ? status::kOk : status::kRecordLocked;
  if (!waitRangeLock(fd_, id, F_WRLCK, wait ? waitMs_ : 0)) return status::kRecordLocked;
  owners_[id] = owner;
  return status::kOk;
}

void SqliteSidecar::unlockRecord(int64_t id) {
  if (owners_.erase(id)) setRangeLock(fd_, id, F_UNLCK);
}

uint32_t SqliteSidecar::lockOwner(int64_t id) const {
  auto it = owners_.find(id);
  return it == owners_.end() ? 0 : it->second;
}

bool SqliteSidecar::lockedByOther(int64_t id, uint32_t owner) const {
  auto it = owners_.find(id);
  if (it != owners_.end()) return it->second != owner;
  return lockedElsewhere(fd_, id);
}

}  // namespace xt
