// The program-wide records and tables, owned by one context that main (or
// a test) builds with the platform objects: the settings, the form, the
// screen and entry state, the file table and the lock identity.
#pragma once

#include <functional>
#include <string>

#include "data/file_table.h"
#include "data/record_locks.h"
#include "entry/field_entry.h"
#include "entry/text_styles.h"
#include "format/date_format.h"
#include "forms/form_definition.h"
#include "forms/form_hooks.h"
#include "platform/console.h"
#include "platform/record_engine.h"
#include "platform/system.h"
#include "screen/active_keys.h"
#include "screen/browse_list.h"
#include "screen/key_reader.h"
#include "screen/screen_stack.h"
#include "startup/settings.h"

namespace xt {

struct Program;

// The pop-up tools reached through the key reader and the entry loop. Main
// wires the real ones; an unset hook does nothing (an empty result, a
// cancelled list).
struct ToolHooks {
  std::function<std::string(Program&)> calculator;
  std::function<std::string(Program&)> calendar;
  std::function<void(Program&, int16_t& list, int16_t& result)> browseList;
};

struct Program {
  Program(Console& console, System& system, RecordEngine& engine)
      : console(console), system(system), engine(engine), hooks(&noHooks) {}
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Console& console;
  System& system;
  RecordEngine& engine;

  SessionSettings settings;
  FormDefinition form;
  std::string messageFileName;  // set by the first translation that needs it

  StyleState styles;
  WindowState windows;
  KeyReaderState keyReader;
  ActiveKeyTable activeKeys;
  EntryState entry;
  BrowseState browse;
  FormatSettings format;

  FileTable files;
  LockState locks;

  FormHooks noHooks;
  FormHooks* hooks;  // the form procedure being run
  ToolHooks tools;

  // Why the program ends early, for main to repeat on the shell's error
  // output once the terminal is given back (code page 850).
  std::string exitMessage;
};

}  // namespace xt
