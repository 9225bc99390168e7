// The screen's state, one object for the whole program: the console, the
// stack of saved regions behind the pop-ups (WinPush.tmp in the session
// directory), the text styles, the key reader and the active-key table,
// with the settings they are drawn by and the files they keep.
#pragma once

#include <functional>
#include <string>

#include "base/session_settings.h"
#include "format/format_settings.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "screen/active_keys.h"
#include "screen/key_reader.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

// The pop-up tools the key reader opens on their hot keys. Main wires the
// real ones; an unset tool types nothing.
struct ScreenTools {
  std::function<std::string(Screen&)> calculator;
  std::function<std::string(Screen&)> calendar;
};

struct Screen {
  Screen(Console& console, System& system, FileSystem& fs, const SessionSettings& settings,
         const FormatSettings& format)
      : console(console), system(system), fs(fs), settings(settings), format(format) {}
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  Console& console;
  System& system;
  FileSystem& fs;
  const SessionSettings& settings;
  const FormatSettings& format;

  StyleState styles;
  WindowState windows;
  KeyReaderState keyReader;
  ActiveKeyTable activeKeys;
  ScreenTools tools;
};

}  // namespace xt
