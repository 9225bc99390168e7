#include "tools/installation_template.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "testing/test_program.h"

namespace xt {
namespace {

namespace fs = std::filesystem;

TEST(InstallationTemplate, LooksBesideTheProgram) {
  EXPECT_EQ(templateCandidates("/usr/bin"),
            (std::vector<std::string>{"/usr/share/xtancar/installation", "/usr/bin/share/xtancar/installation"}));
  EXPECT_EQ(templateCandidates("/work/build")[1], "/work/build/share/xtancar/installation");
}

TEST(InstallationTemplate, Modes) {
  struct Case {
    unsigned from;
    bool directory;
    unsigned mode;
  } cases[] = {
      {0644, false, 0664}, {0600, false, 0660}, {0444, false, 0664}, {0755, true, 02775},
      {0700, true, 02770}, {0555, true, 02775}, {04755, false, 0775},  // set-user-id never passed on
  };
  for (const Case& c : cases) EXPECT_EQ(installationMode(c.from, c.directory), c.mode) << std::oct << c.from;
}

TEST(InstallationTemplate, LeavesOutWhatTerminalsMake) {
  struct Case {
    const char* path;
    bool leftOut;
  } cases[] = {
      {"Vexa.ini", false}, {"FORMS/XTANCAR.JPN", false}, {"ddf/Operador.xdf", false},
      {"sessio/Sessio.ini", false}, {"sessio/VexaTerm.ini", false}, {"AJUDA/XTANCAR.HLP", false},
      {"sessio/LOCKS.TMP", true}, {"sessio/locks.tmp", true}, {"t1/WinPush.tmp", true},
      {"sessio/Browse.tmp", true}, {"INSERT.TMP", true}, {"TAVCALC.TMP", true},
      {"LOCKS", true}, {"db.log", true}, {".HTPASSWD", true}, {".HTACCESS", true},
      {"Operador.dat", true}, {"Operador.dat-wal", true}, {"Operador.dat-shm", true},
      {"Operador.dat.lck", true}, {".HTPASSWD.lck", true}, {"FORMS/LOCKS", false},
  };
  for (const Case& c : cases) EXPECT_EQ(leftOutOfTemplate(c.path), c.leftOut) << c.path;
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

// Every entry under dir, relative, sorted.
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) out.push_back(fs::relative(e.path(), dir).string());
  std::sort(out.begin(), out.end());
  return out;
}

// A group to give the installation other than the caller's own, where the
// caller may: a supplementary group, or any as root; else the caller's.
gid_t anotherGroup() {
  gid_t groups[64];
  const int n = ::getgroups(64, groups);
  for (int i = 0; i < n; ++i)
    if (groups[i] != ::getegid()) return groups[i];
  return ::geteuid() == 0 ? ::getegid() + 4242 : ::getegid();
}

// A template (a copy of demo/) and a directory to lay installations out in.
struct Scene {
  Scene() { copyTree(demoSourceDir(), templ.path()); }
  ScratchDir templ;
  ScratchDir place;
  std::string target() const { return place / "inst"; }
  int make(const std::string& group = "") {
    error.clear();
    return makeInstallation({target(), templ.path(), group}, error);
  }
  std::string error;
};

TEST(NewInstallation, TheTemplateWithTheGroupOnEverything) {
  Scene t;
  ScratchDir& templ = t.templ;
  ScratchDir& place = t.place;
  const std::string target = t.target();
  // A used installation as template: what its terminals made stays out.
  templ.write("sessio/LOCKS.TMP", "1234TERMINAL1");
  templ.write("LOCKS/Operador.lck", "x");
  templ.write("Operador.dat", "data");
  templ.write("db.log", "log");
  const gid_t gid = anotherGroup();
  ASSERT_EQ(t.make(std::to_string(gid)), 0) << t.error;

  EXPECT_EQ(entries(target), (std::vector<std::string>{
                                   "AJUDA", "AJUDA/XMENUPR.HLP", "AJUDA/XTANCAR.HLP", "FORMS", "FORMS/XTANCAR.JPN",
                                   "LOCALE", "LOCALE/XTANCAR.LNG", "Vexa.ini", "ddf", "ddf/Operador.xdf", "sessio",
                                   "sessio/Sessio.ini", "sessio/VexaTerm.ini"}));
  EXPECT_EQ(place.read("inst/FORMS/XTANCAR.JPN"), templ.read("FORMS/XTANCAR.JPN"));
  std::vector<std::string> all = entries(target);
  all.push_back("");
  for (const std::string& e : all) {
    const struct stat st = statOf(target + "/" + e);
    EXPECT_EQ(st.st_gid, gid) << e;
    if (S_ISDIR(st.st_mode))
      EXPECT_EQ(st.st_mode & 07777, 02775u) << e;
    else
      EXPECT_EQ(st.st_mode & 07777, 0664u) << e;
  }
  // Nothing left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(place.path()), fs::directory_iterator()), 1);
}

TEST(NewInstallation, TheCallersGroupByDefaultAndAnEmptyDirectoryTaken) {
  Scene t;
  const std::string target = t.target();
  fs::create_directory(target);
  ASSERT_EQ(t.make(), 0) << t.error;
  EXPECT_EQ(statOf(target + "/sessio/Sessio.ini").st_gid, ::getegid());
  EXPECT_EQ(statOf(target).st_mode & 07777, 02775u);
}

// Refused requests write nothing: the target as it was, no work directory.
TEST(NewInstallation, RefusalsLeaveNothing) {
  struct Case {
    const char* name;
    std::function<void(Scene&)> prepare;
    std::string group;
    const char* message;
  } cases[] = {
      {"an installation there", [](Scene& t) { t.place.write("inst/Vexa.ini", "[Usuari]\n"); }, "",
       "exists and is not empty"},
      {"a file there", [](Scene& t) { t.place.write("inst", "x"); }, "", "is not a directory"},
      {"no such group", [](Scene&) {}, "no-such-group-xt", "no group no-such-group-xt"},
      {"no template", [](Scene& t) { fs::remove_all(t.templ / "FORMS"); }, "",
       "no installation template at"},
      // Found while copying: the half-made copy goes.
      {"a link in the template", [](Scene& t) { fs::create_symlink("/etc/passwd", t.templ / "AJUDA/link"); },
       "", "AJUDA/link is not a file or a directory"},
  };
  for (const Case& c : cases) {
    Scene t;
    c.prepare(t);
    const std::vector<std::string> before = entries(t.place.path());
    EXPECT_EQ(t.make(c.group), 1) << c.name;
    EXPECT_NE(t.error.find(c.message), std::string::npos) << c.name << ": " << t.error;
    EXPECT_EQ(entries(t.place.path()), before) << c.name;
  }
}

}  // namespace
}  // namespace xt
