// The creation specification of a data file (the Create operation's data
// buffer) parsed into keys and segments, and the key images the storage
// keeps: byte strings whose memcmp order is the record manager's order.
//
// Layout, little-endian. File specification, 16 bytes:
//   0 record length, 2 page size, 4 number of keys, 6 record count (Stat),
//   10 file flags (0x01 variable length), 12..15 reserved.
// Then one 16-byte specification per key segment, keys in order, the
// segments of a key one after another (flag 0x10: another segment follows):
//   0 position (1-based), 2 length, 4 flags, 6 unique values (Stat),
//   10 extended type, 11 null value, 12..14 reserved, 15 ACS number.
// Then alternate collating sequences, 265 bytes each: 0xAC, an 8-byte
// name, the 256-byte table.
//
// Worked example: an unsigned 2-byte segment holding 0x0102 (bytes 02 01)
// has the image 01 02; a signed 2-byte integer -1 (FF FF) has the image
// 7F FF and +1 (01 00) has 80 01, so -1 sorts before +1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xt {

namespace keyflag {
constexpr uint16_t kDuplicates = 0x01, kModifiable = 0x02, kBinary = 0x04, kNullAll = 0x08,
                   kSegmented = 0x10, kAlternate = 0x20, kDescending = 0x40,
                   kExtendedType = 0x100, kNullAny = 0x200, kCaseInsensitive = 0x400;
}

namespace keytype {
constexpr uint8_t kString = 0, kInteger = 1, kLString = 10, kZString = 11, kUnsignedBinary = 14,
                  kAutoIncrement = 15;
}

constexpr int kFileSpecSize = 16;
constexpr int kSegmentSpecSize = 16;
constexpr int kAcsSize = 265;
constexpr uint8_t kAcsSignature = 0xAC;

struct SegmentSpec {
  uint16_t position = 1;  // 1-based offset in the record
  uint16_t length = 0;
  uint16_t flags = 0;
  uint8_t type = 0;  // the extended type, or the one the flags imply
  uint8_t nullValue = 0;
  uint8_t acsNumber = 0;
};

struct KeySpec {
  std::vector<SegmentSpec> segments;
  uint16_t flags = 0;  // of the first segment: duplicates, modifiable, null
  int length = 0;      // sum of the segment lengths
  bool duplicates() const { return flags & keyflag::kDuplicates; }
  bool modifiable() const { return flags & keyflag::kModifiable; }
  // The segment that is an autoincrement field, or -1.
  int autoIncrementSegment() const;
};

struct FileSpec {
  uint16_t recordLength = 0;
  uint16_t pageSize = 0;
  uint16_t fileFlags = 0;
  std::vector<KeySpec> keys;
  std::vector<std::string> tables;      // the 256-byte ACS tables
  std::vector<std::string> tableNames;  // their 8-byte names
  std::string bytes;                // the specification as created (with the ACS)
  bool variableLength() const { return fileFlags & 0x01; }
  int segmentCount() const;
};

// Status of a specification the storage cannot honour (unknown extended
// type, inconsistent flags).
constexpr int16_t kStatusInvalidKeyFlags = 45;
constexpr int16_t kStatusInvalidAcs = 48;

// Parses a Create data buffer of length bytes. Returns 0 or a status: 22
// buffer shorter than its keys, 26 too many keys, 27 a segment outside the
// record, 28 a bad record length, 29 a bad segment length, 45 unsupported
// type or flags, 48 a missing or malformed ACS.
int16_t parseFileSpec(std::string_view data, FileSpec& fileSpec);

// The layout as Stat gives it back, read without the checks of a Create
// (the answer of another engine is taken as it comes): the record length,
// the keys whose segment specifications the data holds whole, in order,
// and where the collating sequences start once every key is read.
struct StatLayout {
  uint16_t recordLength = 0;
  int keyCount = 0;           // as the file specification says
  std::vector<KeySpec> keys;  // segments with position, length and flags
  size_t acsOffset = 0;       // valid when complete()
  bool complete() const { return static_cast<int>(keys.size()) == keyCount; }
};
StatLayout readStatLayout(std::string_view data);

// The Create data buffer for recordLength, pageSize, fileFlags, keys and
// tables (the segmented flag is set on every segment but a key's last; the
// key-wide flags of the first segment are copied to the others).
std::string encodeFileSpec(const FileSpec& fileSpec);

// The key value as the caller sees it: the key's segments copied from the
// record one after another (key.length bytes; missing bytes read as NUL).
std::string keyValue(const KeySpec& key, std::string_view record);

// The image of a key value (keyValue layout); ignores null keys.
std::string keyImageOf(const FileSpec& fileSpec, const KeySpec& key, std::string_view value);

// The image of a record's key, or nothing when the key's null rule leaves
// the record out of the key (flags 0x08: every segment null; 0x200: any).
std::optional<std::string> recordKeyImage(const FileSpec& fileSpec, const KeySpec& key,
                                          std::string_view record);

// Little-endian helpers.
uint16_t readLe16(const void* p);
uint32_t readLe32(const void* p);
void writeLe16(void* p, uint16_t v);
void writeLe32(void* p, uint32_t v);

}  // namespace xt
