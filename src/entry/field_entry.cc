#include "entry/field_entry.h"

#include <cstdlib>

#include "entry/field_display.h"
#include "entry/field_editor.h"
#include "entry/text_styles.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/help.h"
#include "screen/screen_stack.h"
#include "startup/program.h"

namespace xt {

namespace {

// Keys that, returned by a continuation group, end the calling group too.
bool isLeavingKey(int16_t key) {
  return key == key::kPgUp || key == key::kPgDn || key == key::kEnd || key == key::kDeleteRequest ||
         key == key::kEnter || key == key::kDown || key == key::kUp;
}

bool isProtected(FieldDef& field) { return (field.fieldFlags() & kFlagProtected) != 0; }

std::string withoutTrailingBlanks(const std::string& text) {
  size_t last = text.find_last_not_of(' ');
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// The first and last field that can be entered; first > last when none.
void enterableRange(FieldGroup& group, int16_t& first, int16_t& last) {
  int16_t count = groupFieldLimit(group);
  first = 1;
  while (first <= count && isProtected(group.fields[static_cast<size_t>(first)])) ++first;
  last = count;
  while (last >= 1 && isProtected(group.fields[static_cast<size_t>(last)])) --last;
}

bool validGroup(const Program& program, int16_t group) {
  return group >= 1 && group <= program.form.groupCount &&
         static_cast<size_t>(group) < program.form.groups.size();
}

int16_t continuationOf(Program& program, int16_t group) {
  return validGroup(program, group) ? program.form.group(group).groupContinuation : 0;
}

// The field under a click (key = -(column * 100 + row)), or 0. Labels and
// the blanked area behind a value count as the field.
int16_t hitField(FieldGroup& group, int16_t key) {
  int r = (-key) % 100 - group.groupWindow[1];
  int c = (-key) / 100 - group.groupWindow[2];
  int16_t count = groupFieldLimit(group);
  for (int16_t k = 1; k <= count; ++k) {
    FieldDef& f = group.fields[static_cast<size_t>(k)];
    if (isProtected(f)) continue;
    int lines = f.fieldLineWidth() != 0 ? f.fieldWidth() / f.fieldLineWidth() : 1;
    int width = f.fieldLineWidth() != 0 ? f.fieldLineWidth() : f.fieldWidth();
    int right = f.fieldColumn() + static_cast<int>(f.fieldLabel.size()) + width + f.fieldClearWidth();
    if (f.fieldRow() <= r && r < f.fieldRow() + lines && f.fieldColumn() <= c && c < right) return k;
  }
  return 0;
}

// The look-up list of a field: opens the browse list (again while the
// form's hook sends it back) and hands the chosen record to the hook.
// Returns the list's nonzero result when nothing was chosen; key becomes
// the key that moves on from the field.
int16_t lookUp(Program& program, int16_t group, int16_t& j, int16_t list, int16_t& key) {
  key = 0;
  if (list <= 0) return 0;
  for (;;) {
    int16_t result = -1;  // without a browse list, as if cancelled
    if (program.tools.browseList) program.tools.browseList(program, list, result);
    if (result != 0) return result;
    pushValue(program, int16Bytes(j));
    pushValue(program, int16Bytes(list));
    int16_t hookGroup = group;
    program.hooks->lookupChosenHook(list, hookGroup, j);
    int16_t savedList = bytesInt16(popValue(program));
    int16_t savedField = bytesInt16(popValue(program));
    if (list == 0) {  // the hook asks for the list again
      list = savedList;
      continue;
    }
    FieldGroup& g = program.form.group(group);
    if (j == savedField) {
      key = (j == g.groupFieldCount && g.groupContinuation == 0) ? key::kEnter : key::kDown;
    } else if (j >= 1 && j < g.groupFieldCount && j <= groupFieldLimit(g) &&
               isProtected(g.fields[static_cast<size_t>(j)])) {
      key = key::kDown;
    }
    return 0;
  }
}

class GroupRun {
 public:
  GroupRun(Program& program, int16_t group, bool continuation, int16_t& leaveOnPageUp,
           int16_t& leaveOnPageDown, int16_t& key)
      : program_(program),
        group_(group),
        continuation_(continuation),
        leaveUp_(leaveOnPageUp),
        leaveDown_(leaveOnPageDown),
        key_(key) {}

  void run();

 private:
  FieldGroup& group() { return program_.form.group(group_); }
  void resumeChain(bool& leaving);
  // Enters the continuation group; true when its key ends this group too.
  bool enterContinuation();
  // Edits field j until a key moves on from it.
  void oneField();
  // Acts on the key that ended field j; true when the group is left at once.
  bool dispatch();

  Program& program_;
  int16_t group_;
  bool continuation_;
  int16_t& leaveUp_;
  int16_t& leaveDown_;
  int16_t& key_;
  int16_t first_ = 0, last_ = 0, j_ = 0;
};

bool GroupRun::enterContinuation() {
  auto next = static_cast<int16_t>(-group().groupContinuation);
  enterGroup(program_, next, leaveUp_, leaveDown_, key_);
  return isLeavingKey(key_);
}

// A group left with PgUp/PgDn is entered again directly when the chain of
// continuation groups from this one leads to it.
void GroupRun::resumeChain(bool& leaving) {
  int16_t& resume = program_.entry.resumeGroup;
  int16_t cur = group_;
  // The chain is followed at most once round all groups, so a form whose
  // continuations form a cycle cannot hang here.
  for (int steps = 0; resume != cur && resume > 0 && continuationOf(program_, cur) != 0 &&
                      steps <= program_.form.groupCount;
       ++steps)
    cur = continuationOf(program_, cur);
  if (resume != cur) resume = 0;

  if (resume != group_ && resume > 0 && group().groupContinuation != 0)
    leaving = enterContinuation();
  else
    resume = 0;
}

void GroupRun::oneField() {
  FieldDef& f = program_.form.field(group_, j_);
  setActiveKeys(program_, group().groupKeys + ",3b00", "+ea");
  int16_t row = f.fieldRow();
  auto col = static_cast<int16_t>(f.fieldColumn() + f.fieldLabel.size());
  int16_t width = f.fieldWidth() > 0 ? f.fieldWidth() : 0;
  int16_t lineWidth = f.fieldLineWidth();
  int16_t clear = f.fieldClearWidth();
  int16_t flags = f.fieldFlags();
  int16_t list = f.fieldLookupList();
  bool blankStart = (flags & (kFlagStartBlank | kFlagMasked)) != 0;
  bool isProtectedField = (flags & kFlagProtected) != 0;

  std::string work = blankStart ? std::string(static_cast<size_t>(width), ' ') : f.fieldValue;
  if (flags & kFlagMasked) setActiveKeys(program_, "", "h");
  if (clear > 0 && !isProtectedField) {
    locateInWindow(program_, row, static_cast<int16_t>(col + width));
    printText(program_, std::string(static_cast<size_t>(clear), ' '));
  }

  if (isProtectedField) {
    // The key that moved onto a protected field moves on past it; one that
    // would stay on it steps forward instead.
    if (key_ == 0 || key_ < 0) key_ = key::kDown;
  } else {
    for (;;) {
      setCurrentChoices(program_, f.fieldChoices);
      auto cursor = static_cast<int16_t>((flags & kFlagCursorAtEnd) ? withoutTrailingBlanks(work).size() + 1 : 1);
      editFieldValue(program_, row, col, lineWidth, work, cursor, key_);
      int16_t rejected = 0;
      if (key_ == key::kF1) {
        std::string topic = withoutTrailingBlanks(program_.settings.menuName);
        if (!topic.empty()) showHelp(program_, topic);
        key_ = 0;
      } else if (key_ == key::kF4) {
        rejected = lookUp(program_, group_, j_, list, key_);
      } else {
        if (clear > 0) {
          locateInWindow(program_, row, col);
          // The typed text is shown in the stored style; a masked one only
          // as its mask.
          int16_t mask = program_.activeKeys.maskChar;
          printText(program_, mask != 0 ? std::string(work.size(), static_cast<char>(mask)) : work);
          printText(program_, std::string(static_cast<size_t>(clear), ' '));
        }
        if (key_ == key::kEsc) {
          showFieldValue(program_, group_, j_);
        } else {
          if (isAllChar(work, ' ') && blankStart) work = fitText(f.fieldValue, work.size());
          rejected = storeFieldValue(program_, group_, work, j_);
        }
      }
      enterableRange(group(), first_, last_);
      if (rejected == 0) break;
      program_.console.beep();
    }
  }

  if (flags & kFlagMasked) setActiveKeys(program_, "", "v");
  setActiveKeys(program_, "", "-");
}

bool GroupRun::dispatch() {
  int16_t& resume = program_.entry.resumeGroup;
  FieldGroup& g = group();
  switch (key_) {
    case key::kPgUp:
      j_ = (j_ > first_ || leaveUp_ == 0) ? first_ : 0;
      resume = j_ == 0 ? group_ : 0;
      return false;
    case key::kPgDn:
      j_ = (j_ < last_ || leaveDown_ == 0) ? last_ : 0;
      resume = j_ == 0 ? group_ : 0;
      return false;
    case key::kEnd:
    case key::kDeleteRequest:
      j_ = 0;
      return false;
    case key::kEsc:
      j_ = j_ > first_ ? first_ : 0;
      return false;
    case key::kEnter:
    case key::kDown:
    case key::kF2:
      if ((j_ == last_ || key_ == key::kF2) && g.groupContinuation > 0) return enterContinuation();
      if (key_ == key::kDown && j_ < last_) ++j_;
      if (key_ == key::kEnter) ++j_;
      return false;
    case key::kUp:
      if (j_ > first_) {
        --j_;
      } else if (continuation_) {
        key_ = key::kEsc;
        j_ = 0;
      }
      return false;
    case 0:
      return false;
    default:
      if (key_ < 0) {
        int16_t hit = hitField(g, key_);
        if (hit != 0) j_ = hit;
      } else {
        j_ = 0;  // a listed key the loop does not know ends the group
      }
      return false;
  }
}

void GroupRun::run() {
  FieldGroup& g = group();
  bool window = g.groupWindow[1] != 0;
  if (window) {
    selectTextStyle(program_, "+n");
    saveRegion(program_, g.groupWindow[1], g.groupWindow[2], g.groupWindow[3], g.groupWindow[4]);
    drawFrame(program_, 2);
    selectTextStyle(program_, "-");
  }
  drawGroup(program_, group_);
  enterableRange(g, first_, last_);

  bool leaving = first_ > last_;
  if (!leaving) resumeChain(leaving);
  j_ = first_;
  for (;;) {
    while (!leaving && j_ >= first_ && j_ <= last_) {
      oneField();
      leaving = dispatch();
    }
    int16_t hookGroup = group_;
    if (program_.hooks->groupExitHook(hookGroup, key_) == 0 || first_ > last_) break;
    leaving = false;  // the group starts over at its first field
    j_ = first_;
  }
  if (window) restoreRegion(program_);
}

}  // namespace

void enterGroup(Program& program, int16_t& group, int16_t& leaveOnPageUp, int16_t& leaveOnPageDown,
                int16_t& key) {
  bool continuation = group < 0;
  group = static_cast<int16_t>(std::abs(group));
  if (!validGroup(program, group)) return;
  GroupRun(program, group, continuation, leaveOnPageUp, leaveOnPageDown, key).run();
}

int16_t enterGroup(Program& program, int16_t group) {
  int16_t leaveOnPageUp = 0, leaveOnPageDown = 0, key = 0;
  enterGroup(program, group, leaveOnPageUp, leaveOnPageDown, key);
  return key;
}

}  // namespace xt
