#include "format/folding.h"

#include <array>

namespace xt {

namespace {

constexpr int kFirstCode = 64;
constexpr int kLastCode = 237;
constexpr int kTableSize = kLastCode - kFirstCode + 1;  // 174

using FoldTable = std::array<unsigned char, kTableSize>;

struct Fold {
  unsigned char from;
  unsigned char to;
};

// Small accented letters of code page 850 and their capitals.
constexpr Fold kAccentedCapitals[] = {
    {0x81, 0x9A}, {0x82, 0x90}, {0x83, 0xB6}, {0x84, 0x8E}, {0x85, 0xB7}, {0x86, 0x8F},
    {0x87, 0x80}, {0x88, 0xD2}, {0x89, 0xD3}, {0x8A, 0xD4}, {0x8B, 0xD8}, {0x8C, 0xD7},
    {0x8D, 0xDE}, {0x93, 0xE2}, {0x95, 0xE3}, {0x96, 0xEA}, {0x97, 0xEB}, {0xA0, 0xB5},
    {0xA1, 0xD6}, {0xA2, 0xE0}, {0xA3, 0xE9}, {0xA4, 0xA5}, {0xC6, 0xC7}, {0xD0, 0xD1},
    {0xE4, 0xE5}, {0xEC, 0xED}, {0x91, 0x92}, {0x94, 0x99},
};

// Every letter of the search table's range reduced to its plain capital.
// Codes not listed fold to a blank.
struct SearchGroup {
  unsigned char result;
  std::initializer_list<unsigned char> codes;
};

constexpr FoldTable makeUpperTable() {
  FoldTable t{};
  for (int i = 0; i < kTableSize; ++i) {
    int c = kFirstCode + i;
    t[i] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  for (const Fold& f : kAccentedCapitals) t[f.from - kFirstCode] = f.to;
  return t;
}

FoldTable makeSearchTable() {
  FoldTable t;
  t.fill(' ');
  for (int c = 'A'; c <= 'Z'; ++c) t[c - kFirstCode] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c - kFirstCode] = static_cast<unsigned char>(c - 32);
  const SearchGroup groups[] = {
      {'C', {0x80, 0x87}},
      {'U', {0x81, 0x96, 0x97, 0x9A, 0xA3, 0xE9, 0xEA, 0xEB}},
      {'E', {0x82, 0x88, 0x89, 0x8A, 0x90, 0xD2, 0xD3, 0xD4, 0xD5}},
      {'A', {0x83, 0x84, 0x85, 0x86, 0x8E, 0x8F, 0x91, 0x92, 0xA0, 0xA6, 0xB5, 0xB6, 0xB7, 0xC6,
             0xC7}},
      {'I', {0x8B, 0x8C, 0x8D, 0xA1, 0xD6, 0xD7, 0xD8, 0xDE}},
      {'O', {0x93, 0x94, 0x95, 0x99, 0x9B, 0x9D, 0xA2, 0xA7, 0xE0, 0xE2, 0xE3, 0xE4, 0xE5}},
      {'Y', {0x98, 0xEC, 0xED}},
      {'N', {0xA4, 0xA5}},
      {'D', {0xD0, 0xD1}},
      {'S', {0xE1}},
      {'T', {0xE7, 0xE8}},
  };
  for (const SearchGroup& g : groups) {
    for (unsigned char c : g.codes) t[c - kFirstCode] = g.result;
  }
  return t;
}

constexpr FoldTable kUpperTable = makeUpperTable();
const FoldTable kSearchTable = makeSearchTable();

}  // namespace

const unsigned char* upperFoldTable() { return kUpperTable.data(); }
const unsigned char* searchFoldTable() { return kSearchTable.data(); }

std::string foldText(const std::string& text, bool foldSearchMode) {
  const unsigned char* table = foldSearchMode ? searchFoldTable() : upperFoldTable();
  std::string out = text;
  for (char& ch : out) {
    int c = static_cast<unsigned char>(ch);
    if (c >= kFirstCode && c <= kLastCode) ch = static_cast<char>(table[c - kFirstCode]);
  }
  return out;
}

}  // namespace xt
