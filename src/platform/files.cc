#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace xt {

FileResult FileResult::fromErrno(int err, std::string_view what) {
  FileResult r;
  r.error = err;
  if (err == ENOENT || err == ENOTDIR)
    r.code = Code::NotFound;
  else if (err == EWOULDBLOCK || err == EAGAIN || err == EACCES || err == EBUSY)
    r.code = err == EACCES ? Code::Failed : Code::Busy;
  else
    r.code = Code::Failed;
  r.message = std::string(what) + ": " + std::strerror(err);
  return r;
}

namespace {

bool existsExactly(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of dir whose name matches name without regard to letter case.
std::optional<std::string> findCaseless(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

}  // namespace

std::string nativePath(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty()) return p;

  std::string result;
  size_t i = 0;
  if (p[0] == '/') {
    result = "/";
    i = 1;
  }
  bool resolving = true;
  while (i <= p.size()) {
    size_t slash = p.find('/', i);
    if (slash == std::string::npos) slash = p.size();
    std::string component = p.substr(i, slash - i);
    bool trailing = slash < p.size();
    if (!component.empty()) {
      std::string candidate = result + component;
      if (resolving && component != "." && component != ".." && !existsExactly(candidate)) {
        std::string dir = result.empty() ? "." : result;
        if (auto match = findCaseless(dir, component))
          candidate = result + *match;
        else
          resolving = false;
      }
      result = candidate;
    }
    if (trailing && (result.empty() || result.back() != '/')) result += '/';
    i = slash + 1;
  }
  return result;
}

bool fileExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writableDirectory(std::string_view path) {
  const std::string native = nativePath(path);
  return directoryExists(native) && ::access(native.c_str(), W_OK | X_OK) == 0;
}

bool pathExists(std::string_view path) {
  struct stat st;
  return ::stat(nativePath(path).c_str(), &st) == 0;
}

int64_t fileSize(std::string_view path) {
  struct stat st;
  if (::stat(nativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

std::optional<std::string> readWholeFile(std::string_view path) {
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

namespace {

FileResult writeAll(int fd, std::string_view data, std::string_view what) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileResult::fromErrno(errno, what);
    }
    done += static_cast<size_t>(n);
  }
  return {};
}

}  // namespace

FileResult writeWholeFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  FileResult r = writeAll(fd, data, native);
  if (::close(fd) != 0 && r.ok()) r = FileResult::fromErrno(errno, native);
  return r;
}

FileResult replaceFileAtomically(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  std::string work = native + ".new." + std::to_string(::getpid());
  int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, work);
  FileResult r = writeAll(fd, data, work);
  if (r.ok() && ::fsync(fd) != 0) r = FileResult::fromErrno(errno, work);
  if (::close(fd) != 0 && r.ok()) r = FileResult::fromErrno(errno, work);
  if (r.ok() && ::rename(work.c_str(), native.c_str()) != 0) r = FileResult::fromErrno(errno, native);
  if (!r.ok()) ::unlink(work.c_str());
  return r;
}

FileResult appendToFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  FileResult r = writeAll(fd, data, native);
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return r;
}

FileResult removeFile(std::string_view path) {
  std::string native = nativePath(path);
  if (::unlink(native.c_str()) != 0) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult removeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  if (::rmdir(native.c_str()) != 0) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult renamePath(std::string_view from, std::string_view to, bool replace) {
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

FileResult makeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0777) != 0 && errno != EEXIST) return FileResult::fromErrno(errno, native);
  return {};
}

FileResult makeDirectories(std::string_view path) {
  std::string native = nativePath(path);
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == '/') {
      std::string part = native.substr(0, i);
      if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
        return FileResult::fromErrno(errno, part);
    }
  }
  return {};
}

std::vector<std::string> listDirectory(std::string_view path) {
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

std::string currentDirectory() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return {};
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

bool changeDirectory(std::string_view path) {
  return ::chdir(nativePath(path).c_str()) == 0;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    size_t lineEnd = end;
    if (lineEnd > start && text[lineEnd - 1] == '\r') --lineEnd;
    lines.emplace_back(text.substr(start, lineEnd - start));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

BinaryFile::~BinaryFile() { close(); }

BinaryFile::BinaryFile(BinaryFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileResult BinaryFile::open(std::string_view path, Mode mode, bool exclusive) {
  close();
  std::string native = nativePath(path);
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::ReadWriteCreate: flags |= O_RDWR | O_CREAT; break;
    case Mode::Truncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
  }
  int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) return FileResult::fromErrno(errno, native);
  if (exclusive) {
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      int err = errno;
      ::close(fd);
      FileResult r = FileResult::fromErrno(err, native);
      if (err == EWOULDBLOCK) r.code = FileResult::Code::Busy;
      return r;
    }
  }
  fd_ = fd;
  return {};
}

void BinaryFile::close() {
  if (fd_ >= 0) {
    ::close(fd_);  // also drops the flock
    fd_ = -1;
  }
}

int64_t BinaryFile::size() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

std::string BinaryFile::readAt(int64_t pos, size_t n) const {
  std::string data;
  if (fd_ < 0 || pos < 0) return data;
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

FileResult BinaryFile::writeAt(int64_t pos, std::string_view data) {
  if (fd_ < 0) return FileResult::fromErrno(EBADF, "write");
  size_t done = 0;
  while (done < data.size()) {
    ssize_t r = ::pwrite(fd_, data.data() + done, data.size() - done, pos + static_cast<int64_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return FileResult::fromErrno(errno, "write");
    }
    done += static_cast<size_t>(r);
  }
  return {};
}

FileResult BinaryFile::truncate(int64_t length) {
  if (fd_ < 0 || ::ftruncate(fd_, length) != 0) return FileResult::fromErrno(fd_ < 0 ? EBADF : errno, "truncate");
  return {};
}

FileResult BinaryFile::sync() {
  if (fd_ < 0 || ::fsync(fd_) != 0) return FileResult::fromErrno(fd_ < 0 ? EBADF : errno, "sync");
  return {};
}

FileResult copyModeAndGroup(std::string_view from, const BinaryFile& to) {
  struct stat st;
  std::string native = nativePath(from);
  if (::stat(native.c_str(), &st) != 0) return errno == ENOENT ? FileResult{} : FileResult::fromErrno(errno, native);
  struct stat own;
  if (::fstat(to.fd(), &own) != 0) return FileResult::fromErrno(errno, "fstat");
  if (own.st_gid != st.st_gid && ::fchown(to.fd(), static_cast<uid_t>(-1), st.st_gid) != 0)
    return FileResult::fromErrno(errno, "fchown");
  if (::fchmod(to.fd(), st.st_mode & 07777) != 0) return FileResult::fromErrno(errno, "fchmod");
  return {};
}

}  // namespace xt
