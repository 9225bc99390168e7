#include "entry/field_entry.h"

#include <cstdlib>

#include "entry/entry.h"
#include "entry/field_display.h"
#include "entry/field_editor.h"
#include "format/fixed_text.h"
#include "format/int_bytes.h"
#include "platform/key_codes.h"
#include "screen/active_keys.h"
#include "screen/help.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

// Keys that, returned by a continuation group, end the calling group too.
bool isLeavingKey(int16_t key) {
  return key == key::kPgUp || key == key::kPgDn || key == key::kEnd || key == key::kDeleteRequest ||
         key == key::kEnter || key == key::kDown || key == key::kUp;
}

bool isProtected(FieldDef& field) { return (field.fieldFlags() & kFlagProtected) != 0; }

// The first and last field that can be entered; first > last when none.
void enterableRange(FieldGroup& group, int16_t& first, int16_t& last) {
  int16_t count = groupFieldLimit(group);
  first = 1;
  while (first <= count && isProtected(group.fields[static_cast<size_t>(first)])) ++first;
  last = count;
  while (last >= 1 && isProtected(group.fields[static_cast<size_t>(last)])) --last;
}

bool validGroup(const Entry& entry, int16_t group) {
  return group >= 1 && group <= entry.form.groupCount &&
         static_cast<size_t>(group) < entry.form.groups.size();
}

int16_t continuationOf(Entry& entry, int16_t group) {
  return validGroup(entry, group) ? entry.form.group(group).groupContinuation : 0;
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
int16_t lookUp(Entry& entry, int16_t group, int16_t& j, int16_t list, int16_t& key) {
  key = 0;
  if (list <= 0) return 0;
  for (;;) {
    int16_t result = -1;  // without a browse list, as if cancelled
    if (entry.browseList) entry.browseList(entry, list, result);
    if (result != 0) return result;
    pushValue(entry.state.values, int16Bytes(j));
    pushValue(entry.state.values, int16Bytes(list));
    int16_t hookGroup = group;
    entry.hooks->lookupChosenHook(list, hookGroup, j);
    int16_t savedList = bytesInt16(popValue(entry.state.values));
    int16_t savedField = bytesInt16(popValue(entry.state.values));
    if (list == 0) {  // the hook asks for the list again
      list = savedList;
      continue;
    }
    FieldGroup& g = entry.form.group(group);
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
  GroupRun(Entry& entry, int16_t group, bool continuation, int16_t& leaveOnPageUp,
           int16_t& leaveOnPageDown, int16_t& key)
      : entry_(entry),
        group_(group),
        continuation_(continuation),
        leaveUp_(leaveOnPageUp),
        leaveDown_(leaveOnPageDown),
        key_(key) {}

  void run();

 private:
  FieldGroup& group() { return entry_.form.group(group_); }
  void resumeChain(bool& leaving);
  // Enters the continuation group; true when its key ends this group too.
  bool enterContinuation();
  // Edits field j until a key moves on from it.
  void oneField();
  // Acts on the key that ended field j; true when the group is left at once.
  bool dispatch();

  Entry& entry_;
  int16_t group_;
  bool continuation_;
  int16_t& leaveUp_;
  int16_t& leaveDown_;
  int16_t& key_;
  int16_t first_ = 0, last_ = 0, j_ = 0;
};

bool GroupRun::enterContinuation() {
  auto next = static_cast<int16_t>(-group().groupContinuation);
  enterGroup(entry_, next, leaveUp_, leaveDown_, key_);
  return isLeavingKey(key_);
}

// A group left with PgUp/PgDn is entered again directly when the chain of
// continuation groups from this one leads to it.
void GroupRun::resumeChain(bool& leaving) {
  int16_t& resume = entry_.state.resumeGroup;
  int16_t cur = group_;
  // The chain is followed at most once round all groups, so a form whose
  // continuations form a cycle cannot hang here.
  for (int steps = 0; resume != cur && resume > 0 && continuationOf(entry_, cur) != 0 &&
                      steps <= entry_.form.groupCount;
       ++steps)
    cur = continuationOf(entry_, cur);
  if (resume != cur) resume = 0;

  if (resume != group_ && resume > 0 && group().groupContinuation != 0)
    leaving = enterContinuation();
  else
    resume = 0;
}

void GroupRun::oneField() {
  FieldDef& f = entry_.form.field(group_, j_);
  setActiveKeys(entry_.screen, group().groupKeys + ",3b00", "+ea");
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
  if (flags & kFlagMasked) setActiveKeys(entry_.screen, "", "h");
  if (clear > 0 && !isProtectedField) {
    locateInWindow(entry_.screen, row, static_cast<int16_t>(col + width));
    printText(entry_.screen, std::string(static_cast<size_t>(clear), ' '));
  }

  if (isProtectedField) {
    // The key that moved onto a protected field moves on past it; one that
    // would stay on it steps forward instead.
    if (key_ == 0 || key_ < 0) key_ = key::kDown;
  } else {
    for (;;) {
      entry_.state.currentChoices = f.fieldChoices;
      auto cursor = static_cast<int16_t>((flags & kFlagCursorAtEnd) ? rightTrimmed(work).size() + 1 : 1);
      editFieldValue(entry_, row, col, lineWidth, work, cursor, key_);
      int16_t rejected = 0;
      if (key_ == key::kF1) {
        std::string topic = rightTrimmed(entry_.screen.settings.menuName);
        if (!topic.empty()) showHelp(entry_.screen, topic);
        key_ = 0;
      } else if (key_ == key::kF4) {
        rejected = lookUp(entry_, group_, j_, list, key_);
      } else {
        if (clear > 0) {
          locateInWindow(entry_.screen, row, col);
          // The typed text is shown in the stored style; a masked one only
          // as its mask.
          int16_t mask = entry_.screen.activeKeys.maskChar;
          printText(entry_.screen, mask != 0 ? std::string(work.size(), static_cast<char>(mask)) : work);
          printText(entry_.screen, std::string(static_cast<size_t>(clear), ' '));
        }
        if (key_ == key::kEsc) {
          showFieldValue(entry_, group_, j_);
        } else {
          if (isAllChar(work, ' ') && blankStart) work = fitText(f.fieldValue, work.size());
          rejected = storeFieldValue(entry_, group_, work, j_);
        }
      }
      enterableRange(group(), first_, last_);
      if (rejected == 0) break;
      entry_.screen.console.beep();
    }
  }

  if (flags & kFlagMasked) setActiveKeys(entry_.screen, "", "v");
  setActiveKeys(entry_.screen, "", "-");
}

bool GroupRun::dispatch() {
  int16_t& resume = entry_.state.resumeGroup;
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
    selectTextStyle(entry_.screen, "+n");
    saveRegion(entry_.screen, g.groupWindow[1], g.groupWindow[2], g.groupWindow[3], g.groupWindow[4]);
    drawFrame(entry_.screen, 2);
    selectTextStyle(entry_.screen, "-");
  }
  drawGroup(entry_, group_);
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
    if (entry_.hooks->groupExitHook(hookGroup, key_) == 0 || first_ > last_) break;
    leaving = false;  // the group starts over at its first field
    j_ = first_;
  }
  if (window) restoreRegion(entry_.screen);
}

}  // namespace

void enterGroup(Entry& entry, int16_t& group, int16_t& leaveOnPageUp, int16_t& leaveOnPageDown,
                int16_t& key) {
  bool continuation = group < 0;
  group = static_cast<int16_t>(std::abs(group));
  if (!validGroup(entry, group)) return;
  GroupRun(entry, group, continuation, leaveOnPageUp, leaveOnPageDown, key).run();
}

int16_t enterGroup(Entry& entry, int16_t group) {
  int16_t leaveOnPageUp = 0, leaveOnPageDown = 0, key = 0;
  enterGroup(entry, group, leaveOnPageUp, leaveOnPageDown, key);
  return key;
}

}  // namespace xt
