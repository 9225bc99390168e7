// The FileSystem of the real disk on Windows, through the wide calls (path
// bytes are code page 850, see wide_text.h). Every file is opened sharing
// reading, writing and deleting, so that other terminals may read a file
// one holds, and a file another process reads can still be renamed or
// removed.
//
// Exclusive opens and appends lock one byte of the file, far past any data
// (kExclusiveLockByte), with LockFileEx: such a lock belongs to the handle,
// so two opens in one process exclude each other and closing the handle
// gives it up, and it leaves the file's data readable and writable through
// the other handles (Windows byte-range locks are mandatory: a lock on the
// data would stop the other terminals' readers). Wine, and Samba with its
// default posix locking, turn it into a POSIX lock of that byte, which a
// Linux terminal's whole-file lock covers, so a Windows console and a
// Linux terminal sharing an installation exclude each other too. Sharing
// mode 0 would not: it stays among Windows programs, and it would refuse
// the plain opens the interface lets through.
//
// An atomic replace writes a work file beside the target, flushes it and
// renames it over the target the POSIX way where Windows can (10 and later
// on NTFS: readers that have the old file open keep it), else with
// MoveFileExW (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), which
// must wait until no one has the old file open: it tries for a second,
// then answers Busy. Errors come back as the errno values the callers test
// (win32ErrorToErrno).
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace xt {

// The byte whose lock makes an open exclusive: far past any data, yet one
// that a 64-bit POSIX lock can still cover, so that Wine and servers map
// it to one (Wine maps none on the very last byte, 2^63 - 1).
constexpr uint64_t kExclusiveLockByte = 0x7FFFFFFFFFFFFFFEull;

// The errno value of a Win32 error code (GetLastError()), EIO for one
// without a counterpart.
int win32ErrorToErrno(unsigned long error);

class Win32FileSystem : public FileSystem {
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
  // "C:/tav", or "//server/share/tav" on a network share; a drive's root is
  // "C:/".
  std::string currentDirectory() override;
  bool changeDirectory(std::string_view path) override;
  FileResult open(std::string_view path, OpenMode mode, bool exclusive,
                  std::unique_ptr<FileHandle>& file) override;
};

}  // namespace xt
