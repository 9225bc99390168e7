// A FileSystem held in memory for tests and fuzz targets: directories and
// files under "/", a current directory ("/" at first), names resolved as on
// disk (native_path.h), exclusive opens that exclude each other between
// handles of this file system, and the disk's answers (errno) to what
// cannot be done. An open file outlives its removal or replacement, as on
// disk. Nothing touches the disk. Unlike the disk it keeps no owners or
// permission bits (every directory is writable, copying the mode and group
// only looks the source up), a directory cannot be opened, and an append to
// a file held exclusively answers Busy where the disk would wait.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace xt {

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

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

 private:
  struct Node;
  struct Place;
  class Handle;

  // Where a native path leads, following it entry by entry.
  Place locate(std::string_view native) const;
  // The file at native for an open in mode (created or emptied as the mode
  // says), or the disk's error.
  FileResult openNode(const std::string& native, OpenMode mode, std::shared_ptr<Node>& node);
  // The absolute form of a native path whose directories all exist.
  std::string absolute(std::string_view native) const;

  std::shared_ptr<Node> root_;
  std::string cwd_ = "/";
};

}  // namespace xt
