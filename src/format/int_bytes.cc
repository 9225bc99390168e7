#include "format/int_bytes.h"

namespace xt {

std::string int16Bytes(int16_t value) {
  auto v = static_cast<uint16_t>(value);
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

int16_t bytesInt16(const std::string& bytes) {
  uint16_t lo = bytes.size() > 0 ? static_cast<uint8_t>(bytes[0]) : 0;
  uint16_t hi = bytes.size() > 1 ? static_cast<uint8_t>(bytes[1]) : 0;
  return static_cast<int16_t>(lo | (hi << 8));
}

}  // namespace xt
