#include <sqlite3.h>

#include "data/operation_log.h"
#include "data/record_ops.h"
#include "data_test_util.h"
#include "startup/program.h"

namespace xt {
namespace {

// The demo installation's operator dictionary creates Operador on first
// start, and what the program stores is plain SQLite.
using DemoDataTest = testutil::DataTest;

TEST_F(DemoDataTest, DemoOperatorFileOpensAndStaysReadableBySqlite) {
  copyTree(demoSourceDir() + "ddf", tp.root() + "ddf");
  std::string saved = currentDirectory();
  ASSERT_TRUE(changeDirectory(tp.root()));
  uint8_t operatorRecord[17];
  ASSERT_EQ(openDataFile(program.data, 52, tp.root() + "Operador", operatorRecord), 0);
  FileSlot& slot = program.data.table.slots[findFileSlot(program.data, 52)];
  EXPECT_EQ(slot.recordLength, 17);
  EXPECT_EQ(slot.keyBuffer, std::string(8, '\0'));
  std::memcpy(operatorRecord, "ADMIN   Admin   \x00", 17);
  ASSERT_EQ(insertRecord(program.data, 52), 0);
  ASSERT_EQ(findByKey(program.data, 52, 0, "ADMIN   ", 0), 0);
  operatorRecord[16] = 1;
  ASSERT_EQ(updateRecord(program.data, 52), 0);
  // The code may not change.
  std::memcpy(operatorRecord, "OTHER   ", 8);
  EXPECT_EQ(updateRecord(program.data, 52), status::kModifiableKeyValue);
  ASSERT_EQ(resetAllFiles(program.data), 0);
  changeDirectory(saved);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((tp.root() + "Operador.dat").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT data FROM records", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  std::string data(static_cast<const char*>(sqlite3_column_blob(st, 0)), size_t(sqlite3_column_bytes(st, 0)));
  EXPECT_EQ(data, std::string("ADMIN   Admin   \x01", 17));
  EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace
}  // namespace xt
