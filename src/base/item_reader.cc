#include "base/item_reader.h"

namespace xt {

namespace {
constexpr char kEndOfData = 0x1A;
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

ItemReader::ItemReader(std::string_view data) : data_(data) {
  size_t mark = data_.find(kEndOfData);
  if (mark != std::string_view::npos) data_ = data_.substr(0, mark);
}

bool ItemReader::atLineEnd() const {
  return pos_ < data_.size() && (data_[pos_] == '\r' || data_[pos_] == '\n');
}

void ItemReader::consumeLineEnd() {
  if (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
  if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  ++line_;
  lineStart_ = true;
}

void ItemReader::skipBlanks() {
  while (pos_ < data_.size() && isBlank(data_[pos_])) ++pos_;
}

void ItemReader::skipBlankLines() {
  if (!lineStart_) return;
  for (;;) {
    size_t p = pos_;
    while (p < data_.size() && isBlank(data_[p])) ++p;
    if (p >= data_.size()) {
      pos_ = p;
      return;
    }
    if (data_[p] != '\r' && data_[p] != '\n') return;
    pos_ = p;
    consumeLineEnd();
  }
}

bool ItemReader::atEnd() {
  skipBlankLines();
  size_t p = pos_;
  while (p < data_.size() && isBlank(data_[p])) ++p;
  return p >= data_.size();
}

bool ItemReader::startItem() {
  skipBlankLines();
  skipBlanks();
  if (pos_ < data_.size()) {
    itemLine_ = line_;
    return true;
  }
  if (!afterComma_) missed_ = true;
  afterComma_ = false;
  return false;
}

void ItemReader::consumeSeparator() {
  afterComma_ = false;
  if (pos_ < data_.size() && data_[pos_] == ',') {
    ++pos_;
    lineStart_ = false;
    afterComma_ = true;
  } else if (atLineEnd()) {
    consumeLineEnd();
  }
}

std::string ItemReader::readText() {
  if (!startItem()) return "";
  std::string text;
  lineStart_ = false;
  auto upTo = [&](const char* stops) {
    size_t end = data_.find_first_of(stops, pos_);
    return end == std::string_view::npos ? data_.size() : end;
  };
  if (data_[pos_] == '"') {
    ++pos_;
    size_t end = upTo("\"\r\n");
    text.assign(data_.substr(pos_, end - pos_));
    pos_ = end;
    if (pos_ < data_.size() && data_[pos_] == '"') ++pos_;
    // Anything between the closing quote and the separator is dropped.
    pos_ = upTo(",\r\n");
  } else {
    size_t end = upTo(",\r\n");
    text.assign(data_.substr(pos_, end - pos_));
    pos_ = end;
    std::erase(text, '\t');
  }
  consumeSeparator();
  return text;
}

std::string ItemReader::readNumberText() {
  if (!startItem()) return "";
  lineStart_ = false;
  size_t start = pos_;
  while (pos_ < data_.size() && data_[pos_] != ',' && !isBlank(data_[pos_]) && !atLineEnd()) ++pos_;
  std::string text(data_.substr(start, pos_ - start));
  skipBlanks();
  // A number may also end at a blank; the next item then starts after it.
  afterComma_ = false;
  if (pos_ < data_.size() && (data_[pos_] == ',' || atLineEnd())) consumeSeparator();
  return text;
}

void ItemReader::skipCommentLines() {
  for (;;) {
    skipBlankLines();
    size_t p = pos_;
    while (p < data_.size() && isBlank(data_[p])) ++p;
    if (p >= data_.size() || data_[p] != '\'') return;
    pos_ = p;
    while (pos_ < data_.size() && !atLineEnd()) ++pos_;
    if (pos_ >= data_.size()) return;
    consumeLineEnd();
  }
}

}  // namespace xt
