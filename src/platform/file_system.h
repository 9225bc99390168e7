// The file system as the program sees it: every operation that touches the
// disk, behind an interface so that tests and fuzz targets can run on one in
// memory and inject failures. Paths are program paths: "\" and "/" both
// separate components, and a component missing under its exact name takes
// the one existing entry whose name matches it without regard to letter
// case (see native_path.h). New entries get the name as written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xt {

// Result of a file operation at the platform edge.
struct FileResult {
  enum class Code { Ok, NotFound, Busy, Failed };
  Code code = Code::Ok;
  int error = 0;  // errno of the failure
  std::string message;
  bool ok() const { return code == Code::Ok; }
  // ENOENT and ENOTDIR are NotFound; EWOULDBLOCK, EAGAIN and EBUSY Busy.
  static FileResult fromErrno(int err, std::string_view what);
};

enum class OpenMode {
  Read,             // existing file, read only
  ReadWrite,        // existing file
  ReadWriteCreate,  // created when missing
  Truncate,         // created or emptied
  CreateNew,        // created; fails when the name exists (even as a link)
};

// An open file with positioned reads and writes; positions are 0-based byte
// offsets. Destroying the handle closes the file and gives up an exclusive
// open. A handle must not outlive the file system that opened it.
class FileHandle {
 public:
  virtual ~FileHandle() = default;

  // -1 when the size cannot be told.
  virtual int64_t size() const = 0;
  // Up to n bytes at pos; fewer at the end of the file, none past it or on
  // a read failure.
  virtual std::string readAt(int64_t pos, size_t n) const = 0;
  // Writes all of data at pos, extending the file (with zero bytes up to pos
  // when it lies past the end). EBADF on a file opened for reading.
  [[nodiscard]] virtual FileResult writeAt(int64_t pos, std::string_view data) = 0;
  [[nodiscard]] virtual FileResult truncate(int64_t length) = 0;
  // Flushes what was written to the disk.
  [[nodiscard]] virtual FileResult sync() = 0;
  // Gives this file the permission bits and group of the file at from, so a
  // replacement keeps what the old file allowed. Ok when from does not exist.
  [[nodiscard]] virtual FileResult copyModeAndGroupFrom(std::string_view from) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The path with "/" separators and each existing component under its
  // existing name; components that do not exist are kept as written.
  virtual std::string nativePath(std::string_view path) = 0;

  virtual bool fileExists(std::string_view path) = 0;         // a regular file
  virtual bool directoryExists(std::string_view path) = 0;    // a directory
  virtual bool writableDirectory(std::string_view path) = 0;  // one files can be made in
  virtual bool pathExists(std::string_view path) = 0;         // anything
  // Size of a regular file, -1 when it cannot be read.
  virtual int64_t fileSize(std::string_view path) = 0;

  // nullopt when the file cannot be opened or read.
  virtual std::optional<std::string> readWholeFile(std::string_view path) = 0;
  // Writes the whole file (created or truncated). Not atomic.
  [[nodiscard]] virtual FileResult writeWholeFile(std::string_view path, std::string_view data) = 0;
  // Writes data to a work file beside path, flushes it to disk and renames it
  // over path, so readers see either the old or the new content; on failure
  // path is untouched and no work file is left.
  [[nodiscard]] virtual FileResult replaceFileAtomically(std::string_view path, std::string_view data) = 0;
  // Appends data (creating the file) with one write under an exclusive lock
  // of the file, so lines appended by several processes never mix.
  [[nodiscard]] virtual FileResult appendToFile(std::string_view path, std::string_view data) = 0;

  [[nodiscard]] virtual FileResult removeFile(std::string_view path) = 0;
  // Only an empty directory (ENOTEMPTY otherwise).
  [[nodiscard]] virtual FileResult removeDirectory(std::string_view path) = 0;
  // Renames; when replace is false an existing target makes it fail
  // (EEXIST) and a missing source is NotFound, whatever the target.
  [[nodiscard]] virtual FileResult renamePath(std::string_view from, std::string_view to, bool replace) = 0;
  // One level; Ok when the name exists already.
  [[nodiscard]] virtual FileResult makeDirectory(std::string_view path) = 0;
  // With the missing parents.
  [[nodiscard]] virtual FileResult makeDirectories(std::string_view path) = 0;
  // Entry names of a directory (no "." and ".."), in no particular order;
  // empty when it cannot be read.
  virtual std::vector<std::string> listDirectory(std::string_view path) = 0;

  // Absolute, without a trailing "/"; relative paths start there.
  virtual std::string currentDirectory() = 0;
  [[nodiscard]] virtual bool changeDirectory(std::string_view path) = 0;

  // Opens path in mode and sets file. With exclusive, no other open of the
  // file that asks for exclusivity may exist at the same time (any process);
  // when one does the answer is Busy (the file may have been created or,
  // with Truncate, emptied all the same). An exclusive open is for writing:
  // in OpenMode::Read it answers EBADF.
  [[nodiscard]] virtual FileResult open(std::string_view path, OpenMode mode, bool exclusive,
                                        std::unique_ptr<FileHandle>& file) = 0;
};

}  // namespace xt
