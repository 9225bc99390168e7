// The whole program, built once by main (or a test) over the platform
// objects: the settings, and each layer's state object wired to the ones
// it uses. Only main and the test support see it; every other function
// takes the objects it works with.
#pragma once

#include "base/session_settings.h"
#include "data/data_files.h"
#include "entry/entry.h"
#include "entry/form.h"
#include "format/format_settings.h"
#include "lists/browse_list.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/record_engine.h"
#include "platform/system.h"
#include "screen/screen.h"
#include "screen/screen_notices.h"

namespace xt {

struct Program {
  Program(Console& console, System& system, FileSystem& fs, RecordEngine& engine)
      : console(console),
        system(system),
        fs(fs),
        engine(engine),
        screen(console, system, fs, settings, format),
        notices(screen),
        data(engine, system, fs, settings, notices),
        entry(screen, form) {}
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Console& console;
  System& system;
  FileSystem& fs;
  RecordEngine& engine;

  SessionSettings settings;
  FormatSettings format;
  Screen screen;
  ScreenNotices notices;
  DataFiles data;
  FormDefinition form;
  Entry entry;
  BrowseState browse;
};

}  // namespace xt
