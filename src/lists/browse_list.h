// The browse list: a look-up pop-up listing one line per record of a data
// file in key order, cached in Browse.tmp, from which Enter picks a record.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Entry;
struct DataFiles;

// The entry last chosen from a list.
struct BrowseState {
  int32_t chosenEntryValue = 0;
  std::string chosenEntryText;
};

// Opens look-up list `list` of the form (1-based) over the entry's screen:
// its filter group first when it has one, then the lines the form's hooks
// give for the records of its data file. result 0: a record was chosen,
// made current in its file and handed to the form's lookupChosenHook;
// anything else: given up (-1) or refused by the form's browseRangeHook.
void browseList(Entry& entry, DataFiles& files, BrowseState& state, int16_t& list, int16_t& result);

}  // namespace xt
