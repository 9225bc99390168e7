#include "entry/choice_list.h"

namespace xt {

std::vector<ChoiceEntry> parseChoices(const std::string& list) {
  std::vector<ChoiceEntry> entries;
  size_t bar = list.find('|');
  while (bar != std::string::npos) {
    size_t next = list.find('|', bar + 1);
    size_t end = next == std::string::npos ? list.size() : next;
    std::string entry = list.substr(bar + 1, end - bar - 1);
    size_t comma = entry.find(',');
    if (comma == std::string::npos)
      entries.push_back({entry, {}});
    else
      entries.push_back({entry.substr(0, comma), entry.substr(comma + 1)});
    bar = next;
  }
  return entries;
}

}  // namespace xt
