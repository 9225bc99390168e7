#include "intranet/access_files.h"

#include <cmath>
#include <string_view>

#include "base/language.h"
#include "data/file_utils.h"
#include "format/text_lines.h"
#include "intranet/apr1.h"
#include "platform/binary_file.h"
#include "platform/system.h"

namespace xt {

namespace {

// A user name that cannot break the line structure of .HTPASSWD.
bool writableUser(const std::string& user) {
  if (user.empty()) return false;
  for (char c : user) {
    const auto b = static_cast<unsigned char>(c);
    if (c == ':' || b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

// Holds directory + ".HTPASSWD.lck" exclusively; waits while another
// process rewrites. Not open when the lock file cannot be made at all.
BinaryFile lockPasswordFile(System& system, FileSystem& fs, const std::string& directory,
                            const std::function<void()>& beforePause) {
  for (;;) {
    BinaryFile lock;
    FileResult r = lock.open(fs, directory + ".HTPASSWD.lck", BinaryFile::Mode::ReadWriteCreate, true);
    if (r.ok() || r.code != FileResult::Code::Busy) return lock;
    if (beforePause) beforePause();
    system.pause(static_cast<int>(std::floor(system.random() * 50 + 1)));
  }
}

// The user of a line of .HTPASSWD, the line end removed; nullopt for a
// line without ":", which is dropped.
std::optional<std::string_view> lineUser(std::string_view line) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return line.substr(0, colon);
}

// Writes work completely, flushes it, gives it the mode and group of
// target's current file and renames it over target (replace) or onto a
// missing target (no replace). The work file is gone afterwards either way.
// It is made anew: a file or link left under its name (the directory is
// shared) is removed, never written through.
bool installFile(FileSystem& fs, const std::string& work, const std::string& target, const std::string& content,
                 bool replace) {
  (void)fs.removeFile(work);
  BinaryFile file;
  // The work file takes the target's mode and group before the content is
  // written, so the new hashes are never readable by more users than the
  // old ones were.
  bool ok = file.open(fs, work, BinaryFile::Mode::CreateNew).ok() && file.copyModeAndGroupFrom(target).ok() &&
            file.writeAt(0, content).ok() && file.sync().ok();
  file.close();
  if (ok) ok = replace ? fs.renamePath(work, target, true).ok() : renameFile(fs, work, target) == 0;
  if (!ok) (void)fs.removeFile(work);
  return ok;
}

// The absolute path of .HTPASSWD as the web server must see it: the entry
// as it exists on disk, else as it will be created.
std::string passwordFilePath(FileSystem& fs, const std::string& directory) {
  std::string native = fs.nativePath(directory + ".HTPASSWD");
  size_t cut = native.find_last_of('/');
  if (cut == std::string::npos) return fullDirectoryPath(fs, ".") + native;
  return fullDirectoryPath(fs, native.substr(0, cut + 1)) + native.substr(cut + 1);
}

bool writeAccessFile(FileSystem& fs, const std::string& directory) {
  const std::string content =
      "AuthType Basic\r\n"
      "AuthName \"Intranet TAV\"\r\n"
      "AuthUserFile \"" + passwordFilePath(fs, directory) + "\"\r\n"
      "Require valid-user\r\n";
  // Never replaces an .HTACCESS that appeared meanwhile.
  return installFile(fs, directory + "ACC.TMP", directory + ".HTACCESS", content, false) ||
         !shortPathName(fs, directory + ".HTACCESS").empty();
}

void showFailure(Notices& notices, const SessionSettings& settings, AccessStatus status) {
  static const std::string kBadUser[4] = {
      "CODI NO V\xB7LID PER A LA INTRANET" /* À */,
      "C\xE0" "DIGO NO V\xB5LIDO PARA LA INTRANET" /* Ó, Á */,
      "C\xE0" "DIGO NON V\xB5LIDO PARA A INTRANET" /* Ó, Á */,
      "C\xE3" "DI NON VALID ENT\xB7 ERA INTRANET" /* Ò, À */};
  static const std::string kNotWritten[4] = {
      "NO S'HAN POGUT DESAR LES CONTRASENYES DE LA INTRANET",
      "NO SE HAN PODIDO GUARDAR LAS CONTRASE\xA5" "AS DE LA INTRANET" /* Ñ */,
      "NON SE PUIDERON GARDAR OS CONTRASINAIS DA INTRANET",
      "NON S'AN POGUT GUARDAR ES CONTRASENHES DERA INTRANET"};
  const std::string* texts = status == AccessStatus::BadUser ? kBadUser : kNotWritten;
  notices.show(14, pickLanguage(settings, texts[0], texts[1], texts[2], texts[3]));
  notices.waitForKey();
  notices.dismiss();
}

}  // namespace

AccessStatus rewriteAccessFiles(System& system, FileSystem& fs, const std::string& directory, const std::string& user,
                                const std::string& password, bool remove,
                                const std::function<void()>& beforePause) {
  if (!remove && !writableUser(user)) return AccessStatus::BadUser;
  BinaryFile lock = lockPasswordFile(system, fs, directory, beforePause);
  if (!lock.isOpen()) return AccessStatus::WriteFailed;

  bool accessWritten = true;
  if (shortPathName(fs, directory + ".HTACCESS").empty()) accessWritten = writeAccessFile(fs, directory);

  // Every other user's line, in its order, with CR LF whatever it had.
  std::string target = shortPathName(fs, directory + ".HTPASSWD");
  std::string content;
  if (!target.empty()) {
    std::optional<std::string> old = fs.readWholeFile(target);
    if (!old) return AccessStatus::ReadFailed;
    content.reserve(old->size() + 64);
    std::string_view rest(*old);
    while (!rest.empty()) {
      size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      std::optional<std::string_view> lineOf = lineUser(line);
      if (!lineOf || *lineOf == user) continue;  // exactly this user, case-sensitive
      content.append(line);
      content.append("\r\n");
    }
  } else {
    target = directory + ".HTPASSWD";
  }
  if (!remove) {
    std::string salt;  // empty: every rewrite draws a fresh salt
    content += user + ":" + apr1Hash(system, password, salt) + "\r\n";
  }
  if (!installFile(fs, directory + "PWD.TMP", target, content, true)) return AccessStatus::WriteFailed;
  return accessWritten ? AccessStatus::Ok : AccessStatus::WriteFailed;
}

bool hasPasswordLine(FileSystem& fs, const std::string& directory, const std::string& user) {
  std::optional<std::string> data = fs.readWholeFile(directory + ".HTPASSWD");
  if (!data) return false;
  for (const std::string& line : splitLines(*data))
    if (lineUser(line) == std::string_view(user)) return true;
  return false;
}

void writeIntranetAccess(System& system, FileSystem& fs, Notices& notices, const SessionSettings& settings,
                         const std::string& directory, const std::string& user,
                         const std::string& password, bool remove) {
  notices.show(12, translateText(fs, settings, "GENERANT CONTRASENYA INTRANET"));
  AccessStatus status = rewriteAccessFiles(system, fs, directory, user, password, remove,
                                           [&notices] { notices.beforePause(); });
  if (status != AccessStatus::Ok) showFailure(notices, settings, status);
  notices.dismiss();
}

}  // namespace xt
