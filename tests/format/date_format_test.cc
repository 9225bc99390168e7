#include "format/date_format.h"

#include <gtest/gtest.h>

#include "testing/test_program.h"

namespace xt {
namespace {

std::string packed(int year, int month, int day) {
  int parts[4] = {year / 100, year % 100, month, day};
  std::string p;
  for (int v : parts) p += static_cast<char>(v | 0x80);
  return p;
}

struct DateCase {
  const char* language;
  int year, month, day;
  int style;
  const char* parts;
  std::string expected;
};

TEST(FormatDate, StylesAndLanguages) {
  const DateCase cases[] = {
      {"CAT", 2026, 12, 7, -1, "DMA", "2026-12-07"},
      {"CAT", 2026, 12, 7, -1, "", "2026-12-07"},
      {"CAT", 2026, 12, 7, 0, "DMA", "7/12/2026 "},
      {"CAT", 2026, 12, 7, 1, "DMA", "7/des/2026 "},
      {"CAT", 2026, 12, 7, 2, "DMA", "7 de desembre del 2026"},
      {"CAT", 2026, 12, 7, 5, "DMA", "7 de desembre del 2026"},
      {"CAT", 2026, 1, 1, 0, "DMA", "1/1/2026  "},
      {"CAT", 2026, 1, 1, 0, "dma", "1/1/2026  "},
      {"CAT", 2026, 0, 0, 0, "DMA", "          "},
      {"CAT", 2026, 0, 0, 2, "DMA", ""},
      {"CAT", 2026, 0, 0, -1, "DMA", "2026-00-00"},
      {"CAT", 2026, 4, 7, 2, "DMA", "7 d'abril del 2026"},
      {"SPA", 2026, 4, 7, 2, "DMA", "7 de abril de 2026"},
      {"OCI", 2026, 4, 7, 2, "DMA", "7 d'abriu deth 2026"},
      {"GLG", 2026, 4, 7, 2, "DMA", "7 de abril do 2026"},
      {"CAT", 2026, 12, 7, 2, "M", "desembre"},
      {"CAT", 2026, 12, 7, 2, "m", "desembre"},
      {"SPA", 2026, 9, 30, 2, "DMA", "30 de septiembre de 2026"},
      {"SPA", 2026, 9, 30, 1, "DMA", "30/sep/2026"},
      {"OCI", 2026, 1, 3, 2, "DM", "3 de g\x8Ar"},            // gèr
      {"GLG", 2026, 3, 3, 2, "DMA", "3 de mar\x87o do 2026"},  // março
      {"CAT", 2026, 8, 3, 2, "DMA", "3 d'agost del 2026"},
      {"CAT", 2026, 8, 3, 2, "MA", "agost del 2026"},
      {"CAT", 2026, 8, 3, 0, "A", "2026"},
      {"CAT", 2026, 8, 3, 0, "MA", "8/2026 "},
      // A month outside the table shows "?" in place of its name.
      {"CAT", 2026, 13, 5, 2, "DMA", "5 de ? del 2026"},
      {"CAT", 2026, 0, 5, 1, "DMA", "5/?/2026   "},
      {"CAT", 2026, 13, 5, 0, "DMA", "5/13/2026 "},
  };
  for (const DateCase& c : cases) {
    TestProgram t;
    t.program().settings.languageCode = c.language;
    EXPECT_EQ(formatDate(t.program().format, t.program().settings.languageCode, packed(c.year, c.month, c.day), static_cast<int16_t>(c.style),
                         c.parts),
              c.expected)
        << c.language << " " << c.year << "-" << c.month << "-" << c.day << " style " << c.style
        << " parts " << c.parts;
  }
}

TEST(FormatDate, TheInstallationsOrderAndSeparator) {
  FormatSettings f;
  f.dateOrder = "AMD";
  f.dateSeparator = "-";
  EXPECT_EQ(formatDate(f, "CAT", packed(2026, 12, 7), 0, "DMA"), "2026-12-7 ");
  EXPECT_EQ(formatDate(f, "CAT", packed(2026, 12, 7), 2, "DMA"), "2026 de desembre del 7");
  // An order in lower case names no part.
  f.dateOrder = "dma";
  EXPECT_EQ(formatDate(f, "CAT", packed(2026, 12, 7), 0, "DMA"), "          ");
  EXPECT_EQ(formatDate(f, "CAT", packed(2026, 12, 7), 1, "DMA"), "           ");
  EXPECT_EQ(formatDate(f, "CAT", packed(2026, 12, 7), 2, "DMA"), "");
}

}  // namespace
}  // namespace xt
