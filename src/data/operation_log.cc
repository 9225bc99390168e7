#include "data/operation_log.h"

#include <algorithm>
#include <cstdlib>

#include "data/data_files.h"
#include "data/file_table.h"
#include "data/record_ops.h"
#include "platform/key_image.h"

namespace xt {

namespace {

constexpr int kPrintZone = 14;

// A number as a print statement writes it: sign position, digits, blank.
void appendNumber(std::string& line, int32_t value) {
  line += value < 0 ? '-' : ' ';
  line += std::to_string(std::llabs(static_cast<long long>(value)));
  line += ' ';
}

void appendLogLine(FileSystem& fs, int16_t fileId, int16_t operation, int16_t status) {
  // One write under an exclusive lock, so lines of several terminals never
  // interleave; a failure does not change the operation's status.
  (void)fs.appendToFile("db.log", logLine(fileId, operation, status));
}

void clearKeyBuffer(FileSlot& slot) { std::fill(slot.keyBuffer.begin(), slot.keyBuffer.end(), '\0'); }

}  // namespace

std::string logLine(int32_t fileId, int32_t operation, int32_t status) {
  std::string line;
  appendNumber(line, fileId);
  line.append(kPrintZone - line.size() % kPrintZone, ' ');
  appendNumber(line, operation);
  line.append(kPrintZone - line.size() % kPrintZone, ' ');
  appendNumber(line, status);
  return line + "\r\n";
}

int16_t insertRecord(DataFiles& files, int16_t fileId) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  int16_t operation = op::kInsert;
  int16_t st = callRecordManager(files, s, operation);
  appendLogLine(files.fs, fileId, op::kInsert, st);
  if (st != status::kOk) clearKeyBuffer(files.table.slots[s]);
  return st;
}

int16_t updateRecord(DataFiles& files, int16_t fileId) {
  int16_t s = findFileSlot(files, fileId);
  if (s <= 0) return status::kFileNotOpen;
  // The record's position, kept across the update to read the record back.
  const int32_t position = recordPosition(files, fileId, 0);
  int16_t operation = op::kUpdate;
  int16_t st = callRecordManager(files, s, operation);
  appendLogLine(files.fs, fileId, operation, st);
  if (st == status::kDataBufferLength) st = status::kOk;
  if (st != status::kOk) clearKeyBuffer(files.table.slots[s]);
  // Read the record back (or, with no position, only ask for it again).
  (void)recordPosition(files, fileId, position);
  return st;
}

}  // namespace xt
