#include "tools/installation_template.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace xt {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A group named or numbered on the command line, or the caller's: its
// number in gid, 0 when found, else 1 with the reason in error.
int resolveGroup(const std::string& group, unsigned& gid, std::string& error) {
#ifdef _WIN32
  if (!group.empty()) {
    error = "--group: files have no group on Windows";
    return 1;
  }
  gid = 0;
  return 0;
#else
  if (group.empty()) {
    gid = static_cast<unsigned>(::getegid());
    return 0;
  }
  if (const struct group* g = ::getgrnam(group.c_str())) {
    gid = static_cast<unsigned>(g->gr_gid);
    return 0;
  }
  if (std::all_of(group.begin(), group.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    gid = static_cast<unsigned>(std::stoul(group));
    return 0;
  }
  error = "no group " + group;
  return 1;
#endif
}

// Gives path the group and the mode: 0, else 1 with the reason in error.
int setGroupAndMode(const fs::path& path, unsigned gid, unsigned mode, const std::string& shown,
                    std::string& error) {
#ifdef _WIN32
  (void)gid;
  std::error_code ec;
  fs::permissions(path, static_cast<fs::perms>(mode & 0777), ec);
  if (ec) error = "cannot set the permissions of " + shown + ": " + ec.message();
  return ec ? 1 : 0;
#else
  // The group first: a change of group may clear the set-group-id bit.
  if (::chown(path.c_str(), static_cast<uid_t>(-1), static_cast<gid_t>(gid)) != 0) {
    const int e = errno;
    error = "cannot give " + shown + " to group " + std::to_string(gid) + ": " + std::strerror(e) +
            (e == EPERM ? " (only a member of the group, or root, can)" : "");
    return 1;
  }
  if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
    error = "cannot set the permissions of " + shown + ": " + std::strerror(errno);
    return 1;
  }
  return 0;
#endif
}

// A directory beside target that no one else uses: target.tmp-NNNN.
fs::path makeWorkDirectory(const fs::path& target, std::string& error) {
  const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    fs::path work = target;
    work += ".tmp-" + std::to_string((seed + attempt * 7919ULL) % 1000000ULL);
    std::error_code ec;
    if (fs::create_directory(work, ec)) return work;
    if (ec) {
      error = "cannot make " + work.string() + ": " + ec.message();
      return {};
    }
  }
  error = "cannot find a free work directory beside " + target.string();
  return {};
}

// Copies the template's entries under from into to, each given the group
// and its installation mode: 0, else 1 with the reason in error.
int copyTemplate(const fs::path& from, const fs::path& to, const std::string& relative, unsigned gid,
                 std::string& error) {
  std::error_code ec;
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string inside = relative.empty() ? name : relative + "/" + name;
    if (leftOutOfTemplate(inside)) continue;
    const fs::path target = to / name;
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    const unsigned mode = static_cast<unsigned>(status.permissions()) & 0777;
    if (fs::is_directory(status)) {
      if (!fs::create_directory(target, ec)) break;
      if (setGroupAndMode(target, gid, installationMode(mode, true), inside, error)) return 1;
      if (copyTemplate(it->path(), target, inside, gid, error)) return 1;
    } else if (fs::is_regular_file(status)) {
      if (!fs::copy_file(it->path(), target, ec)) break;
      if (setGroupAndMode(target, gid, installationMode(mode, false), inside, error)) return 1;
    } else {
      error = "the template's " + inside + " is not a file or a directory";
      return 1;
    }
  }
  if (ec) {
    error = "cannot copy the template's " + (relative.empty() ? from.string() : relative) + ": " + ec.message();
    return 1;
  }
  return 0;
}

}  // namespace

std::vector<std::string> templateCandidates(const std::string& exeDir) {
  const fs::path dir(exeDir);
  return {(dir / ".." / "share" / "xtancar" / "installation").lexically_normal().string(),
          (dir / "share" / "xtancar" / "installation").lexically_normal().string()};
}

std::string executableDirectory(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) {
    // Without /proc: the path the program was started by, when it has one.
    const std::string given = argv0 ? argv0 : "";
    if (given.find_first_of("/\\") == std::string::npos) return {};
    self = fs::absolute(given, ec);
    if (ec) return {};
  }
  return self.parent_path().string();
}

unsigned installationMode(unsigned templateMode, bool directory) {
  unsigned mode = (templateMode & 0777) | 0660;
  if (directory) mode |= 0110 | 02000;
  return mode;
}

bool leftOutOfTemplate(const std::string& relative) {
  const std::string path = upper(relative);
  const std::string name = path.substr(path.rfind('/') + 1);
  static const char* const kMadeByTerminals[] = {"LOCKS.TMP", "WINPUSH.TMP", "BROWSE.TMP", "INSERT.TMP",
                                                 "TAVCALC.TMP"};
  for (const char* n : kMadeByTerminals)
    if (name == n) return true;
  if (path == "LOCKS" || path == "DB.LOG" || path == ".HTACCESS" || path == ".HTPASSWD") return true;
  // Data files with their journals, and the lock files beside them.
  return endsWith(name, ".LCK") || endsWith(name, ".DAT") || endsWith(name, ".DAT-WAL") || endsWith(name, ".DAT-SHM") ||
         endsWith(name, ".DAT-JOURNAL");
}

int makeInstallation(const NewInstallation& request, std::string& error) {
  std::error_code ec;
  const fs::path target = fs::absolute(fs::path(request.directory), ec).lexically_normal();
  const std::string shown = request.directory;
  if (fs::exists(fs::symlink_status(target, ec))) {
    if (!fs::is_directory(target, ec)) {
      error = shown + " exists and is not a directory";
      return 1;
    }
    if (!fs::is_empty(target, ec) || ec) {
      error = shown + " exists and is not empty: an installation is never laid out over another";
      return 1;
    }
  }
  const fs::path from(request.templateDir);
  if (!fs::is_directory(from, ec) || !fs::exists(from / "Vexa.ini", ec) || !fs::is_directory(from / "FORMS", ec)) {
    error = "no installation template at " + request.templateDir + " (a directory holding Vexa.ini and FORMS)";
    return 1;
  }
  unsigned gid = 0;
  if (resolveGroup(request.group, gid, error)) return 1;

  const fs::path work = makeWorkDirectory(target.has_filename() ? target : target.parent_path(), error);
  if (work.empty()) return 1;
  int rc = setGroupAndMode(work, gid, installationMode(0755, true), shown, error);
  if (rc == 0) rc = copyTemplate(from, work, "", gid, error);
  if (rc == 0) {
    // An empty directory in the way is replaced; anything else that
    // appeared meanwhile makes the rename fail.
    fs::rename(work, target, ec);
    std::error_code probe;
    if (ec && fs::is_directory(target, probe) && fs::is_empty(target, probe) && fs::remove(target, probe))
      fs::rename(work, target, ec);
    if (ec) {
      error = "cannot rename " + work.string() + " to " + shown + ": " + ec.message();
      rc = 1;
    }
  }
  if (rc != 0) fs::remove_all(work, ec);
  return rc;
}

}  // namespace xt
