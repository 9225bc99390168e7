// Browse.tmp in the session directory: the lines of an open browse list,
// one entry per line, so that the list can move up and down without
// reading the data file again. From position 1 (positions are 1-based):
//   0  4  back link: position of the previous entry, 0 in the first one
//   4  4  record position of the line's record (or the preparer's value)
//   8  2  text length L
//  10  L  the line text without trailing blanks
// All numbers little-endian. The back link walks the list upwards, L walks
// it downwards. An entry that is damaged (outside the file, a back link
// that does not point before it) ends the list where it starts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/binary_file.h"
#include "platform/file_system.h"

namespace xt {

constexpr int32_t kBrowseEntryHeaderSize = 10;

struct BrowseEntryHeader {
  int32_t backLink = 0;
  int32_t recordPos = 0;
  int32_t length = 0;
};

class BrowseCache {
 public:
  // Opens the file: emptied when fresh, else with the entries it holds.
  // Not open, it holds nothing and takes nothing.
  void open(FileSystem& fs, const std::string& path, bool fresh);
  void close() { file_.close(); }

  // The position after the last byte in use.
  int32_t end() const { return end_; }
  // Drops everything from position on (a damaged entry starts there).
  void cutAt(int32_t position) { end_ = position; }

  // The header at a position, checked: the entry lies inside the file and
  // its back link points before it.
  [[nodiscard]] bool readHeader(int32_t at, BrowseEntryHeader& header) const;
  // The whole entry at a position, checked as readHeader does.
  [[nodiscard]] bool read(int32_t at, BrowseEntryHeader& header, std::string& text) const;
  // Appends an entry (its text cut to 65,535 bytes) after the last one;
  // its position, or 0 when it cannot be written.
  [[nodiscard]] int32_t append(int32_t backLink, int32_t recordPos, const std::string& text);

 private:
  BinaryFile file_;
  int32_t end_ = 1;
};

}  // namespace xt
