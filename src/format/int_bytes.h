// Little-endian numbers kept in texts: the 2-byte key codes of the key
// lists and the items saved on the value stack.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

// 0x4F00 gives "\x00\x4F".
std::string int16Bytes(int16_t value);
// The inverse; missing bytes count as 0.
int16_t bytesInt16(const std::string& bytes);

}  // namespace xt
