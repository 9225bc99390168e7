#include "testing/memory_file_system.h"

#include <cerrno>
#include <map>

#include "platform/native_path.h"

namespace xt {

struct MemoryFileSystem::Node {
  bool directory = false;
  std::string data;
  std::map<std::string, std::shared_ptr<Node>> entries;
  bool heldExclusively = false;
};

// The end of a path: the directory its last component names an entry of
// (none for "/" and paths ending in "." or ".."), that name, and the entry
// when it exists. error is the disk's answer when the way there fails.
struct MemoryFileSystem::Place {
  std::shared_ptr<Node> parent;
  std::string name;
  std::shared_ptr<Node> node;
  int error = 0;
  bool trailingSlash = false;
};

class MemoryFileSystem::Handle : public FileHandle {
 public:
  Handle(MemoryFileSystem& fileSystem, std::shared_ptr<Node> node, bool writable, bool exclusive)
      : fileSystem_(fileSystem), node_(std::move(node)), writable_(writable), exclusive_(exclusive) {
    if (exclusive_) node_->heldExclusively = true;
  }
  ~Handle() override {
    if (exclusive_) node_->heldExclusively = false;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  int64_t size() const override { return static_cast<int64_t>(node_->data.size()); }

  std::string readAt(int64_t pos, size_t n) const override {
    if (pos < 0 || static_cast<uint64_t>(pos) >= node_->data.size()) return {};
    return node_->data.substr(static_cast<size_t>(pos), n);
  }

  FileResult writeAt(int64_t pos, std::string_view data) override {
    if (!writable_) return FileResult::fromErrno(EBADF, "write");
    if (pos < 0) return FileResult::fromErrno(EINVAL, "write");
    if (data.empty()) return {};
    std::string& bytes = node_->data;
    const size_t at = static_cast<size_t>(pos);
    if (bytes.size() < at + data.size()) bytes.resize(at + data.size(), '\0');
    bytes.replace(at, data.size(), data);
    return {};
  }

  FileResult truncate(int64_t length) override {
    if (!writable_ || length < 0) return FileResult::fromErrno(EINVAL, "truncate");
    node_->data.resize(static_cast<size_t>(length), '\0');
    return {};
  }

  FileResult sync() override { return {}; }

  FileResult copyModeAndGroupFrom(std::string_view from) override {
    std::string native = fileSystem_.nativePath(from);
    Place source = fileSystem_.locate(native);
    if (source.error != 0 && source.error != ENOENT) return FileResult::fromErrno(source.error, native);
    return {};
  }

 private:
  MemoryFileSystem& fileSystem_;
  std::shared_ptr<Node> node_;
  bool writable_;
  bool exclusive_;
};

MemoryFileSystem::MemoryFileSystem() : root_(std::make_shared<Node>()) { root_->directory = true; }

MemoryFileSystem::~MemoryFileSystem() = default;

MemoryFileSystem::Place MemoryFileSystem::locate(std::string_view native) const {
  Place place;
  if (native.empty()) {
    place.error = ENOENT;
    return place;
  }
  std::string full = native[0] == '/' ? std::string(native) : cwd_ + "/" + std::string(native);
  place.trailingSlash = full.back() == '/';
  std::vector<std::shared_ptr<Node>> trail{root_};
  size_t i = 0;
  while (i < full.size()) {
    size_t slash = full.find('/', i);
    if (slash == std::string::npos) slash = full.size();
    std::string part = full.substr(i, slash - i);
    i = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (trail.size() > 1) trail.pop_back();
      continue;
    }
    const Node& dir = *trail.back();
    if (!dir.directory) {
      place.error = ENOTDIR;
      return place;
    }
    auto entry = dir.entries.find(part);
    if (full.find_first_not_of('/', slash) == std::string::npos) {  // the last component
      place.parent = trail.back();
      place.name = part;
      if (entry != dir.entries.end()) place.node = entry->second;
      if (place.node && !place.node->directory && place.trailingSlash) {
        place.node = nullptr;
        place.error = ENOTDIR;
      }
      return place;
    }
    if (entry == dir.entries.end()) {
      place.error = ENOENT;
      return place;
    }
    trail.push_back(entry->second);
  }
  place.node = trail.back();
  if (!place.node->directory) {  // "file/." and the like
    place.node = nullptr;
    place.error = ENOTDIR;
  }
  return place;
}

std::string MemoryFileSystem::absolute(std::string_view native) const {
  std::string full = !native.empty() && native[0] == '/' ? std::string(native) : cwd_ + "/" + std::string(native);
  std::vector<std::string> names;
  size_t i = 0;
  while (i <= full.size()) {
    size_t slash = full.find('/', i);
    if (slash == std::string::npos) slash = full.size();
    std::string part = full.substr(i, slash - i);
    i = slash + 1;
    if (part == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!part.empty() && part != ".") {
      names.push_back(part);
    }
  }
  std::string result;
  for (const std::string& name : names) result += "/" + name;
  return result.empty() ? "/" : result;
}

std::string MemoryFileSystem::nativePath(std::string_view path) {
  auto existsExactly = [this](const std::string& p) { return locate(p).node != nullptr; };
  auto findCaseless = [this](const std::string& dir, const std::string& name) -> std::optional<std::string> {
    Place place = locate(dir);
    if (!place.node || !place.node->directory) return std::nullopt;
    for (const auto& entry : place.node->entries)
      if (equalsIgnoringCase(entry.first, name)) return entry.first;
    return std::nullopt;
  };
  return resolveNativePath(path, existsExactly, findCaseless);
}

bool MemoryFileSystem::fileExists(std::string_view path) {
  Place place = locate(nativePath(path));
  return place.node && !place.node->directory;
}

bool MemoryFileSystem::directoryExists(std::string_view path) {
  Place place = locate(nativePath(path));
  return place.node && place.node->directory;
}

bool MemoryFileSystem::writableDirectory(std::string_view path) { return directoryExists(path); }

bool MemoryFileSystem::pathExists(std::string_view path) { return locate(nativePath(path)).node != nullptr; }

int64_t MemoryFileSystem::fileSize(std::string_view path) {
  Place place = locate(nativePath(path));
  return place.node && !place.node->directory ? static_cast<int64_t>(place.node->data.size()) : -1;
}

std::optional<std::string> MemoryFileSystem::readWholeFile(std::string_view path) {
  Place place = locate(nativePath(path));
  if (!place.node || place.node->directory) return std::nullopt;
  return place.node->data;
}

FileResult MemoryFileSystem::openNode(const std::string& native, OpenMode mode, std::shared_ptr<Node>& node) {
  Place place = locate(native);
  if (place.error != 0) return FileResult::fromErrno(place.error, native);
  if (place.node) {
    if (mode == OpenMode::CreateNew) return FileResult::fromErrno(EEXIST, native);
    if (place.node->directory) return FileResult::fromErrno(EISDIR, native);
    if (mode == OpenMode::Truncate) place.node->data.clear();
    node = place.node;
    return {};
  }
  if (mode == OpenMode::Read || mode == OpenMode::ReadWrite) return FileResult::fromErrno(ENOENT, native);
  if (place.trailingSlash) return FileResult::fromErrno(EISDIR, native);
  node = std::make_shared<Node>();
  place.parent->entries[place.name] = node;
  return {};
}

FileResult MemoryFileSystem::writeWholeFile(std::string_view path, std::string_view data) {
  std::shared_ptr<Node> node;
  FileResult r = openNode(nativePath(path), OpenMode::Truncate, node);
  if (r.ok()) node->data = data;
  return r;
}

FileResult MemoryFileSystem::replaceFileAtomically(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  Place place = locate(native);
  if (place.error != 0) return FileResult::fromErrno(place.error, native);
  if (place.trailingSlash && !place.node) return FileResult::fromErrno(ENOENT, native);
  if (!place.parent) return FileResult::fromErrno(EBUSY, native);
  if (place.node && place.node->directory) return FileResult::fromErrno(EISDIR, native);
  auto replacement = std::make_shared<Node>();
  replacement->data = data;
  place.parent->entries[place.name] = std::move(replacement);  // open handles keep the old file
  return {};
}

FileResult MemoryFileSystem::appendToFile(std::string_view path, std::string_view data) {
  std::string native = nativePath(path);
  std::shared_ptr<Node> node;
  FileResult r = openNode(native, OpenMode::ReadWriteCreate, node);
  if (!r.ok()) return r;
  if (node->heldExclusively) return FileResult::fromErrno(EWOULDBLOCK, native);
  node->data.append(data);
  return {};
}

FileResult MemoryFileSystem::removeFile(std::string_view path) {
  std::string native = nativePath(path);
  Place place = locate(native);
  if (place.error != 0) return FileResult::fromErrno(place.error, native);
  if (!place.node) return FileResult::fromErrno(ENOENT, native);
  if (place.node->directory) return FileResult::fromErrno(EISDIR, native);
  place.parent->entries.erase(place.name);
  return {};
}

FileResult MemoryFileSystem::removeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  Place place = locate(native);
  if (place.error != 0) return FileResult::fromErrno(place.error, native);
  if (!place.node) return FileResult::fromErrno(ENOENT, native);
  if (!place.node->directory) return FileResult::fromErrno(ENOTDIR, native);
  if (!place.parent) return FileResult::fromErrno(EBUSY, native);
  if (!place.node->entries.empty()) return FileResult::fromErrno(ENOTEMPTY, native);
  place.parent->entries.erase(place.name);
  return {};
}

FileResult MemoryFileSystem::renamePath(std::string_view from, std::string_view to, bool replace) {
  std::string a = nativePath(from);
  std::string b = nativePath(to);
  Place source = locate(a);
  Place target = locate(b);
  if (!replace) {
    if (!source.node) return FileResult::fromErrno(ENOENT, a);
    if (target.node) return FileResult::fromErrno(EEXIST, b);
  }
  if (source.error != 0 || !source.node) return FileResult::fromErrno(source.error ? source.error : ENOENT, a);
  if (target.error != 0) return FileResult::fromErrno(target.error, a);
  if (!source.parent || !target.parent) return FileResult::fromErrno(EBUSY, a);
  if (source.node == target.node) return {};
  if (source.node->directory) {
    if (target.node && !target.node->directory) return FileResult::fromErrno(ENOTDIR, a);
    if (target.node && !target.node->entries.empty()) return FileResult::fromErrno(ENOTEMPTY, a);
    if (absolute(b).starts_with(absolute(a) + "/")) return FileResult::fromErrno(EINVAL, a);
  } else if (target.node && target.node->directory) {
    return FileResult::fromErrno(EISDIR, a);
  } else if (target.trailingSlash) {
    return FileResult::fromErrno(ENOTDIR, a);
  }
  std::shared_ptr<Node> moved = source.node;
  source.parent->entries.erase(source.name);
  target.parent->entries[target.name] = std::move(moved);
  return {};
}

FileResult MemoryFileSystem::makeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  Place place = locate(native);
  if (place.error != 0) return FileResult::fromErrno(place.error, native);
  if (place.node) return {};
  auto dir = std::make_shared<Node>();
  dir->directory = true;
  place.parent->entries[place.name] = std::move(dir);
  return {};
}

FileResult MemoryFileSystem::makeDirectories(std::string_view path) {
  for (const std::string& part : pathPrefixes(nativePath(path))) {
    FileResult r = makeDirectory(part);
    if (!r.ok()) return r;
  }
  return {};
}

std::vector<std::string> MemoryFileSystem::listDirectory(std::string_view path) {
  std::vector<std::string> names;
  std::string native = nativePath(path);
  Place place = locate(native.empty() ? "." : native);
  if (!place.node || !place.node->directory) return names;
  for (const auto& entry : place.node->entries) names.push_back(entry.first);
  return names;
}

std::string MemoryFileSystem::currentDirectory() { return cwd_; }

bool MemoryFileSystem::changeDirectory(std::string_view path) {
  std::string native = nativePath(path);
  Place place = locate(native);
  if (!place.node || !place.node->directory) return false;
  cwd_ = absolute(native);
  return true;
}

FileResult MemoryFileSystem::open(std::string_view path, OpenMode mode, bool exclusive,
                                  std::unique_ptr<FileHandle>& file) {
  std::string native = nativePath(path);
  if (exclusive && mode == OpenMode::Read) return FileResult::fromErrno(EBADF, native);
  std::shared_ptr<Node> node;
  FileResult r = openNode(native, mode, node);
  if (!r.ok()) return r;
  if (exclusive && node->heldExclusively) return FileResult::fromErrno(EWOULDBLOCK, native);
  file = std::make_unique<Handle>(*this, std::move(node), mode != OpenMode::Read, exclusive);
  return {};
}

}  // namespace xt
