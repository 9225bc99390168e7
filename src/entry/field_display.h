// Drawing a field group and one field's stored value, and storing a typed
// value through the field's editing mode.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Entry;
struct FieldGroup;

// The number of fields of a group that really exist: groupFieldCount, but
// never more than the group's field table holds.
int16_t groupFieldLimit(const FieldGroup& group);

void drawGroup(Entry& entry, int16_t group);
void showFieldValue(Entry& entry, int16_t group, int16_t field);
// 0 = stored (or silently kept for a restricted operator), -1 = refused.
int16_t storeFieldValue(Entry& entry, int16_t group, const std::string& text, int16_t field);

}  // namespace xt
