#include "forms/form_definition.h"

namespace xt {

std::string fitText(const std::string& text, size_t width) {
  std::string out = text.substr(0, std::min(text.size(), width));
  out.resize(width, ' ');
  return out;
}

}  // namespace xt
