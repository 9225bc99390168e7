// The browse list: a look-up pop-up listing one line per record of a data
// file in key order, cached in Browse.tmp, from which Enter picks a record.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Program;

struct BrowseState {
  int32_t chosenEntryValue = 0;
  std::string chosenEntryText;
};

void browseList(Program& program, int16_t& list, int16_t& result);

}  // namespace xt
