#include "forms/operator_maintenance.h"

#include <algorithm>
#include <cstring>

#include "base/language.h"
#include "data/data_files.h"
#include "data/file_table.h"
#include "data/operation_log.h"
#include "data/record_locks.h"
#include "data/record_ops.h"
#include "entry/entry.h"
#include "entry/field_display.h"
#include "entry/field_entry.h"
#include "format/fixed_text.h"
#include "forms/form_definition.h"
#include "intranet/access_files.h"
#include "lists/browse_list.h"
#include "platform/key_codes.h"
#include "screen/screen.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr const char* kLockName = "Operador";
constexpr const char* kAccessLevels = "GR";
constexpr int16_t kOperatorList = 1;

void copyFixed(char* to, size_t width, const std::string& text) {
  std::string fitted = fitText(text, width);
  std::memcpy(to, fitted.data(), width);
}

}  // namespace

OperatorMaintenance::OperatorMaintenance(Entry& entry, DataFiles& files, BrowseState& browse)
    : entry_(entry), files_(files), browse_(browse) {}

std::string OperatorMaintenance::code() const {
  return std::string(record_.operatorCode, sizeof record_.operatorCode);
}

const SessionSettings& OperatorMaintenance::settings() const { return entry_.screen.settings; }

std::string OperatorMaintenance::dataFileName() const { return settings().rootDir + "Operador"; }

std::string OperatorMaintenance::text() const {
  return std::string(record_.operatorText, sizeof record_.operatorText);
}

void OperatorMaintenance::setValue(int16_t group, int16_t field, const std::string& text) {
  FieldDef& def = entry_.form.field(group, field);
  def.fieldValue = fitText(text, static_cast<size_t>(std::max<int16_t>(def.fieldWidth(), 0)));
}

const std::string& OperatorMaintenance::value(int16_t group, int16_t field) {
  return entry_.form.field(group, field).fieldValue;
}

bool OperatorMaintenance::formUsable() const { return checkOperatorForm(entry_.form, settings(), "").ok; }

void OperatorMaintenance::run() {
  selectTextStyle(entry_.screen, "n");
  entry_.screen.console.clear();
  if (!formUsable()) return;

  for (;;) {
    // Prefill: a restricted operator works on his own code only and may
    // not change the access level.
    int16_t& levelFlags = entry_.form.field(2, 2).fieldFlags();
    if (operatorType != 0) {
      setValue(1, 1, operatorName);
      levelFlags = static_cast<int16_t>(levelFlags | kFlagProtected);
    } else {
      setValue(1, 1, "");
      levelFlags = static_cast<int16_t>(levelFlags & ~kFlagProtected);
    }

    // Leaving group 1 (other than with Esc) locks the record; see
    // groupExitHook.
    if (enterGroup(entry_, 1) == key::kEsc) return;

    if (loadRecord()) {
      key2_ = enterGroup(entry_, 2);
      if (key2_ == key::kDeleteRequest && operatorType == 0) {
        setValue(3, 1, "N");
        int16_t key3 = enterGroup(entry_, 3);
        deleteConfirmed_ = key3 == key::kEnter && value(3, 1) == "S";
      }
    }
    storeRecord();
  }
}

bool OperatorMaintenance::loadRecord() {
  deleteConfirmed_ = false;
  FieldGroup& group2 = entry_.form.group(2);
  for (int16_t f = 1; f < static_cast<int16_t>(group2.fields.size()); ++f) setValue(2, f, "");
  setValue(2, 2, "G");

  recordIsNew_ = false;
  haveRecord_ = true;
  if (findByKey(files_, kOperatorFileId, 0, code(), 0) != 0) {
    std::memset(record_.operatorText, ' ', sizeof record_.operatorText);
    record_.accessLevel = 0;
    // Only a record this pass inserted is new: when the insert fails (the
    // code exists after all, or the file cannot be written) Esc must not
    // delete someone else's record.
    int16_t inserted = insertRecord(files_, kOperatorFileId);
    recordIsNew_ = inserted == 0;
    int16_t found = findByKey(files_, kOperatorFileId, 0, value(1, 1), 0);
    if (recordIsNew_) {
      pendingNew_ = true;
      return true;
    }
    if (found != 0) {
      // Nothing to edit: what would be typed could not be stored, so the
      // refusal is shown now and the form goes back to the code.
      haveRecord_ = false;
      showFileError(files_, dataFileName(), inserted);
      return false;
    }
  }
  setValue(2, 1, text());
  std::string levels = kAccessLevels;
  setValue(2, 2, record_.accessLevel < levels.size() ? levels.substr(record_.accessLevel) : "");
  return true;
}

void OperatorMaintenance::storeRecord() {
  copyFixed(record_.operatorText, sizeof record_.operatorText, value(2, 1));
  size_t level = std::string(kAccessLevels).find(value(2, 2));
  record_.accessLevel = level == std::string::npos ? uint8_t{' '} : static_cast<uint8_t>(level);

  std::string user = rightTrimmed(code());
  int16_t stored = 0;
  if (haveRecord_) {
    if ((recordIsNew_ && key2_ == key::kEsc) || deleteConfirmed_) {
      writeIntranetAccess(files_.system, files_.fs, files_.notices, settings(), settings().rootDir, user, user, true);
      stored = deleteRecord(files_, kOperatorFileId);
      // The operator is still there: he keeps his way into the intranet.
      if (stored != 0 && deleteConfirmed_)
        writeIntranetAccess(files_.system, files_.fs, files_.notices, settings(), settings().rootDir, user, user, false);
    } else if (key2_ != key::kEsc) {
      writeIntranetAccess(files_.system, files_.fs, files_.notices, settings(), settings().rootDir, user, user, false);
      stored = updateRecord(files_, kOperatorFileId);
    }
  }
  // The form goes back to an empty code either way: an edit or a deletion
  // the file did not take must not pass for done.
  if (stored != 0) showFileError(files_, dataFileName(), stored);
  // Only now: ended from outside while a failed rewrite is shown, the new
  // record must still go.
  pendingNew_ = false;
  (void)releaseLock(files_, kLockName);
  lockHeld_ = false;
}

void OperatorMaintenance::abandon() {
  if (abandoning_) return;
  abandoning_ = true;
  haveRecord_ = false;  // whatever follows, this pass stores nothing
  if (pendingNew_) {
    // As Esc in group 2 would have done: the record created for this pass
    // goes again, with its intranet line.
    pendingNew_ = false;
    std::string user = rightTrimmed(code());
    // Only a line that is there is taken out: ended while another process
    // holds .HTPASSWD (before this pass wrote its line), the rewrite would
    // keep the process waiting for it.
    if (hasPasswordLine(files_.fs, settings().rootDir, user))
      writeIntranetAccess(files_.system, files_.fs, files_.notices, settings(), settings().rootDir, user, user, true);
    if (findByKey(files_, kOperatorFileId, 0, code(), 0) == 0) (void)deleteRecord(files_, kOperatorFileId);
  }
  if (lockHeld_) {
    (void)releaseLock(files_, kLockName);
    lockHeld_ = false;
  }
  abandoning_ = false;
}

int16_t OperatorMaintenance::groupExitHook(int16_t& group, int16_t& key) {
  if (key == key::kEsc) return 0;
  files_.locks.lockWaitMode = 'p';
  int16_t result = 0;
  if (group == 1) {
    copyFixed(record_.operatorCode, sizeof record_.operatorCode, value(1, 1));
    if (code().find_first_not_of(std::string(" \0", 2)) == std::string::npos) {
      // A blank code names no operator (and the intranet has no blank
      // user): refused, and the code is asked again.
      entry_.screen.console.beep();
      result = -1;
    } else {
      result = lockRecordKey(files_, kLockName, code());
      if (result == 0) lockHeld_ = true;
    }
  }
  files_.locks.lockWaitMode = ' ';
  return result;
}

void OperatorMaintenance::lookupChosenHook(int16_t& list, int16_t& group, int16_t& field) {
  if (list != kOperatorList) return;
  // A further list reports its choice with group and field 0: there is no
  // field to fill then.
  const FormDefinition& form = entry_.form;
  if (group < 1 || group >= static_cast<int16_t>(form.groups.size()) || field < 1 ||
      field >= static_cast<int16_t>(form.groups[static_cast<size_t>(group)].fields.size()))
    return;
  (void)storeFieldValue(entry_, group, code(), field);
}

int16_t OperatorMaintenance::browseRangeHook(int16_t& list, std::string& from, std::string& limit) {
  int16_t result = 0;
  if (list == kOperatorList) {
    from.clear();
    result = operatorType != 0 ? -1 : 0;  // a restricted operator may not list the operators
  }
  limit = from;
  return result;
}

std::string OperatorMaintenance::browseLineHook(int16_t& list) {
  if (list != kOperatorList) return {};
  std::string level = translateText(files_.fs, settings(), record_.accessLevel == 1 ? "RESTRINGIT" : "GENERAL");
  return code() + "  " + text() + "  " + level;
}

FormRunResult runOperatorForm(OperatorMaintenance& form) {
  Entry& entry = form.entry();
  const SessionSettings& settings = entry.screen.settings;
  const std::string path = settings.rootDir + "FORMS\\" + settings.formName + ".JPN";
  FormLoadResult loaded = loadForm(form.files().fs, entry.form, settings, path);
  if (loaded.ok) loaded = checkOperatorForm(entry.form, settings, path);
  if (!loaded.ok) return {false, loaded.message, 2};

  DataFiles& files = form.files();
  form.operatorName = settings.operatorName;
  form.operatorType = settings.operatorType;
  if (int16_t st = openDataFile(files, kOperatorFileId, form.dataFileName(), recordBytes(form.record())); st != 0) {
    // Shown to the operator already; the files are closed and the program ends.
    FormRunResult failed{false, fileProblemText(files, form.dataFileName(), statusReason(files, st)), 1};
    (void)resetAllFiles(files);
    return failed;
  }

  FormHooks* previousHooks = entry.hooks;
  entry.hooks = &form;
  if (!entry.browseList) {
    BrowseState& browse = form.browse();
    entry.browseList = [&files, &browse](Entry& e, int16_t& list, int16_t& result) {
      browseList(e, files, browse, list, result);
    };
  }
  form.run();
  entry.hooks = previousHooks;

  (void)resetAllFiles(files);
  return {};
}

}  // namespace xt
