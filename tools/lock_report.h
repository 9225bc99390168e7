// What the lock files of an installation hold, for the administrator: each
// 121-byte record of LOCKS/<name>.lck (see data/record_locks.h) read back
// into its holder, age, type and key range, and whether it is free or so
// old that the next terminal to scan the file frees it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xt {

struct LockEntry {
  int position = 0;          // 1-based record number in the file
  std::string computerName;  // blanks trimmed
  std::string ownerId;       // blanks trimmed
  int64_t stamp = 0;         // minutes since 1970, local time
  char type = ' ';           // 'F' file, 'K' key range, blank when free
  std::string firstKey, lastKey;  // as long as their length fields say
  bool free = false;
  bool stale = false;        // held, and older than the stale limit
};

// The records of a lock file's content, now being the lock clock's minutes.
// A record cut short at the end (a write cut off) is left out; cutShort
// then tells its length.
std::vector<LockEntry> parseLockFile(std::string_view content, int64_t now, size_t& cutShort);

// A key as text: printable ASCII as it is, '"' and '\' escaped, any other
// byte as \xHH, all between double quotes.
std::string printableKey(std::string_view key);

// The report of one lock file: a header line naming it, then one line per
// record (position, state, type, holder, owner id, age in minutes, first
// and last key), then a line on a record cut short.
std::string lockReport(const std::string& fileName, std::string_view content, int64_t now);

}  // namespace xt
