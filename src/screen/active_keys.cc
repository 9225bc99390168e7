#include "screen/active_keys.h"

#include "format/int_bytes.h"
#include "screen/screen.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

// Value of the hexadecimal digits of an item, kept to 16 bits; other
// characters are skipped.
int16_t hexCode(std::string_view item) {
  uint32_t v = 0;
  for (char c : item) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      continue;
    v = ((v << 4) | static_cast<uint32_t>(d)) & 0xFFFF;
  }
  return static_cast<int16_t>(v);
}

template <typename Fn>
void forEachItem(const std::string& keys, Fn fn) {
  if (keys.empty()) return;
  size_t i = 0;
  for (;;) {
    size_t comma = keys.find(',', i);
    std::string_view item(keys.data() + i, (comma == std::string::npos ? keys.size() : comma) - i);
    fn(item);
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
}

}  // namespace

void setActiveKeys(Screen& screen, const std::string& keys, const std::string& letters) {
  ActiveKeyTable& t = screen.activeKeys;
  for (char raw : letters) {
    char c = static_cast<char>(raw >= 'a' && raw <= 'z' ? raw - 'a' + 'A' : raw);
    switch (c) {
      case '+':
        t.saved.emplace_back(t.activeFrom, t.activeTo);
        break;
      case '-':
        if (!t.saved.empty()) {
          t.activeFrom = t.saved.back().first;
          t.activeTo = t.saved.back().second;
          t.saved.pop_back();
        }
        break;
      case 'E':
        t.activeFrom.clear();
        t.activeTo.clear();
        break;
      case 'A':
        forEachItem(keys, [&](std::string_view item) {
          size_t eq = item.find('=');
          int16_t from = hexCode(item.substr(0, eq));
          int16_t to = eq == std::string_view::npos ? from : hexCode(item.substr(eq + 1));
          t.activeFrom += int16Bytes(from);
          t.activeTo += int16Bytes(to);
        });
        break;
      case 'D':
        forEachItem(keys, [&](std::string_view item) {
          std::string code = int16Bytes(hexCode(item));
          for (size_t pos = 0; pos + 1 < t.activeFrom.size(); pos += 2) {
            if (t.activeFrom.compare(pos, 2, code) == 0) {
              t.activeFrom.erase(pos, 2);
              t.activeTo.erase(pos, 2);
              break;
            }
          }
        });
        break;
      case 'H':
        t.maskChar = 'X';
        break;
      case 'V':
        t.maskChar = 0;
        break;
      default:
        break;
    }
  }
}

}  // namespace xt
