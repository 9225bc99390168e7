// The value stack: small values saved around a call and taken back after
// it, newest first. Each item is kept followed by its 2-byte little-endian
// length.
#pragma once

#include <string>

namespace xt {

struct ValueStack {
  std::string bytes;
};

void pushValue(ValueStack& stack, const std::string& item);
// The newest item, taken off; "" when the stack is empty.
std::string popValue(ValueStack& stack);

}  // namespace xt
