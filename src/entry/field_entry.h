// The field entry loop: walks the cursor through a field group, editing,
// storing, opening help and look-up lists and following continuation
// groups; returns the key that ended the group.
#pragma once

#include <cstdint>

namespace xt {

struct Entry;

// group < 0: entered as continuation of another group. key: on return the
// key that ended the group.
void enterGroup(Entry& entry, int16_t& group, int16_t& leaveOnPageUp,
                int16_t& leaveOnPageDown, int16_t& key);
// Convenience for callers with literal arguments; returns the ending key.
int16_t enterGroup(Entry& entry, int16_t group);

}  // namespace xt
