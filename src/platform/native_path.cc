#include "platform/native_path.h"

#include <algorithm>

namespace xt {

std::string resolveNativePath(std::string_view path, const ExactLookup& existsExactly,
                              const CaselessLookup& findCaseless) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty()) return p;

  size_t i = pathRootLength(p);
  std::string result = p.substr(0, i);
  bool resolving = true;
  while (i <= p.size()) {
    size_t slash = p.find('/', i);
    if (slash == std::string::npos) slash = p.size();
    std::string component = p.substr(i, slash - i);
    bool trailing = slash < p.size();
    if (!component.empty()) {
      std::string candidate = result + component;
      if (resolving && component != "." && component != ".." && !existsExactly(candidate)) {
        std::string dir = result.empty() ? "." : result;
        if (auto match = findCaseless(dir, component))
          candidate = result + *match;
        else
          resolving = false;
      }
      result = candidate;
    }
    if (trailing && (result.empty() || result.back() != '/')) result += '/';
    i = slash + 1;
  }
  return result;
}

size_t pathRootLength(std::string_view slashed) {
#ifdef _WIN32
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (slashed.size() >= 2 && letter(slashed[0]) && slashed[1] == ':')
    return slashed.size() >= 3 && slashed[2] == '/' ? 3 : 2;
  if (slashed.starts_with("//")) {
    // "//server/share/": past the separator after the share's name.
    size_t server = slashed.find('/', 2);
    if (server == std::string_view::npos) return slashed.size();
    size_t share = slashed.find('/', server + 1);
    return share == std::string_view::npos ? slashed.size() : share + 1;
  }
#endif
  return !slashed.empty() && slashed[0] == '/' ? 1 : 0;
}

std::vector<std::string> pathPrefixes(std::string_view native) {
  std::vector<std::string> prefixes;
  for (size_t i = std::max<size_t>(1, pathRootLength(native)); i <= native.size(); ++i)
    if (i == native.size() || native[i] == '/') prefixes.emplace_back(native.substr(0, i));
  return prefixes;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

}  // namespace xt
