#include "data/record_ops.h"

#include "data/operation_log.h"
#include "data_test_util.h"
#include "startup/program.h"

namespace xt {
namespace {

using testutil::DataTest;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  writeLe32(s.data(), v);
  return s;
}

class RecordOpsTest : public DataTest {
 protected:
  void SetUp() override {
    openSample();
    for (auto [code, n] : {std::pair<const char*, uint32_t>{"AAAA", 3}, {"BBBB", 1}, {"CCCC", 2}, {"DDDD", 1}}) {
      setRecord(code + le32(n) + "data");
      ASSERT_EQ(insertRecord(program.data, 52), 0);
    }
    engine.calls.clear();
  }
  std::string code() const { return record().substr(0, 4); }
  FileSlot& slot() { return program.data.table.slots[40]; }
};

TEST_F(RecordOpsTest, FindByKeyPadsTheKeyAndChoosesTheOperation) {
  ASSERT_EQ(findByKey(program.data, 52, 0, "BB", 1), 0);  // "BB\0\0" or greater
  EXPECT_EQ(code(), "BBBB");
  EXPECT_EQ(slot().keyBuffer, "BBBB");
  EXPECT_EQ(engine.calls.back().operation, op::kGetGreaterOrEqual);
  EXPECT_EQ(engine.calls.back().keyLength, 4);
  EXPECT_EQ(findByKey(program.data, 52, 0, "BB", 0), status::kKeyNotFound);
  EXPECT_EQ(findByKey(program.data, 52, 0, "CZ", -1), 0);
  EXPECT_EQ(code(), "CCCC");
  EXPECT_EQ(engine.calls.back().operation, op::kGetLessOrEqual);
  // Key 1 is binary: 4 bytes.
  ASSERT_EQ(findByKey(program.data, 52, 1, le32(2), 0), 0);
  EXPECT_EQ(code(), "CCCC");
  EXPECT_EQ(slot().keyNumber, 1);
  // A key number the file does not have changes nothing.
  EXPECT_EQ(findByKey(program.data, 52, 2, "x", 0), kStatusNoSuchKey);
  EXPECT_EQ(slot().keyNumber, 1);
  EXPECT_EQ(slot().keyBuffer, le32(2));
  EXPECT_EQ(findByKey(program.data, 9, 0, "x", 0), status::kFileNotOpen);
}

TEST_F(RecordOpsTest, SkipRecordsStepsPlainlyAndReadsTheLast) {
  ASSERT_EQ(findByKey(program.data, 52, 0, "AAAA", 0), 0);
  engine.calls.clear();
  ASSERT_EQ(skipRecords(program.data, 52, 3), 0);
  EXPECT_EQ(code(), "DDDD");
  EXPECT_EQ(slot().keyBuffer, "DDDD");
  ASSERT_EQ(engine.calls.size(), 3u);
  EXPECT_EQ(engine.calls[0].dataLength, 1536u);  // plain steps
  EXPECT_EQ(engine.calls[1].dataLength, 1536u);
  EXPECT_EQ(engine.calls[2].dataLength, 12u);  // the full read
  engine.calls.clear();
  ASSERT_EQ(skipRecords(program.data, 52, -1), 0);
  EXPECT_EQ(code(), "CCCC");
  EXPECT_EQ(engine.operations(), (std::vector<int16_t>{op::kGetPrevious}));
  engine.calls.clear();
  EXPECT_EQ(skipRecords(program.data, 52, 0), 0);
  EXPECT_TRUE(engine.calls.empty());
  EXPECT_EQ(skipRecords(program.data, 52, 5), status::kEndOfFile);
}

TEST_F(RecordOpsTest, SkipOnABinaryKeyKeepsTheWholeKey) {
  // Keys holding NUL bytes come back whole, so the next step still offers
  // a key buffer as long as the key.
  ASSERT_EQ(findByKey(program.data, 52, 1, le32(1), 0), 0);
  ASSERT_EQ(skipRecords(program.data, 52, 2), 0);
  EXPECT_EQ(slot().keyBuffer, le32(2));
  EXPECT_EQ(code(), "CCCC");
  ASSERT_EQ(skipRecords(program.data, 52, 1), 0);
  EXPECT_EQ(code(), "AAAA");
}

TEST_F(RecordOpsTest, PhysicalPositionRoundTrip) {
  EXPECT_EQ(recordPosition(program.data, 53, 0), 0);  // not open
  uint8_t other[64] = {};
  ASSERT_EQ(openDataFile(program.data, 53, tp.root() + "Sample", other), 0);
  EXPECT_EQ(recordPosition(program.data, 53, 0), 0);  // open, no current record
  ASSERT_EQ(findByKey(program.data, 52, 0, "CCCC", 0), 0);
  int32_t pos = recordPosition(program.data, 52, 0);
  EXPECT_GT(pos, 0);
  ASSERT_EQ(findByKey(program.data, 52, 0, "AAAA", 0), 0);
  EXPECT_EQ(recordPosition(program.data, 52, pos), 0);
  EXPECT_EQ(code(), "CCCC");
  EXPECT_EQ(slot().keyBuffer, "CCCC");
  EXPECT_EQ(recordPosition(program.data, 52, 9999), 43);
}

TEST_F(RecordOpsTest, LockModesStackPerFile) {
  ASSERT_EQ(setLockMode(program.data, 52, "a"), 0);
  EXPECT_EQ(slot().lockMode, 1);
  ASSERT_EQ(setLockMode(program.data, 52, "+B"), 0);
  EXPECT_EQ(slot().lockMode, 2);
  ASSERT_EQ(setLockMode(program.data, 52, "-"), 0);
  EXPECT_EQ(slot().lockMode, 1);
  EXPECT_TRUE(program.data.table.lockModeStack.empty());
  ASSERT_EQ(setLockMode(program.data, 52, "d-x"), 0);  // nothing saved: unchanged
  EXPECT_EQ(slot().lockMode, 0);
  program.data.table.lockModeStack = std::string("\x05\x02", 2);  // another slot's entry
  ASSERT_EQ(setLockMode(program.data, 52, "+a-"), 0);
  EXPECT_EQ(slot().lockMode, 0);
  EXPECT_EQ(program.data.table.lockModeStack, std::string("\x05\x02", 2));
  EXPECT_EQ(setLockMode(program.data, 9, "A"), status::kFileNotOpen);
}

TEST_F(RecordOpsTest, WaitingLockModeRetriesWithTheMessageFromTheSecondAttempt) {
  ASSERT_EQ(setLockMode(program.data, 52, "A"), 0);
  tp.system().randomScript = {0.25, 0.0};
  engine.forced = {status::kRecordLocked, status::kRecordLocked};
  ASSERT_EQ(findByKey(program.data, 52, 0, "BBBB", 0), 0);
  EXPECT_EQ(code(), "BBBB");
  EXPECT_EQ(tp.system().pauses, (std::vector<int>{2501, 1}));
  EXPECT_EQ(engine.operations(), (std::vector<int16_t>{15, 205, 205, 205}));
  // The first attempt fails silently and its wait passes; the message is
  // up from the second attempt on.
  EXPECT_EQ(engine.calls[1].screen.find("FITXER BLOQUEJAT"), std::string::npos);
  EXPECT_NE(engine.calls[2].screen.find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos);
  EXPECT_NE(engine.calls[3].screen.find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos);
  // Each pause is preceded by sending the screen, the message once it is up.
  ASSERT_EQ(console.pauseScreens.size(), 2u);
  EXPECT_NE(console.pauseScreens[1].find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos);
  EXPECT_EQ(console.dump().find("BLOQUEJAT"), std::string::npos);  // restored
}

TEST_F(RecordOpsTest, ReportingLockModeAnswersAtOnce) {
  ASSERT_EQ(setLockMode(program.data, 52, "B"), 0);
  engine.forced = {status::kRecordLocked};
  EXPECT_EQ(findByKey(program.data, 52, 0, "BBBB", 0), status::kRecordLocked);
  EXPECT_TRUE(tp.system().pauses.empty());
  EXPECT_EQ(engine.calls.back().operation, 205);
}

TEST_F(RecordOpsTest, ReadLocksHoldAgainstAnotherFileSlot) {
  // The same file opened again under another identifier takes its own locks.
  uint8_t other[64] = {};
  ASSERT_EQ(openDataFile(program.data, 53, tp.root() + "Sample", other), 0);
  ASSERT_EQ(setLockMode(program.data, 52, "B"), 0);
  ASSERT_EQ(setLockMode(program.data, 53, "B"), 0);
  ASSERT_EQ(findByKey(program.data, 52, 0, "BBBB", 0), 0);
  EXPECT_EQ(findByKey(program.data, 53, 0, "BBBB", 0), status::kRecordLocked);
  EXPECT_EQ(findByKey(program.data, 53, 0, "CCCC", 0), 0);
  ASSERT_EQ(deleteRecord(program.data, 52), 0);  // the delete releases the lock
  EXPECT_EQ(findByKey(program.data, 53, 0, "BBBB", 0), status::kKeyNotFound);
}

TEST_F(RecordOpsTest, FailedDeleteClearsTheKeyBuffer) {
  ASSERT_EQ(findByKey(program.data, 52, 0, "CCCC", 0), 0);
  ASSERT_EQ(deleteRecord(program.data, 52), 0);
  EXPECT_EQ(findByKey(program.data, 52, 0, "CCCC", 0), status::kKeyNotFound);
  slot().keyBuffer = "ZZZZ";
  EXPECT_EQ(deleteRecord(program.data, 52), status::kInvalidPositioning);
  EXPECT_EQ(slot().keyBuffer, std::string(4, '\0'));
  EXPECT_EQ(deleteRecord(program.data, 9), status::kFileNotOpen);
}

TEST_F(DataTest, SortImageReversesBinaryAndTranslatesAlternateSegments) {
  std::string table(256, '\0');
  for (int i = 0; i < 256; ++i) table[i] = char(i);
  table['a'] = 'A';
  table['b'] = 'B';
  writeDictionary("Sorted", specBytes(16, {key({segment(1, 4, keyflag::kBinary)}),
                                           key({segment(5, 3, keyflag::kAlternate), segment(8, 2, keyflag::kBinary)})},
                                      {table}));
  ASSERT_EQ(openDataFile(program.data, 4, tp.root() + "Sorted", buffer), 0);
  EXPECT_EQ(keySortImage(program.data, "\x01\x02\x03\x04", 4), "\x04\x03\x02\x01");
  EXPECT_EQ(keySortImage(program.data, "\x01\x02", 4), std::string("\0\0\x02\x01", 4));
  program.data.table.slots[40].keyNumber = 1;
  EXPECT_EQ(keySortImage(program.data, "abc\x01\x02", 4), "ABc\x02\x01");
  EXPECT_EQ(keySortImage(program.data, "ab", 4), std::string("AB\0\0\0", 5));  // binary part padded
  program.data.table.slots[40].keyBuffer = "bbx\x07\x08";
  EXPECT_EQ(currentKeySortImage(program.data, 4), "BBx\x08\x07");
  EXPECT_EQ(keySortImage(program.data, "abc", 99), "abc");
  EXPECT_EQ(currentKeySortImage(program.data, 99), "");
}

}  // namespace
}  // namespace xt
