// The platform the program runs on, as the build chose it: the console on
// its terminal, its system and its disk. main builds these; everything
// else sees only the Console, System and FileSystem interfaces.
#pragma once

#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/terminal_console.h"

namespace xt {

using NativeConsole = TerminalConsole;
using NativeSystem = PosixSystem;
using NativeFileSystem = PosixFileSystem;

}  // namespace xt
