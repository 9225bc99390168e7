#include "tools/admin_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "base/notices.h"
#include "base/session_settings.h"
#include "data/data_files.h"
#include "data/record_locks.h"
#include "platform/native.h"
#include "platform/sqlite_engine.h"
#include "tools/installation_template.h"
#include "tools/lock_report.h"

namespace xt {

namespace {

int usage(const std::string& message) {
  std::fprintf(stderr, "xtdata: %s\n(xtdata --help shows the usage)\n", message.c_str());
  return 2;
}

int failed(const std::string& message) {
  std::fprintf(stderr, "xtdata: %s\n", message.c_str());
  return 1;
}

// The lock clock of the program: minutes since 1970 of the local time.
int64_t lockClockNow(FileSystem& disk) {
  NativeSystem system;
  SqliteEngine engine;
  SessionSettings settings;
  SilentNotices notices;
  DataFiles files(engine, system, disk, settings, notices);
  return lockTimeNow(files);
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int commandNewInstallation(const std::vector<std::string>& args, const char* argv0) {
  NewInstallation request;
  bool templateGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--group" || a == "--template") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return usage("new-installation: " + a + " needs a value");
      (a == "--group" ? request.group : request.templateDir) = args[++i];
      templateGiven = templateGiven || a == "--template";
    } else if (a.rfind("--", 0) == 0) {
      return usage("new-installation: unknown option " + a);
    } else if (request.directory.empty()) {
      request.directory = a;
    } else {
      return usage("new-installation needs one DIR");
    }
  }
  if (request.directory.empty()) return usage("new-installation needs DIR");
  if (!templateGiven) {
    NativeFileSystem disk;
    const std::string exeDir = executableDirectory(argv0);
    const std::vector<std::string> candidates = exeDir.empty() ? std::vector<std::string>{} : templateCandidates(exeDir);
    auto found = std::find_if(candidates.begin(), candidates.end(),
                              [&](const std::string& c) { return disk.directoryExists(c); });
    if (found == candidates.end())
      return failed("no installation template " +
                    (candidates.empty() ? std::string("beside the program") : "at " + candidates.front()) +
                    ": give it with --template TEMPLATE");
    request.templateDir = *found;
  }
  std::string error;
  if (makeInstallation(request, error)) return failed(error);
  std::printf("new installation in %s (from %s)\n", request.directory.c_str(), request.templateDir.c_str());
  std::printf("each terminal gets its own copy of %s/sessio; the program makes Operador.dat, LOCKS/ and db.log there\n",
              request.directory.c_str());
  return 0;
}

int commandLocks(const std::vector<std::string>& args) {
  if (args.size() > 1) return usage("locks takes at most one NAME");
  if (!args.empty() && args[0].rfind("--", 0) == 0) return usage("locks: unknown option " + args[0]);
  NativeFileSystem disk;
  const char* root = std::getenv("TAVROOT");
  std::string directory = root && *root ? root : disk.currentDirectory();
  if (directory.back() != '/' && directory.back() != '\\') directory += '/';
  directory += "LOCKS";
  if (!disk.directoryExists(directory)) {
    std::printf("no lock files (%s does not exist)\n", directory.c_str());
    return 0;
  }
  std::vector<std::string> names;
  if (!args.empty()) {
    std::string name = args[0];
    if (upper(name).size() < 4 || upper(name).substr(name.size() - 4) != ".LCK") name += ".lck";
    names.push_back(name);
  } else {
    for (const std::string& n : disk.listDirectory(directory))
      if (upper(n).size() > 4 && upper(n).substr(n.size() - 4) == ".LCK") names.push_back(n);
    std::sort(names.begin(), names.end());
    if (names.empty()) {
      std::printf("no lock files in %s\n", directory.c_str());
      return 0;
    }
  }
  const int64_t now = lockClockNow(disk);
  for (const std::string& name : names) {
    const std::string path = directory + "/" + name;
    // Read with a plain open: a terminal's exclusive open of the file is
    // neither waited for nor disturbed.
    if (!disk.fileExists(path)) {
      std::printf("no lock file %s\n", path.c_str());
      continue;
    }
    std::optional<std::string> content = disk.readWholeFile(path);
    if (!content) return failed("cannot read " + path);
    std::fputs(lockReport(disk.nativePath(path), *content, now).c_str(), stdout);
  }
  return 0;
}

}  // namespace xt
