// The data files of the program, one object: the record engine, the table
// of open files, this terminal's lock identity and wait mode, and what the
// data layer needs around them: the settings (the installation root and
// the session directory), the system's clock and pauses, and the notices
// through which it tells the operator what he must see.
#pragma once

#include "base/notices.h"
#include "base/session_settings.h"
#include "data/file_table.h"
#include "data/record_locks.h"
#include "platform/file_system.h"
#include "platform/record_engine.h"
#include "platform/system.h"

namespace xt {

struct DataFiles {
  DataFiles(RecordEngine& engine, System& system, FileSystem& fs, const SessionSettings& settings,
            Notices& notices)
      : engine(engine), system(system), fs(fs), settings(settings), notices(notices) {}
  DataFiles(const DataFiles&) = delete;
  DataFiles& operator=(const DataFiles&) = delete;

  RecordEngine& engine;
  System& system;
  FileSystem& fs;  // the lock files, db.log, the dictionaries
  const SessionSettings& settings;
  Notices& notices;

  FileTable table;
  LockState locks;
};

}  // namespace xt
