#include "entry/field_editor.h"

#include <algorithm>
#include <vector>

#include "entry/choice_list.h"
#include "entry/entry.h"
#include "entry/insert_state.h"
#include "format/fixed_text.h"
#include "format/folding.h"
#include "format/int_bytes.h"
#include "platform/key_codes.h"
#include "screen/key_reader.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr char kLeftMarker = 0x11;   // shown as a left-pointing triangle
constexpr char kRightMarker = 0x10;  // shown as a right-pointing triangle
// Ctrl+Home in the PC scan-code table; a terminal sends Ctrl+End as its own
// code, and both clear the value.
constexpr int16_t kClearKeyPc = 0x7700;

bool isSeparator(char c) { return c == ' ' || c == ',' || c == '.' || c == ';' || c == ':'; }

int trimmedEnd(const std::string& text) {
  size_t last = text.find_last_not_of(' ');
  return last == std::string::npos ? 0 : static_cast<int>(last) + 1;
}

// The editing session of one value. Positions (cursor, maxpos) count from
// 1 as the operator sees them; value[cursor - 1] is the character under
// the cursor.
class Editor {
 public:
  Editor(Entry& entry, int16_t row, int16_t col, int16_t lineWidth, std::string& value, int16_t cursor)
      : entry_(entry),
        console_(entry.screen.console),
        row_(row),
        col_(col),
        lineWidth_(lineWidth),
        value_(value),
        cursor_(cursor),
        maxpos_(static_cast<int>(value.size()) + 1) {}

  // Runs until a key ends the field; returns that key after translation.
  int16_t run();
  int cursor() const { return cursor_; }

 private:
  bool choiceMode() const { return !entries_.empty(); }
  void startChoices();
  void redraw();
  void placeCursor();
  int16_t waitForKey();
  // Mouse clicks inside the box; returns the key still to act on (0 when
  // the click was used up).
  int16_t mouseAction(int16_t key, bool& ends);
  // Returns true when the key ends the editor.
  bool freeTextAction(int16_t key);
  bool choiceAction(int16_t key);
  void typeCharacter(char c);
  void wordLeft();
  void wordRight();
  void paste();
  int16_t translateExit(int16_t key) const;
  // The active-key filter: true (key replaced) when the key ends the field.
  bool filter(int16_t& key) const;

  Entry& entry_;
  Console& console_;
  int row_, col_, lineWidth_;
  std::string& value_;
  int cursor_;
  int maxpos_;
  bool redraw_ = false;
  // The last key came from the mouse. F11, F12 and some Ctrl keys have
  // codes below 0 too, and must not pass for clicks.
  bool clicked_ = false;
  std::vector<ChoiceEntry> entries_;
  size_t current_ = 0;
  int descWidth_ = 0;
};

void Editor::startChoices() {
  entries_ = parseChoices(entry_.state.currentChoices);
  current_ = 0;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].code == value_) current_ = i;  // the last match wins
  descWidth_ = 0;
  for (const ChoiceEntry& e : entries_) descWidth_ = std::max(descWidth_, static_cast<int>(e.description.size()));
  if (!choiceMode()) return;
  locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_ - 1));
  printText(entry_.screen, std::string(1, kLeftMarker));
  locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_ + descWidth_));
  printText(entry_.screen, std::string(1, kRightMarker));
}

void Editor::redraw() {
  int16_t mask = entry_.screen.activeKeys.maskChar;
  if (choiceMode()) {
    value_ = fitText(entries_[current_].code, value_.size());
    locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_));
    if (mask != 0)
      printText(entry_.screen, std::string(static_cast<size_t>(std::max(descWidth_, 0)), static_cast<char>(mask)));
    else
      printText(entry_.screen, fitText(entries_[current_].description, static_cast<size_t>(descWidth_)));
  } else {
    int line = 0;
    for (size_t k = 0; k < value_.size(); k += static_cast<size_t>(lineWidth_), ++line) {
      locateInWindow(entry_.screen, static_cast<int16_t>(row_ + line), static_cast<int16_t>(col_));
      if (mask != 0)
        printText(entry_.screen, std::string(static_cast<size_t>(lineWidth_ - 1), static_cast<char>(mask)));
      else
        printText(entry_.screen, value_.substr(k, static_cast<size_t>(lineWidth_)));
    }
  }
  redraw_ = false;
}

void Editor::placeCursor() {
  int line = (cursor_ - 1) / lineWidth_;
  int column = (cursor_ - 1) % lineWidth_;
  if (cursor_ == maxpos_ && column == 0 && line > 0) {  // just behind the last line's end
    --line;
    column = lineWidth_;
  }
  locateInWindow(entry_.screen, static_cast<int16_t>(row_ + line), static_cast<int16_t>(col_ + column));
}

int16_t Editor::waitForKey() {
  loadInsertState(entry_);
  if (choiceMode()) {
    console_.setCursorShape(false, console_.cursorSize());
  } else {
    placeCursor();
    console_.setCursorShape(true, console_.insertMode() ? 50 : 100);
  }
  int16_t key = 0;
  for (;;) {
    int16_t button = 0, mouseRow = 0, mouseColumn = 0;
    readKeyEvent(entry_.screen, key, button, mouseRow, mouseColumn, -1);
    if (key == key::kInsert) {
      console_.setInsertMode(!console_.insertMode());
      saveInsertState(entry_);
      if (!choiceMode()) console_.setCursorShape(true, console_.insertMode() ? 50 : 100);
      continue;
    }
    clicked_ = key == 0 && button != 0;
    if (clicked_) key = static_cast<int16_t>(-(mouseColumn * 100 + mouseRow));
    if (key != 0) break;
  }
  console_.setCursorShape(false, console_.cursorSize());
  return key;
}

int16_t Editor::mouseAction(int16_t key, bool& ends) {
  int mouseRow = (-key) % 100;
  int mouseColumn = (-key) / 100;
  int top = windowFirstRow(entry_.screen) + row_ - 1;
  int left = windowFirstColumn(entry_.screen) + col_ - 1;
  ends = false;
  if (choiceMode()) {
    if (mouseRow == top && mouseColumn >= left - 1 && mouseColumn <= left + descWidth_) {
      if (mouseColumn == left - 1) return key::kLeft;
      if (mouseColumn == left + descWidth_) return key::kRight;
      return 0;  // on the description: nothing to do
    }
  } else {
    int lines = maxpos_ / lineWidth_;
    if (mouseRow >= top && mouseRow < top + lines && mouseColumn >= left && mouseColumn < left + lineWidth_) {
      cursor_ = std::min((mouseRow - top) * lineWidth_ + (mouseColumn - left) + 1, maxpos_);
      return 0;
    }
  }
  ends = true;
  return key;
}

void Editor::typeCharacter(char c) {
  size_t at = static_cast<size_t>(cursor_ - 1);
  if (console_.insertMode()) {
    if (value_.empty() || value_.back() != ' ' || cursor_ >= maxpos_) return;
    value_.pop_back();
    value_.insert(at, 1, c);
    redraw_ = true;
    ++cursor_;
  } else if (cursor_ < maxpos_) {
    value_[at] = c;
    if (entry_.screen.activeKeys.maskChar == 0) {
      placeCursor();
      printText(entry_.screen, std::string(1, c));
    }
    ++cursor_;
  }
}

// Back to the start of the word: scanning leftwards from the character
// before the cursor, the cursor goes just behind the first separator that
// follows (to its right) a run of other characters. "abc def|" goes to
// "abc |def", and from there to "|abc def".
void Editor::wordLeft() {
  bool onSeparator = isSeparator(value_[static_cast<size_t>(cursor_ - 2)]);
  for (int i = cursor_ - 1; i >= 1; --i) {
    bool separator = isSeparator(value_[static_cast<size_t>(i - 1)]);
    if (separator == onSeparator) continue;
    onSeparator = separator;
    if (separator) {
      cursor_ = i == 1 ? 1 : i + 1;
      return;
    }
  }
  cursor_ = 1;
}

// To the start of the next word, or to the end of the value.
void Editor::wordRight() {
  bool onSeparator = isSeparator(value_[static_cast<size_t>(cursor_ - 1)]);
  for (int i = cursor_ + 1; i <= static_cast<int>(value_.size()); ++i) {
    bool separator = isSeparator(value_[static_cast<size_t>(i - 1)]);
    if (separator == onSeparator) continue;
    onSeparator = separator;
    if (!separator) {
      cursor_ = i;
      return;
    }
  }
  cursor_ = maxpos_;
}

// The clipboard's text, without control characters and surrounding
// blanks, written over the value from the cursor on; what does not fit is
// dropped and the cursor stays.
void Editor::paste() {
  std::string text;
  for (char c : console_.clipboard()) {
    auto code = static_cast<uint8_t>(c);
    if (code < 32 || code == 127 || code == 255) continue;
    text.push_back(c);
  }
  text = trimmed(text);
  if (text.empty()) return;
  size_t at = static_cast<size_t>(cursor_ - 1);
  if (at >= value_.size()) return;
  size_t n = std::min(text.size(), value_.size() - at);
  value_.replace(at, n, text, 0, n);
  redraw_ = true;
}

bool Editor::freeTextAction(int16_t key) {
  bool printable = (key >= 32 && key <= 126) || (key >= 128 && key <= 254);
  if (printable) {
    typeCharacter(static_cast<char>(key));
    return false;
  }
  switch (key) {
    case key::kLeft:
      if (cursor_ > 1) --cursor_;
      return false;
    case key::kRight:
      if (cursor_ < maxpos_) ++cursor_;
      return false;
    case key::kBackspace:
      if (cursor_ > 1) {
        --cursor_;
        value_.erase(static_cast<size_t>(cursor_ - 1), 1);
        value_.push_back(' ');
        redraw_ = true;
      }
      return false;
    case key::kDelete:
      if (cursor_ < maxpos_) {
        value_.erase(static_cast<size_t>(cursor_ - 1), 1);
        value_.push_back(' ');
        redraw_ = true;
      }
      return false;
    case key::kEnd:
      cursor_ = trimmedEnd(value_) + 1;
      return false;
    case key::kHome:
      cursor_ = 1;
      return false;
    case kClearKeyPc:
    case key::kCtrlEnd:
    case key::kCtrlY:
      value_.assign(value_.size(), ' ');
      cursor_ = 1;
      redraw_ = true;
      return false;
    case key::kUp:
    case key::kShiftTab:
      if (cursor_ > lineWidth_) {
        cursor_ -= lineWidth_;
        return false;
      }
      return true;
    case key::kDown:
      if (cursor_ <= maxpos_ - lineWidth_) {
        cursor_ += lineWidth_;
        return false;
      }
      return true;
    case key::kCtrlLeft:
      if (cursor_ > 1) {
        wordLeft();
        return false;
      }
      return true;
    case key::kCtrlRight:
      if (cursor_ < maxpos_) {
        wordRight();
        return false;
      }
      return true;
    case key::kCtrlC:
      // A masked value is a secret: it never goes to the clipboard.
      if (entry_.screen.activeKeys.maskChar == 0) console_.setClipboard(trimmed(value_));
      return false;
    case key::kCtrlV:
      paste();
      return false;
    default:
      return true;
  }
}

bool Editor::choiceAction(int16_t key) {
  bool letter = (key >= 33 && key <= 126) || (key >= 128 && key <= 254);
  if (letter) {
    // First-letter search, accents and case folded away, from the entry
    // after the current one round to the current one.
    std::string typed = foldText(std::string(1, static_cast<char>(key)), true);
    for (size_t step = 1; step <= entries_.size(); ++step) {
      size_t i = (current_ + step) % entries_.size();
      const std::string& d = entries_[i].description;
      if (!d.empty() && foldText(d.substr(0, 1), true) == typed) {
        current_ = i;
        break;
      }
    }
    redraw_ = true;
    return false;
  }
  switch (key) {
    case key::kLeft:
      current_ = current_ == 0 ? entries_.size() - 1 : current_ - 1;
      redraw_ = true;
      return false;
    case key::kRight:
    case key::kSpace:
      current_ = current_ + 1 == entries_.size() ? 0 : current_ + 1;
      redraw_ = true;
      return false;
    case key::kEnd:
      cursor_ = trimmedEnd(value_) + 1;
      return false;
    case key::kHome:
      cursor_ = 1;
      return false;
    case key::kCtrlC:
      console_.setClipboard(entries_[current_].description);
      return false;
    case key::kBackspace:
    case key::kDelete:
    case kClearKeyPc:
    case key::kCtrlEnd:
    case key::kCtrlY:
    case key::kCtrlV:
      return false;
    default:
      return true;
  }
}

int16_t Editor::translateExit(int16_t key) const {
  if (key == key::kShiftTab) return key::kUp;
  if (key == key::kTab) return key::kEnter;
  if (key == key::kEnter) {
    // Groups whose key list holds End end a field on Enter as with End.
    if (entry_.screen.activeKeys.activeFrom.find(int16Bytes(key::kEnd)) != std::string::npos) return key::kEnd;
    return key;
  }
  if (key == key::kCtrlF4 || key == key::kAltF4) return key::kEsc;
  return key;
}

bool Editor::filter(int16_t& key) const {
  const ActiveKeyTable& table = entry_.screen.activeKeys;
  if (table.activeFrom.empty()) return true;
  std::string code = int16Bytes(key);
  // Only whole entries count: a match starting inside an entry is skipped.
  for (size_t pos = table.activeFrom.find(code); pos != std::string::npos;
       pos = table.activeFrom.find(code, pos + 1)) {
    if (pos % 2 != 0) continue;
    key = bytesInt16(table.activeTo.substr(pos, 2));
    return true;
  }
  return clicked_;  // a click elsewhere always ends the field
}

int16_t Editor::run() {
  cursor_ = std::clamp(cursor_, 1, maxpos_);
  if (lineWidth_ <= 0) lineWidth_ = maxpos_;
  startChoices();
  selectTextStyle(entry_.screen, "u");
  locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_));
  redraw_ = true;

  int16_t key = 0;
  for (;;) {
    if (redraw_) redraw();
    key = waitForKey();
    if (clicked_) {
      bool ends = true;
      key = mouseAction(key, ends);
      if (!ends) {
        if (key != 0) choiceAction(key);  // a click on a marker steps the entry
        continue;
      }
    } else if (!(choiceMode() ? choiceAction(key) : freeTextAction(key))) {
      continue;
    }
    key = translateExit(key);
    if (filter(key)) break;
    locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_));
    redraw_ = true;
  }

  selectTextStyle(entry_.screen, "h");
  if (choiceMode()) {
    locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_ - 1));
    printText(entry_.screen, " ");
    locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_ + descWidth_));
    printText(entry_.screen, " ");
  }
  locateInWindow(entry_.screen, static_cast<int16_t>(row_), static_cast<int16_t>(col_));
  return key;
}

}  // namespace

void editFieldValue(Entry& entry, int16_t& row, int16_t& col, int16_t& lineWidth, std::string& value,
                    int16_t& cursor, int16_t& key) {
  // 0 stands for where the screen cursor is now, in window coordinates.
  if (row == 0) row = static_cast<int16_t>(entry.screen.console.cursorRow() - windowFirstRow(entry.screen) + 1);
  if (col == 0) col = static_cast<int16_t>(entry.screen.console.cursorColumn() - windowFirstColumn(entry.screen) + 1);
  if (lineWidth <= 0) lineWidth = static_cast<int16_t>(value.size() + 1);
  Editor editor(entry, row, col, lineWidth, value, cursor);
  key = editor.run();
  cursor = static_cast<int16_t>(editor.cursor());
}

}  // namespace xt
