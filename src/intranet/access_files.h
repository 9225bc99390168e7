// The web server's access files of the installation: .HTACCESS (written
// once, pointing the server at .HTPASSWD) and .HTPASSWD (one line
// "user:$apr1$..." per operator, CR LF; rewritten with the operator's line
// at the end, or without it). A rewrite runs under an exclusive lock of
// .HTPASSWD.lck beside the files and replaces .HTPASSWD atomically, so a
// reader sees the old or the new file and never a missing or partial one.
#pragma once

#include <functional>
#include <string>

#include "base/notices.h"
#include "base/session_settings.h"
#include "platform/file_system.h"

namespace xt {

class System;

enum class AccessStatus {
  Ok,
  BadUser,      // empty, or holds ":" or a control character: nothing written
  ReadFailed,   // the old .HTPASSWD could not be read: left as it was
  WriteFailed,  // a file could not be written: .HTPASSWD left as it was
};

// The rewrite without the screen. directory ends in a separator. While
// another process rewrites the files this one waits, calling beforePause
// (when set) before each pause.
[[nodiscard]] AccessStatus rewriteAccessFiles(System& system, FileSystem& fs, const std::string& directory,
                                              const std::string& user, const std::string& password,
                                              bool remove, const std::function<void()>& beforePause = {});
// Whether .HTPASSWD in directory has a line for user (read without the
// lock: a replacement is atomic).
bool hasPasswordLine(FileSystem& fs, const std::string& directory, const std::string& user);
// The rewrite as the form runs it: "GENERANT CONTRASENYA INTRANET" (in the
// session's language) shown meanwhile, and a message (waiting for a key)
// when it failed.
void writeIntranetAccess(System& system, FileSystem& fs, Notices& notices, const SessionSettings& settings,
                         const std::string& directory, const std::string& user,
                         const std::string& password, bool remove);

}  // namespace xt
