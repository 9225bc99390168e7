#include "entry/value_stack.h"

#include "format/int_bytes.h"

namespace xt {

void pushValue(ValueStack& stack, const std::string& item) {
  stack.bytes += item;
  stack.bytes += int16Bytes(static_cast<int16_t>(item.size()));
}

std::string popValue(ValueStack& stack) {
  std::string& bytes = stack.bytes;
  if (bytes.size() < 2) {
    bytes.clear();
    return {};
  }
  auto n = static_cast<uint16_t>(bytesInt16(bytes.substr(bytes.size() - 2)));
  size_t end = bytes.size() - 2;
  if (n > end) {  // a damaged stack: give everything back rather than read before its start
    std::string item = bytes.substr(0, end);
    bytes.clear();
    return item;
  }
  std::string item = bytes.substr(end - n, n);
  bytes.resize(end - n);
  return item;
}

}  // namespace xt
