// Advisory record locks shared by every terminal of an installation: one
// lock file of 121-byte records per name in LOCKS under the installation
// root, and this terminal's identity in LOCKS.TMP of the temporary
// directory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace xt {

struct Program;

struct LockState {
  int32_t ownerId = 0;
  std::string computerName;  // 15 characters
  char lockWaitMode = ' ';   // "S", "P" or anything else
};

void ensureLockIdentity(Program& program);
// Opens directory + "\" + fileName exclusively, creating it (and the
// directory) when missing, retrying while another process holds it.
BinaryFile openLockFile(Program& program, const std::string& directory, const std::string& fileName);
// 0 when the lock is held afterwards, -1 when it was not obtained.
int16_t acquireLock(Program& program, const std::string& name, const std::string& type,
                    const std::string& firstKey, const std::string& lastKey);
int16_t lockRecordKey(Program& program, const std::string& name, const std::string& key);
int16_t releaseLock(Program& program, const std::string& name);
int32_t lockTimeNow(const Program& program);

}  // namespace xt
