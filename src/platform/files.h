// Files and paths. The program builds paths the Windows way ("FORMS\X.JPN");
// this layer accepts "\" and "/" as separators and, when a component does
// not exist with the exact name, uses the one existing entry whose name
// matches it without regard to letter case, so an installation copied from
// Windows works unchanged. New files get the name as written.
#pragma once

#include <cstdint>
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
  static FileResult fromErrno(int err, std::string_view what);
};

// The native path for a program path: separators turned to "/", each
// existing component matched case-insensitively when the exact name is
// missing. Components that do not exist are kept as written.
std::string nativePath(std::string_view path);

bool fileExists(std::string_view path);       // a regular file
bool directoryExists(std::string_view path);  // a directory
bool writableDirectory(std::string_view path);  // a directory files can be made in
bool pathExists(std::string_view path);       // anything
// Size of a regular file, -1 when it cannot be read.
int64_t fileSize(std::string_view path);

std::optional<std::string> readWholeFile(std::string_view path);
// Writes the whole file (created or truncated). Not atomic.
FileResult writeWholeFile(std::string_view path, std::string_view data);
// Writes data to a work file beside path, flushes it to disk and renames it
// over path, so readers see either the old or the new content.
FileResult replaceFileAtomically(std::string_view path, std::string_view data);
// Appends data with one write under an exclusive lock of the file.
FileResult appendToFile(std::string_view path, std::string_view data);

FileResult removeFile(std::string_view path);
FileResult removeDirectory(std::string_view path);
// Renames; when replace is false an existing target makes it fail (EEXIST).
FileResult renamePath(std::string_view from, std::string_view to, bool replace);
FileResult makeDirectory(std::string_view path);  // one level
FileResult makeDirectories(std::string_view path);  // with parents
// Entry names of a directory (no "." and ".."); empty when unreadable.
std::vector<std::string> listDirectory(std::string_view path);

std::string currentDirectory();
bool changeDirectory(std::string_view path);

// Splits a text into lines ended by CR LF or LF (the line ends removed). A
// last line without a line end is kept.
std::vector<std::string> splitLines(std::string_view text);

// A binary file with positioned reads and writes. Positions are 0-based
// byte offsets here; callers that count from 1 convert.
class BinaryFile {
 public:
  enum class Mode {
    Read,             // existing file, read only
    ReadWrite,        // existing file
    ReadWriteCreate,  // created when missing
    Truncate,         // created or emptied
    CreateNew,        // created; fails when the name exists (even as a link)
  };

  BinaryFile() = default;
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;
  BinaryFile(BinaryFile&& other) noexcept;
  BinaryFile& operator=(BinaryFile&& other) noexcept;

  // exclusive: no other process following the protocol may have the file
  // open exclusively at the same time; answers Busy when one has.
  FileResult open(std::string_view path, Mode mode, bool exclusive = false);
  bool isOpen() const { return fd_ >= 0; }
  void close();

  int64_t size() const;
  // Reads up to n bytes at pos; fewer at the end of the file.
  std::string readAt(int64_t pos, size_t n) const;
  FileResult writeAt(int64_t pos, std::string_view data);
  FileResult truncate(int64_t length);
  FileResult sync();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Gives the open file the permission bits and group of the file at from (a
// replacement keeps what the old file allowed). Ok when from does not exist.
FileResult copyModeAndGroup(std::string_view from, const BinaryFile& to);

}  // namespace xt
