// The platform the program runs on, as the build chose it: the console on
// its terminal, its system and its disk. main builds these; everything
// else sees only the Console, System and FileSystem interfaces.
#pragma once

#ifdef _WIN32

#include "platform/win32/win32_console.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system.h"

namespace xt {

using NativeConsole = Win32Console;
using NativeSystem = Win32System;
using NativeFileSystem = Win32FileSystem;

}  // namespace xt

#else

#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/terminal_console.h"

namespace xt {

using NativeConsole = TerminalConsole;
using NativeSystem = PosixSystem;
using NativeFileSystem = PosixFileSystem;

}  // namespace xt

#endif
