// The record engine against an in-memory model of the record-manager
// semantics (see engine_diff.h).
#include "fuzz/engine_diff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  static long fileNumber = 0;
  return runEngineDiff(input, size, nullptr, "f" + std::to_string(fileNumber++) + ".dat");
}
