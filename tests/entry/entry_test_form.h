// Building small forms in tests: groups and fields written out as in a form
// definition, added to a test program's form.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "startup/program.h"

namespace xt::testform {

struct Field {
  Field(int16_t row, int16_t column, std::string label, int16_t width, int16_t lineWidth = 0,
        int16_t clearWidth = 0, int16_t flags = 0, int16_t editMode = 0, int16_t lookupList = 0,
        std::string choices = {})
      : row(row),
        column(column),
        label(std::move(label)),
        width(width),
        lineWidth(lineWidth),
        clearWidth(clearWidth),
        flags(flags),
        editMode(editMode),
        lookupList(lookupList),
        choices(std::move(choices)) {}
  int16_t row = 0, column = 0;
  std::string label;
  int16_t width = 0, lineWidth = 0, clearWidth = 0, flags = 0, editMode = 0, lookupList = 0;
  std::string choices;
};

struct Window {
  int16_t top = 0, left = 0, bottom = 0, right = 0;
};

inline FieldDef makeField(const Field& f) {
  FieldDef d;
  d.fieldLabel = f.label;
  d.fieldChoices = f.choices;
  d.fieldValue = std::string(static_cast<size_t>(f.width), ' ');
  d.fieldRow() = f.row;
  d.fieldColumn() = f.column;
  d.fieldWidth() = f.width;
  d.fieldLineWidth() = f.lineWidth;
  d.fieldClearWidth() = f.clearWidth;
  d.fieldFlags() = f.flags;
  d.fieldEditMode() = f.editMode;
  d.fieldLookupList() = f.lookupList;
  return d;
}

// Appends a group and returns its number.
inline int16_t addGroup(Program& program, const std::string& keys, const std::vector<Field>& fields,
                        int16_t continuation = 0, Window window = {}) {
  FormDefinition& form = program.form;
  if (form.groups.empty()) form.groups.resize(1);
  FieldGroup g;
  g.groupKeys = keys;
  g.groupFieldCount = static_cast<int16_t>(fields.size());
  g.groupContinuation = continuation;
  g.groupWindow[1] = window.top;
  g.groupWindow[2] = window.left;
  g.groupWindow[3] = window.bottom;
  g.groupWindow[4] = window.right;
  g.fields.resize(1);
  for (const Field& f : fields) g.fields.push_back(makeField(f));
  form.groups.push_back(g);
  form.groupCount = static_cast<int16_t>(form.groups.size() - 1);
  form.maxFieldCount = std::max<int16_t>(form.maxFieldCount, g.groupFieldCount);
  return form.groupCount;
}

inline std::string& value(Program& program, int g, int f) { return program.form.field(g, f).fieldValue; }

}  // namespace xt::testform
