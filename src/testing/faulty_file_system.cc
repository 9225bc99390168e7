#include "testing/faulty_file_system.h"

#include <algorithm>

namespace xt {

namespace {

// What a short write stores before it fails.
std::string_view storedPart(std::string_view data, const FileFault& fault) {
  return data.substr(0, std::min(data.size(), fault.partial.value_or(0)));
}

FileResult failure(const FileFault& fault, std::string_view path) {
  return FileResult::fromErrno(fault.error, path);
}

}  // namespace

class FaultyFileSystem::Handle : public FileHandle {
 public:
  Handle(FaultyFileSystem& fileSystem, std::string path, std::unique_ptr<FileHandle> target)
      : fileSystem_(fileSystem), path_(std::move(path)), target_(std::move(target)) {}

  int64_t size() const override { return target_->size(); }

  std::string readAt(int64_t pos, size_t n) const override {
    if (fileSystem_.strike(FileFault::kReadAt, path_)) return {};
    return target_->readAt(pos, n);
  }

  FileResult writeAt(int64_t pos, std::string_view data) override {
    const FileFault* fault = fileSystem_.strike(FileFault::kWriteAt, path_);
    if (!fault) return target_->writeAt(pos, data);
    if (fault->partial) (void)target_->writeAt(pos, storedPart(data, *fault));
    return failure(*fault, path_);
  }

  FileResult truncate(int64_t length) override {
    const FileFault* fault = fileSystem_.strike(FileFault::kTruncate, path_);
    return fault ? failure(*fault, path_) : target_->truncate(length);
  }

  FileResult sync() override {
    const FileFault* fault = fileSystem_.strike(FileFault::kSync, path_);
    return fault ? failure(*fault, path_) : target_->sync();
  }

  FileResult copyModeAndGroupFrom(std::string_view from) override {
    const FileFault* fault = fileSystem_.strike(FileFault::kCopyModeAndGroup, path_, from);
    return fault ? failure(*fault, path_) : target_->copyModeAndGroupFrom(from);
  }

 private:
  FaultyFileSystem& fileSystem_;
  std::string path_;
  std::unique_ptr<FileHandle> target_;
};

const FileFault* FaultyFileSystem::strike(FileFault::Operation operation, std::string_view path,
                                          std::string_view otherPath) {
  const FileFault* due = nullptr;
  for (Armed& armed : faults_) {
    const FileFault& fault = armed.fault;
    if ((fault.operations & operation) == 0) continue;
    const std::string& part = fault.pathContains;
    if (!part.empty() && path.find(part) == std::string_view::npos &&
        otherPath.find(part) == std::string_view::npos)
      continue;
    ++armed.seen;
    const bool inWindow = armed.seen > fault.after && (fault.times < 0 || armed.seen <= fault.after + fault.times);
    if (inWindow && !due) due = &fault;
  }
  if (due) ++failures_;
  return due;
}

std::optional<std::string> FaultyFileSystem::readWholeFile(std::string_view path) {
  if (strike(FileFault::kReadWholeFile, path)) return std::nullopt;
  return target_.readWholeFile(path);
}

FileResult FaultyFileSystem::writeWholeFile(std::string_view path, std::string_view data) {
  const FileFault* fault = strike(FileFault::kWriteWholeFile, path);
  if (!fault) return target_.writeWholeFile(path, data);
  if (fault->partial) (void)target_.writeWholeFile(path, storedPart(data, *fault));
  return failure(*fault, path);
}

FileResult FaultyFileSystem::replaceFileAtomically(std::string_view path, std::string_view data) {
  const FileFault* fault = strike(FileFault::kReplaceFileAtomically, path);
  return fault ? failure(*fault, path) : target_.replaceFileAtomically(path, data);
}

FileResult FaultyFileSystem::appendToFile(std::string_view path, std::string_view data) {
  const FileFault* fault = strike(FileFault::kAppendToFile, path);
  if (!fault) return target_.appendToFile(path, data);
  if (fault->partial) (void)target_.appendToFile(path, storedPart(data, *fault));
  return failure(*fault, path);
}

FileResult FaultyFileSystem::removeFile(std::string_view path) {
  const FileFault* fault = strike(FileFault::kRemoveFile, path);
  return fault ? failure(*fault, path) : target_.removeFile(path);
}

FileResult FaultyFileSystem::removeDirectory(std::string_view path) {
  const FileFault* fault = strike(FileFault::kRemoveDirectory, path);
  return fault ? failure(*fault, path) : target_.removeDirectory(path);
}

FileResult FaultyFileSystem::renamePath(std::string_view from, std::string_view to, bool replace) {
  const FileFault* fault = strike(FileFault::kRenamePath, from, to);
  return fault ? failure(*fault, from) : target_.renamePath(from, to, replace);
}

FileResult FaultyFileSystem::makeDirectory(std::string_view path) {
  const FileFault* fault = strike(FileFault::kMakeDirectory, path);
  return fault ? failure(*fault, path) : target_.makeDirectory(path);
}

FileResult FaultyFileSystem::makeDirectories(std::string_view path) {
  const FileFault* fault = strike(FileFault::kMakeDirectory, path);
  return fault ? failure(*fault, path) : target_.makeDirectories(path);
}

FileResult FaultyFileSystem::open(std::string_view path, OpenMode mode, bool exclusive,
                                  std::unique_ptr<FileHandle>& file) {
  const auto operation = mode == OpenMode::Read ? FileFault::kOpenForReading : FileFault::kOpenForWriting;
  if (const FileFault* fault = strike(operation, path)) return failure(*fault, path);
  std::unique_ptr<FileHandle> opened;
  FileResult r = target_.open(path, mode, exclusive, opened);
  if (r.ok()) file = std::make_unique<Handle>(*this, std::string(path), std::move(opened));
  return r;
}

}  // namespace xt
