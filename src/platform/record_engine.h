// The record-manager call: one entry point with the seven arguments of the
// classic call (operation, 128-byte position block, data buffer, data length,
// key buffer, key length, key number) answering a 16-bit status. The data
// files behind it are SQLite databases (sqlite_engine.h) or tables on a
// PostgreSQL server (pg_engine.h).
#pragma once

#include <cstdint>
#include <string>

namespace xt {

constexpr int kPositionBlockSize = 128;

namespace op {
constexpr int16_t kOpen = 0, kClose = 1, kInsert = 2, kUpdate = 3, kDelete = 4, kGetEqual = 5,
                  kGetNext = 6, kGetPrevious = 7, kGetGreater = 8, kGetGreaterOrEqual = 9,
                  kGetLess = 10, kGetLessOrEqual = 11, kGetFirst = 12, kGetLast = 13,
                  kCreate = 14, kStat = 15, kBeginTransaction = 19, kGetPosition = 22,
                  kGetDirect = 23, kStepNext = 24, kUnlock = 27, kReset = 28, kStepFirst = 33,
                  kStepLast = 34, kStepPrevious = 35;
constexpr int16_t kLockBias = 200;
}  // namespace op

namespace status {
constexpr int16_t kOk = 0, kInvalidOperation = 1, kIoError = 2, kFileNotOpen = 3,
                  kKeyNotFound = 4, kDuplicateKey = 5, kInvalidKeyNumber = 6,
                  kDifferentKeyNumber = 7, kInvalidPositioning = 8, kEndOfFile = 9,
                  kModifiableKeyValue = 10, kInvalidFileName = 11, kFileNotFound = 12,
                  kDataBufferLength = 22, kKeyBufferTooShort = 21, kInvalidRecordLength = 28,
                  kNotADataFile = 30, kInvalidRecordAddress = 43, kAccessDenied = 46,
                  kInvalidKeyLength = 29, kFileAlreadyExists = 59, kRecordLocked = 84,
                  kFileLocked = 85, kOwnerName = 51, kInvalidKeySegment = 27,
                  kServerGone = 95;  // the database server cannot be reached
// A data file of the embedded engine in a directory on a network file
// system, where terminals of several hosts would damage it: refused.
constexpr int16_t kNetworkFileSystem = 94;
}  // namespace status

class RecordEngine {
 public:
  virtual ~RecordEngine() = default;
  // dataLength is updated by the call; keyLength is the usable size of the
  // key buffer (at most 255).
  virtual int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data,
                       uint32_t& dataLength, uint8_t* key, int keyLength, int16_t keyNumber) = 0;
  // Why the last failing call failed, as the system or the database server
  // said; "" when the status says all there is.
  virtual std::string lastError() const { return {}; }
};

}  // namespace xt
