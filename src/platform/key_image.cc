#include "platform/key_image.h"

#include <algorithm>

namespace xt {

uint16_t readLe16(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t readLe32(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void writeLe16(void* p, uint16_t v) {
  auto b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

void writeLe32(void* p, uint32_t v) {
  auto b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

int KeySpec::autoIncrementSegment() const {
  for (size_t i = 0; i < segments.size(); ++i)
    if (segments[i].type == keytype::kAutoIncrement) return static_cast<int>(i);
  return -1;
}

int FileSpec::segmentCount() const {
  int n = 0;
  for (const KeySpec& k : keys) n += static_cast<int>(k.segments.size());
  return n;
}

namespace {

constexpr int kMaxKeys = 119;
constexpr int kMaxRecordLength = 4096;

// The type a segment sorts as: its extended type, or binary / string from
// the plain flags.
uint8_t segmentType(uint16_t flags, uint8_t extended) {
  if (flags & keyflag::kExtendedType) return extended;
  return (flags & keyflag::kBinary) ? keytype::kUnsignedBinary : keytype::kString;
}

// A segment specification as laid out at p (16 bytes).
SegmentSpec readSegmentSpec(const uint8_t* p) {
  SegmentSpec s;
  s.position = readLe16(p);
  s.length = readLe16(p + 2);
  s.flags = readLe16(p + 4);
  s.type = segmentType(s.flags, p[10]);
  s.nullValue = p[11];
  s.acsNumber = p[15];
  return s;
}

int16_t checkSegment(const SegmentSpec& s, uint16_t recordLength) {
  if (s.length == 0) return 29;
  if (s.position == 0 || s.position + s.length - 1 > recordLength) return 27;
  switch (s.type) {
    case keytype::kString:
    case keytype::kUnsignedBinary:
    case keytype::kZString:
      return 0;
    case keytype::kLString:
      return s.length >= 2 ? 0 : 29;
    case keytype::kInteger:
      return (s.length == 1 || s.length == 2 || s.length == 4 || s.length == 8) ? 0 : 29;
    case keytype::kAutoIncrement:
      return (s.length == 2 || s.length == 4) ? 0 : 29;
    default:
      return kStatusInvalidKeyFlags;
  }
}

bool textType(uint8_t type) {
  return type == keytype::kString || type == keytype::kZString || type == keytype::kLString;
}

// Appends the image of one segment's bytes (exactly s.length of them).
void appendSegmentImage(const FileSpec& fileSpec, const SegmentSpec& s, std::string_view bytes,
                        std::string& out) {
  size_t start = out.size();
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t len = s.length;
  auto text = [&](size_t from, size_t count) {
    // Characters through the ACS, or upper-cased, then NUL padding so that
    // a shorter text sorts before a longer one with the same beginning.
    const std::string* table = nullptr;
    if ((s.flags & keyflag::kAlternate) && !fileSpec.tables.empty())
      table = &fileSpec.tables[s.acsNumber < fileSpec.tables.size() ? s.acsNumber : 0];
    for (size_t i = 0; i < count; ++i) {
      uint8_t c = b[from + i];
      if (table)
        c = static_cast<uint8_t>((*table)[c]);
      else if ((s.flags & keyflag::kCaseInsensitive) && c >= 'a' && c <= 'z')
        c = static_cast<uint8_t>(c - 'a' + 'A');
      out.push_back(static_cast<char>(c));
    }
    out.append(len - count, '\0');
  };
  switch (s.type) {
    case keytype::kZString: {
      size_t n = 0;
      while (n < len && b[n] != 0) ++n;
      text(0, n);
      break;
    }
    case keytype::kLString: {
      size_t n = std::min<size_t>(b[0], len - 1);
      text(1, n);
      break;
    }
    case keytype::kInteger:
    case keytype::kAutoIncrement:
      for (size_t i = len; i-- > 0;) out.push_back(static_cast<char>(b[i]));
      out[start] = static_cast<char>(out[start] ^ 0x80);
      break;
    case keytype::kUnsignedBinary:
      for (size_t i = len; i-- > 0;) out.push_back(static_cast<char>(b[i]));
      break;
    default:
      text(0, len);
      break;
  }
  if (s.flags & keyflag::kDescending)
    for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
}

bool segmentIsNull(const SegmentSpec& s, std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [&](char c) { return static_cast<uint8_t>(c) == s.nullValue; });
}

}  // namespace

StatLayout readStatLayout(std::string_view data) {
  StatLayout layout;
  if (data.size() < kFileSpecSize) return layout;
  const auto* d = reinterpret_cast<const uint8_t*>(data.data());
  layout.recordLength = readLe16(d);
  layout.keyCount = static_cast<int16_t>(readLe16(d + 4));
  size_t offset = kFileSpecSize;
  for (int k = 0; k < layout.keyCount; ++k) {
    KeySpec key;
    for (;;) {
      if (offset + kSegmentSpecSize > data.size()) return layout;
      SegmentSpec s = readSegmentSpec(d + offset);
      offset += kSegmentSpecSize;
      key.length += s.length;
      key.segments.push_back(s);
      if (!(s.flags & keyflag::kSegmented)) break;
    }
    key.flags = key.segments.front().flags;
    layout.keys.push_back(std::move(key));
  }
  layout.acsOffset = offset;
  return layout;
}

int16_t parseFileSpec(std::string_view data, FileSpec& fileSpec) {
  fileSpec = FileSpec{};
  if (data.size() < kFileSpecSize) return 22;
  const auto* d = reinterpret_cast<const uint8_t*>(data.data());
  fileSpec.recordLength = readLe16(d);
  fileSpec.pageSize = readLe16(d + 2);
  int keyCount = static_cast<int16_t>(readLe16(d + 4));
  fileSpec.fileFlags = readLe16(d + 10);
  if (fileSpec.recordLength == 0 || fileSpec.recordLength > kMaxRecordLength) return 28;
  if (keyCount < 0 || keyCount > kMaxKeys) return 26;

  size_t offset = kFileSpecSize;
  bool usesAcs = false;
  int maxAcs = -1;
  for (int k = 0; k < keyCount; ++k) {
    KeySpec key;
    for (;;) {
      if (offset + kSegmentSpecSize > data.size()) return 22;
      SegmentSpec s = readSegmentSpec(d + offset);
      offset += kSegmentSpecSize;
      if (int16_t st = checkSegment(s, fileSpec.recordLength)) return st;
      if (key.segments.empty()) {
        key.flags = s.flags;
      } else if ((s.flags ^ key.flags) &
                 (keyflag::kDuplicates | keyflag::kModifiable | keyflag::kNullAll |
                  keyflag::kNullAny)) {
        return kStatusInvalidKeyFlags;  // key-wide flags differ between segments
      }
      if (s.flags & keyflag::kAlternate) {
        if (!textType(s.type) || (s.flags & keyflag::kCaseInsensitive)) return kStatusInvalidKeyFlags;
        usesAcs = true;
        maxAcs = std::max<int>(maxAcs, s.acsNumber);
      }
      // An autoincrement field must lead its key (its largest value is then
      // found at the key's end).
      if (s.type == keytype::kAutoIncrement && !key.segments.empty()) return kStatusInvalidKeyFlags;
      key.length += s.length;
      key.segments.push_back(s);
      if (!(s.flags & keyflag::kSegmented)) break;
    }
    if (key.length > 255) return 29;
    fileSpec.keys.push_back(std::move(key));
  }
  // Collating sequences follow as long as their signature does.
  while (offset + kAcsSize <= data.size() && d[offset] == kAcsSignature) {
    fileSpec.tableNames.emplace_back(data.substr(offset + 1, 8));
    fileSpec.tables.emplace_back(data.substr(offset + 9, 256));
    offset += kAcsSize;
  }
  if (usesAcs && fileSpec.tables.empty()) return kStatusInvalidAcs;
  if (maxAcs >= static_cast<int>(fileSpec.tables.size()) && fileSpec.tables.size() > 1)
    return kStatusInvalidAcs;
  fileSpec.bytes.assign(data.substr(0, offset));
  // Counts reported by Stat are not part of the stored specification.
  writeLe32(fileSpec.bytes.data() + 6, 0);
  return 0;
}

std::string encodeFileSpec(const FileSpec& fileSpec) {
  std::string out(kFileSpecSize, '\0');
  writeLe16(out.data(), fileSpec.recordLength);
  writeLe16(out.data() + 2, fileSpec.pageSize);
  writeLe16(out.data() + 4, uint16_t(fileSpec.keys.size()));
  writeLe16(out.data() + 10, fileSpec.fileFlags);
  constexpr uint16_t kKeyWide =
      keyflag::kDuplicates | keyflag::kModifiable | keyflag::kNullAll | keyflag::kNullAny;
  for (const KeySpec& key : fileSpec.keys) {
    for (size_t i = 0; i < key.segments.size(); ++i) {
      const SegmentSpec& s = key.segments[i];
      char seg[kSegmentSpecSize] = {};
      uint16_t flags = uint16_t((s.flags & ~(keyflag::kSegmented | kKeyWide)) |
                                (key.segments[0].flags & kKeyWide));
      if (i + 1 < key.segments.size()) flags |= keyflag::kSegmented;
      writeLe16(seg, s.position);
      writeLe16(seg + 2, s.length);
      writeLe16(seg + 4, flags);
      seg[10] = char(s.type);
      seg[11] = char(s.nullValue);
      seg[15] = char(s.acsNumber);
      out.append(seg, kSegmentSpecSize);
    }
  }
  for (size_t t = 0; t < fileSpec.tables.size(); ++t) {
    std::string name = t < fileSpec.tableNames.size() ? fileSpec.tableNames[t] : std::string();
    name.resize(8, ' ');
    std::string table = fileSpec.tables[t];
    table.resize(256, '\0');
    out += char(kAcsSignature) + name + table;
  }
  return out;
}

std::string keyValue(const KeySpec& key, std::string_view record) {
  std::string out;
  out.reserve(key.length);
  for (const SegmentSpec& s : key.segments) {
    size_t from = s.position - 1;
    size_t have = from < record.size() ? std::min<size_t>(s.length, record.size() - from) : 0;
    if (have) out.append(record.substr(from, have));
    out.append(s.length - have, '\0');
  }
  return out;
}

std::string keyImageOf(const FileSpec& fileSpec, const KeySpec& key, std::string_view value) {
  std::string out;
  out.reserve(key.length);
  size_t at = 0;
  for (const SegmentSpec& s : key.segments) {
    std::string piece(s.length, '\0');
    if (at < value.size()) value.substr(at, s.length).copy(piece.data(), s.length);
    appendSegmentImage(fileSpec, s, piece, out);
    at += s.length;
  }
  return out;
}

std::optional<std::string> recordKeyImage(const FileSpec& fileSpec, const KeySpec& key,
                                          std::string_view record) {
  std::string value = keyValue(key, record);
  if (key.flags & (keyflag::kNullAll | keyflag::kNullAny)) {
    bool all = true, any = false;
    size_t at = 0;
    for (const SegmentSpec& s : key.segments) {
      bool isNull = segmentIsNull(s, std::string_view(value).substr(at, s.length));
      all = all && isNull;
      any = any || isNull;
      at += s.length;
    }
    if ((key.flags & keyflag::kNullAny) ? any : all) return std::nullopt;
  }
  return keyImageOf(fileSpec, key, value);
}

}  // namespace xt
