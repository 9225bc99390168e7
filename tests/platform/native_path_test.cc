#include "platform/native_path.h"

#include <gtest/gtest.h>

#include <set>

namespace xt {
namespace {

// Resolution over a disk given as the set of its entries: the root of a
// path is taken as written and never looked up.
TEST(NativePathTest, RootsAreKeptAndTheRestResolved) {
  const std::set<std::string> disk = {"/tav", "/tav/Forms", "C:/Tav", "C:/Tav/Forms", "//srv/share/Tav"};
  std::vector<std::string> lookedUp;
  auto exact = [&](const std::string& p) {
    lookedUp.push_back(p);
    return disk.count(p) > 0;
  };
  auto caseless = [&](const std::string& dir, const std::string& name) -> std::optional<std::string> {
    for (const std::string& entry : disk) {
      std::string prefix = dir == "." ? "" : dir.back() == '/' ? dir : dir + "/";
      if (entry.size() > prefix.size() && equalsIgnoringCase(entry.substr(0, prefix.size()), prefix) &&
          entry.find('/', prefix.size()) == std::string::npos && equalsIgnoringCase(entry.substr(prefix.size()), name))
        return entry.substr(prefix.size());
    }
    return std::nullopt;
  };
  const struct {
    const char* path;
    const char* native;
  } cases[] = {
      {"\\TAV\\FORMS\\x", "/tav/Forms/x"},
      {"TAV/forms", "TAV/forms"},  // relative: nothing under "." here
#ifdef _WIN32
      {"C:\\TAV\\FORMS\\", "C:/Tav/Forms/"},
      {"c:/tav", "c:/Tav"},
      {"\\\\srv\\share\\TAV\\x", "//srv/share/Tav/x"},
      {"C:", "C:"},
#endif
  };
  for (const auto& c : cases) {
    lookedUp.clear();
    EXPECT_EQ(resolveNativePath(c.path, exact, caseless), c.native) << c.path;
    for (const std::string& p : lookedUp) EXPECT_NE(p.back(), ':') << c.path << " looked up " << p;
  }
}

TEST(NativePathTest, RootLengthAndPrefixes) {
  const struct {
    const char* path;
    size_t root;
    std::vector<std::string> prefixes;
  } cases[] = {
      {"/a/b", 1, {"/a", "/a/b"}},
      {"a/b/c", 0, {"a", "a/b", "a/b/c"}},
      {"/", 1, {"/"}},
#ifdef _WIN32
      {"C:/a/b", 3, {"C:/a", "C:/a/b"}},
      {"C:/", 3, {"C:/"}},
      {"C:a", 2, {"C:a"}},
      {"//srv/share/a/b", 12, {"//srv/share/a", "//srv/share/a/b"}},
      {"//srv/share", 11, {"//srv/share"}},
#else
      {"C:/a", 0, {"C:", "C:/a"}},  // a relative name on Linux
      {"//srv/a", 1, {"/", "//srv", "//srv/a"}},
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pathRootLength(c.path), c.root) << c.path;
    EXPECT_EQ(pathPrefixes(c.path), c.prefixes) << c.path;
  }
}

}  // namespace
}  // namespace xt
