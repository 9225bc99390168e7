// The FileSystem of the real disk. Exclusive opens and appends take a write
// lock on the whole file as an open file description lock (fcntl
// F_OFD_SETLK): like flock it belongs to the open file, so two opens in one
// process exclude each other and closing the file gives it up, and unlike
// flock NFS carries it to the server, so it holds between the hosts that
// share an installation. A write lock needs a file open for writing: an
// exclusive open in OpenMode::Read answers EBADF (the program's exclusive
// opens are all of lock files it writes). An append writes at the end it
// reads under the lock, not with O_APPEND, which NFS does not make atomic.
// A rename that must not replace links the new name first (the kernel
// refuses an existing one) and then removes the old one; an atomic replace
// writes a work file beside the target, flushes it, renames it over and
// flushes the directory. Descriptors are opened with O_CLOEXEC so that
// commands the program runs inherit none.
#pragma once

#include "platform/file_system.h"

namespace xt {

class PosixFileSystem : public FileSystem {
 public:
  std::string nativePath(std::string_view path) override;
  bool fileExists(std::string_view path) override;
  bool directoryExists(std::string_view path) override;
  bool writableDirectory(std::string_view path) override;
  bool pathExists(std::string_view path) override;
  int64_t fileSize(std::string_view path) override;
  std::optional<std::string> readWholeFile(std::string_view path) override;
  FileResult writeWholeFile(std::string_view path, std::string_view data) override;
  FileResult replaceFileAtomically(std::string_view path, std::string_view data) override;
  FileResult appendToFile(std::string_view path, std::string_view data) override;
  FileResult removeFile(std::string_view path) override;
  FileResult removeDirectory(std::string_view path) override;
  FileResult renamePath(std::string_view from, std::string_view to, bool replace) override;
  FileResult makeDirectory(std::string_view path) override;
  FileResult makeDirectories(std::string_view path) override;
  std::vector<std::string> listDirectory(std::string_view path) override;
  std::string currentDirectory() override;
  bool changeDirectory(std::string_view path) override;
  FileResult open(std::string_view path, OpenMode mode, bool exclusive,
                  std::unique_ptr<FileHandle>& file) override;
};

}  // namespace xt
