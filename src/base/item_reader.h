// Reader of the comma-separated items of the form definition and message
// files: items end at a comma or a line end (CR LF, LF or CR), blanks before
// an item are skipped, a text item may be enclosed in double quotes (then it
// may hold commas), and the byte 0x1A ends the data.
//
//   "Codi: ",5,  12 ,"|G,GENERAL|R,RESTRINGIT",
//   -> text "Codi: ", number 5, number 12, text "|G,GENERAL|R,RESTRINGIT", text ""
#pragma once

#include <string>
#include <string_view>

namespace xt {

class ItemReader {
 public:
  explicit ItemReader(std::string_view data);

  // True when no item is left: only blanks and line ends remain.
  bool atEnd();
  // The next text item. An unquoted item keeps its trailing blanks and
  // loses its tab characters. At the end of the data: "", and missed() is
  // set unless the data ends right after a comma (a last, empty item).
  std::string readText();
  // The raw text of the next number item, which also ends at a blank.
  std::string readNumberText();
  // At a record start: drops lines whose first non-blank character is an
  // apostrophe, and blank lines.
  void skipCommentLines();

  // 1-based line on which the last item read started (an item asked for
  // after the end of the data leaves it unchanged).
  int line() const { return itemLine_; }
  // Set once an item was asked for after the end of the data.
  bool missed() const { return missed_; }

 private:
  bool atLineEnd() const;
  void consumeLineEnd();
  void skipBlanks();
  void skipBlankLines();
  bool startItem();  // false at the end of the data
  void consumeSeparator();

  std::string_view data_;
  size_t pos_ = 0;
  int line_ = 1;
  int itemLine_ = 1;
  bool lineStart_ = true;    // at the start of a line
  bool afterComma_ = false;  // the last separator was a comma
  bool missed_ = false;
};

}  // namespace xt
