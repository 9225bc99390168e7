// Program texts as Windows' wide calls want them. The program's strings,
// paths and environment values included, are code page 850 bytes (the
// code page of the screen, and the OEM code page of the installations'
// countries), never the machine's ANSI code page: a name typed on the
// screen is the name on the disk, whatever the machine's locale. Bytes
// below 0x80 are ASCII; the upper half maps through the code page (0xD5 is
// the euro sign, as on the screen). Characters the code page lacks come
// back as '?'.
#pragma once

#include <string>
#include <string_view>

namespace xt {

std::wstring wideText(std::string_view text);
std::string narrowText(std::wstring_view text);
// A program path for a wide call: as wideText, with "/" turned into "\".
std::wstring widePath(std::string_view path);

}  // namespace xt
