#include "entry/field_display.h"

#include <algorithm>

#include "entry/choice_list.h"
#include "entry/entry.h"
#include "format/fixed_text.h"
#include "format/folding.h"
#include "format/int_bytes.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

// 41 - length / 2, rounded to the nearest column with halves going to the
// even neighbour: 10 characters start in column 36, 11 in 36, 13 in 34.
int titleColumn(size_t length) {
  int twice = 82 - static_cast<int>(length);  // twice the exact column
  int column = twice / 2;
  if (twice % 2 != 0) {
    int low = twice < 0 ? column - 1 : column;  // floor of the half
    column = (low % 2 == 0) ? low : low + 1;
  }
  return column < 1 ? 1 : column;
}

std::string positionBytes(int row, int column) {
  return int16Bytes(static_cast<int16_t>(row)) + int16Bytes(static_cast<int16_t>(column));
}

// Prints the value in slices of lineWidth characters, one screen row below
// the other, all from the column where the cursor stands now. The next
// slice's screen position waits on the value stack between slices.
void printSlices(Entry& entry, const std::string& value, size_t lineWidth) {
  Console& console = entry.screen.console;
  pushValue(entry.state.values, positionBytes(console.cursorRow(), console.cursorColumn()));
  for (size_t k = 0; k < value.size(); k += lineWidth) {
    std::string position = popValue(entry.state.values);
    int row = bytesInt16(position.substr(0, 2));
    int column = bytesInt16(position.substr(2, 2));
    console.moveCursor(row, column);
    printText(entry.screen, value.substr(k, lineWidth));
    pushValue(entry.state.values, positionBytes(row + 1, column));
  }
  popValue(entry.state.values);
}

}  // namespace

int16_t groupFieldLimit(const FieldGroup& group) {
  auto available = group.fields.empty() ? 0 : static_cast<int>(group.fields.size()) - 1;
  return static_cast<int16_t>(std::min<int>(group.groupFieldCount, available));
}

void drawGroup(Entry& entry, int16_t group) {
  selectTextStyle(entry.screen, "rh");
  entry.screen.console.moveCursor(1, titleColumn(entry.screen.settings.menuTitle.size()));
  printText(entry.screen, entry.screen.settings.menuTitle);

  FieldGroup& g = entry.form.group(group);
  int16_t count = groupFieldLimit(g);
  selectTextStyle(entry.screen, "n");
  for (int16_t f = 1; f <= count; ++f) {
    FieldDef& field = g.fields[static_cast<size_t>(f)];
    locateInWindow(entry.screen, field.fieldRow(), field.fieldColumn());
    printText(entry.screen, field.fieldLabel);
  }
  selectTextStyle(entry.screen, "h");
  for (int16_t f = 1; f <= count; ++f) showFieldValue(entry, group, f);
}

void showFieldValue(Entry& entry, int16_t group, int16_t field) {
  FieldDef& f = entry.form.field(group, field);
  locateInWindow(entry.screen, f.fieldRow(), static_cast<int16_t>(f.fieldColumn() + f.fieldLabel.size()));
  int16_t flags = f.fieldFlags();
  if (flags & kFlagProtected) {
    int count = f.fieldWidth() + f.fieldClearWidth();
    if (count > 0) printText(entry.screen, std::string(static_cast<size_t>(count), '-'));
  } else if (flags & kFlagMasked) {
    // A masked value is never shown.
  } else if (f.fieldEditMode() == 1 || f.fieldEditMode() == 2) {  // NOLINT(bugprone-branch-clone): before the choices
    printText(entry.screen, f.fieldValue);
  } else if (!f.fieldChoices.empty()) {
    // A value that is none of the codes (a byte the form cannot name) shows
    // blanks, never what the field showed before.
    std::string description;
    for (const ChoiceEntry& entry : parseChoices(f.fieldChoices)) {
      if (entry.code == f.fieldValue) {
        description = entry.description;
        break;
      }
    }
    int width = f.fieldWidth() + f.fieldClearWidth();
    if (width > 0) printText(entry.screen, fitText(description, static_cast<size_t>(width)));
  } else if (f.fieldLineWidth() > 0) {
    printSlices(entry, f.fieldValue, static_cast<size_t>(f.fieldLineWidth()));
  } else {
    printText(entry.screen, f.fieldValue);
  }
}

int16_t storeFieldValue(Entry& entry, int16_t group, const std::string& text, int16_t field) {
  FieldDef& f = entry.form.field(group, field);
  size_t width = f.fieldWidth() > 0 ? static_cast<size_t>(f.fieldWidth()) : 0;
  switch (f.fieldEditMode()) {
    case 1:
      if (trimmed(text) == "*") return -1;
      // A restricted operator cannot change these fields: the old value
      // stays and is painted again.
      if (entry.screen.settings.operatorType == 0) f.fieldValue = fitText(foldText(text), width);
      break;
    case 2:
      f.fieldValue = fitText(foldText(text), width);
      break;
    default:
      f.fieldValue = fitText(text, width);
      break;
  }
  showFieldValue(entry, group, field);
  return 0;
}

}  // namespace xt
