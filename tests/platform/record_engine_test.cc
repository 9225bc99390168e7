// The record engine's semantics, proven the same on every backend: each
// test runs on the SQLite engine and on the PostgreSQL engine (over the
// test server).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <functional>
#include <random>

#include "engine_kinds.h"
#include "engine_test_util.h"
#ifndef _WIN32
#include "testing/child_process.h"
#endif
#include "platform/files.h"

namespace xt {
namespace {

using testutil::EngineKind;
using testutil::Handle;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

std::string le16(int v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string le32(uint32_t v) {
  std::string s(4, '\0');
  writeLe32(s.data(), v);
  return s;
}
std::string record(std::string head, size_t length) {
  head.resize(length, ' ');
  return head;
}

class EngineTest : public ::testing::TestWithParam<EngineKind> {
 protected:
  EngineTest() : scratch_(GetParam()), engine_(scratch_.makeEngine()) {}
  std::string path(const std::string& name = "file.dat") const { return scratch_.path(name); }
  testutil::EngineScratch scratch_;
  std::unique_ptr<RecordEngine> engine_;
};

// ---- Order of every key type against a typed comparison -------------------

struct OrderCase {
  const char* name;
  KeySpec key;
  std::function<std::string(std::mt19937&)> value;  // the key field's bytes
  std::function<int(const std::string&, const std::string&)> compare;
};

template <typename T>
T fromLe(const std::string& s) {
  T v{};
  std::memcpy(&v, s.data(), sizeof(T));
  return v;
}

int sign(long long d) { return d < 0 ? -1 : d > 0; }

std::string randomText(std::mt19937& rng, size_t n, const std::string& alphabet) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
  return s;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

std::vector<OrderCase> orderCases(const std::string& table) {
  using namespace keyflag;
  auto bytes = [](size_t n) {
    return [n](std::mt19937& rng) {
      std::string s;
      for (size_t i = 0; i < n; ++i) s += char(rng() % 5 == 0 ? 0 : rng());  // some zero bytes
      return s;
    };
  };
  const std::string letters = "aAbBzZ \x01\xE3";
  return {
      {"string", key({segment(1, 4, kDuplicates)}),
       [letters](std::mt19937& r) { return randomText(r, 4, letters); },
       [](const std::string& a, const std::string& b) { return sign(a.compare(b)); }},
      {"case-insensitive", key({segment(1, 4, kDuplicates | kCaseInsensitive)}),
       [letters](std::mt19937& r) { return randomText(r, 4, letters); },
       [](const std::string& a, const std::string& b) { return sign(upper(a).compare(upper(b))); }},
      {"alternate collating sequence", key({segment(1, 4, kDuplicates | kAlternate)}),
       [letters](std::mt19937& r) { return randomText(r, 4, letters); },
       [table](const std::string& a, const std::string& b) {
         std::string x, y;
         for (char c : a) x += table[uint8_t(c)];
         for (char c : b) y += table[uint8_t(c)];
         return sign(x.compare(y));
       }},
      {"binary", key({segment(1, 4, kDuplicates | kBinary)}), bytes(4),
       [](const std::string& a, const std::string& b) {
         return sign((long long)fromLe<uint32_t>(a) - (long long)fromLe<uint32_t>(b));
       }},
      {"unsigned binary", key({segment(1, 2, kDuplicates, keytype::kUnsignedBinary)}), bytes(2),
       [](const std::string& a, const std::string& b) {
         return sign(fromLe<uint16_t>(a) - fromLe<uint16_t>(b));
       }},
      {"integer 2", key({segment(1, 2, kDuplicates, keytype::kInteger)}), bytes(2),
       [](const std::string& a, const std::string& b) {
         return sign(fromLe<int16_t>(a) - fromLe<int16_t>(b));
       }},
      {"integer 8", key({segment(1, 8, kDuplicates, keytype::kInteger)}), bytes(8),
       [](const std::string& a, const std::string& b) {
         int64_t x = fromLe<int64_t>(a), y = fromLe<int64_t>(b);
         return x < y ? -1 : x > y;
       }},
      {"descending integer 4", key({segment(1, 4, kDuplicates | kDescending, keytype::kInteger)}),
       bytes(4),
       [](const std::string& a, const std::string& b) {
         return -sign((long long)fromLe<int32_t>(a) - fromLe<int32_t>(b));
       }},
      {"zstring", key({segment(1, 5, kDuplicates, keytype::kZString)}),
       [](std::mt19937& r) { return randomText(r, 5, std::string("ab\0", 3)); },
       [](const std::string& a, const std::string& b) {
         return sign(std::string(a.c_str()).compare(std::string(b.c_str())));
       }},
      {"lstring", key({segment(1, 5, kDuplicates, keytype::kLString)}),
       [](std::mt19937& r) { return char(r() % 6) + randomText(r, 4, "ab"); },
       [](const std::string& a, const std::string& b) {
         auto text = [](const std::string& s) { return s.substr(1, std::min<size_t>(uint8_t(s[0]), 4)); };
         return sign(text(a).compare(text(b)));
       }},
      {"descending integer then case-insensitive text",
       key({segment(1, 2, kDuplicates | kDescending, keytype::kInteger),
            segment(3, 3, kDuplicates | kCaseInsensitive)}),
       [](std::mt19937& r) { return le16(int(r() % 5) - 2) + randomText(r, 3, "aAbB"); },
       [](const std::string& a, const std::string& b) {
         int x = fromLe<int16_t>(a), y = fromLe<int16_t>(b);
         if (x != y) return x > y ? -1 : 1;
         return sign(upper(a.substr(2)).compare(upper(b.substr(2))));
       }},
  };
}

TEST_P(EngineTest, KeyOrderMatchesTypedComparison) {
  std::string table(256, '\0');
  std::mt19937 shuffle(7);
  for (int i = 0; i < 256; ++i) table[i] = char(i);
  std::shuffle(table.begin(), table.end(), shuffle);

  int fileNo = 0;
  for (const OrderCase& c : orderCases(table)) {
    SCOPED_TRACE(c.name);
    std::string p = path("order" + std::to_string(fileNo++) + ".dat");
    Handle h(*engine_);
    std::vector<std::string> tables;
    if (c.key.segments[0].flags & keyflag::kAlternate) tables.push_back(table);
    ASSERT_EQ(h.create(p, specBytes(16, {c.key}, tables)), 0);
    ASSERT_EQ(h.open(p), 0);
    size_t keyLength = 0;
    for (const SegmentSpec& s : c.key.segments) keyLength += s.length;
    std::mt19937 rng(42);
    const int n = 300;
    for (int i = 0; i < n; ++i) {
      std::string value = c.value(rng);
      std::string rec = value + std::string(16 - 4 - value.size(), '.') + le32(uint32_t(i));
      ASSERT_EQ(h.insert(rec), 0);
    }
    // Forwards: never decreasing, equal values in insertion order.
    std::vector<std::string> seen;
    testutil::Reply r = h.read(op::kGetFirst, 0);
    while (r.status == 0) {
      seen.push_back(r.data);
      r = h.read(op::kGetNext, 0, r.key);
    }
    EXPECT_EQ(r.status, status::kEndOfFile);
    ASSERT_EQ(seen.size(), size_t(n));
    for (size_t i = 1; i < seen.size(); ++i) {
      int cmp = c.compare(seen[i - 1].substr(0, keyLength), seen[i].substr(0, keyLength));
      ASSERT_LE(cmp, 0) << "at " << i;
      if (cmp == 0) {
        ASSERT_LT(fromLe<uint32_t>(seen[i - 1].substr(12)), fromLe<uint32_t>(seen[i].substr(12)));
      }
    }
    // Backwards: exactly the reverse.
    std::vector<std::string> back;
    r = h.read(op::kGetLast, 0);
    while (r.status == 0) {
      back.push_back(r.data);
      r = h.read(op::kGetPrevious, 0, r.key);
    }
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, seen);
  }
}

// ---- Duplicates and positioning -------------------------------------------

class DuplicatesTest : public EngineTest {
 protected:
  void SetUp() override {
    // key 0: 4-byte text with duplicates; key 1: unique 2-byte integer.
    ASSERT_EQ(h.create(path(), specBytes(10, {key({segment(1, 4, keyflag::kDuplicates | keyflag::kModifiable)}),
                                               key({segment(5, 2, 0, keytype::kInteger)})})),
              0);
    ASSERT_EQ(h.open(path()), 0);
    for (int i = 1; i <= 6; ++i) ASSERT_EQ(h.insert(rec(i <= 2 ? "AAAA" : i <= 5 ? "BBBB" : "CCCC", i)), 0);
  }
  static std::string rec(const std::string& text, int n) { return record(text + le16(n), 10); }
  static int number(const testutil::Reply& r) { return fromLe<int16_t>(r.data.substr(4)); }
  std::vector<int> walk(int16_t first, int16_t step, int16_t keyNumber = 0) {
    std::vector<int> out;
    testutil::Reply r = h.read(first, keyNumber);
    while (r.status == 0) {
      out.push_back(number(r));
      r = h.read(step, keyNumber, r.key);
    }
    return out;
  }
  Handle h{*engine_};
};

TEST_P(DuplicatesTest, NextAndPreviousKeepInsertionOrderAcrossDelete) {
  EXPECT_EQ(walk(op::kGetFirst, op::kGetNext), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  // Delete the middle duplicate; Next goes on from its place.
  ASSERT_EQ(h.read(op::kGetEqual, 0, "BBBB").status, 0);
  ASSERT_EQ(number(h.read(op::kGetNext, 0, "BBBB")), 4);
  ASSERT_EQ(h.call(op::kDelete, "", "", 0).status, 0);
  EXPECT_EQ(number(h.read(op::kGetNext, 0, "BBBB")), 5);
  EXPECT_EQ(number(h.read(op::kGetPrevious, 0, "BBBB")), 3);
  EXPECT_EQ(walk(op::kGetLast, op::kGetPrevious), (std::vector<int>{6, 5, 3, 2, 1}));
}

TEST_P(DuplicatesTest, EqualAndGreaterGiveFirstDuplicateLessOrEqualTheLast) {
  EXPECT_EQ(number(h.read(op::kGetEqual, 0, "BBBB")), 3);
  EXPECT_EQ(number(h.read(op::kGetGreaterOrEqual, 0, "BBBB")), 3);
  EXPECT_EQ(number(h.read(op::kGetGreaterOrEqual, 0, "AZZZ")), 3);
  EXPECT_EQ(number(h.read(op::kGetLessOrEqual, 0, "BBBB")), 5);
  EXPECT_EQ(number(h.read(op::kGetLessOrEqual, 0, "BZZZ")), 5);
  EXPECT_EQ(number(h.read(op::kGetGreater, 0, "BBBB")), 6);
  EXPECT_EQ(number(h.read(op::kGetLess, 0, "BBBB")), 2);
  EXPECT_EQ(h.read(op::kGetEqual, 0, "BBBC").status, status::kKeyNotFound);
  EXPECT_EQ(h.read(op::kGetGreater, 0, "CCCC").status, status::kEndOfFile);
  EXPECT_EQ(h.read(op::kGetLess, 0, "AAAA").status, status::kEndOfFile);
  // The key buffer comes back with the record's key.
  EXPECT_EQ(h.read(op::kGetGreaterOrEqual, 0, "B").key.substr(0, 4), "BBBB");
}

TEST_P(DuplicatesTest, ChangedDuplicateGoesToTheEndOfItsNewValue) {
  ASSERT_EQ(h.read(op::kGetEqual, 1, le16(1)).status, 0);
  ASSERT_EQ(h.call(op::kUpdate, rec("BBBB", 1), "", 1).status, 0);
  EXPECT_EQ(walk(op::kGetFirst, op::kGetNext), (std::vector<int>{2, 3, 4, 5, 1, 6}));
  // An update that keeps the value keeps the place.
  ASSERT_EQ(h.read(op::kGetEqual, 1, le16(3)).status, 0);
  ASSERT_EQ(h.call(op::kUpdate, rec("BBBB", 3), "", 1).status, 0);
  EXPECT_EQ(walk(op::kGetFirst, op::kGetNext), (std::vector<int>{2, 3, 4, 5, 1, 6}));
  // A later insert still sorts after the moved record.
  ASSERT_EQ(h.insert(rec("BBBB", 7)), 0);
  EXPECT_EQ(walk(op::kGetFirst, op::kGetNext), (std::vector<int>{2, 3, 4, 5, 1, 7, 6}));
}

TEST_P(DuplicatesTest, GetDirectMakesTheRecordCurrentOnTheGivenKey) {
  ASSERT_EQ(h.read(op::kGetEqual, 1, le16(4)).status, 0);
  testutil::Reply pos = h.call(op::kGetPosition, "", "", 0, -1, 1536);
  ASSERT_EQ(pos.status, 0);
  ASSERT_EQ(pos.data.size(), 4u);
  ASSERT_EQ(h.read(op::kGetFirst, 1).status, 0);  // move away
  testutil::Reply direct = h.call(op::kGetDirect, pos.data, "", 0, -1, 1536);
  ASSERT_EQ(direct.status, 0);
  EXPECT_EQ(number(direct), 4);
  EXPECT_EQ(direct.key.substr(0, 4), "BBBB");
  EXPECT_EQ(number(h.read(op::kGetNext, 0, direct.key)), 5);
  EXPECT_EQ(h.call(op::kGetDirect, le32(999), "", 0, -1, 1536).status, 43);
}

TEST_P(DuplicatesTest, PositionsAreNeverReused) {
  ASSERT_EQ(h.read(op::kGetLast, 1).status, 0);
  uint32_t last = readLe32(h.call(op::kGetPosition, "", "", 0, -1, 1536).data.data());
  ASSERT_EQ(h.call(op::kDelete, "", "", 1).status, 0);
  EXPECT_EQ(h.call(op::kGetPosition, "", "", 0, -1, 1536).status, status::kInvalidPositioning);
  ASSERT_EQ(h.insert(rec("DDDD", 7), 1), 0);
  uint32_t fresh = readLe32(h.call(op::kGetPosition, "", "", 0, -1, 1536).data.data());
  EXPECT_GT(fresh, last);
}

TEST_P(DuplicatesTest, StatusesOfRefusedRequests) {
  // 5: a duplicate value of a unique key; the file is unchanged.
  EXPECT_EQ(h.insert(rec("ZZZZ", 3)), status::kDuplicateKey);
  EXPECT_EQ(walk(op::kGetFirst, op::kGetNext, 1).size(), 6u);
  // 10: key 1 is not modifiable.
  ASSERT_EQ(h.read(op::kGetEqual, 1, le16(2)).status, 0);
  EXPECT_EQ(h.call(op::kUpdate, rec("AAAA", 9), "", 1).status, status::kModifiableKeyValue);
  EXPECT_EQ(h.call(op::kUpdate, rec("QQQQ", 2), "", 1).status, 0);  // key 0 is
  // 22: data buffer shorter than the record; the part that fits comes back.
  testutil::Reply r = h.read(op::kGetEqual, 1, le16(2), 6);
  EXPECT_EQ(r.status, status::kDataBufferLength);
  EXPECT_EQ(r.data, "QQQQ" + le16(2));
  EXPECT_EQ(h.call(op::kInsert, "short", "", 0).status, status::kDataBufferLength);
  // 21: key buffer shorter than the key.
  EXPECT_EQ(h.call(op::kGetFirst, "", "", 0, 3, 1536).status, status::kKeyBufferTooShort);
  // 6, 7, 8.
  EXPECT_EQ(h.read(op::kGetFirst, 2).status, status::kInvalidKeyNumber);
  ASSERT_EQ(h.read(op::kGetFirst, 0).status, 0);
  EXPECT_EQ(h.read(op::kGetNext, 1).status, status::kDifferentKeyNumber);
  Handle other(*engine_);
  ASSERT_EQ(other.open(path()), 0);
  EXPECT_EQ(other.read(op::kGetNext, 0).status, status::kInvalidPositioning);
  EXPECT_EQ(other.call(op::kUpdate, rec("AAAA", 1), "", 0).status, status::kInvalidPositioning);
  // 3 after Close.
  ASSERT_EQ(other.call(op::kClose, "", "", 0).status, 0);
  EXPECT_EQ(other.read(op::kGetFirst, 0).status, status::kFileNotOpen);
}

TEST_P(EngineTest, StatAnswersTheCreateLayoutWithCountAndAcs) {
  std::string table(256, '\0');
  for (int i = 0; i < 256; ++i) table[i] = char(255 - i);
  std::string fileSpec =
      specBytes(20, {key({segment(1, 4, keyflag::kAlternate), segment(5, 2, 0, keytype::kInteger)}),
                     key({segment(7, 4, keyflag::kDuplicates | keyflag::kBinary)})},
                {table});
  ASSERT_EQ(fileSpec.size(), 16u + 3 * 16 + 265);
  Handle h(*engine_);
  ASSERT_EQ(h.create(path(), fileSpec), 0);
  ASSERT_EQ(h.open(path()), 0);
  testutil::Reply st = h.read(op::kStat, 0);
  ASSERT_EQ(st.status, 0);
  EXPECT_EQ(st.data, fileSpec);
  EXPECT_EQ(readLe16(st.data.data() + 4), 2);
  ASSERT_EQ(h.insert(record("a", 20)), 0);
  ASSERT_EQ(h.insert(record("b", 20)), 0);
  EXPECT_EQ(readLe32(h.read(op::kStat, 0).data.data() + 6), 2u);
  EXPECT_EQ(h.read(op::kStat, 0, "", long(fileSpec.size() - 1)).status, status::kDataBufferLength);
}

TEST_P(EngineTest, CreateAndOpen) {
  Handle h(*engine_);
  std::string fileSpec = specBytes(8, {key({segment(1, 8)})});
  EXPECT_EQ(h.open(path()), status::kFileNotFound);
  ASSERT_EQ(h.create(path(), fileSpec), 0);
  ASSERT_EQ(h.open(path()), 0);
  ASSERT_EQ(h.insert("ABCDEFGH"), 0);
  EXPECT_EQ(h.create(path(), fileSpec, -1), status::kFileAlreadyExists);  // never replaces
  EXPECT_EQ(h.read(op::kGetFirst, 0).data, "ABCDEFGH");
  // Unsupported types and bad segments are refused at Create.
  EXPECT_EQ(h.create(path("f.dat"), specBytes(8, {key({segment(1, 4, 0, 2 /*float*/)})})), kStatusInvalidKeyFlags);
  EXPECT_EQ(h.create(path("g.dat"), specBytes(8, {key({segment(6, 4)})})), 27);
  EXPECT_EQ(h.create(path("h.dat"), specBytes(8, {key({segment(1, 4, keyflag::kAlternate)})})), kStatusInvalidAcs);
  EXPECT_FALSE(fileExists(path("f.dat")));

}

TEST_P(EngineTest, NullKeysLeaveRecordsOutAndAutoIncrementNumbers) {
  Handle h(*engine_);
  KeySpec text = key({segment(5, 4, keyflag::kNullAll | keyflag::kDuplicates)});
  text.segments[0].nullValue = ' ';
  ASSERT_EQ(h.create(path(), specBytes(8, {key({segment(1, 4, 0, keytype::kAutoIncrement)}), text})), 0);
  ASSERT_EQ(h.open(path()), 0);
  ASSERT_EQ(h.insert(le32(0) + "    "), 0);
  ASSERT_EQ(h.insert(le32(0) + "KEYS"), 0);
  ASSERT_EQ(h.insert(le32(10) + "    "), 0);
  testutil::Reply r = h.call(op::kInsert, le32(0) + "MORE", "", 0);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(readLe32(r.data.data()), 11u);  // filled in and handed back
  testutil::Reply first = h.read(op::kGetFirst, 1);
  EXPECT_EQ(first.data, le32(2) + "KEYS");
  EXPECT_EQ(h.read(op::kGetNext, 1, first.key).data, le32(11) + "MORE");
  EXPECT_EQ(h.read(op::kGetNext, 1, first.key).status, status::kEndOfFile);
}

// ---- Record locks and other processes ---------------------------------------

#ifndef _WIN32  // other terminals are forked children
TEST_P(EngineTest, RecordLockOfAnotherProcessGives84UntilItDies) {
  Handle h(*engine_);
  ASSERT_EQ(h.create(path(), specBytes(8, {key({segment(1, 4)})})), 0);
  ASSERT_EQ(h.open(path()), 0);
  ASSERT_EQ(h.insert("AAAArec1"), 0);
  ASSERT_EQ(h.insert("BBBBrec2"), 0);

  std::string p = path();
  pid_t child = runChild([this, p] {
    // Kept until the process is killed: closing would drop the lock.
    auto* other = scratch_.makeEngine().release();
    auto* c = new Handle(*other);
    if (c->open(p) != 0 || c->read(op::kGetEqual + 200, 0, "AAAA").status != 0) ::_exit(1);
  });
  ASSERT_GT(child, 0);

  ASSERT_EQ(h.read(op::kGetEqual, 0, "AAAA").status, 0);  // reading without a lock works
  EXPECT_EQ(h.call(op::kUpdate, "AAAAnew!", "", 0).status, status::kRecordLocked);
  EXPECT_EQ(h.call(op::kDelete, "", "", 0).status, status::kRecordLocked);
  EXPECT_EQ(h.read(op::kGetEqual + 200, 0, "AAAA").status, status::kRecordLocked);
  ASSERT_EQ(h.read(op::kGetEqual + 200, 0, "BBBB").status, 0);  // another record is free

  killChild(child);
  ASSERT_EQ(h.read(op::kGetEqual + 200, 0, "AAAA").status, 0);
  EXPECT_EQ(h.call(op::kUpdate, "AAAAnew!", "", 0).status, 0);
  EXPECT_EQ(h.read(op::kGetEqual, 0, "AAAA").data, "AAAAnew!");
}
#endif

TEST_P(EngineTest, LocksBetweenPositionBlocksOfOneProcess) {
  Handle a(*engine_), b(*engine_);
  ASSERT_EQ(a.create(path(), specBytes(8, {key({segment(1, 4)})})), 0);
  ASSERT_EQ(a.open(path()), 0);
  ASSERT_EQ(b.open(path()), 0);
  ASSERT_EQ(a.insert("AAAArec1"), 0);
  ASSERT_EQ(a.insert("BBBBrec2"), 0);
  ASSERT_EQ(a.read(op::kGetEqual + 200, 0, "AAAA").status, 0);
  EXPECT_EQ(b.read(op::kGetEqual + 200, 0, "AAAA").status, status::kRecordLocked);
  // Taking another single lock releases the first.
  ASSERT_EQ(a.read(op::kGetEqual + 200, 0, "BBBB").status, 0);
  EXPECT_EQ(b.read(op::kGetEqual + 200, 0, "AAAA").status, 0);
  EXPECT_EQ(a.call(op::kUpdate, "BBBBrec3", "", 0).status, 0);  // releases BBBB
  EXPECT_EQ(b.read(op::kGetEqual + 200, 0, "BBBB").status, 0);
  ASSERT_EQ(b.call(op::kUnlock, "", "", 0).status, 0);
  // Multiple locks stay until unlocked all together.
  ASSERT_EQ(a.read(op::kGetEqual + 400, 0, "AAAA").status, 0);
  ASSERT_EQ(a.read(op::kGetEqual + 400, 0, "BBBB").status, 0);
  EXPECT_EQ(b.read(op::kGetEqual + 200, 0, "AAAA").status, status::kRecordLocked);
  ASSERT_EQ(a.call(op::kUnlock, "", "", -2).status, 0);
  EXPECT_EQ(b.read(op::kGetEqual + 200, 0, "AAAA").status, 0);
  EXPECT_EQ(a.call(op::kInsert + 200, "CCCCrec4", "", 0).status, status::kInvalidOperation);
}


#ifndef _WIN32  // other terminals are forked children
// A file another terminal has open is never replaced under it (its writes
// would be lost): 85 after the busy time; closed, it is replaced.
TEST_P(EngineTest, ReplaceWaitsForTheTerminalsThatHaveTheFileOpen) {
  auto impatient = scratch_.makeEngine(100);
  Handle h(*impatient);
  const std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  const std::string p = path();
  ASSERT_EQ(h.create(p, fileSpec), 0);
  pid_t child = runChild([this, p] {
    auto* other = scratch_.makeEngine().release();
    auto* c = new Handle(*other);
    if (c->open(p) != 0 || c->insert("AAAArec1") != 0) ::_exit(1);
  });
  ASSERT_GT(child, 0);
  EXPECT_EQ(h.create(p, fileSpec, 0), status::kFileLocked);
  killChild(child);
  ASSERT_EQ(h.open(p), 0);
  EXPECT_EQ(h.read(op::kGetFirst, 0).data, "AAAArec1");
  EXPECT_EQ(h.create(p, fileSpec, 0), status::kFileLocked);  // open here too
  ASSERT_EQ(h.reset(), 0);
  ASSERT_EQ(h.create(p, fileSpec, 0), 0);
  ASSERT_EQ(h.open(p), 0);
  EXPECT_EQ(h.read(op::kGetFirst, 0).status, status::kEndOfFile);
}

// Terminals that start together on an installation without the file (and,
// on a server, without anything made yet): one makes it, the others find
// it made (59), and every record each of them stores is kept.
TEST_P(EngineTest, TerminalsCreatingTogetherKeepEveryRecord) {
  constexpr int kTerminals = 6, kRecords = 20;
  const std::string fileSpec = specBytes(8, {key({segment(1, 4)})});
  const std::string p = path();
  std::vector<pid_t> children;
  for (int t = 0; t < kTerminals; ++t) {
    pid_t pid = ::fork();
    if (pid == 0) {
      auto engine = scratch_.makeEngine();
      Handle c(*engine);
      int16_t st = c.create(p, fileSpec);
      if (st != 0 && st != status::kFileAlreadyExists) ::_exit(2);
      if (c.open(p) != 0) ::_exit(3);
      for (int i = 0; i < kRecords; ++i)
        if (c.insert(record(std::string(1, char('A' + t)) + char('a' + i) + "..", 8)) != 0) ::_exit(4);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int st = 0;
    ::waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "status " << st;
  }
  Handle h(*engine_);
  ASSERT_EQ(h.open(p), 0);
  EXPECT_EQ(readLe32(h.read(op::kStat, 0).data.data() + 6), uint32_t(kTerminals * kRecords));
  int stored = 0;
  for (testutil::Reply r = h.read(op::kGetFirst, 0); r.status == 0; r = h.read(op::kGetNext, 0, r.key)) ++stored;
  EXPECT_EQ(stored, kTerminals * kRecords);
}
#endif

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest, ::testing::Values(EngineKind::Sqlite, EngineKind::Postgres),
                         testutil::engineKindName);
INSTANTIATE_TEST_SUITE_P(Engines, DuplicatesTest, ::testing::Values(EngineKind::Sqlite, EngineKind::Postgres),
                         testutil::engineKindName);

}  // namespace
}  // namespace xt
