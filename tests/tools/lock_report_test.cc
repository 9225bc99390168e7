#include "tools/lock_report.h"

#include <gtest/gtest.h>

#include "data/record_locks.h"
#include "platform/files.h"
#include "testing/test_program.h"

namespace xt {
namespace {

// A lock record as the program writes it (data/record_locks.h).
std::string record(const std::string& name, const std::string& owner, const std::string& stamp, char type,
                   const std::string& first, const std::string& last) {
  auto field = [](std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
  };
  return field(name, 15) + field(owner, 11) + field(stamp, 8) + type + field(std::to_string(first.size()), 2) +
         field(first, 40) + field(std::to_string(last.size()), 2) + field(last, 40) + "\r\n";
}

// The records the program itself writes read back: holder, stamp, type,
// keys; a released record is free, and the stale limit is the program's.
TEST(LockReport, ReadsWhatTheProgramWrites) {
  TestProgram tp;
  DataFiles& files = tp.program().data;
  tp.system().setNow({2026, 12, 9, 10, 30, 0, 0});
  files.locks.ownerId = -2002;
  files.locks.computerName = "TERMINAL2";
  files.locks.lockWaitMode = 'S';
  ASSERT_EQ(lockRecordKey(files, "Operador", "ANNA    "), 0);
  ASSERT_EQ(lockRecordKey(files, "Operador", "PERE\xC1"), 0);
  ASSERT_EQ(acquireLock(files, "Fitxer", "F", "", ""), 0);
  ASSERT_EQ(releaseLock(files, "Fitxer"), 0);
  const int32_t now = lockTimeNow(files);

  const std::string content = readWholeFile(tp.root() + "LOCKS/Operador.lck").value_or("");
  size_t cutShort = 1;
  std::vector<LockEntry> entries = parseLockFile(content, now, cutShort);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(cutShort, 0u);
  EXPECT_EQ(entries[0].position, 1);
  EXPECT_EQ(entries[0].computerName, "TERMINAL2");
  EXPECT_EQ(entries[0].ownerId, "-2002");
  EXPECT_EQ(entries[0].stamp, now);
  EXPECT_EQ(entries[0].type, 'K');
  EXPECT_EQ(entries[0].firstKey, "ANNA    ");
  EXPECT_EQ(entries[0].lastKey, "ANNA    ");
  EXPECT_FALSE(entries[0].free);
  EXPECT_FALSE(entries[0].stale);
  EXPECT_EQ(entries[1].firstKey, "PERE65");

  // Stale exactly when the program would free it on its next scan.
  EXPECT_FALSE(parseLockFile(content, now + kStaleLockMinutes, cutShort)[0].stale);
  EXPECT_TRUE(parseLockFile(content, now + kStaleLockMinutes + 1, cutShort)[0].stale);

  entries = parseLockFile(readWholeFile(tp.root() + "LOCKS/Fitxer.lck").value_or(""), now, cutShort);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].free);
  EXPECT_FALSE(entries[0].stale);
}

TEST(LockReport, OneLinePerRecord) {
  const int64_t now = 29412100;
  struct Case {
    std::string record;
    std::string line;
  } cases[] = {
      {record("TERMINAL1", "1001", "29412097", 'K', "ANNA    ", "ANNA    "),
       "    1  held   K  TERMINAL1        1001              3 min  \"ANNA    \" .. \"ANNA    \""},
      {record("HOST2", "-77", "29412000", 'K', "A\"\\\x01\xE9", "Z"),
       "    1  stale  K  HOST2            -77             100 min  \"A\\\"\\\\\\x01\\xE9\" .. \"Z\""},
      {record("HOST2", "-77", "29412070", 'F', "", ""),
       "    1  held   F  HOST2            -77              30 min  (whole file)"},
      {record("", "", "29412000", ' ', "ANNA", "ANNA"), "    1  free"},
      // Another type than F or K: no key range, no file lock.
      {record("HOST2", "-77", "29412090", 'X', "ANNA", "ANNA"),
       "    1  held   X  HOST2            -77              10 min"},
      // A blank owner id is never taken for stale.
      {record("HOST3", "", "1", 'K', "B", "C"),
       "    1  held   K  HOST3                         29412099 min  \"B\" .. \"C\""},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.record.size(), size_t(kLockRecordSize));
    EXPECT_EQ(lockReport("L.lck", c.record, now), "L.lck: 1 record\n" + c.line + "\n") << c.line;
  }
}

TEST(LockReport, CountsRecordsAndTellsOfOneCutShort) {
  const std::string held = record("T", "1", "100", 'K', "A", "A");
  const std::string report = lockReport("L.lck", held + held + held.substr(0, 50), 100);
  EXPECT_EQ(report,
            "L.lck: 2 records\n"
            "    1  held   K  T                1                 0 min  \"A\" .. \"A\"\n"
            "    2  held   K  T                1                 0 min  \"A\" .. \"A\"\n"
            "       a record cut short (50 bytes) at the end: the next lock overwrites it\n");
  EXPECT_EQ(lockReport("L.lck", "", 100), "L.lck: 0 records\n");
}

}  // namespace
}  // namespace xt
