// The loaded form: field groups, their fields with eight integer attributes
// and their texts, and the look-up lists; read once from FORMS\<form>.JPN.
// Groups, fields and lists are indexed from 1 as in the file; index 0 of
// each table exists and stays empty.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace xt {

struct Program;

// Field attribute numbers.
enum FieldAttribute : int {
  kFieldRow = 0,
  kFieldColumn = 1,
  kFieldWidth = 2,
  kFieldLineWidth = 3,
  kFieldClearWidth = 4,
  kFieldFlags = 5,
  kFieldEditMode = 6,
  kFieldLookupList = 7,
};

// fieldFlags bits.
constexpr int16_t kFlagStartBlank = 1;
constexpr int16_t kFlagMasked = 2;
constexpr int16_t kFlagProtected = 4;
constexpr int16_t kFlagCursorAtEnd = 8;

struct FieldDef {
  std::string fieldLabel;
  std::string fieldChoices;
  std::string fieldValue;
  int16_t attr[8] = {};

  int16_t& fieldRow() { return attr[kFieldRow]; }
  int16_t& fieldColumn() { return attr[kFieldColumn]; }
  int16_t& fieldWidth() { return attr[kFieldWidth]; }
  int16_t& fieldLineWidth() { return attr[kFieldLineWidth]; }
  int16_t& fieldClearWidth() { return attr[kFieldClearWidth]; }
  int16_t& fieldFlags() { return attr[kFieldFlags]; }
  int16_t& fieldEditMode() { return attr[kFieldEditMode]; }
  int16_t& fieldLookupList() { return attr[kFieldLookupList]; }
};

struct FieldGroup {
  std::string groupKeys;
  int16_t groupFieldCount = 0;
  int16_t groupContinuation = 0;
  int16_t groupWindow[5] = {};  // [1..4] = top, left, bottom, right
  std::vector<FieldDef> fields;  // fields[1..M]; fields[0] unused
};

struct LookupList {
  int16_t attr[8] = {};  // 0 file id, 1 key, 2-5 window, 6 filter group, 7 further list
  std::string lookupTitle;
};

struct FormDefinition {
  int16_t groupCount = 0;     // G
  int16_t maxFieldCount = 0;  // M
  std::vector<FieldGroup> groups;   // groups[1..G]; groups[0] unused
  std::vector<LookupList> lookups;  // lookups[0..L]; lookups[0] empty

  FieldGroup& group(int g) { return groups.at(static_cast<size_t>(g)); }
  FieldDef& field(int g, int f) { return groups.at(static_cast<size_t>(g)).fields.at(static_cast<size_t>(f)); }
  int16_t lookupCount() const { return lookups.empty() ? 0 : static_cast<int16_t>(lookups.size() - 1); }
};

// Assigns text to a fixed-length value: left-justified, cut or blank-padded
// to width.
std::string fitText(const std::string& text, size_t width);

struct FormLoadResult {
  bool ok = true;
  std::string message;  // names the file and, where known, the line
  int line = 0;         // line of the fault, 0 when it concerns the whole file
};

// Limits a form definition must keep: counts beyond them are taken for a
// damaged file rather than allocated.
constexpr int kMaxFormGroups = 99;
constexpr int kMaxGroupFields = 99;
constexpr int kMaxLookupLists = 99;
constexpr int kMaxFieldWidth = 2000;  // one value may fill the 80x25 screen

// Reads the form definition at path into program.form, translating labels,
// choices and titles. A missing, unreadable or malformed file (counts out of
// range, a group with more fields than the header's maximum, a group, list
// or window that does not exist, a file that ends inside its records or goes
// on after a look-up count of 0) is reported in the result, in the session's language, and
// leaves the form empty. Whatever follows the last look-up list is ignored.
// Lines may end in CR LF or LF alone.
FormLoadResult loadForm(Program& program, const std::string& path);

// Checks that the loaded form has what the operator maintenance procedure
// indexes: group 1 with the code field, group 2 with the text and access
// level, group 3 with the confirmation. path is named in the message.
FormLoadResult checkOperatorForm(const Program& program, const std::string& path);

}  // namespace xt
