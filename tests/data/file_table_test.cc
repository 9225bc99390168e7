#include "data/file_table.h"

#include "data_test_util.h"
#include "startup/program.h"

namespace xt {
namespace {

using testutil::DataTest;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

TEST(DataFileNameTest, SplitsDirectoryBaseAndExtension) {
  struct Case {
    const char* name;
    const char* directory;
    const char* base;
    const char* extension;
  } cases[] = {
      {"C:\\DATA\\CLIENTS", "C:\\DATA\\", "CLIENTS", ".dat"},
      {"A.B.C", "", "A", ".B.C"},
      {"DIR.X\\FILE", "DIR.X\\", "FILE", ".dat"},
      {"D:FILE.TXT", "D:", "FILE", ".TXT"},
      {"/srv/tav/Operador", "/srv/tav/", "Operador", ".dat"},
  };
  for (const Case& c : cases) {
    DataFileName n = splitDataFileName(c.name);
    EXPECT_EQ(n.directory, c.directory) << c.name;
    EXPECT_EQ(n.base, c.base) << c.name;
    EXPECT_EQ(n.extension, c.extension) << c.name;
  }
}

TEST_F(DataTest, SlotsFillFromFortyDownAndRefuseRepeatsAndOverflow) {
  writeDictionary("One", specBytes(8, {key({segment(1, 8)})}));
  writeDictionary("Two", specBytes(8, {key({segment(1, 8)})}));
  ASSERT_EQ(openDataFile(program.data, 52, tp.root() + "One", buffer), 0);
  ASSERT_EQ(openDataFile(program.data, 7, tp.root() + "Two", buffer), 0);
  EXPECT_EQ(findFileSlot(program.data, 52), 40);
  EXPECT_EQ(findFileSlot(program.data, 7), 39);
  EXPECT_EQ(findFileSlot(program.data, 8), -38);

  EXPECT_EQ(openDataFile(program.data, 52, tp.root() + "Two", buffer), kStatusAlreadyOpen);
  EXPECT_EQ(program.data.table.slots[40].fileId, 52);
  EXPECT_EQ(program.data.table.slots[40].recordLength, 8);

  for (int s = 1; s <= 38; ++s) {
    program.data.table.slots[s].inUse = true;
    program.data.table.slots[s].fileId = int16_t(100 + s);
  }
  EXPECT_EQ(findFileSlot(program.data, 9), 0);
  EXPECT_EQ(openDataFile(program.data, 9, tp.root() + "One", buffer), kStatusNoFreeSlot);
}

TEST_F(DataTest, IdentifierZeroHoldsItsSlotLikeAnyOther) {
  writeDictionary("One", specBytes(8, {key({segment(1, 8)})}));
  ASSERT_EQ(openDataFile(program.data, 0, tp.root() + "One", buffer), 0);
  EXPECT_EQ(findFileSlot(program.data, 0), 40);
  EXPECT_EQ(openDataFile(program.data, 0, tp.root() + "One", buffer), kStatusAlreadyOpen);
  ASSERT_EQ(openDataFile(program.data, 5, tp.root() + "One", buffer), 0);
  EXPECT_EQ(findFileSlot(program.data, 5), 39);
  ASSERT_EQ(resetAllFiles(program.data), 0);
  EXPECT_EQ(findFileSlot(program.data, 0), -40);
}

TEST_F(DataTest, MissingFileIsCreatedFromTheDictionaryUnderTheRoot) {
  // The dictionary lies under TAVROOT's ddf\ whatever the file's directory.
  writeDictionary("Clients", specBytes(30, {key({segment(1, 4), segment(10, 6)}), key({segment(20, 2)})}));
  tp.dir().write("data/keep", "");
  ASSERT_EQ(openDataFile(program.data, 3, tp.root() + "data\\Clients", buffer), 0);
  EXPECT_TRUE(fileExists(tp.root() + "data/Clients.dat"));
  FileSlot& slot = program.data.table.slots[40];
  EXPECT_EQ(slot.keyBuffer, std::string(10, '\0'));
  EXPECT_EQ(slot.recordLength, 30);
  EXPECT_EQ(slot.lockMode, 0);
  // The engine saw: Open (12), Create with key number -1, Open, Stat.
  ASSERT_GE(engine.calls.size(), 3u);
  EXPECT_EQ(engine.calls[0].operation, op::kOpen);
  EXPECT_EQ(engine.calls[0].dataLength, 5u);
  EXPECT_EQ(engine.calls[1].operation, op::kCreate);
  EXPECT_EQ(engine.calls[1].keyNumber, -1);
  EXPECT_EQ(engine.calls[2].operation, op::kOpen);

  int16_t keyLength = -1;
  int32_t recordLength = -1;
  queryKeyLength(program.data, 3, 1, keyLength, recordLength);
  EXPECT_EQ(keyLength, 2);
  queryKeyLength(program.data, 3, 2, keyLength, recordLength);  // as many as there are keys
  EXPECT_EQ(keyLength, 0);
  EXPECT_EQ(recordLength, 30);
  queryKeyLength(program.data, 99, 0, keyLength, recordLength);
  EXPECT_EQ(keyLength, 0);
  EXPECT_EQ(recordLength, 0);
}

TEST_F(DataTest, LockedFileIsRetriedEveryThreeSeconds) {
  writeDictionary("One", specBytes(8, {key({segment(1, 8)})}));
  engine.forced = {status::kFileLocked, status::kFileLocked};
  ASSERT_EQ(openDataFile(program.data, 1, tp.root() + "One", buffer), 0);
  EXPECT_EQ(tp.system().pauses, (std::vector<int>{3000, 3000}));
}

TEST_F(DataTest, CreateRefusedWhileTheOldFileIsInUseIsRetriedEveryThreeSeconds) {
  writeDictionary("One", specBytes(8, {key({segment(1, 8)})}));
  // Missing, and a terminal still has the deleted file open, twice.
  engine.forced = {status::kFileNotFound, status::kFileLocked, status::kFileNotFound, status::kFileLocked};
  ASSERT_EQ(openDataFile(program.data, 1, tp.root() + "One", buffer), 0);
  EXPECT_EQ(tp.system().pauses, (std::vector<int>{3000, 3000}));
  EXPECT_EQ(engine.operations(),
            (std::vector<int16_t>{op::kOpen, op::kCreate, op::kOpen, op::kCreate, op::kOpen, op::kCreate, op::kOpen,
                                  op::kStat}));
  EXPECT_TRUE(fileExists(tp.root() + "One.dat"));
}

// A fatal open is shown to the operator (a key takes it off) and its
// status returned: ending the program is the caller's.
TEST_F(DataTest, FailedOpenShowsTheMessageAndReturnsTheStatus) {
  writeDictionary("Other", specBytes(8, {key({segment(1, 8)})}));
  ASSERT_EQ(openDataFile(program.data, 1, tp.root() + "Other", buffer), 0);
  program.settings.languageCode = "OCI";
  // No dictionary: the Create is refused and the open is fatal.
  EXPECT_EQ(openDataFile(program.data, 2, "NoSuch", buffer), status::kInvalidRecordLength);
  EXPECT_EQ(console.beeps(), 1);
  EXPECT_GE(console.discards(), 1);
  ASSERT_EQ(console.screens.size(), 1u);
  EXPECT_NE(console.screens[0].find("NON SE P\xE3T ACCEDIR ATH FICH\xD4R NoSuch (28)"), std::string::npos);
  // The box was closed again; its text was on row 12 while the key was awaited.
  EXPECT_EQ(console.text(12, 1, 12, 80).find("FICH"), std::string::npos);
}

TEST_F(DataTest, FileWithRecordsLongerThanTheBufferIsRefused) {
  // A data file made from another dictionary: every request would copy 40
  // bytes in and out of a 17-byte record.
  writeDictionary("Wide", specBytes(40, {key({segment(1, 4)})}));
  uint8_t narrow[17] = {};
  EXPECT_EQ(openDataFile(program.data, 2, tp.root() + "Wide", narrow), status::kDataBufferLength);
  ASSERT_EQ(console.screens.size(), 1u);
  EXPECT_NE(console.screens[0].find("Wide (22)"), std::string::npos) << console.screens[0];

  // The same file opens with a buffer that holds its records.
  ASSERT_EQ(resetAllFiles(program.data), 0);
  EXPECT_EQ(openDataFile(program.data, 2, tp.root() + "Wide", buffer), 0);
}

TEST_F(DataTest, FileCreatedMeanwhileByAnotherTerminalIsOpened) {
  writeDictionary("One", specBytes(8, {key({segment(1, 8)})}));
  ASSERT_EQ(openDataFile(program.data, 1, tp.root() + "One", buffer), 0);
  ASSERT_EQ(resetAllFiles(program.data), 0);
  // This terminal found no file, the other one created it first.
  engine.forced = {status::kFileNotFound, status::kFileAlreadyExists};
  EXPECT_EQ(openDataFile(program.data, 1, tp.root() + "One", buffer), 0);
  EXPECT_EQ(program.data.table.slots[40].recordLength, 8);
}

TEST_F(DataTest, FatalMessageTextInEachLanguage) {
  struct Case {
    const char* language;
    std::string text;
  } cases[] = {
      {"CAT", "NO ES POT ACCEDIR AL FITXER NoSuch (28)"},
      {"SPA", "NO SE PUEDE ACCEDER AL FICHERO NoSuch (28)"},
      {"OCI", "NON SE P\xE3T ACCEDIR ATH FICH\xD4R NoSuch (28)"},
  };
  for (const Case& c : cases) {
    program.settings.languageCode = c.language;
    console.screens.clear();
    EXPECT_EQ(openDataFile(program.data, 2, "NoSuch", buffer), status::kInvalidRecordLength);
    ASSERT_EQ(resetAllFiles(program.data), 0);
    ASSERT_EQ(console.screens.size(), 1u);
    EXPECT_NE(console.screens[0].find(c.text), std::string::npos) << c.language << "\n" << console.screens[0];
  }
}

TEST_F(DataTest, ResetClearsTheTable) {
  openSample();
  program.data.table.slots[40].lockMode = 2;
  ASSERT_EQ(resetAllFiles(program.data), 0);
  EXPECT_EQ(program.data.table.slots[40].fileId, 0);
  EXPECT_EQ(program.data.table.slots[40].lockMode, 0);
  EXPECT_EQ(program.data.table.slots[40].recordAddress, nullptr);
  EXPECT_EQ(findFileSlot(program.data, 52), -40);
  // A failed reset leaves the table alone.
  openSample();
  engine.forced = {status::kIoError};
  EXPECT_EQ(resetAllFiles(program.data), status::kIoError);
  EXPECT_EQ(findFileSlot(program.data, 52), 40);
}

}  // namespace
}  // namespace xt
