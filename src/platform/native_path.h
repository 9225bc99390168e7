// How a program path becomes the path of an existing entry: "\" and "/"
// both separate components, and a component that does not exist under its
// exact name takes the entry of its directory whose name matches it without
// regard to letter case. From the first component that matches nothing on,
// the rest is kept as written. Every FileSystem resolves through this one
// function with its own lookups, so they all name files alike:
//
//   "FORMS\NEW\A.TXT" with Forms/ on disk  ->  "Forms/NEW/A.TXT"
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xt {

// Whether an entry exists under exactly this path (a link counts itself).
using ExactLookup = std::function<bool(const std::string& path)>;
// The name of the entry of dir ("." for the current directory) that
// matches name without regard to letter case; nullopt when none does or
// dir cannot be read.
using CaselessLookup = std::function<std::optional<std::string>(const std::string& dir, const std::string& name)>;

// The root of the path is kept as written (see pathRootLength); "." and
// ".." components are kept without a lookup; a trailing separator is kept.
std::string resolveNativePath(std::string_view path, const ExactLookup& existsExactly,
                              const CaselessLookup& findCaseless);

// How many leading bytes of a path with "/" separators name its root: 1
// for "/"; on Windows also 3 for a drive ("C:/"; 2 for "C:", the drive's
// current directory) and the whole "//server/share/" of a network share.
// 0 for a relative path.
size_t pathRootLength(std::string_view slashed);

// The path up to each separator after its root and the whole path, in
// order: the directories to make for "a/b/c" are "a", "a/b" and "a/b/c",
// for "C:/a/b" (on Windows) "C:/a" and "C:/a/b".
std::vector<std::string> pathPrefixes(std::string_view native);

// ASCII letters compared without regard to case; other bytes as they are.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace xt
