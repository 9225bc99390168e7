#include "platform/win32/wide_text.h"

#include <cstdint>

#include "platform/cp850.h"

namespace xt {

std::wstring wideText(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<uint8_t>(c);
    wide += static_cast<wchar_t>(b < 0x80 ? char32_t(b) : cp850ToUnicode(b));
  }
  return wide;
}

std::string narrowText(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp < 0x80) {
      narrow += static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) ++i;  // a pair: no byte for it
    int b = cp >= 0xD800 && cp <= 0xDFFF ? -1 : unicodeToCp850(cp);
    narrow += b < 0 ? '?' : static_cast<char>(b);
  }
  return narrow;
}

std::wstring widePath(std::string_view path) {
  std::wstring wide = wideText(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

}  // namespace xt
