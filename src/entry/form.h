// The loaded form: field groups, their fields with eight integer attributes
// and their texts, and the look-up lists; read once at start-up from
// FORMS\<form>.JPN. Groups, fields and lists are indexed from 1 as in the
// file; index 0 of each table exists and stays empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xt {

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

// Limits a form definition must keep: counts beyond them are taken for a
// damaged file rather than allocated.
constexpr int kMaxFormGroups = 99;
constexpr int kMaxGroupFields = 99;
constexpr int kMaxLookupLists = 99;
constexpr int kMaxFieldWidth = 2000;  // one value may fill the 80x25 screen

}  // namespace xt
