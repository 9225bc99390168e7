#include "lists/browse_cache.h"

#include <algorithm>
#include <climits>

namespace xt {

namespace {

void putInt32(std::string& out, int32_t value) {
  auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

int32_t getInt32(const std::string& bytes, size_t at) {
  uint32_t u = 0;
  for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
    u |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

void BrowseCache::open(FileSystem& fs, const std::string& path, bool fresh) {
  (void)file_.open(fs, path, fresh ? BinaryFile::Mode::Truncate : BinaryFile::Mode::ReadWriteCreate);
  int64_t size = file_.isOpen() ? file_.size() : 0;
  end_ = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(size, 0), INT32_MAX - 1)) + 1;
}

bool BrowseCache::readHeader(int32_t at, BrowseEntryHeader& header) const {
  if (at < 1 || static_cast<int64_t>(at) + kBrowseEntryHeaderSize > end_) return false;
  std::string bytes = file_.readAt(at - 1, kBrowseEntryHeaderSize);
  if (bytes.size() != static_cast<size_t>(kBrowseEntryHeaderSize)) return false;
  header.backLink = getInt32(bytes, 0);
  header.recordPos = getInt32(bytes, 4);
  header.length = static_cast<uint8_t>(bytes[8]) | (static_cast<uint8_t>(bytes[9]) << 8);
  if (static_cast<int64_t>(at) + kBrowseEntryHeaderSize + header.length > end_) return false;
  return header.backLink == 0 || (header.backLink >= 1 && header.backLink < at);
}

bool BrowseCache::read(int32_t at, BrowseEntryHeader& header, std::string& text) const {
  if (!readHeader(at, header)) return false;
  text = file_.readAt(static_cast<int64_t>(at) - 1 + kBrowseEntryHeaderSize, static_cast<size_t>(header.length));
  return text.size() == static_cast<size_t>(header.length);
}

int32_t BrowseCache::append(int32_t backLink, int32_t recordPos, const std::string& text) {
  std::string entry;
  putInt32(entry, backLink);
  putInt32(entry, recordPos);
  const std::string cut = text.substr(0, 0xFFFF);
  entry.push_back(static_cast<char>(cut.size() & 0xFF));
  entry.push_back(static_cast<char>(cut.size() >> 8));
  entry += cut;
  if (static_cast<int64_t>(end_) + static_cast<int64_t>(entry.size()) >= INT32_MAX ||
      !file_.writeAt(end_ - 1, entry).ok())
    return 0;
  const int32_t at = end_;
  end_ += static_cast<int32_t>(entry.size());
  return at;
}

}  // namespace xt
