// An open binary file as a value: it owns the FileSystem's handle, closes it
// when it goes and can be moved, not copied. Positions are 0-based byte
// offsets here; callers that count from 1 convert. A closed BinaryFile
// reads nothing and answers EBADF to writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace xt {

class BinaryFile {
 public:
  using Mode = OpenMode;

  // exclusive: no other open asking for exclusivity may exist at the same
  // time; answers Busy when one does. A file open before is closed first.
  [[nodiscard]] FileResult open(FileSystem& fileSystem, std::string_view path, Mode mode,
                                bool exclusive = false);
  // Transitional: opens through the process's POSIX file system (files.cc)
  // until every caller passes its FileSystem.
  FileResult open(std::string_view path, Mode mode, bool exclusive = false);
  bool isOpen() const { return file_ != nullptr; }
  void close() { file_.reset(); }

  int64_t size() const;  // -1 when closed
  // Reads up to n bytes at pos; fewer at the end of the file.
  std::string readAt(int64_t pos, size_t n) const;
  FileResult writeAt(int64_t pos, std::string_view data);
  FileResult truncate(int64_t length);
  FileResult sync();
  // See FileHandle::copyModeAndGroupFrom.
  FileResult copyModeAndGroupFrom(std::string_view from) const;

 private:
  std::unique_ptr<FileHandle> file_;
};

}  // namespace xt
