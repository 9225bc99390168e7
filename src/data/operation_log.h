// Insert and update, each logged as one line of db.log in the current
// directory.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct DataFiles;

[[nodiscard]] int16_t insertRecord(DataFiles& files, int16_t fileId);
[[nodiscard]] int16_t updateRecord(DataFiles& files, int16_t fileId);
// The db.log line (with CR LF) for a file id, operation and status.
std::string logLine(int32_t fileId, int32_t operation, int32_t status);

}  // namespace xt
