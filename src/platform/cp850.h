// Code page 850 and Unicode. The screen holds code page 850 bytes; the
// terminal speaks UTF-8. Output shows every byte as one glyph: 0x80-0xFF by
// the code page (0xD5 as the euro sign, the program's euro), 0x01-0x1F and
// 0x7F as the PC graphic glyphs (0x10 is U+25BA, 0x11 is U+25C4) and 0x00
// as a blank, so no control byte ever reaches the terminal. Input maps
// typed characters back to the code page; characters it lacks are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xt {

// The glyph shown for a screen byte.
char32_t cp850ToUnicode(uint8_t byte);
// The same glyph as UTF-8 (1 to 3 bytes).
std::string_view cp850GlyphUtf8(uint8_t byte);
// The code page byte for a typed character: printable ASCII as itself, the
// upper half by the code page, the euro sign (and the dotless i, whose slot
// it took) as 0xD5. Returns -1 for characters with no byte and for control
// characters, which are keys rather than text.
int unicodeToCp850(char32_t cp);

void appendUtf8(std::string& out, char32_t cp);
// Whole texts: cp850 -> UTF-8 by glyph, UTF-8 -> cp850 dropping what has
// no byte (and malformed sequences).
std::string cp850ToUtf8(std::string_view text);
std::string utf8ToCp850(std::string_view text);

}  // namespace xt
