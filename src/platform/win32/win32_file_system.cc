#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/native_path.h"
#include "platform/win32/wide_text.h"

namespace xt {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle closed when it goes.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE h) : h_(h) {}
  ~OwnedHandle() {
    if (valid()) ::CloseHandle(h_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  // Closes now; false when closing failed (a delayed write that failed).
  bool close() {
    bool ok = ::CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

FileResult failure(DWORD error, std::string_view what) {
  FileResult r = FileResult::fromErrno(win32ErrorToErrno(error), what);
  r.message += " (Windows error " + std::to_string(error) + ")";
  return r;
}

FileResult lastFailure(std::string_view what) { return failure(::GetLastError(), what); }

// The attributes of an entry; INVALID_FILE_ATTRIBUTES when there is none.
// A trailing separator names only a directory, as on Linux.
DWORD attributesOf(const std::string& native) {
  DWORD a = ::GetFileAttributesW(widePath(native).c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !native.empty() && native.back() == '/' &&
      !(a & FILE_ATTRIBUTE_DIRECTORY))
    return INVALID_FILE_ATTRIBUTES;
  return a;
}

bool isDirectory(const std::string& native) {
  DWORD a = attributesOf(native);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool hasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

// The name the directory holds for the entry at path (FindFirstFileW
// matches names without regard to case); nullopt when there is none.
std::optional<std::string> storedName(const std::string& path) {
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW(widePath(path).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(h);
  return narrowText(found.cFileName);
}

std::string lastComponent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The disk itself ignores letter case; these lookups give the names as
// stored, so paths come out as they do on Linux.
bool existsExactly(const std::string& path) {
  if (hasWildcard(path)) return false;
  std::optional<std::string> name = storedName(path);
  return name && *name == lastComponent(path);
}

std::optional<std::string> findCaseless(const std::string& dir, const std::string& name) {
  if (hasWildcard(name)) return std::nullopt;
  return storedName((dir.back() == '/' ? dir : dir + "/") + name);
}

OVERLAPPED at(uint64_t pos) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(pos);
  o.OffsetHigh = static_cast<DWORD>(pos >> 32);
  return o;
}

// Locks the exclusive-open byte of an open file; without wait a lock held
// through another handle answers Busy (EAGAIN).
FileResult lockExclusiveByte(HANDLE h, bool wait, std::string_view what) {
  OVERLAPPED o = at(kExclusiveLockByte);
  DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (::LockFileEx(h, flags, 0, 1, 0, &o)) return {};
  DWORD error = ::GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return FileResult::fromErrno(EAGAIN, what);
  return failure(error, what);
}

FileResult writeAllAt(HANDLE h, uint64_t pos, std::string_view data, std::string_view what) {
  size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED o = at(pos + done);
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(h, data.data() + done, chunk, &written, &o)) return lastFailure(what);
    if (written == 0) return FileResult::fromErrno(ENOSPC, what);
    done += written;
  }
  return {};
}

HANDLE openHandle(const std::string& native, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return ::CreateFileW(widePath(native).c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

// The failure of opening or changing an existing entry: a directory where a
// file was meant says so (Windows says only "access denied").
FileResult openFailure(const std::string& native) {
  DWORD error = ::GetLastError();
  // Windows answers access denied for a directory, Wine file not found.
  if (isDirectory(native)) return FileResult::fromErrno(EISDIR, native);
  if (error == ERROR_PATH_NOT_FOUND) {
    // A file where a directory of the path should be: ENOTDIR, as on Linux.
    const std::vector<std::string> parents = pathPrefixes(native);
    for (size_t i = 0; i + 1 < parents.size(); ++i) {
      const DWORD a = attributesOf(parents[i]);
      if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return FileResult::fromErrno(ENOTDIR, native);
    }
  }
  return failure(error, native);
}

class Win32FileHandle : public FileHandle {
 public:
  Win32FileHandle(HANDLE h, bool writable) : h_(h), writable_(writable) {}
  ~Win32FileHandle() override { ::CloseHandle(h_); }  // also gives up the lock
  Win32FileHandle(const Win32FileHandle&) = delete;
  Win32FileHandle& operator=(const Win32FileHandle&) = delete;

  int64_t size() const override {
    LARGE_INTEGER n;
    return ::GetFileSizeEx(h_, &n) ? n.QuadPart : -1;
  }

  std::string readAt(int64_t pos, size_t n) const override {
    std::string data;
    if (pos < 0) return data;
    data.resize(n);
    size_t done = 0;
    while (done < n) {
      OVERLAPPED o = at(static_cast<uint64_t>(pos) + done);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(h_, data.data() + done, chunk, &got, &o) || got == 0) break;  // the end, or a failure
      done += got;
    }
    data.resize(done);
    return data;
  }

  FileResult writeAt(int64_t pos, std::string_view data) override {
    if (!writable_) return FileResult::fromErrno(EBADF, "write");
    if (pos < 0) return FileResult::fromErrno(EINVAL, "write");
    return writeAllAt(h_, static_cast<uint64_t>(pos), data, "write");
  }

  FileResult truncate(int64_t length) override {
    if (!writable_ || length < 0) return FileResult::fromErrno(EINVAL, "truncate");
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    if (!::SetFileInformationByHandle(h_, FileEndOfFileInfo, &end, sizeof end)) return lastFailure("truncate");
    return {};
  }

  FileResult sync() override {
    // A file open for reading has nothing of its own to flush (and Windows
    // refuses to flush through such a handle).
    if (writable_ && !::FlushFileBuffers(h_)) return lastFailure("sync");
    return {};
  }

  // A new file's access on Windows comes from its directory (inherited
  // access lists), as the replaced file's did: nothing to copy.
  FileResult copyModeAndGroupFrom(std::string_view) override { return {}; }

 private:
  HANDLE h_;
  bool writable_;
};

}  // namespace

int win32ErrorToErrno(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_MORE_FILES:
      return ENOENT;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_INVALID_ACCESS:
      return EACCES;
    case ERROR_PRIVILEGE_NOT_HELD: return EPERM;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
    case ERROR_DRIVE_LOCKED:
      return EBUSY;
    case ERROR_LOCK_VIOLATION: return EAGAIN;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;  // device, network and media failures among them
  }
}

std::string Win32FileSystem::nativePath(std::string_view path) {
  return resolveNativePath(path, existsExactly, findCaseless);
}

bool Win32FileSystem::fileExists(std::string_view path) {
  DWORD a = attributesOf(nativePath(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::directoryExists(std::string_view path) { return isDirectory(nativePath(path)); }

bool Win32FileSystem::writableDirectory(std::string_view path) {
  // Access lists cannot be read off the attributes: a file made and
  // dropped at once tells.
  const std::string native = nativePath(path);
  if (!isDirectory(native)) return false;
  std::string probe = native + (native.back() == '/' ? "" : "/") + "xt-probe-" +
                      std::to_string(::GetCurrentProcessId()) + ".tmp";
  HANDLE h = ::CreateFileW(widePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
  ::CloseHandle(h);
  return true;
}

bool Win32FileSystem::pathExists(std::string_view path) {
  return attributesOf(nativePath(path)) != INVALID_FILE_ATTRIBUTES;
}

int64_t Win32FileSystem::fileSize(std::string_view path) {
  const std::string native = nativePath(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (attributesOf(native) == INVALID_FILE_ATTRIBUTES ||
      !::GetFileAttributesExW(widePath(native).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> Win32FileSystem::readWholeFile(std::string_view path) {
  OwnedHandle h(openHandle(nativePath(path), GENERIC_READ, OPEN_EXISTING));
  if (!h.valid()) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(h.get(), buf, sizeof buf, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    data.append(buf, got);
  }
  return data;
}

FileResult Win32FileSystem::writeWholeFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  OwnedHandle h(openHandle(native, GENERIC_WRITE, CREATE_ALWAYS));
  if (!h.valid()) return openFailure(native);
  FileResult r = writeAllAt(h.get(), 0, data, native);
  if (!h.close() && r.ok()) r = lastFailure(native);
  return r;
}

// FileRenameInfoEx (Windows 10 1709), which mingw-w64's headers leave out
// behind a version test no _WIN32_WINNT passes.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// Renames the open file over target the POSIX way (Windows 10 on NTFS):
// the name changes at once even while others have the old file open, and
// they go on reading the old content. False where the system cannot (an
// older one, another file system); the error is then GetLastError's.
bool renameOverPosixStyle(HANDLE file, const std::string& target) {
  const std::wstring name = widePath(target);
  std::string buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t), '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), info->FileName);
  return ::SetFileInformationByHandle(file, kFileRenameInfoEx, info, static_cast<DWORD>(buffer.size())) != 0;
}

FileResult Win32FileSystem::replaceFileAtomically(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  std::string work = native + ".new." + std::to_string(::GetCurrentProcessId());
  OwnedHandle h(openHandle(work, GENERIC_WRITE | DELETE, CREATE_ALWAYS));
  if (!h.valid()) return lastFailure(work);
  FileResult r = writeAllAt(h.get(), 0, data, work);
  if (r.ok() && !::FlushFileBuffers(h.get())) r = lastFailure(work);
  bool moved = r.ok() && !isDirectory(native) && renameOverPosixStyle(h.get(), native);
  if (!h.close() && r.ok()) r = lastFailure(moved ? native : work);
  if (r.ok() && !moved) {
    // Older systems (and Wine) refuse to replace a file others have open,
    // even when they let it be deleted; readers hold it for a moment only,
    // so the move is tried again for a second, then answers Busy.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!::MoveFileExW(widePath(work).c_str(), widePath(native).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DWORD error = ::GetLastError();
      bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
      if (!held || isDirectory(native)) {
        r = failure(error, native);
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        r = FileResult::fromErrno(EBUSY, native);  // still held
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (!r.ok() && !moved) ::DeleteFileW(widePath(work).c_str());
  return r;
}

FileResult Win32FileSystem::appendToFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  // The end is read under the lock and the line goes there in one write.
  OwnedHandle h(openHandle(native, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
  if (!h.valid()) return openFailure(native);
  FileResult r = lockExclusiveByte(h.get(), /*wait=*/true, native);
  LARGE_INTEGER end{};
  if (r.ok() && !::GetFileSizeEx(h.get(), &end)) r = lastFailure(native);
  if (r.ok()) r = writeAllAt(h.get(), static_cast<uint64_t>(end.QuadPart), data, native);
  if (!h.close() && r.ok()) r = lastFailure(native);
  return r;
}

FileResult Win32FileSystem::removeFile(std::string_view path) {
  std::string native = nativePath(path);
  if (!::DeleteFileW(widePath(native).c_str())) return openFailure(native);
  return {};
}

FileResult Win32FileSystem::removeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  DWORD a = attributesOf(native);
  if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return FileResult::fromErrno(ENOTDIR, native);
  if (!::RemoveDirectoryW(widePath(native).c_str())) return lastFailure(native);
  return {};
}

FileResult Win32FileSystem::renamePath(std::string_view from, std::string_view to, bool replace) {
  std::string a = nativePath(from);
  std::string b = nativePath(to);
  DWORD source = attributesOf(a);
  if (source == INVALID_FILE_ATTRIBUTES) return FileResult::fromErrno(ENOENT, a);
  DWORD target = attributesOf(b);
  if (target != INVALID_FILE_ATTRIBUTES) {
    // Also when both name one entry in two letter cases, as on Linux.
    if (!replace) return FileResult::fromErrno(EEXIST, b);
    bool sourceDir = source & FILE_ATTRIBUTE_DIRECTORY, targetDir = target & FILE_ATTRIBUTE_DIRECTORY;
    if (targetDir && !sourceDir) return FileResult::fromErrno(EISDIR, b);
    if (sourceDir && !targetDir) return FileResult::fromErrno(ENOTDIR, a);
  }
  // Without MOVEFILE_REPLACE_EXISTING a target made meanwhile still fails.
  if (!::MoveFileExW(widePath(a).c_str(), widePath(b).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
    return lastFailure(a);
  return {};
}

FileResult Win32FileSystem::makeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  while (native.size() > pathRootLength(native) && native.back() == '/') native.pop_back();
  if (!::CreateDirectoryW(widePath(native).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return lastFailure(native);
  return {};
}

FileResult Win32FileSystem::makeDirectories(std::string_view path) {
  for (std::string part : pathPrefixes(nativePath(path))) {
    while (part.size() > pathRootLength(part) && part.back() == '/') part.pop_back();
    if (!::CreateDirectoryW(widePath(part).c_str(), nullptr)) {
      DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && !isDirectory(part)) return failure(error, part);
    }
  }
  return {};
}

std::vector<std::string> Win32FileSystem::listDirectory(std::string_view path) {
  std::vector<std::string> names;
  std::string native = nativePath(path);
  std::string pattern = native.empty() ? "*" : native + (native.back() == '/' ? "*" : "/*");
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW(widePath(pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = narrowText(found.cFileName);
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (::FindNextFileW(h, &found));
  ::FindClose(h);
  return names;
}

std::string Win32FileSystem::currentDirectory() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring buf(n, L'\0');
  n = ::GetCurrentDirectoryW(n, buf.data());
  buf.resize(n);
  // The long-path forms "\\?\C:\..." and "\\?\UNC\server\share\...".
  if (buf.starts_with(L"\\\\?\\UNC\\"))
    buf = L"\\\\" + buf.substr(8);
  else if (buf.starts_with(L"\\\\?\\"))
    buf = buf.substr(4);
  std::string dir = narrowText(buf);
  for (char& c : dir)
    if (c == '\\') c = '/';
  // A drive's root keeps its separator ("C:" alone is the drive's current
  // directory); a share's root does not need it.
  while (dir.size() > 1 && dir.back() == '/' && !(dir.size() == 3 && dir[1] == ':')) dir.pop_back();
  return dir;
}

bool Win32FileSystem::changeDirectory(std::string_view path) {
  return ::SetCurrentDirectoryW(widePath(nativePath(path)).c_str()) != 0;
}

FileResult Win32FileSystem::open(std::string_view path, OpenMode mode, bool exclusive,
                                 std::unique_ptr<FileHandle>& file) {
  std::string native = nativePath(path);
  if (exclusive && mode == OpenMode::Read) return FileResult::fromErrno(EBADF, native);
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::Read: access = GENERIC_READ; break;
    case OpenMode::ReadWrite: break;
    case OpenMode::ReadWriteCreate:
    case OpenMode::Truncate: disposition = OPEN_ALWAYS; break;
    case OpenMode::CreateNew: disposition = CREATE_NEW; break;
  }
  if (!native.empty() && native.back() == '/') return FileResult::fromErrno(EISDIR, native);
  OwnedHandle h(openHandle(native, access, disposition));
  if (!h.valid()) return openFailure(native);
  if (mode == OpenMode::Truncate) {
    // Emptied here rather than by CREATE_ALWAYS, which would also reset the
    // file's attributes (and refuses a hidden file).
    FILE_END_OF_FILE_INFO end{};
    if (!::SetFileInformationByHandle(h.get(), FileEndOfFileInfo, &end, sizeof end)) return lastFailure(native);
  }
  if (exclusive) {
    FileResult r = lockExclusiveByte(h.get(), /*wait=*/false, native);
    if (!r.ok()) return r;
  }
  file = std::make_unique<Win32FileHandle>(h.release(), mode != OpenMode::Read);
  return {};
}

}  // namespace xt
