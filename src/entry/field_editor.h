// The value editor: free text or choice selection of one fixed-length
// value on the screen, until a key that ends the field arrives.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Entry;

// row/col are window-relative (0: where the cursor is). key receives the
// ending key after the exit translation; a click outside the box comes back
// as -(column * 100 + row) in screen coordinates.
void editFieldValue(Entry& entry, int16_t& row, int16_t& col, int16_t& lineWidth,
                    std::string& value, int16_t& cursor, int16_t& key);

}  // namespace xt
