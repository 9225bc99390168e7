// Advisory record locks shared by every terminal of an installation: one
// lock file of 121-byte records per name in LOCKS under the installation
// root, and this terminal's identity in LOCKS.TMP of the temporary
// directory.
//
// A lock record, all numbers decimal text, left-aligned and blank-padded:
//   0  15  computer name of the holder      "TERMINAL1      "
//  15  11  owner id                         "-1         "
//  26   8  minutes since 1970 (local time)  "29412000"
//  34   1  type: "F" file, "K" key range, blank when free
//  35   2  first key length   37 40 first key (blank-padded)
//  77   2  last key length    79 40 last key
// 119   2  CR LF
// LOCKS.TMP holds the owner id (4 bytes, little-endian) and the computer
// name (15 bytes): 19 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/binary_file.h"

namespace xt {

struct DataFiles;

constexpr int kLockRecordSize = 121;
// Field offsets and sizes inside a lock record: computer name, owner id,
// minutes stamp, type, and the first and last key with their lengths.
namespace lock_field {
constexpr size_t kNameAt = 0, kNameSize = 15;
constexpr size_t kOwnerAt = 15, kOwnerSize = 11;
constexpr size_t kStampAt = 26, kStampSize = 8;
constexpr size_t kTypeAt = 34;
constexpr size_t kFirstLengthAt = 35, kFirstKeyAt = 37;
constexpr size_t kLastLengthAt = 77, kLastKeyAt = 79;
constexpr size_t kLengthSize = 2, kKeySize = 40;
}  // namespace lock_field
constexpr int kLockIdentitySize = 19;
constexpr int kStaleLockMinutes = 30;

struct LockState {
  int32_t ownerId = 0;
  std::string computerName;  // 15 characters
  char lockWaitMode = ' ';   // "S", "P" or anything else
};

// Reads this terminal's identity from LOCKS.TMP, creating it (a random
// non-zero owner id and the computer name) the first time.
void ensureLockIdentity(DataFiles& files);
// Opens directory + "/" + fileName exclusively into file, creating it (and
// the directory) when missing, retrying while another process holds it.
// Any other failure (no permission, a directory in its place, a read-only
// disk) is returned at once, with file left closed.
FileResult openLockFile(DataFiles& files, const std::string& directory, const std::string& fileName,
                        BinaryFile& file);
// type "F" (file) or "K" (key range from firstKey to lastKey), either case.
// Waits on a conflict as lockWaitMode says. 0 when the lock is held
// afterwards, -1 when it was not obtained; a lock file that cannot be
// opened is reported to the operator (a key takes the message off) and
// gives -1 whatever the wait mode.
[[nodiscard]] int16_t acquireLock(DataFiles& files, const std::string& name, const std::string& type,
                    const std::string& firstKey, const std::string& lastKey);
// A key-range lock on the single key, bytes 128-227 written as two digits
// of their low seven bits (0xC1 becomes "65").
[[nodiscard]] int16_t lockRecordKey(DataFiles& files, const std::string& name, const std::string& key);
std::string encodeLockKey(const std::string& key);
// Frees this terminal's newest record in the name's lock file: 0, or -1
// when it held none there or the lock file cannot be opened.
[[nodiscard]] int16_t releaseLock(DataFiles& files, const std::string& name);
// Minutes since 1970-01-01 00:00 of the local clock.
int32_t lockTimeNow(const DataFiles& files);

}  // namespace xt
