#include "platform/cp850.h"

#include <array>

namespace xt {
namespace {

// Glyphs of 0x00-0x1F: blank, then the PC graphic set.
constexpr char32_t kLow[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  //
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  //
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  //
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

// 0x80-0xFF. 0xD5 is shown as the euro sign (the program's Alt+E).
constexpr char32_t kHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  //
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x20AC, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  //
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  //
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

struct GlyphTable {
  std::array<char, 4 * 256> bytes{};
  std::array<uint8_t, 256> length{};
  GlyphTable() {
    for (int b = 0; b < 256; ++b) {
      std::string s;
      appendUtf8(s, cp850ToUnicode(static_cast<uint8_t>(b)));
      length[b] = static_cast<uint8_t>(s.size());
      for (size_t i = 0; i < s.size(); ++i) bytes[4 * b + i] = s[i];
    }
  }
};

const GlyphTable& glyphTable() {
  static const GlyphTable table;
  return table;
}

}  // namespace

char32_t cp850ToUnicode(uint8_t byte) {
  if (byte < 0x20) return kLow[byte];
  if (byte < 0x7F) return byte;
  if (byte == 0x7F) return 0x2302;
  return kHigh[byte - 0x80];
}

std::string_view cp850GlyphUtf8(uint8_t byte) {
  const GlyphTable& t = glyphTable();
  return std::string_view(&t.bytes[4 * byte], t.length[byte]);
}

int unicodeToCp850(char32_t cp) {
  if (cp >= 0x20 && cp < 0x7F) return static_cast<int>(cp);
  if (cp == 0x0131) return 0xD5;  // the code page's own letter in the euro's slot
  if (cp < 0xA0) return -1;
  for (int i = 0; i < 128; ++i)
    if (kHigh[i] == cp) return 0x80 + i;
  return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string cp850ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) out.append(cp850GlyphUtf8(static_cast<uint8_t>(c)));
  return out;
}

std::string utf8ToCp850(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<uint8_t>(text[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) {
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size() || (static_cast<uint8_t>(text[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<uint8_t>(text[j]) & 0x3F);
    }
    i = j;
    if (!ok) continue;
    if (cp < 0x20 || cp == 0x7F) {
      out.push_back(static_cast<char>(cp));  // tabs, line ends: kept as they are
      continue;
    }
    int byte = unicodeToCp850(cp);
    if (byte >= 0) out.push_back(static_cast<char>(byte));
  }
  return out;
}

}  // namespace xt
