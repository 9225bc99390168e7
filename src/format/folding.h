// Upper-case folding of code page 850 texts through two tables: the upper
// table (capitals with their accents) and the search table (capitals
// without accents, punctuation as blanks).
#pragma once

#include <string>

namespace xt {

// Folds with the upper table, or with the search table when foldSearchMode
// is on (the first-letter search of the value editor).
std::string foldText(const std::string& text, bool foldSearchMode = false);
const unsigned char* upperFoldTable();   // 174 entries for codes 64..237
const unsigned char* searchFoldTable();

}  // namespace xt
