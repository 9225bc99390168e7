// The procedure of the operator maintenance form: find or create an
// operator's record, edit its text and access level, store, update or
// delete it, and keep the intranet password files in step.
#pragma once

#include <cstdint>
#include <string>

#include "base/session_settings.h"
#include "entry/form_hooks.h"

namespace xt {

struct BrowseState;
struct DataFiles;
struct Entry;

constexpr int16_t kOperatorFileId = 52;

#pragma pack(push, 1)
struct OperatorRecord {
  char operatorCode[8];
  char operatorText[8];
  uint8_t accessLevel;  // 0 general, 1 restricted
};
#pragma pack(pop)
static_assert(sizeof(OperatorRecord) == 17);

class OperatorMaintenance : public FormHooks {
 public:
  // The form's fields through entry, the operator file through files, the
  // operator list's choice in browse.
  OperatorMaintenance(Entry& entry, DataFiles& files, BrowseState& browse);

  // Runs until the operator leaves group 1 with Esc.
  void run();

  int16_t groupExitHook(int16_t& group, int16_t& key) override;
  void lookupChosenHook(int16_t& list, int16_t& group, int16_t& field) override;
  int16_t browseRangeHook(int16_t& list, std::string& from, std::string& limit) override;
  std::string browseLineHook(int16_t& list) override;

  // Ends the pass being edited when the program is told to stop (SIGTERM,
  // SIGHUP): a record created for this pass and never confirmed is deleted
  // with its intranet line, as Esc in group 2 would, and the record lock is
  // released. Nothing typed is stored. Call it from the program's normal
  // flow (where the console notices the signal), not from a signal handler.
  void abandon();

  OperatorRecord& record() { return record_; }
  Entry& entry() { return entry_; }
  DataFiles& files() { return files_; }
  BrowseState& browse() { return browse_; }
  // The operator file: "Operador" in the installation root.
  std::string dataFileName() const;
  // True while this terminal holds the lock of the record being edited.
  bool lockHeld() const { return lockHeld_; }
  // The operator context, copied from the settings after the form is loaded.
  std::string operatorName;
  int16_t operatorType = 0;

 private:
  std::string code() const;
  std::string text() const;
  void setValue(int16_t group, int16_t field, const std::string& text);
  const std::string& value(int16_t group, int16_t field);
  bool formUsable() const;
  // Finds the record of the code in group 1 or creates it; false (after
  // showing why) when there is none to edit.
  bool loadRecord();
  void storeRecord();

  const SessionSettings& settings() const;

  Entry& entry_;
  DataFiles& files_;
  BrowseState& browse_;
  OperatorRecord record_{};
  bool recordIsNew_ = false;
  bool deleteConfirmed_ = false;
  int16_t key2_ = 0;         // the key that ended group 2
  bool haveRecord_ = false;  // a record was found or created for this pass
  bool pendingNew_ = false;  // created for this pass and not stored yet
  bool lockHeld_ = false;
  bool abandoning_ = false;
};

// How running the form ended: left with Esc (ok), or not run at all.
struct FormRunResult {
  bool ok = true;
  std::string message;  // why not, in the session's language
  int exitCode = 0;     // 2: the form cannot be used; 1: the operator file cannot be opened
};

// The main sequence from the form on: loads FORMS\<form>.JPN under the
// installation root, copies the operator context from the settings, opens
// the operator file as data file 52 with the form's record buffer, wires
// the form's hooks (and the browse list, when the entry has no list
// opener), runs the procedure until Esc in group 1 and resets the record
// manager. A form that cannot be loaded is reported in the result and
// nothing else is done; an operator file that cannot be opened has been
// shown to the operator, the files are closed and the result says so.
FormRunResult runOperatorForm(OperatorMaintenance& form);

}  // namespace xt
