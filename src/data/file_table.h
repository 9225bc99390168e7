// The table of open data files (slots 1..40, slot 0 scratch for the reset),
// opening a file through its dictionary under ddf\, key and record lengths,
// and the reset that closes every file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/record_engine.h"

namespace xt {

struct DataFiles;

constexpr int16_t kStatusAlreadyOpen = 1002;
constexpr int16_t kStatusNoFreeSlot = 1003;
constexpr int16_t kStatusNoSuchKey = 1004;
constexpr int kDataBufferSize = 1536;
constexpr int kFileSlots = 40;

struct FileSlot {
  bool inUse = false;  // a file is open in the slot (any identifier, 0 too)
  int16_t fileId = 0;
  uint8_t positionBlock[kPositionBlockSize] = {};
  uint8_t* recordAddress = nullptr;  // the caller's record buffer
  size_t recordCapacity = 0;         // its size in bytes
  int32_t recordLength = 0;
  int16_t keyNumber = 0;
  std::string keyBuffer;
  int16_t lockMode = 0;
};

struct FileTable {
  FileSlot slots[kFileSlots + 1];
  std::string lockModeStack;  // (slot, mode) byte pairs
};

// The owner name every open passes (four digits and a NUL, 5 bytes); files
// that carry an owner name open only with it.
std::string dataFileOwnerName();

// A data file name split into directory (up to the last ":", "\" or "/"),
// base (up to the first "." after it) and extension (".dat" when none).
struct DataFileName {
  std::string directory, base, extension;
  std::string full() const { return directory + base + extension; }
};
DataFileName splitDataFileName(const std::string& name);

// The slot holding fileId (1..40), else minus the highest free slot, else 0.
// Every identifier is looked up alike, 0 included.
[[nodiscard]] int16_t findFileSlot(const DataFiles& files, int16_t fileId);
// The message that name cannot be used, with the record manager's status;
// waits for a key and takes the message off again.
void showFileError(DataFiles& files, const std::string& name, int16_t status);
// The status as the message gives it: the number, and why when the engine
// says more ("95: could not connect to server: Connection refused").
std::string statusReason(const DataFiles& files, int16_t status);
// The text of that message, with any reason in the brackets.
std::string fileProblemText(const DataFiles& files, const std::string& name, const std::string& reason);
// The same message on the given row, with any reason in the brackets.
void showFileProblem(DataFiles& files, int16_t row, const std::string& name, const std::string& reason);
// Opens name as fileId with the caller's record buffer; a missing file is
// created from its dictionary first. Any other failure, and a file whose
// records are longer than the buffer (status 22), is fatal: the operator
// is shown the message and the status is returned for the caller to end
// the program. 1002 (already open) and 1003 (no free slot) show nothing.
[[nodiscard]] int16_t openDataFile(DataFiles& files, int16_t fileId, const std::string& name, std::span<uint8_t> record);
// A fixed-layout record as the buffer openDataFile fills.
template <class Record>
std::span<uint8_t> recordBytes(Record& record) {
  return {reinterpret_cast<uint8_t*>(&record), sizeof record};
}
void queryKeyLength(DataFiles& files, int16_t fileId, int16_t keyNumber, int16_t& keyLength,
                    int32_t& recordLength);
[[nodiscard]] int16_t resetAllFiles(DataFiles& files);

}  // namespace xt
