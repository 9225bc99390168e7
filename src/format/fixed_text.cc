#include "format/fixed_text.h"

namespace xt {

std::string fitText(std::string_view text, size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

std::string rightTrimmed(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

int16_t isAllChar(std::string_view text, int16_t code) {
  for (char c : text)
    if (static_cast<uint8_t>(c) != code) return 0;
  return -1;
}

}  // namespace xt
