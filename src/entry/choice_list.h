// A field's choice list: entries each written "|" code "," description,
// for example "|G,General|R,Restricted". The value editor steps through
// the entries; a stored value is one of the codes.
#pragma once

#include <string>
#include <vector>

namespace xt {

struct ChoiceEntry {
  std::string code;
  std::string description;
};

// The entries in order. Text before the first "|" belongs to no entry; an
// entry without a comma has the whole entry as its code and no description.
std::vector<ChoiceEntry> parseChoices(const std::string& list);

}  // namespace xt
