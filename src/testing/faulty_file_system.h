// A FileSystem that forwards every call to another one and fails the calls
// a test aims a fault at, as a full disk, a refused permission, a read-only
// disk or a write cut short would: the caller gets the FileResult the disk
// would give, with its errno. Handles it opens are wrapped too, so that the
// writes, truncation and syncs of an open file can fail.
//
//   FaultyFileSystem disk(memory);
//   disk.inject(FileFault(FileFault::kWriteAt).onPathsWith("LOCKS").passing(2));
//   // the third positioned write to a file whose path has LOCKS in it
//   // fails with ENOSPC; later ones succeed again.
#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace xt {

struct FileFault {
  enum Operation : uint32_t {
    kOpenForReading = 1u << 0,
    kOpenForWriting = 1u << 1,  // any mode but Read
    kReadWholeFile = 1u << 2,   // answers nullopt
    kWriteWholeFile = 1u << 3,
    kReplaceFileAtomically = 1u << 4,  // the file keeps its old content
    kAppendToFile = 1u << 5,
    kRemoveFile = 1u << 6,
    kRemoveDirectory = 1u << 7,
    kRenamePath = 1u << 8,     // matches either path
    kMakeDirectory = 1u << 9,  // makeDirectory and makeDirectories
    kReadAt = 1u << 10,        // reads nothing
    kWriteAt = 1u << 11,
    kTruncate = 1u << 12,
    kSync = 1u << 13,
    kCopyModeAndGroup = 1u << 14,
    kAnyWrite = kWriteWholeFile | kReplaceFileAtomically | kAppendToFile | kWriteAt,
  };

  explicit FileFault(uint32_t operationBits) : operations(operationBits) {}
  FileFault& onPathsWith(std::string part) { pathContains = std::move(part); return *this; }
  FileFault& passing(int calls) { after = calls; return *this; }
  FileFault& repeated(int failures) { times = failures; return *this; }
  FileFault& withError(int err) { error = err; return *this; }
  FileFault& cutShortAfter(size_t bytes) { partial = bytes; return *this; }

  uint32_t operations;       // Operation bits
  std::string pathContains;  // only calls on a path with this in it, as the caller wrote it ("": any)
  int after = 0;             // matching calls that go through before the first failure
  int times = 1;             // failures, then calls go through again; -1: every one from then on
  int error = ENOSPC;        // EACCES, EROFS, EIO...
  // A failing write, append or positioned write first stores this many
  // bytes of its data (a short write); a failing atomic replace stores none.
  std::optional<size_t> partial;
};

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& target) : target_(target) {}

  // Arms a fault besides those armed already; a call fails by the first
  // one that matches it and is due.
  void inject(FileFault fault) { faults_.push_back({std::move(fault), 0}); }
  void clearFaults() { faults_.clear(); }
  int failuresInjected() const { return failures_; }

  std::string nativePath(std::string_view path) override { return target_.nativePath(path); }
  bool fileExists(std::string_view path) override { return target_.fileExists(path); }
  bool directoryExists(std::string_view path) override { return target_.directoryExists(path); }
  bool writableDirectory(std::string_view path) override { return target_.writableDirectory(path); }
  bool pathExists(std::string_view path) override { return target_.pathExists(path); }
  int64_t fileSize(std::string_view path) override { return target_.fileSize(path); }
  std::optional<std::string> readWholeFile(std::string_view path) override;
  FileResult writeWholeFile(std::string_view path, std::string_view data) override;
  FileResult replaceFileAtomically(std::string_view path, std::string_view data) override;
  FileResult appendToFile(std::string_view path, std::string_view data) override;
  FileResult removeFile(std::string_view path) override;
  FileResult removeDirectory(std::string_view path) override;
  FileResult renamePath(std::string_view from, std::string_view to, bool replace) override;
  FileResult makeDirectory(std::string_view path) override;
  FileResult makeDirectories(std::string_view path) override;
  std::vector<std::string> listDirectory(std::string_view path) override { return target_.listDirectory(path); }
  std::string currentDirectory() override { return target_.currentDirectory(); }
  bool changeDirectory(std::string_view path) override { return target_.changeDirectory(path); }
  FileResult open(std::string_view path, OpenMode mode, bool exclusive,
                  std::unique_ptr<FileHandle>& file) override;

 private:
  class Handle;
  struct Armed {
    FileFault fault;
    int seen;  // matching calls so far
  };

  // The fault that fails this call, after counting the call against every
  // fault it matches; nullptr when the call goes through.
  const FileFault* strike(FileFault::Operation operation, std::string_view path, std::string_view otherPath = {});

  FileSystem& target_;
  std::vector<Armed> faults_;
  int failures_ = 0;
};

}  // namespace xt
