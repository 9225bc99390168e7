#include "tools/lock_report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "data/record_locks.h"

namespace xt {

namespace {

using namespace lock_field;

std::string trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// Leading blanks, an optional minus sign and digits, as the program reads
// the record's numbers: anything else ends the number.
int64_t leadingNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  const bool negative = i < s.size() && s[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && value < 1000000000000; ++i)
    value = value * 10 + (s[i] - '0');
  return negative ? -value : value;
}

std::string keyAt(std::string_view record, size_t lengthAt, size_t keyAt) {
  const auto length = static_cast<size_t>(
      std::clamp<int64_t>(leadingNumber(record.substr(lengthAt, kLengthSize)), 0, kKeySize));
  return std::string(record.substr(keyAt, length));
}

}  // namespace

std::vector<LockEntry> parseLockFile(std::string_view content, int64_t now, size_t& cutShort) {
  std::vector<LockEntry> entries;
  const size_t size = static_cast<size_t>(kLockRecordSize);
  cutShort = content.size() % size;
  for (size_t at = 0; at + size <= content.size(); at += size) {
    const std::string_view record = content.substr(at, size);
    LockEntry e;
    e.position = static_cast<int>(at / size) + 1;
    e.computerName = trimmed(record.substr(kNameAt, kNameSize));
    e.ownerId = trimmed(record.substr(kOwnerAt, kOwnerSize));
    e.stamp = leadingNumber(record.substr(kStampAt, kStampSize));
    e.type = record[kTypeAt];
    e.firstKey = keyAt(record, kFirstLengthAt, kFirstKeyAt);
    e.lastKey = keyAt(record, kLastLengthAt, kLastKeyAt);
    e.free = e.type == ' ';
    // The program frees a record whose owner id is not blank once its
    // stamp is more than the stale limit behind its clock.
    e.stale = !e.free && !e.ownerId.empty() && e.stamp < now - kStaleLockMinutes;
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string printableKey(std::string_view key) {
  std::string out = "\"";
  for (char c : key) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b >= 0x20 && b < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out + "\"";
}

std::string lockReport(const std::string& fileName, std::string_view content, int64_t now) {
  size_t cutShort = 0;
  const std::vector<LockEntry> entries = parseLockFile(content, now, cutShort);
  std::string out = fileName + ": " + std::to_string(entries.size()) + " record" +
                    (entries.size() == 1 ? "" : "s") + "\n";
  for (const LockEntry& e : entries) {
    char line[160];
    if (e.free) {
      std::snprintf(line, sizeof line, "%5d  free\n", e.position);
      out += line;
      continue;
    }
    std::snprintf(line, sizeof line, "%5d  %-5s  %c  %-15s  %-11s  %6lld min  ", e.position, e.stale ? "stale" : "held",
                  e.type, e.computerName.c_str(), e.ownerId.c_str(), static_cast<long long>(now - e.stamp));
    out += line;
    // Key fields mean something only in a key-range lock.
    if (e.type == 'K') out += printableKey(e.firstKey) + " .. " + printableKey(e.lastKey);
    else if (e.type == 'F') out += "(whole file)";
    while (out.back() == ' ') out.pop_back();
    out += "\n";
  }
  if (cutShort)
    out += "       a record cut short (" + std::to_string(cutShort) + " bytes) at the end: the next lock overwrites it\n";
  return out;
}

}  // namespace xt
