// A program on a scratch installation whose record engine is the SQLite
// engine seen through a recorder: every call is logged (with screen row 24
// as it stood), and scripted statuses can be answered instead.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "../platform/engine_test_util.h"
#include "data/file_table.h"
#include "platform/files.h"
#include "platform/sqlite_engine.h"
#include "testing/test_program.h"

namespace xt::testutil {

class RecordingEngine : public RecordEngine {
 public:
  struct Call {
    int16_t operation;
    uint32_t dataLength;
    int keyLength;
    int16_t keyNumber;
    std::string screen;  // the screen as it stood
  };
  RecordingEngine(RecordEngine& inner, FakeConsole& console) : inner_(inner), console_(console) {}

  int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data, uint32_t& dataLength,
               uint8_t* key, int keyLength, int16_t keyNumber) override {
    calls.push_back({operation, dataLength, keyLength, keyNumber, console_.dump()});
    if (!forced.empty() && operation != op::kStat) {
      int16_t st = forced.front();
      forced.pop_front();
      return st;
    }
    return inner_.call(operation, positionBlock, data, dataLength, key, keyLength, keyNumber);
  }
  std::vector<int16_t> operations() const {
    std::vector<int16_t> out;
    for (const Call& c : calls) out.push_back(c.operation);
    return out;
  }

  std::vector<Call> calls;
  // Answered (without calling through) one per call, Stat calls excepted.
  std::deque<int16_t> forced;

 private:
  RecordEngine& inner_;
  FakeConsole& console_;
};

// Keeps the screen as it stood whenever typed keys were discarded (the
// moment a message box waits for its key).
class CapturingConsole : public FakeConsole {
 public:
  void discardInput() override {
    FakeConsole::discardInput();
    screens.push_back(dump());
  }
  std::vector<std::string> screens;
};

// Runs in the scratch root, as the program runs in the installation root:
// db.log is written there.
class DataTest : public ::testing::Test {
 protected:
  DataTest() : savedDirectory_(currentDirectory()) {
    program.settings = tp.program().settings;
    program.settings.languageCode = "CAT";
    EXPECT_TRUE(changeDirectory(tp.root()));
  }
  ~DataTest() override { changeDirectory(savedDirectory_); }
  // Writes root/ddf/<base>.xdf holding fileSpec.
  void writeDictionary(const std::string& base, const std::string& fileSpec) {
    std::string content(2, '\0');
    writeLe16(content.data(), uint16_t(fileSpec.size()));
    tp.dir().write("ddf/" + base + ".xdf", content + fileSpec);
  }
  // An operator-like file: 12-byte records, key 0 the 4-byte code, key 1 a
  // 4-byte binary number (duplicates).
  void openSample(int16_t fileId = 52) {
    writeDictionary("Sample", specBytes(12, {key({segment(1, 4, keyflag::kModifiable)}),
                                             key({segment(5, 4, keyflag::kBinary | keyflag::kDuplicates)})}));
    ASSERT_EQ(openDataFile(program.data, fileId, tp.root() + "Sample", buffer), 0);
  }
  std::string record() const { return std::string(reinterpret_cast<const char*>(buffer), 12); }
  void setRecord(const std::string& r) {
    std::string s = r;
    s.resize(12, ' ');
    std::memcpy(buffer, s.data(), 12);
  }

  std::string savedDirectory_;
  TestProgram tp;
  SqliteEngine real;
  CapturingConsole console;
  RecordingEngine engine{real, console};
  Program program{console, tp.system(), tp.fs(), engine};
  uint8_t buffer[64] = {};
};

}  // namespace xt::testutil
