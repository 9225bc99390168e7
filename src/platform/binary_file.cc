#include "platform/binary_file.h"

#include <cerrno>

namespace xt {

FileResult BinaryFile::open(FileSystem& fileSystem, std::string_view path, Mode mode, bool exclusive) {
  close();
  return fileSystem.open(path, mode, exclusive, file_);
}

int64_t BinaryFile::size() const { return file_ ? file_->size() : -1; }

std::string BinaryFile::readAt(int64_t pos, size_t n) const { return file_ ? file_->readAt(pos, n) : std::string(); }

FileResult BinaryFile::writeAt(int64_t pos, std::string_view data) {
  return file_ ? file_->writeAt(pos, data) : FileResult::fromErrno(EBADF, "write");
}

FileResult BinaryFile::truncate(int64_t length) {
  return file_ ? file_->truncate(length) : FileResult::fromErrno(EBADF, "truncate");
}

FileResult BinaryFile::sync() { return file_ ? file_->sync() : FileResult::fromErrno(EBADF, "sync"); }

FileResult BinaryFile::copyModeAndGroupFrom(std::string_view from) const {
  return file_ ? file_->copyModeAndGroupFrom(from) : FileResult::fromErrno(EBADF, "fstat");
}

}  // namespace xt
