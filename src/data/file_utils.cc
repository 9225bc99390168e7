#include "data/file_utils.h"

#include <cerrno>
#include <cctype>
#include <vector>

#include "platform/file_system.h"
#include "platform/native_path.h"

namespace xt {

namespace {

int16_t errorNumber(const FileResult& r) {
  if (r.ok()) return 0;
  switch (r.error) {
    case ENOENT:
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrorPermission;
    default: return kErrorPathAccess;
  }
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Wildcard match without regard to letter case. "*.*" matches every name,
// as it does on the systems these installations come from.
bool wildcardMatch(const char* pattern, const char* name) {
  if (std::string(pattern) == "*.*") return true;
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starP = pattern++;
      starN = name;
    } else if (*pattern == '?' ||
               std::tolower(static_cast<unsigned char>(*pattern)) ==
                   std::tolower(static_cast<unsigned char>(*name))) {
      ++pattern;
      ++name;
    } else if (starP) {
      pattern = starP + 1;
      name = ++starN;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// Deletes the regular files matching path. 53 when nothing matched.
int16_t deleteMatching(FileSystem& fs, std::string path) {
  if (path.empty() || path.back() == '/' || path.back() == '\\' || path.back() == ':') path += "*.*";
  size_t cut = path.find_last_of("/\\");
  std::string dir = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  std::string pattern = cut == std::string::npos ? path : path.substr(cut + 1);

  // Only files match: a directory (or device) never does.
  if (!hasWildcard(pattern)) {
    if (!fs.fileExists(path)) return kErrorNoMatch;
    return errorNumber(fs.removeFile(path));
  }
  bool matched = false;
  for (const std::string& name : fs.listDirectory(dir.empty() ? "." : dir)) {
    if (!wildcardMatch(pattern.c_str(), name.c_str())) continue;
    if (name[0] == '.' && pattern[0] != '.') continue;  // hidden
    std::string full = fs.nativePath(dir) + name;
    if (!fs.fileExists(full)) continue;
    matched = true;
    if (int16_t err = errorNumber(fs.removeFile(full))) return err;
  }
  return matched ? 0 : kErrorNoMatch;
}

}  // namespace

int16_t deletePath(FileSystem& fs, const std::string& path) {
  int16_t err = deleteMatching(fs, path);
  if (err == 0) return 0;
  std::string inside = path;
  if (!inside.empty() && inside.back() != '/' && inside.back() != '\\') inside += '/';
  err = deleteMatching(fs, inside + "*.*");
  if (err != 0 && err != kErrorNoMatch) return err;
  return errorNumber(fs.removeDirectory(path));
}

int16_t renameFile(FileSystem& fs, const std::string& from, const std::string& to) {
  FileResult r = fs.renamePath(from, to, false);
  if (r.ok()) return 0;
  return static_cast<int16_t>(r.error % 32768);
}

std::string shortPathName(FileSystem& fs, const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == ' ') p.pop_back();
  if (p.empty() || !fs.pathExists(p)) return "";
  return fs.nativePath(p);
}

std::string fullDirectoryPath(FileSystem& fs, const std::string& path) {
  size_t first = path.find_first_not_of(' ');
  size_t last = path.find_last_not_of(' ');
  std::string text = first == std::string::npos ? "" : path.substr(first, last - first + 1);
  for (char& c : text)
    if (c == '\\') c = '/';
  if (pathRootLength(text) == 0) {
    std::string cwd = fs.currentDirectory();
    text = cwd.empty() ? "" : cwd + "/" + text;
  }

  // The root ("/", or on Windows "C:/" or "//server/share/") stays as it is.
  const size_t root = pathRootLength(text);
  std::vector<std::string> parts;
  size_t i = root;
  while (i < text.size()) {
    size_t slash = text.find('/', i);
    if (slash == std::string::npos) slash = text.size();
    std::string part = text.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." at the root stays at the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = slash + 1;
  }
  std::string result = root ? text.substr(0, root) : "/";
  if (result.back() != '/') result += '/';
  for (const std::string& part : parts) result += part + "/";
  return result;
}

}  // namespace xt
