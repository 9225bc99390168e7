// A record engine for code that touches no data file: every call answers
// "invalid operation".
#pragma once

#include "platform/record_engine.h"

namespace xt {

class NoRecordEngine : public RecordEngine {
 public:
  int16_t call(int16_t, uint8_t*, uint8_t*, uint32_t&, uint8_t*, int, int16_t) override {
    return status::kInvalidOperation;
  }
};

}  // namespace xt
