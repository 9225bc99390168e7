#include "platform/sqlite_sidecar.h"

#include <unistd.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide_text.h"
#else
#include <fcntl.h>
#endif

#include <chrono>
#include <thread>

#include "platform/path_calls.h"
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
// program that has the file open. (The same byte on Windows.)
constexpr int64_t kShmConnectionByte = 128;

enum class Lock { Shared, Exclusive, None };

#ifdef _WIN32
// The locks are LockFileEx locks on the bytes at the same offsets. They
// belong to the handle rather than the process, which comes to the same
// thing here: a process opens a sidecar once per data file. Windows and
// Linux hosts never share an SQLite file (a file on a network drive is
// refused), so the two kinds never meet on one sidecar.
using LockFile = HANDLE;
const LockFile kNoFile = INVALID_HANDLE_VALUE;

LockFile openLockFile(const std::string& path, bool forWriting, bool create) {
  return ::CreateFileW(widePath(path).c_str(), forWriting ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void closeLockFile(LockFile file) { ::CloseHandle(file); }

OVERLAPPED byteAt(int64_t at) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(at);
  o.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(at) >> 32);
  return o;
}

// Takes (or with Lock::None gives up) the lock on one byte without waiting.
bool setRangeLock(LockFile file, int64_t at, Lock type) {
  OVERLAPPED o = byteAt(at);
  if (type == Lock::None) return ::UnlockFileEx(file, 0, 1, 0, &o) != 0;
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (type == Lock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return ::LockFileEx(file, flags, 0, 1, 0, &o) != 0;
}

// An exclusive lock of this handle becomes shared: Windows lets the handle
// that holds it add a shared one, and the unlock that follows gives up the
// exclusive one first.
bool downgradeToShared(LockFile file, int64_t at) {
  if (!setRangeLock(file, at, Lock::Shared)) return false;
  setRangeLock(file, at, Lock::None);
  return true;
}

// Whether another handle holds a lock on the byte. Windows cannot tell
// without trying: the byte is taken and given back at once, so a lock
// asked for in that instant without waiting is refused as if held (a
// waiting one gets it on its next try).
bool lockedElsewhere(LockFile file, int64_t at) {
  if (!setRangeLock(file, at, Lock::Exclusive)) return true;
  setRangeLock(file, at, Lock::None);
  return false;
}
#else
using LockFile = int;
const LockFile kNoFile = -1;

LockFile openLockFile(const std::string& path, bool forWriting, bool create) {
  return ::open(path.c_str(), (forWriting ? O_RDWR : O_RDONLY) | (create ? O_CREAT : 0) | O_CLOEXEC, 0666);
}

void closeLockFile(LockFile file) { ::close(file); }

// A lock of the given type on the one byte at offset at.
struct flock oneByte(short type, int64_t at) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(at);
  fl.l_len = 1;
  return fl;
}

// Takes (or with Lock::None gives up) the lock on one byte without waiting.
bool setRangeLock(LockFile fd, int64_t at, Lock type) {
  struct flock fl = oneByte(type == Lock::Exclusive ? F_WRLCK : type == Lock::Shared ? F_RDLCK : F_UNLCK, at);
  return ::fcntl(fd, F_SETLK, &fl) == 0;
}

// A POSIX lock changes its type in place.
bool downgradeToShared(LockFile fd, int64_t at) { return setRangeLock(fd, at, Lock::Shared); }

// Whether another process holds a lock on the byte at offset at (this
// process's own locks never count).
bool lockedElsewhere(LockFile fd, int64_t at) {
  struct flock fl = oneByte(F_WRLCK, at);
  return ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}
#endif

LockFile fileOf(intptr_t stored) {
#ifdef _WIN32
  return reinterpret_cast<LockFile>(stored);
#else
  return static_cast<LockFile>(stored);
#endif
}

intptr_t stored(LockFile file) {
#ifdef _WIN32
  return reinterpret_cast<intptr_t>(file);
#else
  return file;
#endif
}

// Tries again for up to waitMs while another process holds the byte.
bool waitRangeLock(LockFile file, int64_t at, Lock type, int waitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!setRangeLock(file, at, type)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether a process (of this program or any SQLite client) is connected to
// the database at path. Only asked by a process that has not got the file
// open itself: closing the descriptor drops this process's locks on -shm.
bool otherConnections(const std::string& path) {
  LockFile shm = openLockFile(path + "-shm", /*forWriting=*/false, /*create=*/false);
  if (shm == kNoFile) return false;
  bool connected = lockedElsewhere(shm, kShmConnectionByte);
  closeLockFile(shm);
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
  bool walEmpty = statSize(wal) <= 0;
  bool unusable = (accessPath(wal, F_OK) == 0 && accessPath(wal, W_OK) != 0) ||
                  (accessPath(shm, F_OK) == 0 && accessPath(shm, W_OK) != 0);
  if (!walEmpty || !unusable || otherConnections(path)) return;
  unlinkPath(wal);
  unlinkPath(shm);
}

}  // namespace

SqliteSidecar::~SqliteSidecar() {
  if (fileOf(file_) != kNoFile) closeLockFile(fileOf(file_));
}

int16_t SqliteSidecar::open(const std::string& path, bool readOnly, int waitMs) {
  const std::string name = path + ".lck";
  path_ = path;
  readOnly_ = readOnly;
  waitMs_ = waitMs;
  LockFile file = openLockFile(name, /*forWriting=*/true, /*create=*/true);
  if (file == kNoFile && readOnly) file = openLockFile(name, /*forWriting=*/false, /*create=*/false);
  file_ = stored(file);
  return file == kNoFile ? status::kIoError : status::kOk;
}

int16_t SqliteSidecar::holdOpen() {
  if (!readOnly_ && setRangeLock(fileOf(file_), kOpenLockByte, Lock::Exclusive)) {
    removeUnusableEmptyJournal(path_);
    if (downgradeToShared(fileOf(file_), kOpenLockByte)) return status::kOk;
  }
  return waitRangeLock(fileOf(file_), kOpenLockByte, Lock::Shared, waitMs_) ? status::kOk : status::kFileLocked;
}

bool SqliteSidecar::holdAlone() {
  if (!setRangeLock(fileOf(file_), kOpenLockByte, Lock::Exclusive)) return false;
  if (!otherConnections(path_)) return true;
  setRangeLock(fileOf(file_), kOpenLockByte, Lock::None);
  return false;
}

int16_t SqliteSidecar::lockRecord(int64_t id, uint32_t owner, bool wait) {
  if (readOnly_) return status::kAccessDenied;  // a lock is taken to write the record
  auto it = owners_.find(id);
  if (it != owners_.end()) return it->second == owner ? status::kOk : status::kRecordLocked;
  if (!waitRangeLock(fileOf(file_), id, Lock::Exclusive, wait ? waitMs_ : 0)) return status::kRecordLocked;
  owners_[id] = owner;
  return status::kOk;
}

void SqliteSidecar::unlockRecord(int64_t id) {
  if (owners_.erase(id)) setRangeLock(fileOf(file_), id, Lock::None);
}

uint32_t SqliteSidecar::lockOwner(int64_t id) const {
  auto it = owners_.find(id);
  return it == owners_.end() ? 0 : it->second;
}

bool SqliteSidecar::lockedByOther(int64_t id, uint32_t owner) const {
  auto it = owners_.find(id);
  if (it != owners_.end()) return it->second != owner;
  return lockedElsewhere(fileOf(file_), id);
}

}  // namespace xt
