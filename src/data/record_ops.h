// Record operations on the open files: the central record-manager call
// with read locks and the lock wait, delete, find by key, stepping,
// physical positions, lock modes and key sort images.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct DataFiles;

[[nodiscard]] int16_t callRecordManager(DataFiles& files, int16_t& slot, int16_t& operation);
[[nodiscard]] int16_t deleteRecord(DataFiles& files, int16_t fileId);
// direction 0 equal, > 0 greater or equal, < 0 less or equal.
[[nodiscard]] int16_t findByKey(DataFiles& files, int16_t fileId, int16_t keyNumber, const std::string& key,
                  int16_t direction);
[[nodiscard]] int16_t skipRecords(DataFiles& files, int16_t fileId, int32_t count);
// position 0: the current record's position (0 if none); otherwise reads
// the record at that position and returns the status.
int32_t recordPosition(DataFiles& files, int16_t fileId, int32_t position);
[[nodiscard]] int16_t setLockMode(DataFiles& files, int16_t fileId, const std::string& letters);
std::string keySortImage(DataFiles& files, const std::string& key, int16_t fileId);
std::string currentKeySortImage(DataFiles& files, int16_t fileId);

}  // namespace xt
