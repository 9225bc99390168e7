// The record engine against an in-memory model of the record-manager
// semantics. The input creates a small data file (1-3 keys of string,
// binary, unsigned and integer segments, unique or with duplicates,
// modifiable or not, descending, case-insensitive) and then drives a
// sequence of calls on two position blocks. Every call goes to the engine
// and to the model with identical buffers; the status, the data length,
// the data buffer and the key buffer must come back the same, or the step
// is printed and the run aborts.
//
// The model keeps the records in a vector and orders a key by comparing
// typed values (numbers as numbers, text byte by byte with the letters
// folded when case-insensitive); it shares no code with the engine's key
// images. Duplicates keep insertion order through a sequence number that
// follows the record ids (an update that changes a duplicate key takes the
// next id, so it goes after the duplicates of its new value).
//
// Also driven: null keys, autoincrement fields, variable-length records,
// record locks between the two blocks (another process's locks, owner
// names, collating sequences, zstring and lstring are left to the unit
// tests).
//
// With a server engine as well (the target engine_server_diff), every call
// also goes to it, and it must answer exactly as the SQLite engine did:
// the same statuses, positions, lengths and buffers.
//
// XT_DIFF_TRACE=1 in the environment prints every step (for replaying one
// input).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/record_engine.h"
#include "platform/sqlite_engine.h"
#include "testing/test_program.h"

namespace {

using namespace xt;

// ---- The file: keys and segments -------------------------------------------

// AutoIncrement: a signed integer that an insert of zero fills with the
// key's largest value + 1; it leads its key.
enum class Kind : uint8_t { String, Binary, Unsigned, Integer, AutoIncrement };

struct Segment {
  int position = 1;  // 1-based
  int length = 1;
  Kind kind = Kind::String;
  bool descending = false;
  bool caseless = false;  // asked for; only text honours it
  uint8_t nullValue = 0;
};

struct Key {
  std::vector<Segment> segments;
  bool duplicates = false;
  bool modifiable = false;
  // Null keys: records whose segments all (0x08) or any (0x200) hold
  // nothing but the segment's null value are left out of the key.
  int nullRule = 0;
  int length = 0;
};

struct FileLayout {
  int recordLength = 0;
  bool variable = false;  // records may run past recordLength
  std::vector<Key> keys;
  std::string spec;  // the Create data buffer
};

void put16(std::string& s, size_t at, int v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char((v >> 8) & 0xFF);
}

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint32_t get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The Create buffer: 16 bytes for the file, 16 per segment.
std::string encodeSpec(const FileLayout& f) {
  std::string out(16, '\0');
  put16(out, 0, f.recordLength);
  put16(out, 2, 4096);
  put16(out, 4, int(f.keys.size()));
  put16(out, 10, f.variable ? 0x01 : 0);
  for (const Key& k : f.keys) {
    for (size_t i = 0; i < k.segments.size(); ++i) {
      const Segment& s = k.segments[i];
      std::string seg(16, '\0');
      int flags = (k.duplicates ? 0x01 : 0) | (k.modifiable ? 0x02 : 0) |
                  (i + 1 < k.segments.size() ? 0x10 : 0) | (s.descending ? 0x40 : 0) |
                  (s.caseless ? 0x400 : 0) | k.nullRule;
      switch (s.kind) {
        case Kind::String: break;
        case Kind::Binary: flags |= 0x04; break;
        case Kind::Unsigned: flags |= 0x100; seg[10] = 14; break;
        case Kind::Integer: flags |= 0x100; seg[10] = 1; break;
        case Kind::AutoIncrement: flags |= 0x100; seg[10] = 15; break;
      }
      put16(seg, 0, s.position);
      put16(seg, 2, s.length);
      put16(seg, 4, flags);
      seg[11] = char(s.nullValue);
      out += seg;
    }
  }
  return out;
}

// ---- Typed order --------------------------------------------------------------

uint64_t unsignedValue(const std::string& b) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size(); ++i) v |= uint64_t(uint8_t(b[i])) << (8 * i);
  return v;
}

int64_t signedValue(const std::string& b) {
  uint64_t u = unsignedValue(b);
  size_t bits = 8 * b.size();
  if (bits < 64 && (u >> (bits - 1)) & 1) return int64_t(u) - (int64_t(1) << bits);
  return int64_t(u);
}

uint8_t fold(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 32) : c; }

template <typename T>
int order(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

int compareSegment(const Segment& s, const std::string& a, const std::string& b) {
  int c = 0;
  switch (s.kind) {
    case Kind::String:
      for (size_t i = 0; i < a.size() && c == 0; ++i) {
        uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
        if (s.caseless) x = fold(x), y = fold(y);
        c = order(x, y);
      }
      break;
    case Kind::Binary:
    case Kind::Unsigned: c = order(unsignedValue(a), unsignedValue(b)); break;
    case Kind::Integer:
    case Kind::AutoIncrement: c = order(signedValue(a), signedValue(b)); break;
  }
  return s.descending ? -c : c;
}

// a and b are key values: the key's segments one after another.
int compareKeys(const Key& k, const std::string& a, const std::string& b) {
  size_t at = 0;
  for (const Segment& s : k.segments) {
    if (int c = compareSegment(s, a.substr(at, size_t(s.length)), b.substr(at, size_t(s.length))))
      return c;
    at += size_t(s.length);
  }
  return 0;
}

// Whether the record is filed under the key at all.
bool inKey(const Key& k, const std::string& record) {
  if (!k.nullRule) return true;
  bool all = true, any = false;
  for (const Segment& s : k.segments) {
    bool isNull = true;
    for (int i = 0; i < s.length; ++i) isNull = isNull && uint8_t(record[size_t(s.position - 1 + i)]) == s.nullValue;
    all = all && isNull;
    any = any || isNull;
  }
  return !(k.nullRule == 0x08 ? all : any);
}

std::string keyValue(const Key& k, const std::string& record) {
  std::string v;
  for (const Segment& s : k.segments) v += record.substr(size_t(s.position - 1), size_t(s.length));
  return v;
}

// ---- The model ----------------------------------------------------------------

struct Record {
  int64_t id = 0;
  std::string data;
  std::vector<int64_t> sequence;  // per key: the id it was filed under (0 on unique keys)
};

class Model : public RecordEngine {
 public:
  void start(const std::string& path, const FileLayout& f) {
    path_ = path;
    file_ = f;
    records_.clear();
    cursors_.clear();
    lastId_ = 0;
    opened_ = false;
  }
  const std::vector<Record>& records() const { return records_; }
  // The record current on a position block, if it still exists.
  const Record* current(const uint8_t* pb) {
    auto it = cursors_.find(pb);
    if (it == cursors_.end() || !it->second.positioned) return nullptr;
    return byId(it->second.id);
  }

  int16_t call(int16_t biasedOp, uint8_t* pb, uint8_t* data, uint32_t& dataLength, uint8_t* key,
               int keyLength, int16_t keyNumber) override {
    // +100 / +200: a single lock (waiting or not), +300 / +400: one of
    // several; a wait makes no difference inside one process.
    const int op = biasedOp % 100, lock = biasedOp / 100;
    if (lock != 0 && !((op >= op::kGetEqual && op <= op::kGetLast) || op == op::kGetDirect ||
                       op == op::kGetPosition))
      return status::kInvalidOperation;
    switch (op) {
      case op::kOpen: {
        std::string name(reinterpret_cast<const char*>(key), size_t(keyLength));
        name = name.substr(0, name.find('\0'));
        if (name != path_) return status::kFileNotFound;
        cursors_[pb] = Cursor{};
        opened_ = true;
        return status::kOk;
      }
      case op::kCreate:
        if (keyNumber == -1) return status::kFileAlreadyExists;
        if (opened_) return status::kFileLocked;
        std::abort();  // replacing a file is not driven
      case op::kReset:
        cursors_.clear();
        opened_ = false;
        return status::kOk;
      default: break;
    }
    auto it = cursors_.find(pb);
    if (it == cursors_.end()) return status::kFileNotOpen;
    Cursor& c = it->second;
    switch (op) {
      case op::kClose: cursors_.erase(it); return status::kOk;
      case op::kInsert: return insert(c, data, dataLength, key, keyLength, keyNumber);
      case op::kUpdate: return update(c, data, dataLength, key, keyLength, keyNumber);
      case op::kDelete: return remove(c);
      case op::kUnlock:
        if (keyNumber >= 0) {
          if (c.single) release(c, c.single);
        } else if (keyNumber == -1) {
          if (dataLength < 4) return status::kDataBufferLength;
          if (c.multiple.count(get32(data))) release(c, get32(data));
        } else {
          while (!c.multiple.empty()) release(c, *c.multiple.begin());
        }
        return status::kOk;
      case op::kStat: {
        std::string bytes = file_.spec;
        put32(reinterpret_cast<uint8_t*>(bytes.data()) + 6, uint32_t(records_.size()));
        if (dataLength < bytes.size()) return status::kDataBufferLength;
        std::memcpy(data, bytes.data(), bytes.size());
        dataLength = uint32_t(bytes.size());
        return status::kOk;
      }
      case op::kGetPosition:
        if (!c.positioned || c.deleted) return status::kInvalidPositioning;
        if (dataLength < 4) return status::kDataBufferLength;
        put32(data, uint32_t(c.id));
        dataLength = 4;
        return status::kOk;
      case op::kGetDirect: {
        if (!validKey(keyNumber)) return status::kInvalidKeyNumber;
        if (keyLength < keyOf(keyNumber).length) return status::kKeyBufferTooShort;
        if (dataLength < 4) return status::kDataBufferLength;
        const Record* r = byId(get32(data));
        if (!r) return 43;
        if (lock && !take(c, r->id, lock)) return status::kRecordLocked;
        return deliver(c, *r, keyNumber, data, dataLength, key);
      }
      default:
        if (op >= op::kGetEqual && op <= op::kGetLast)
          return read(c, op, lock, data, dataLength, key, keyLength, keyNumber);
        std::abort();  // not driven
    }
  }

 private:
  struct Cursor {
    int keyPath = -1;
    bool positioned = false;
    bool deleted = false;
    bool inKey = false;  // the current record is filed under the key path
    std::string value;  // the key value of the current record
    int64_t sequence = 0;
    int64_t id = 0;
    // Record locks: a block holds a record when it is its single lock or
    // one of its multiple locks.
    int64_t single = 0;
    std::set<int64_t> multiple;
    bool holds(int64_t record) const { return single == record || multiple.count(record); }
  };

  bool heldByOther(const Cursor& c, int64_t id) const {
    for (const auto& [pb, other] : cursors_)
      if (&other != &c && other.holds(id)) return true;
    return false;
  }
  // Takes a lock; false when another block holds the record. A single lock
  // replaces the block's previous one.
  bool take(Cursor& c, int64_t id, int lock) {
    if (heldByOther(c, id)) return false;
    if (lock <= 2)
      c.single = id;
    else
      c.multiple.insert(id);
    return true;
  }
  // Gives up whatever the block holds on a record.
  static void release(Cursor& c, int64_t id) {
    if (c.single == id) c.single = 0;
    c.multiple.erase(id);
  }

  bool validKey(int n) const { return n >= 0 && size_t(n) < file_.keys.size(); }
  const Key& keyOf(int n) const { return file_.keys[size_t(n)]; }
  Record* byId(int64_t id) {
    for (Record& r : records_)
      if (r.id == id) return &r;
    return nullptr;
  }

  // Order on key n: the key value, then the sequence.
  int place(int n, const Record& r, const std::string& value, int64_t sequence) const {
    int c = compareKeys(keyOf(n), keyValue(keyOf(n), r.data), value);
    return c ? c : order(r.sequence[size_t(n)], sequence);
  }

  int16_t deliver(Cursor& c, const Record& r, int n, uint8_t* data, uint32_t& dataLength,
                  uint8_t* key) {
    c.keyPath = int16_t(n);
    c.positioned = true;
    c.deleted = false;
    c.inKey = inKey(keyOf(n), r.data);
    c.value = keyValue(keyOf(n), r.data);
    c.sequence = r.sequence[size_t(n)];
    c.id = r.id;
    std::memcpy(key, c.value.data(), c.value.size());
    uint32_t size = uint32_t(r.data.size());
    uint32_t copied = std::min(dataLength, size);
    std::memcpy(data, r.data.data(), copied);
    dataLength = copied;
    return copied < size ? status::kDataBufferLength : status::kOk;
  }

  int16_t read(Cursor& c, int op, int lock, uint8_t* data, uint32_t& dataLength, uint8_t* key, int keyLength,
               int n) {
    if (!validKey(n)) return status::kInvalidKeyNumber;
    const Key& k = keyOf(n);
    if (keyLength < k.length) return status::kKeyBufferTooShort;
    std::string sought(reinterpret_cast<const char*>(key), size_t(k.length));
    if (op == op::kGetNext || op == op::kGetPrevious) {
      if (!c.positioned || !c.inKey) return status::kInvalidPositioning;
      if (n != c.keyPath) return status::kDifferentKeyNumber;
    }
    // The first (or, going down, the last) record that qualifies.
    bool down = op == op::kGetLess || op == op::kGetLessOrEqual || op == op::kGetLast ||
                op == op::kGetPrevious;
    const Record* found = nullptr;
    for (const Record& r : records_) {
      if (!inKey(k, r.data)) continue;
      int cmp = compareKeys(k, keyValue(k, r.data), sought);
      bool qualifies = false;
      switch (op) {
        case op::kGetEqual: qualifies = cmp == 0; break;
        case op::kGetGreater: qualifies = cmp > 0; break;
        case op::kGetGreaterOrEqual: qualifies = cmp >= 0; break;
        case op::kGetLess: qualifies = cmp < 0; break;
        case op::kGetLessOrEqual: qualifies = cmp <= 0; break;
        case op::kGetFirst:
        case op::kGetLast: qualifies = true; break;
        case op::kGetNext: qualifies = place(n, r, c.value, c.sequence) > 0; break;
        case op::kGetPrevious: qualifies = place(n, r, c.value, c.sequence) < 0; break;
      }
      if (!qualifies) continue;
      if (!found) {
        found = &r;
        continue;
      }
      int p = place(n, r, keyValue(k, found->data), found->sequence[size_t(n)]);
      if (down ? p > 0 : p < 0) found = &r;
    }
    if (!found) return op == op::kGetEqual ? status::kKeyNotFound : status::kEndOfFile;
    if (lock && !take(c, found->id, lock)) return status::kRecordLocked;
    return deliver(c, *found, n, data, dataLength, key);
  }

  // The key whose unique value another record already has, or -1.
  int clash(const std::string& data, int64_t self) const {
    for (size_t n = 0; n < file_.keys.size(); ++n) {
      const Key& k = file_.keys[n];
      if (k.duplicates) continue;
      for (const Record& r : records_)
        if (r.id != self && inKey(k, data) && inKey(k, r.data) && compareKeys(k, keyValue(k, r.data), keyValue(k, data)) == 0)
          return int(n);
    }
    return -1;
  }

  size_t recordSize(uint32_t dataLength) const {
    return file_.variable ? dataLength : size_t(file_.recordLength);
  }

  // An autoincrement field of zero becomes the largest value filed under
  // its key + 1 (1 in an empty key), cut to the field's width.
  void fillAutoIncrement(std::string& data) const {
    for (const Key& k : file_.keys) {
      const Segment& s = k.segments[0];
      if (s.kind != Kind::AutoIncrement) continue;
      std::string field = data.substr(size_t(s.position - 1), size_t(s.length));
      if (field != std::string(field.size(), '\0')) continue;
      int64_t next = 1;
      bool any = false;
      for (const Record& r : records_) {
        if (!inKey(k, r.data)) continue;
        int64_t v = signedValue(r.data.substr(size_t(s.position - 1), size_t(s.length)));
        if (!any || v + 1 > next) next = v + 1;
        any = true;
      }
      for (int i = 0; i < s.length; ++i) data[size_t(s.position - 1 + i)] = char(uint64_t(next) >> (8 * i));
    }
  }

  int16_t insert(Cursor& c, uint8_t* data, uint32_t& dataLength, uint8_t* key, int keyLength,
                 int n) {
    if (!validKey(n)) return status::kInvalidKeyNumber;
    if (keyLength < keyOf(n).length) return status::kKeyBufferTooShort;
    if (dataLength < uint32_t(file_.recordLength)) return status::kDataBufferLength;
    Record r;
    r.data.assign(reinterpret_cast<const char*>(data), recordSize(dataLength));
    fillAutoIncrement(r.data);
    if (clash(r.data, 0) >= 0) return status::kDuplicateKey;
    r.id = ++lastId_;
    for (const Key& k : file_.keys) r.sequence.push_back(k.duplicates ? r.id : 0);
    records_.push_back(r);
    return deliver(c, r, n, data, dataLength, key);
  }

  int16_t update(Cursor& c, uint8_t* data, uint32_t& dataLength, uint8_t* key, int keyLength,
                 int n) {
    if (!c.positioned || c.deleted) return status::kInvalidPositioning;
    int path = validKey(n) ? n : c.keyPath;
    if (keyLength < keyOf(path).length) return status::kKeyBufferTooShort;
    if (dataLength < uint32_t(file_.recordLength)) return status::kDataBufferLength;
    if (heldByOther(c, c.id)) return status::kRecordLocked;
    Record* r = byId(c.id);
    if (!r) return status::kInvalidPositioning;
    std::string fresh(reinterpret_cast<const char*>(data), recordSize(dataLength));
    for (const Key& k : file_.keys)
      if (!k.modifiable && keyValue(k, fresh) != keyValue(k, r->data))
        return status::kModifiableKeyValue;
    if (clash(fresh, r->id) >= 0) return status::kDuplicateKey;
    for (size_t i = 0; i < file_.keys.size(); ++i) {
      const Key& k = file_.keys[i];
      bool was = inKey(k, r->data), is = inKey(k, fresh);
      bool same = was == is && (!was || compareKeys(k, keyValue(k, fresh), keyValue(k, r->data)) == 0);
      if (k.duplicates && !same) r->sequence[i] = ++lastId_;
    }
    r->data = fresh;
    release(c, r->id);
    return deliver(c, *r, path, data, dataLength, key);
  }

  int16_t remove(Cursor& c) {
    if (!c.positioned || c.deleted) return status::kInvalidPositioning;
    if (heldByOther(c, c.id)) return status::kRecordLocked;
    auto it = std::find_if(records_.begin(), records_.end(), [&](const Record& r) { return r.id == c.id; });
    if (it == records_.end()) return status::kInvalidPositioning;
    records_.erase(it);
    release(c, c.id);
    c.deleted = true;
    return status::kOk;
  }

  std::string path_;
  FileLayout file_;
  std::vector<Record> records_;
  std::map<const uint8_t*, Cursor> cursors_;
  int64_t lastId_ = 0;
  bool opened_ = false;
};

// ---- The driver ---------------------------------------------------------------

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  int below(int n) { return n <= 1 ? 0 : byte() % n; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Bytes records are made of: the first few give many equal keys, the rest
// sit on the edges of the orders (letters and their folds, signs, 0, FF).
constexpr uint8_t kAlphabet[16] = {'a', 'A', 0x00, 0xFF, 'b', 0x80, 0x7F, 0x01,
                                   'B', 'z', '{', '`', 'Z', '[', '@', ' '};
constexpr size_t kDataSize = 512;
constexpr int kKeySize = 255;

const char* opName(int op) {
  switch (op) {
    case op::kOpen: return "Open";
    case op::kClose: return "Close";
    case op::kInsert: return "Insert";
    case op::kUpdate: return "Update";
    case op::kDelete: return "Delete";
    case op::kGetEqual: return "GetEqual";
    case op::kGetNext: return "GetNext";
    case op::kGetPrevious: return "GetPrevious";
    case op::kGetGreater: return "GetGreater";
    case op::kGetGreaterOrEqual: return "GetGreaterOrEqual";
    case op::kGetLess: return "GetLess";
    case op::kGetLessOrEqual: return "GetLessOrEqual";
    case op::kGetFirst: return "GetFirst";
    case op::kGetLast: return "GetLast";
    case op::kCreate: return "Create";
    case op::kStat: return "Stat";
    case op::kGetPosition: return "GetPosition";
    case op::kGetDirect: return "GetDirect";
    case op::kReset: return "Reset";
    case op::kUnlock: return "Unlock";
  }
  return "?";
}

std::string hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

const char* kindName(Kind k) {
  switch (k) {
    case Kind::String: return "string";
    case Kind::Binary: return "binary";
    case Kind::Unsigned: return "unsigned";
    case Kind::Integer: return "integer";
    case Kind::AutoIncrement: return "autoincrement";
  }
  return "?";
}

void printLayout(const FileLayout& f) {
  std::fprintf(stderr, "file: record length %d%s\n", f.recordLength, f.variable ? " variable" : "");
  for (size_t n = 0; n < f.keys.size(); ++n) {
    const Key& k = f.keys[n];
    std::fprintf(stderr, "  key %zu:%s%s%s\n", n, k.duplicates ? " duplicates" : " unique",
                 k.modifiable ? " modifiable" : "",
                 k.nullRule == 0x08 ? " null-all" : k.nullRule ? " null-any" : "");
    for (const Segment& s : k.segments)
      std::fprintf(stderr, "    %s at %d length %d%s%s null %02X\n", kindName(s.kind), s.position,
                   s.length, s.descending ? " descending" : "", s.caseless ? " case-insensitive" : "",
                   s.nullValue);
  }
}

// Calls compared over the whole run, reported at exit.
long totalCalls = 0;

void reportTotals() { std::fprintf(stderr, "engine_diff: %ld calls compared\n", totalCalls); }

struct Run {
  Run(SqliteEngine& e, RecordEngine* s) : engine(e), server(s) {}

  SqliteEngine& engine;
  RecordEngine* server;  // answers as engine does, when there is one
  Model model;
  FileLayout file;
  std::string path;
  uint8_t enginePb[2][kPositionBlockSize] = {};
  uint8_t modelPb[2][kPositionBlockSize] = {};
  uint8_t serverPb[2][kPositionBlockSize] = {};
  int step = 0;
  bool trace = std::getenv("XT_DIFF_TRACE") != nullptr;

  // One call on both sides; returns the status.
  int16_t call(int op, int pb, const uint8_t* data, uint32_t dataLength, const uint8_t* key,
               int keyLength, int keyNumber) {
    ++step;
    ++totalCalls;
    uint8_t engineData[kDataSize], modelData[kDataSize], engineKey[kKeySize + 1], modelKey[kKeySize + 1];
    std::memcpy(engineData, data, kDataSize);
    std::memcpy(modelData, data, kDataSize);
    std::memcpy(engineKey, key, sizeof engineKey);
    std::memcpy(modelKey, key, sizeof modelKey);
    uint32_t engineLength = dataLength, modelLength = dataLength;
    int16_t es = engine.call(int16_t(op), enginePb[pb], engineData, engineLength, engineKey,
                             keyLength, int16_t(keyNumber));
    int16_t ms = model.call(int16_t(op), modelPb[pb], modelData, modelLength, modelKey, keyLength,
                            int16_t(keyNumber));
    if (server) compareServer(op, pb, data, dataLength, key, keyLength, keyNumber, es, engineData, engineLength, engineKey);
    const char* what = nullptr;
    if (es != ms)
      what = "status";
    else if (engineLength != modelLength)
      what = "data length";
    else if (std::memcmp(engineData, modelData, kDataSize) != 0)
      what = "data buffer";
    else if (std::memcmp(engineKey, modelKey, sizeof engineKey) != 0)
      what = "key buffer";
    if (trace || what) {
      std::fprintf(stderr, "step %d: %s%s pb %d key %d keyLength %d dataLength %u data %s key %s -> %d\n",
                   step, opName(op % 100), op >= 100 ? std::to_string(op / 100 * 100).insert(0, "+").c_str() : "", pb, keyNumber, keyLength, dataLength,
                   hex(data, std::min<size_t>(dataLength, 40)).c_str(),
                   hex(key, size_t(std::min(keyLength, 40))).c_str(), es);
    }
    if (what) {
      printLayout(file);
      std::fprintf(stderr, "MISMATCH in %s: engine status %d model %d\n", what, es, ms);
      std::fprintf(stderr, "  engine: length %u data %s key %s\n", engineLength,
                   hex(engineData, std::min<size_t>(engineLength, 60)).c_str(),
                   hex(engineKey, 40).c_str());
      std::fprintf(stderr, "  model:  length %u data %s key %s\n", modelLength,
                   hex(modelData, std::min<size_t>(modelLength, 60)).c_str(),
                   hex(modelKey, 40).c_str());
      std::fprintf(stderr, "  model records (id: data / sequences):\n");
      for (const Record& r : model.records()) {
        std::fprintf(stderr, "    %lld: %s /", (long long)r.id,
                     hex(reinterpret_cast<const uint8_t*>(r.data.data()), r.data.size()).c_str());
        for (int64_t s : r.sequence) std::fprintf(stderr, " %lld", (long long)s);
        std::fprintf(stderr, "\n");
      }
      std::abort();
    }
    return es;
  }

  // The server engine on the same call must give what the SQLite engine gave.
  void compareServer(int op, int pb, const uint8_t* data, uint32_t dataLength, const uint8_t* key, int keyLength,
                     int keyNumber, int16_t es, const uint8_t* engineData, uint32_t engineLength,
                     const uint8_t* engineKey) {
    uint8_t serverData[kDataSize], serverKey[kKeySize + 1];
    std::memcpy(serverData, data, kDataSize);
    std::memcpy(serverKey, key, sizeof serverKey);
    uint32_t serverLength = dataLength;
    int16_t ss = server->call(int16_t(op), serverPb[pb], serverData, serverLength, serverKey, keyLength,
                              int16_t(keyNumber));
    const char* what = nullptr;
    if (ss != es)
      what = "status";
    else if (serverLength != engineLength)
      what = "data length";
    else if (std::memcmp(serverData, engineData, kDataSize) != 0)
      what = "data buffer";
    else if (std::memcmp(serverKey, engineKey, sizeof serverKey) != 0)
      what = "key buffer";
    if (!what) return;
    printLayout(file);
    std::fprintf(stderr, "step %d: %s pb %d key %d: SERVER MISMATCH in %s: sqlite %d server %d (%s)\n", step,
                 opName(op % 100), pb, keyNumber, what, es, ss, server->lastError().c_str());
    std::fprintf(stderr, "  sqlite: length %u data %s key %s\n", engineLength,
                 hex(engineData, std::min<size_t>(engineLength, 60)).c_str(), hex(engineKey, 40).c_str());
    std::fprintf(stderr, "  server: length %u data %s key %s\n", serverLength,
                 hex(serverData, std::min<size_t>(serverLength, 60)).c_str(), hex(serverKey, 40).c_str());
    std::abort();
  }

  int16_t open(int pb) {
    uint8_t data[kDataSize] = {}, key[kKeySize + 1] = {};
    std::memcpy(key, path.data(), path.size());
    return call(op::kOpen, pb, data, 0, key, int(path.size()), 0);
  }
};

FileLayout layoutFrom(Input& in) {
  FileLayout f;
  uint8_t head = in.byte();
  f.recordLength = 6 + (head & 0x7F) % 19;
  f.variable = head & 0x80;
  int keys = 1 + in.below(3);
  for (int n = 0; n < keys; ++n) {
    Key k;
    uint8_t flags = in.byte();
    k.duplicates = flags & 1;
    k.modifiable = flags & 2;
    int segments = (flags & 0x0C) == 0x0C ? 2 : 1;
    k.nullRule = (flags & 0x30) == 0x20 ? 0x08 : (flags & 0x30) == 0x30 ? 0x200 : 0;
    for (int i = 0; i < segments; ++i) {
      Segment s;
      uint8_t b = in.byte();
      s.kind = Kind(b & 3);
      if (i == 0 && (flags & 0xC0) == 0xC0) s.kind = Kind::AutoIncrement;
      switch (s.kind) {
        case Kind::String: s.length = 1 + in.below(6); break;
        case Kind::Binary:
        case Kind::Unsigned: s.length = 1 + in.below(8); break;
        case Kind::Integer: s.length = 1 << in.below(4); break;
        case Kind::AutoIncrement: s.length = (b & 4) ? 4 : 2; break;
      }
      while (s.length > f.recordLength)
        s.length = s.kind == Kind::Integer || s.kind == Kind::AutoIncrement ? s.length / 2 : f.recordLength;
      s.position = 1 + in.below(f.recordLength - s.length + 1);
      s.descending = b & 0x10;
      // Case-insensitive mostly on text, now and then on numbers (ignored there).
      s.caseless = (b & 0x20) && (s.kind == Kind::String || (b & 0x40));
      s.nullValue = kAlphabet[(b >> 6) & 3];
      k.length += s.length;
      k.segments.push_back(s);
    }
    f.keys.push_back(k);
  }
  f.spec = encodeSpec(f);
  return f;
}

// A scratch directory for the whole run; one fresh file name per input.
const ScratchDir& scratch() {
  static ScratchDir dir;
  return dir;
}

void removeFileSet(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", ".lck"}) ::unlink((path + suffix).c_str());
}

}  // namespace

// One input through the SQLite engine and the model, and the server engine
// when there is one. fileName names the input's data file.
inline int runEngineDiff(const uint8_t* input, size_t size, RecordEngine* server, const std::string& fileName) {
  static SqliteEngine engine(200);
  static bool reporting = (std::atexit(reportTotals), true);
  (void)reporting;
  Input in(input, size);
  Run run(engine, server);
  run.file = layoutFrom(in);
  run.path = scratch() / fileName;
  if (run.trace) printLayout(run.file);

  const FileLayout& f = run.file;
  const int keyCount = int(f.keys.size());
  {
    uint8_t key[kKeySize + 1] = {};
    std::memcpy(key, run.path.data(), run.path.size());
    uint32_t length = uint32_t(f.spec.size());
    std::string spec = f.spec;
    int16_t st = engine.call(op::kCreate, run.enginePb[0], reinterpret_cast<uint8_t*>(spec.data()),
                             length, key, int(run.path.size()), -1);
    if (st == 0 && server) {
      spec = f.spec;
      length = uint32_t(f.spec.size());
      st = server->call(op::kCreate, run.serverPb[0], reinterpret_cast<uint8_t*>(spec.data()), length, key,
                        int(run.path.size()), -1);
    }
    if (st != 0) {
      printLayout(f);
      std::fprintf(stderr, "Create answered %d\n", st);
      std::abort();
    }
  }
  run.model.start(run.path, f);
  run.open(0);
  run.open(1);
  const int alphabet = std::array{2, 3, 5, 16}[size_t(in.below(4))];
  auto symbol = [&] { return kAlphabet[in.below(alphabet)]; };

  // A record: fresh bytes, or a known record with a few bytes changed;
  // now and then with the autoincrement fields zero.
  auto makeRecord = [&](const Record* base) {
    std::string r(size_t(f.recordLength + (f.variable ? in.below(9) : 0)), '\0');
    if (base) {
      r = base->data;
      for (int i = in.below(3); i > 0; --i) r[size_t(in.below(f.recordLength))] = char(symbol());
    } else {
      for (char& c : r) c = char(symbol());
    }
    for (const Key& k : f.keys)
      if (k.segments[0].kind == Kind::AutoIncrement && (in.byte() & 1))
        for (int i = 0; i < k.segments[0].length; ++i) r[size_t(k.segments[0].position - 1 + i)] = 0;
    return r;
  };
  auto someRecord = [&]() -> const Record* {
    const auto& rs = run.model.records();
    if (rs.empty()) return nullptr;
    return &rs[size_t(in.below(int(rs.size())))];
  };

  for (int steps = 0; steps < 300 && !in.done(); ++steps) {
    uint8_t b = in.byte();
    int pb = b >> 7;
    uint8_t variant = in.byte();
    int keyNumber = in.below(keyCount);
    if (variant % 16 == 15) keyNumber = (variant & 0x10) ? -1 : keyCount;  // not a key
    int keyLength = kKeySize;
    if (variant % 16 == 14) keyLength = f.keys[size_t(keyNumber)].length - 1;
    uint32_t dataLength = kDataSize;
    if (variant % 16 == 13) dataLength = uint32_t(in.below(f.recordLength));

    // Reads take a lock half of the time: +100 .. +400.
    const int lock = (variant >> 5) >= 4 ? 100 * ((variant >> 5) - 3) : 0;

    uint8_t data[kDataSize], key[kKeySize + 1];
    std::memset(data, 0xEE, sizeof data);
    std::memset(key, 0xDD, sizeof key);

    switch (b % 21) {
      case 0:
      case 1:
      case 2: {  // Insert
        const Record* base = (b & 0x40) ? someRecord() : nullptr;
        std::string r = makeRecord(base);
        std::memcpy(data, r.data(), r.size());
        if (dataLength == kDataSize) dataLength = uint32_t(r.size());
        run.call(op::kInsert, pb, data, dataLength, key, keyLength, keyNumber);
        break;
      }
      case 3:
      case 4: {  // Update the current record (or a known one's bytes)
        const Record* base = (b & 0x40) ? run.model.current(run.modelPb[pb]) : someRecord();
        if (!base) base = someRecord();
        std::string r = makeRecord(base);
        std::memcpy(data, r.data(), r.size());
        if (dataLength == kDataSize) dataLength = uint32_t(r.size());
        run.call(op::kUpdate, pb, data, dataLength, key, keyLength, keyNumber);
        break;
      }
      case 5: run.call(op::kDelete, pb, data, dataLength, key, keyLength, keyNumber); break;
      case 6:
      case 7:
      case 8:
      case 9:
      case 10:
      case 11:
      case 12: {  // Get Equal, Greater, Greater or Equal, Less, Less or Equal
        static constexpr int kOps[] = {op::kGetEqual, op::kGetGreater, op::kGetGreaterOrEqual,
                                       op::kGetLess, op::kGetLessOrEqual, op::kGetFirst, op::kGetLast};
        int op = kOps[b % 21 - 6] + lock;
        if (keyNumber >= 0 && keyNumber < keyCount) {
          const Key& k = f.keys[size_t(keyNumber)];
          const Record* base = someRecord();
          std::string value = base && (b & 0x40) ? keyValue(k, base->data) : keyValue(k, makeRecord(nullptr));
          if (b & 0x20) value[size_t(in.below(k.length))] = char(symbol());
          std::memcpy(key, value.data(), value.size());
        }
        run.call(op, pb, data, dataLength, key, keyLength, keyNumber);
        break;
      }
      case 13:
      case 14:
      case 15:
      case 16: {  // Next, Previous: mostly on the key path of the last read
        int op = ((b % 21) < 15 ? op::kGetNext : op::kGetPrevious) + lock;
        run.call(op, pb, data, dataLength, key, keyLength, keyNumber);
        break;
      }
      case 17: {  // Get Position, then now and then Get Direct with it
        uint32_t length = variant % 16 == 13 ? dataLength : 4;
        int16_t st = run.call(op::kGetPosition, pb, data, length, key, keyLength, keyNumber);
        const Record* r = run.model.current(run.modelPb[pb]);
        if (st == 0 && r && (b & 0x40) && keyNumber >= 0 && keyNumber < keyCount) {
          // Get Direct with it on the other position block.
          std::memset(data, 0xEE, sizeof data);
          put32(data, uint32_t(r->id));
          run.call(op::kGetDirect + lock, pb ^ 1, data, kDataSize, key, keyLength, keyNumber);
        }
        break;
      }
      case 18: {  // Get Direct by a known id, a deleted one or a made-up one
        const Record* r = someRecord();
        put32(data, r && (b & 0x40) ? uint32_t(r->id) : uint32_t(in.below(16)));
        if (dataLength != kDataSize) dataLength = std::min<uint32_t>(dataLength, 3);
        run.call(op::kGetDirect + lock, pb, data, dataLength, key, keyLength, keyNumber);
        break;
      }
      case 19: {
        switch (variant >> 6) {
          case 0:  // Stat, now and then into a buffer one byte short
            run.call(op::kStat, pb, data, (b & 0x40) ? uint32_t(f.spec.size() - 1) : kDataSize, key,
                     keyLength, keyNumber);
            break;
          case 1:  // Close, or Open when closed
            if (run.call(op::kClose, pb, data, dataLength, key, keyLength, keyNumber) != 0) run.open(pb);
            break;
          case 2:  // Open again: a fresh, unpositioned cursor
            run.open(pb);
            break;
          case 3: {  // Create over the open file: never replaced
            std::string spec = f.spec;
            std::memcpy(data, spec.data(), spec.size());
            std::memcpy(key, run.path.data(), run.path.size());
            key[run.path.size()] = 0;
            run.call(op::kCreate, pb, data, uint32_t(spec.size()), key, int(run.path.size()),
                     (b & 0x40) ? -1 : 0);
            break;
          }
        }
        break;
      }
      case 20: {  // Unlock the single lock, one multiple lock, or all of them
        int which = variant >> 6 == 2 ? -1 : variant >> 6 == 3 ? -2 : 0;
        const Record* r = someRecord();
        put32(data, r ? uint32_t(r->id) : 1);
        if (dataLength != kDataSize) dataLength = std::min<uint32_t>(dataLength, 3);
        run.call(op::kUnlock, pb, data, dataLength, key, keyLength, which);
        break;
      }
    }
  }

  // Walk every key both ways: the stored order must be the model's.
  for (int pb = 0; pb < 2; ++pb) run.open(pb);
  for (int n = 0; n < keyCount; ++n) {
    uint8_t data[kDataSize], key[kKeySize + 1];
    std::memset(data, 0xEE, sizeof data);
    std::memset(key, 0xDD, sizeof key);
    int16_t st = run.call(op::kGetFirst, 0, data, kDataSize, key, kKeySize, n);
    while (st == 0) st = run.call(op::kGetNext, 0, data, kDataSize, key, kKeySize, n);
    st = run.call(op::kGetLast, 1, data, kDataSize, key, kKeySize, n);
    while (st == 0) st = run.call(op::kGetPrevious, 1, data, kDataSize, key, kKeySize, n);
  }

  uint8_t none[kDataSize] = {}, key[kKeySize + 1] = {};
  run.call(op::kReset, 0, none, 0, key, 0, 0);
  removeFileSet(run.path);
  return 0;
}

// A scratch directory for the whole run (the installation root of a server
// engine too).
inline const std::string& scratchRoot() { return scratch().path(); }
