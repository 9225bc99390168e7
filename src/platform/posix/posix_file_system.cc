#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/native_path.h"

namespace xt {

namespace {

bool existsExactly(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::optional<std::string> findCaseless(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* e = ::readdir(d)) {
    if (equalsIgnoringCase(e->d_name, name)) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

// Writes all of data at pos (pwrite writes less only when interrupted or
// out of room).
FileResult writeAllAt(int fd, int64_t pos, std::string_view data, std::string_view what) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, pos + static_cast<int64_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileResult::fromErrno(errno, what);
    }
    done += static_cast<size_t>(n);
  }
  return {};
}

// Takes a write lock on the whole file (l_len 0 reaches past any end) that
// belongs to this open of it; closing the descriptor gives it up. Without
// wait a lock held by another open answers Busy; some systems say EACCES
// for it rather than EAGAIN.
FileResult lockWholeFile(int fd, bool wait, std::string_view what) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    return FileResult::fromErrno(!wait && errno == EACCES ? EAGAIN : errno, what);
  }
  return {};
}

// Flushes a directory's entries, so that a rename into it outlasts a crash
// of the machine. Not every file system can: a failure is not reported.
void syncDirectory(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

class PosixFileHandle : public FileHandle {
 public:
  PosixFileHandle(PosixFileSystem& fileSystem, int fd) : fileSystem_(fileSystem), fd_(fd) {}
  ~PosixFileHandle() override { ::close(fd_); }  // also drops the lock
  PosixFileHandle(const PosixFileHandle&) = delete;
  PosixFileHandle& operator=(const PosixFileHandle&) = delete;

  int64_t size() const override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

  std::string readAt(int64_t pos, size_t n) const override {
    std::string data;
    if (pos < 0) return data;
    data.resize(n);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, data.data() + done, n - done, pos + static_cast<int64_t>(done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      done += static_cast<size_t>(r);
    }
    data.resize(done);
    return data;
  }

  FileResult writeAt(int64_t pos, std::string_view data) override { return writeAllAt(fd_, pos, data, "write"); }

  FileResult truncate(int64_t length) override {
    if (::ftruncate(fd_, length) != 0) return FileResult::fromErrno(errno, "truncate");
    return {};
  }

  FileResult sync() override {
    if (::fsync(fd_) != 0) return FileResult::fromErrno(errno, "sync");
    return {};
  }

  FileResult copyModeAndGroupFrom(std::string_view from) override {
    struct stat st;
    std::string native = fileSystem_.nativePath(from);
    if (::stat(native.c_str(), &st) != 0)
      return errno == ENOENT ? FileResult{} : FileResult::fromErrno(errno, native);
    struct stat own;
    if (::fstat(fd_, &own) != 0) return FileResult::fromErrno(errno, "fstat");
    if (own.st_gid != st.st_gid && ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0)
      return FileResult::fromErrno(errno, "fchown");
    if (::fchmod(fd_, st.st_mode & 07777) != 0) return FileResult::fromErrno(errno, "fchmod");
    return {};
  }

 private:
  PosixFileSystem& fileSystem_;
  int fd_;
};

}  // namespace

std::string PosixFileSystem::nativePath(std::string_view path) {
  return resolveNativePath(path, existsExactly, findCaseless);
}

bool PosixFileSystem::fileExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::directoryExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::writableDirectory(std::string_view path) {
  const std::string native = nativePath(path);
  return directoryExists(native) && ::access(native.c_str(), W_OK | X_OK) == 0;
}

bool PosixFileSystem::pathExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0;
}

int64_t PosixFileSystem::fileSize(std::string_view path) {
  struct stat st;
  if (::stat(nativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

std::optional<std::string> PosixFileSystem::readWholeFile(std::string_view path) {
  int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

FileResult PosixFileSystem::writeWholeFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  FileResult r = writeAllAt(fd, 0, data, native);
  if (::close(fd) != 0 && r.ok()) r = FileResult::fromErrno(errno, native);
  return r;
}

FileResult PosixFileSystem::replaceFileAtomically(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  std::string work = native + ".new." + std::to_string(::getpid());
  int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, work);
  FileResult r = writeAllAt(fd, 0, data, work);
  if (r.ok() && ::fsync(fd) != 0) r = FileResult::fromErrno(errno, work);
  if (::close(fd) != 0 && r.ok()) r = FileResult::fromErrno(errno, work);
  if (r.ok() && ::rename(work.c_str(), native.c_str()) != 0) r = FileResult::fromErrno(errno, native);
  if (!r.ok()) {
    ::unlink(work.c_str());
    return r;
  }
  syncDirectory(native);
  return r;
}

FileResult PosixFileSystem::appendToFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  // The end is read under the lock (on NFS taking it also drops what the
  // client knew of the file), and the line goes there in one write. Closing
  // writes it back to an NFS server before the lock goes, and says when
  // that failed.
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  FileResult r = lockWholeFile(fd, /*wait=*/true, native);
  struct stat st;
  if (r.ok() && ::fstat(fd, &st) != 0) r = FileResult::fromErrno(errno, native);
  if (r.ok()) r = writeAllAt(fd, st.st_size, data, native);
  if (::close(fd) != 0 && r.ok()) r = FileResult::fromErrno(errno, native);
  return r;
}

FileResult PosixFileSystem::removeFile(std::string_view path) {
  std::string native = nativePath(path);
  if (::unlink(native.c_str()) != 0) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult PosixFileSystem::removeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  if (::rmdir(native.c_str()) != 0) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult PosixFileSystem::renamePath(std::string_view from, std::string_view to, bool replace) {
  std::string a = nativePath(from);
  std::string b = nativePath(to);
  if (!replace) {
    // link + unlink refuses an existing target atomically on local disks.
    if (::link(a.c_str(), b.c_str()) == 0) {
      ::unlink(a.c_str());
      return {};
    }
    if (errno == EEXIST) return FileResult::fromErrno(EEXIST, b);
    // A missing source is reported as such, whatever the target.
    if (!existsExactly(a)) return FileResult::fromErrno(ENOENT, a);
    if (pathExists(b)) return FileResult::fromErrno(EEXIST, b);
  }
  if (::rename(a.c_str(), b.c_str()) != 0) return FileResult::fromErrno(errno, a);
  return {};
}

FileResult PosixFileSystem::makeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0777) != 0 && errno != EEXIST) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult PosixFileSystem::makeDirectories(std::string_view path) {
  for (const std::string& part : pathPrefixes(nativePath(path)))
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return FileResult::fromErrno(errno, part);
  return {};
}

std::vector<std::string> PosixFileSystem::listDirectory(std::string_view path) {
  std::vector<std::string> names;
  std::string native = nativePath(path);
  DIR* d = ::opendir(native.empty() ? "." : native.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(d);
  return names;
}

std::string PosixFileSystem::currentDirectory() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return {};
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

bool PosixFileSystem::changeDirectory(std::string_view path) { return ::chdir(nativePath(path).c_str()) == 0; }

FileResult PosixFileSystem::open(std::string_view path, OpenMode mode, bool exclusive,
                                 std::unique_ptr<FileHandle>& file) {
  std::string native = nativePath(path);
  if (exclusive && mode == OpenMode::Read) return FileResult::fromErrno(EBADF, native);
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read: flags |= O_RDONLY; break;
    case OpenMode::ReadWrite: flags |= O_RDWR; break;
    case OpenMode::ReadWriteCreate: flags |= O_RDWR | O_CREAT; break;
    case OpenMode::Truncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
  }
  int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  if (exclusive) {
    FileResult r = lockWholeFile(fd, /*wait=*/false, native);
    if (!r.ok()) {
      ::close(fd);
      return r;
    }
  }
  file = std::make_unique<PosixFileHandle>(*this, fd);
  return {};
}

}  // namespace xt
