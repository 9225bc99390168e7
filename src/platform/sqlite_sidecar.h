// The lock sidecar of a data file: "<path>.lck" beside it, an empty file
// whose bytes are only ever locked, with fcntl byte-range locks that the
// kernel drops when a process ends (on Windows, LockFileEx locks on the
// same bytes). Byte 0 is the open byte: every process that has the data
// file open holds it shared, and whoever creates or replaces a file under
// the name holds it exclusively, so neither happens under a process that
// has the old file open. Byte n is the lock of record n (record ids start
// at 1):
//
//   Operador.dat.lck  byte 0  shared by terminals A and B (both have it open)
//                     byte 7  exclusive by A (a position block of A holds record 7)
//
// POSIX locks belong to the process, not to a descriptor, and closing any
// descriptor of the file drops all of them: a process opens the sidecar once
// per data file and keeps it open while the file is. Which position block of
// the process holds which record is kept here as well.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace xt {

class SqliteSidecar {
 public:
  SqliteSidecar() = default;  // none open yet
  ~SqliteSidecar();           // closes it, and so gives up this process's locks on it
  SqliteSidecar(const SqliteSidecar&) = delete;
  SqliteSidecar& operator=(const SqliteSidecar&) = delete;

  // Opens the sidecar of the data file at path, made if missing. readOnly:
  // for a user who may only read the data file, who may not be able to
  // write its sidecar either (shared locks need only reading); record locks
  // then answer 46. waitMs: how long holdOpen and a waiting record lock
  // wait for another process. 0, or 2 when the sidecar cannot be opened.
  // Called once.
  [[nodiscard]] int16_t open(const std::string& path, bool readOnly, int waitMs);

  // Holds the open byte shared before connecting to the data file, waiting
  // up to waitMs while another process creates or replaces the file: 0, 85.
  // When no process has the file open, an empty -wal and -shm left behind
  // by a reader who may not write the file are removed first.
  [[nodiscard]] int16_t holdOpen();
  // Takes the open byte exclusively, without waiting, when no process (of
  // this program or any SQLite client) has a file under the name open;
  // false otherwise. For creating or replacing the file.
  [[nodiscard]] bool holdAlone();

  // Locks record id for the position block owner: 0 (also when owner holds
  // it already), 84 when another position block holds it, or another
  // process does and wait is not set or the wait runs out, 46 read-only.
  [[nodiscard]] int16_t lockRecord(int64_t id, uint32_t owner, bool wait);
  // Gives up record id if a position block of this process holds it.
  void unlockRecord(int64_t id);
  // Whether a position block other than owner, or another process, holds
  // record id.
  bool lockedByOther(int64_t id, uint32_t owner) const;
  // The position block of this process that holds record id, 0 for none.
  uint32_t lockOwner(int64_t id) const;

 private:
  std::string path_;  // of the data file
  intptr_t file_ = -1;  // descriptor, or HANDLE on Windows (-1 is INVALID_HANDLE_VALUE)
  bool readOnly_ = false;
  int waitMs_ = 0;
  std::map<int64_t, uint32_t> owners_;  // record id -> position block
};

}  // namespace xt
