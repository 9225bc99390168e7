// Helpers for driving the record engine in tests: a file fileSpec builder and
// a position block with string buffers around the raw call.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "platform/key_image.h"
#include "platform/record_engine.h"

namespace xt::testutil {

inline SegmentSpec segment(uint16_t position, uint16_t length, uint16_t flags = 0,
                           uint8_t type = 0) {
  SegmentSpec s;
  s.position = position;
  s.length = length;
  s.flags = flags;
  s.type = type;
  if (type != 0) s.flags |= keyflag::kExtendedType;
  return s;
}

inline KeySpec key(std::vector<SegmentSpec> segments) {
  KeySpec k;
  k.segments = std::move(segments);
  return k;
}

inline std::string specBytes(uint16_t recordLength, std::vector<KeySpec> keys,
                             std::vector<std::string> tables = {}) {
  FileSpec fileSpec;
  fileSpec.recordLength = recordLength;
  fileSpec.pageSize = 4096;
  fileSpec.keys = std::move(keys);
  fileSpec.tables = std::move(tables);
  for (size_t i = 0; i < fileSpec.tables.size(); ++i) fileSpec.tableNames.push_back("TABLE" + std::to_string(i));
  return encodeFileSpec(fileSpec);
}

struct Reply {
  int16_t status = 0;
  std::string data;  // the bytes the data length covers after the call
  std::string key;   // the key buffer, keyLength bytes
};

// One position block on an engine.
class Handle {
 public:
  explicit Handle(RecordEngine& engine) : engine_(engine) {}

  // dataLength -1: the size of data; keyLength -1: 255.
  Reply call(int16_t operation, const std::string& data, const std::string& key, int16_t keyNumber,
             int keyLength = -1, long dataLength = -1) {
    std::vector<uint8_t> buffer(std::max<size_t>(data.size(), 1536), ' ');
    std::memcpy(buffer.data(), data.data(), data.size());
    uint8_t keyBuffer[256] = {};
    std::memcpy(keyBuffer, key.data(), std::min<size_t>(key.size(), 255));
    uint32_t length = dataLength < 0 ? uint32_t(data.size()) : uint32_t(dataLength);
    int kl = keyLength < 0 ? 255 : keyLength;
    Reply r;
    r.status = engine_.call(operation, pb, buffer.data(), length, keyBuffer, kl, keyNumber);
    r.data.assign(reinterpret_cast<char*>(buffer.data()), std::min<size_t>(length, buffer.size()));
    r.key.assign(reinterpret_cast<char*>(keyBuffer), size_t(kl));
    return r;
  }

  int16_t create(const std::string& path, const std::string& fileSpec, int16_t mode = -1) {
    return call(op::kCreate, fileSpec, path, mode, int(path.size())).status;
  }
  int16_t open(const std::string& path, const std::string& owner = std::string("\0", 1)) {
    return call(op::kOpen, owner, path, 0, int(path.size())).status;
  }
  int16_t insert(const std::string& record, int16_t keyNumber = 0) {
    return call(op::kInsert, record, "", keyNumber).status;
  }
  Reply read(int16_t operation, int16_t keyNumber, const std::string& key = "", long dataLength = 1536) {
    return call(operation, std::string(), key, keyNumber, -1, dataLength);
  }

  int16_t reset() {
    uint32_t length = 0;
    return engine_.call(op::kReset, pb, nullptr, length, nullptr, 0, 0);
  }

  uint8_t pb[kPositionBlockSize] = {};

 private:
  RecordEngine& engine_;
};

}  // namespace xt::testutil
