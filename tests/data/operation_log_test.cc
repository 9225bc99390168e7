#include "data/operation_log.h"

#include "data/record_ops.h"
#include "data_test_util.h"
#include "startup/program.h"

namespace xt {
namespace {

using testutil::DataTest;

TEST(LogLineTest, PrintZoneLayout) {
  EXPECT_EQ(logLine(52, 2, 0), " 52 " + std::string(10, ' ') + " 2 " + std::string(11, ' ') + " 0 \r\n");
  EXPECT_EQ(logLine(-7, 3, -1234), "-7 " + std::string(11, ' ') + " 3 " + std::string(11, ' ') + "-1234 \r\n");
  // A long number still gets at least one blank of padding to its zone.
  EXPECT_EQ(logLine(-1234567890, 2, 22), "-1234567890 " + std::string(2, ' ') + " 2 " + std::string(11, ' ') + " 22 \r\n");
  EXPECT_EQ(logLine(123456789, 2, 0).substr(0, 14), " 123456789 " + std::string(3, ' '));
}

class OperationLogTest : public DataTest {
 protected:
  void SetUp() override {
    saved_ = currentDirectory();
    ASSERT_TRUE(changeDirectory(tp.root()));
    openSample();
  }
  void TearDown() override { changeDirectory(saved_); }
  std::string log() { return tp.dir().read("db.log"); }
  std::string saved_;
};

TEST_F(OperationLogTest, InsertsAppendALineEachWhateverTheOutcome) {
  tp.dir().write("db.log", "earlier\r\n");
  setRecord("AAAA");
  ASSERT_EQ(insertRecord(program.data, 52), 0);
  EXPECT_EQ(program.data.table.slots[40].keyBuffer, "AAAA");
  setRecord("AAAA");
  EXPECT_EQ(insertRecord(program.data, 52), status::kDuplicateKey);
  EXPECT_EQ(program.data.table.slots[40].keyBuffer, std::string(4, '\0'));
  EXPECT_EQ(log(), "earlier\r\n" + logLine(52, 2, 0) + logLine(52, 2, 5));
  EXPECT_EQ(insertRecord(program.data, 9), status::kFileNotOpen);
  EXPECT_EQ(log(), "earlier\r\n" + logLine(52, 2, 0) + logLine(52, 2, 5));
}

TEST_F(OperationLogTest, UpdateRereadsTheRecordAtItsPosition) {
  setRecord("AAAAxxxxold!");
  ASSERT_EQ(insertRecord(program.data, 52), 0);
  setRecord("BBBBxxxxold!");
  ASSERT_EQ(insertRecord(program.data, 52), 0);
  ASSERT_EQ(findByKey(program.data, 52, 0, "AAAA", 0), 0);
  setRecord("AAAAxxxxnew!");
  ASSERT_EQ(updateRecord(program.data, 52), 0);
  EXPECT_EQ(record(), "AAAAxxxxnew!");
  // A failed update (the code of another record) leaves the stored record
  // in the buffer, read back at its position.
  setRecord("BBBBxxxxlost");
  EXPECT_EQ(updateRecord(program.data, 52), status::kDuplicateKey);
  EXPECT_EQ(record(), "AAAAxxxxnew!");
  EXPECT_TRUE(program.entry.state.values.bytes.empty());
  EXPECT_EQ(log(), logLine(52, 2, 0) + logLine(52, 2, 0) + logLine(52, 3, 0) + logLine(52, 3, 5));
}

TEST_F(OperationLogTest, UpdateWithoutCurrentRecordLogsItsStatus) {
  setRecord("AAAAxxxxdata");
  engine.calls.clear();
  EXPECT_EQ(updateRecord(program.data, 52), status::kInvalidPositioning);
  EXPECT_EQ(log(), logLine(52, 3, 8));
  EXPECT_EQ(record(), "AAAAxxxxdata");
  // Position 0 saved: the last call only asks for the position again.
  EXPECT_EQ(engine.operations(), (std::vector<int16_t>{op::kGetPosition, op::kUpdate, op::kGetPosition}));
}

}  // namespace
}  // namespace xt
