#include "lists/browse_list.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "data/data_files.h"
#include "data/record_ops.h"
#include "entry/entry.h"
#include "entry/field_entry.h"
#include "format/fixed_text.h"
#include "lists/browse_cache.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/key_reader.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr char kCornerLeft = '\xC9';   // double top-left corner
constexpr char kCornerRight = '\xBB';  // double top-right corner
constexpr char kFrameLine = '\xCD';    // double horizontal line
constexpr char kMoreLeft = '\x11';     // left-pointing triangle
constexpr char kMoreRight = '\x10';    // right-pointing triangle

constexpr int kColumnStep = 8;

// Byte-wise comparison, as the record manager orders keys.
bool bytesGreater(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  return c > 0 || (c == 0 && a.size() > b.size());
}

// One open list: the window, the cached lines and the position in the
// data file.
class BrowseSession {
 public:
  BrowseSession(Entry& entry, DataFiles& files, BrowseState& state, int16_t list)
      : entry_(entry), files_(files), state_(state), list_(list),
        lookup_(entry.form.lookups.at(static_cast<size_t>(list))) {
    fileId_ = lookup_.attr[0];
    keyNumber_ = lookup_.attr[1];
    height_ = lookup_.attr[4] - lookup_.attr[2] - 1;
    width_ = lookup_.attr[5] - lookup_.attr[3] - 1;
  }

  bool windowUsable() const { return height_ >= 1 && width_ >= 1; }
  int16_t run(int16_t& result);

 private:
  std::string path() const { return entry_.screen.settings.tempDir + "Browse.tmp"; }

  void open();
  void close(int16_t key, int16_t& result);
  bool readEntryAt(int32_t at);
  void checkNextEntry();
  void updateFlags();
  bool fetch();
  bool appendFromData();
  void settleOnLine();
  void stepData();
  bool beyondLimit();
  bool escTyped();
  int move(int lines);
  void drawLine(int row, const std::string& text);
  void drawPage();
  void drawTitle();
  void pageUp();

  Entry& entry_;
  DataFiles& files_;
  BrowseState& state_;
  int16_t list_;
  LookupList lookup_;
  int16_t fileId_ = 0;
  int16_t keyNumber_ = 0;
  int height_ = 0;
  int width_ = 0;

  BrowseCache cache_;
  int32_t pos_ = 1;  // the position in the cache

  BrowseEntryHeader header_;  // the current entry
  std::string text_;
  bool haveEntry_ = false;

  int32_t currentPos_ = 1;
  int selectedRow_ = 1;
  int firstColumn_ = 1;
  int widestOverflow_ = 0;
  int32_t pageTop_ = 1;
  int32_t nextPage_ = 0;
  int32_t lastWritten_ = 0;
  bool dataStarted_ = false;
  bool dataEnded_ = true;
  bool atFirst_ = true;
  bool atLast_ = false;

  std::string from_, limit_, limitImage_;
  std::string pendingLine_;  // the line of the record the data file stands on
};

int16_t BrowseSession::run(int16_t& result) {
  int16_t filterGroup = lookup_.attr[6];
  if (filterGroup != 0) {
    if (enterGroup(entry_, filterGroup) == key::kEsc) {
      result = -1;
      return result;
    }
  }

  int16_t n = list_;
  result = entry_.hooks->browseRangeHook(n, from_, limit_);
  if (result != 0) return result;

  open();

  int16_t key = 0;
  for (;;) {
    selectTextStyle(entry_.screen, "u");
    drawLine(selectedRow_, text_);
    key = waitKey(entry_.screen);
    selectTextStyle(entry_.screen, "h");
    drawLine(selectedRow_, text_);

    if (key == key::kLeft) {
      if (firstColumn_ > 1) {
        firstColumn_ -= kColumnStep;
        drawTitle();
        pos_ = pageTop_;
        drawPage();
      }
    } else if (key == key::kRight) {
      if (firstColumn_ <= widestOverflow_) {
        firstColumn_ += kColumnStep;
        drawTitle();
        pos_ = pageTop_;
        drawPage();
      }
    } else if (key == key::kUp) {
      if (!atFirst_ && move(-1) > 0) {
        if (selectedRow_ > 1) {
          --selectedRow_;
        } else {
          pos_ = currentPos_;  // scroll by one line
          drawPage();
        }
      }
    } else if (key == key::kDown) {
      if (!atLast_ && move(1) > 0) {
        if (selectedRow_ < height_) {
          ++selectedRow_;
        } else {
          BrowseEntryHeader top;
          if (cache_.readHeader(pageTop_, top)) {
            pos_ = pageTop_ + kBrowseEntryHeaderSize + top.length;
            drawPage();
          }
        }
      }
    } else if (key == key::kPgUp) {
      if (pageTop_ > 1) pageUp();
    } else if (key == key::kPgDn) {
      if (nextPage_ > 0) {
        move(height_);
        pos_ = nextPage_;
        drawPage();
      }
    } else {
      break;
    }
  }

  if (key == key::kEnter) {
    if (header_.recordPos == 0) {
      result = -1;
    } else if (fileId_ != 0) {
      result = static_cast<int16_t>(recordPosition(files_, fileId_, header_.recordPos));
    } else {
      result = 0;
      state_.chosenEntryValue = header_.recordPos;
      state_.chosenEntryText = text_;
    }
  } else {
    result = -1;
  }
  close(key, result);
  return result;
}

void BrowseSession::open() {
  if (fileId_ > 0) (void)setLockMode(files_, fileId_, "+d");

  selectTextStyle(entry_.screen, "+n");
  saveRegion(entry_.screen, lookup_.attr[2], lookup_.attr[3], lookup_.attr[4], lookup_.attr[5]);
  drawFrame(entry_.screen, 2);
  selectTextStyle(entry_.screen, "h");

  setActiveKeys(entry_.screen, "d,1b,4800,5000,4900,5100,4b00,4d00", "+ea");
  if (lookup_.attr[7] != 0) setActiveKeys(entry_.screen, "3e00", "a");

  // A list over a data file starts with an empty cache; a list without
  // one shows what Browse.tmp already holds.
  cache_.open(entry_.screen.fs, path(), fileId_ != 0);

  header_ = BrowseEntryHeader{};
  text_.clear();
  dataStarted_ = false;
  dataEnded_ = fileId_ == 0;
  lastWritten_ = 0;
  currentPos_ = 1;
  selectedRow_ = 1;
  firstColumn_ = 1;
  widestOverflow_ = 0;

  drawTitle();
  pos_ = 1;
  checkNextEntry();
  drawPage();
}

void BrowseSession::close(int16_t key, int16_t& result) {
  cache_.close();
  (void)entry_.screen.fs.removeFile(path());

  int16_t further = lookup_.attr[7];
  if (key == key::kF4 && further != 0) {
    browseList(entry_, files_, state_, further, result);
    if (result == 0) {
      int16_t list = further, group = 0, field = 0;
      entry_.hooks->lookupChosenHook(list, group, field);
    }
  }

  setActiveKeys(entry_.screen, "", "-");
  restoreRegion(entry_.screen);
  selectTextStyle(entry_.screen, "-");
  if (fileId_ > 0) (void)setLockMode(files_, fileId_, "-");
}

bool BrowseSession::readEntryAt(int32_t at) {
  BrowseEntryHeader header;
  std::string text;
  if (!cache_.read(at, header, text)) return false;
  header_ = header;
  text_ = std::move(text);
  haveEntry_ = true;
  currentPos_ = at;
  pos_ = at + kBrowseEntryHeaderSize + header.length;
  checkNextEntry();
  updateFlags();
  return true;
}

// A damaged entry where the next one should start ends the list there, so
// the list never reads outside the file or loops along a bad link.
void BrowseSession::checkNextEntry() {
  if (pos_ >= cache_.end()) return;
  BrowseEntryHeader next;
  if (!cache_.readHeader(pos_, next)) {
    cache_.cutAt(pos_);
    dataEnded_ = true;
  }
}

void BrowseSession::updateFlags() {
  atFirst_ = header_.backLink == 0;
  atLast_ = pos_ >= cache_.end() && dataEnded_;
}

// Makes the entry at the file position current, reading it from the data
// file first when the cache ends there. False when there is no entry: the
// current entry then stays what it was.
bool BrowseSession::fetch() {
  int32_t previous = currentPos_;
  currentPos_ = pos_;
  bool got = pos_ >= cache_.end() ? appendFromData() : readEntryAt(pos_);
  if (!got) {
    if (pos_ < cache_.end()) {  // damaged entry: the list ends before it
      cache_.cutAt(pos_);
      dataEnded_ = true;
    }
    if (haveEntry_) currentPos_ = previous;
  }
  updateFlags();
  return got;
}

bool BrowseSession::appendFromData() {
  if (dataEnded_) return false;
  if (!dataStarted_) {
    dataStarted_ = true;
    int16_t status = findByKey(files_, fileId_, keyNumber_, from_, 1);
    limitImage_ = keySortImage(files_, limit_, fileId_);
    if (status != 0 || beyondLimit()) dataEnded_ = true;
    settleOnLine();
    if (dataEnded_) return false;
  }

  int32_t recordPos = recordPosition(files_, fileId_, 0);
  std::string text = pendingLine_.substr(0, 0xFFFF);
  const int32_t at = cache_.append(lastWritten_, recordPos, text);
  if (at == 0) {
    dataEnded_ = true;
    return false;
  }

  header_ = BrowseEntryHeader{lastWritten_, recordPos, static_cast<int32_t>(text.size())};
  text_ = std::move(text);
  haveEntry_ = true;
  lastWritten_ = at;
  currentPos_ = at;
  pos_ = cache_.end();

  // The data file always stands on the record of the next line (or has
  // ended), so the end of the list is known as soon as its last line is.
  stepData();
  settleOnLine();
  updateFlags();
  return true;
}

// Skips records whose line is empty: they are not listed.
void BrowseSession::settleOnLine() {
  while (!dataEnded_) {
    int16_t n = list_;
    pendingLine_ = rightTrimmed(entry_.hooks->browseLineHook(n));
    if (!pendingLine_.empty()) return;
    stepData();
  }
}

void BrowseSession::stepData() {
  if (skipRecords(files_, fileId_, 1) != 0 || beyondLimit() || escTyped()) dataEnded_ = true;
}

// The list ends at the first record whose key, cut to the length of the
// limit key, sorts after the limit key. An empty limit key sets no limit.
bool BrowseSession::beyondLimit() {
  if (limit_.empty()) return false;
  std::string current = currentKeySortImage(files_, fileId_);
  return bytesGreater(current.substr(0, limitImage_.size()), limitImage_);
}

// A key typed while records are read is taken; Esc stops the reading. It is
// read from the console itself: a hot key must not open a tool over a page
// still being drawn, and text a tool is typing is left for the key loop.
bool BrowseSession::escTyped() { return readConsoleKey(entry_.screen, 0) == key::kEsc; }

// Moves the current entry by lines; returns how many lines it moved.
int BrowseSession::move(int lines) {
  int moved = 0;
  for (int i = 0; i < std::abs(lines); ++i) {
    if (lines < 0) {
      if (header_.backLink == 0) {
        atFirst_ = true;
        break;
      }
      if (!readEntryAt(header_.backLink)) break;
    } else if (!fetch()) {
      break;
    }
    ++moved;
    if (atLast_) break;
  }
  return moved;
}

void BrowseSession::drawLine(int row, const std::string& text) {
  locateInWindow(entry_.screen, static_cast<int16_t>(row), 1);
  size_t first = static_cast<size_t>(firstColumn_ - 1);
  std::string visible = first < text.size() ? text.substr(first, static_cast<size_t>(width_)) : std::string();
  visible.resize(static_cast<size_t>(width_), ' ');
  printText(entry_.screen, visible);
}

void BrowseSession::drawPage() {
  const int32_t saved = currentPos_;  // the page is drawn, then this entry is current again
  pageTop_ = pos_;

  bool ended = false;
  for (int row = 1; row <= height_; ++row) {
    bool got = fetch();
    if (!got && row > 1) {
      for (int r = row; r <= height_; ++r) drawLine(r, std::string());
      if (selectedRow_ > row - 1) selectedRow_ = row - 1;
      ended = true;
      break;
    }
    drawLine(row, got ? text_ : std::string());
    int overflow = static_cast<int>(text_.size()) - width_;
    if (got && overflow > widestOverflow_) widestOverflow_ = overflow;
    if (atLast_) {
      if (selectedRow_ > row) selectedRow_ = row;
      for (int r = row + 1; r <= height_; ++r) drawLine(r, std::string());
      ended = true;
      break;
    }
  }
  nextPage_ = ended ? 0 : pos_;

  pos_ = saved;
  fetch();
}

void BrowseSession::drawTitle() {
  selectTextStyle(entry_.screen, "+n");
  locateInWindow(entry_.screen, 0, 0);
  const std::string& title = lookup_.lookupTitle;
  std::string line(1, firstColumn_ == 1 ? kCornerLeft : kMoreLeft);
  for (int i = firstColumn_; i < firstColumn_ + width_; ++i) {
    if (static_cast<size_t>(i) > title.size()) {
      line.push_back(kFrameLine);
    } else {
      char c = title[static_cast<size_t>(i) - 1];
      line.push_back(c == ' ' ? kFrameLine : c == '_' ? ' ' : c);
    }
  }
  bool more = firstColumn_ <= widestOverflow_ ||
              title.size() > static_cast<size_t>(firstColumn_ + width_ - 1);
  line.push_back(more ? kMoreRight : kCornerRight);
  printText(entry_.screen, line);
  selectTextStyle(entry_.screen, "-");
}

// Moves a page up: the current entry by height lines, the page top by as
// many entries as exist above it; near the start the highlight moves up
// by what is missing.
void BrowseSession::pageUp() {
  move(-height_);
  int32_t top = pageTop_;
  int steps = 0;
  while (steps < height_) {
    BrowseEntryHeader header;
    if (!cache_.readHeader(top, header) || header.backLink == 0) break;
    top = header.backLink;
    ++steps;
  }
  int missing = height_ - steps;
  if (missing > 0) selectedRow_ = selectedRow_ - missing > 0 ? selectedRow_ - missing : 1;
  pos_ = top;
  drawPage();
}

}  // namespace

void browseList(Entry& entry, DataFiles& files, BrowseState& state, int16_t& list, int16_t& result) {
  if (list < 1 || list > entry.form.lookupCount()) {
    result = -1;
    return;
  }
  BrowseSession session(entry, files, state, list);
  if (!session.windowUsable()) {
    result = -1;
    return;
  }
  session.run(result);
}

}  // namespace xt
