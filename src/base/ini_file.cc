#include "base/ini_file.h"

#include <optional>

#include "format/text_lines.h"

namespace xt {

namespace {

std::string_view trimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// One line of an INI file after its comment is cut and its leading blanks
// removed: a section header, an entry, or nothing.
struct IniLine {
  enum class Kind { Other, Header, Entry } kind = Kind::Other;
  std::string_view name;   // section or key name
  std::string_view value;  // entry value, unchanged
};

IniLine parseLine(std::string_view line) {
  IniLine out;
  size_t semicolon = line.find(';');
  if (semicolon != std::string_view::npos) line = line.substr(0, semicolon);
  size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) return out;
  line = line.substr(start);
  if (line[0] == '[') {
    std::string_view name = line.substr(1);
    size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    out.kind = IniLine::Kind::Header;
    out.name = trimBlanks(name);
    return out;
  }
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return out;
  std::string_view key = line.substr(0, eq);
  size_t keyEnd = key.find_last_not_of(' ');
  out.kind = IniLine::Kind::Entry;
  out.name = keyEnd == std::string_view::npos ? std::string_view() : key.substr(0, keyEnd + 1);
  out.value = line.substr(eq + 1);
  return out;
}

}  // namespace

std::string readIniValue(FileSystem& fs, std::string_view file, std::string_view section, std::string_view key) {
  std::optional<std::string> data = fs.readWholeFile(file);
  if (!data) return "";
  section = trimBlanks(section);
  key = trimBlanks(key);

  std::string value;
  bool inSection = false;
  for (const std::string& text : splitLines(*data)) {
    IniLine line = parseLine(text);
    if (line.kind == IniLine::Kind::Header) {
      // Any header after the wanted one ends its section, even the same name.
      if (inSection) break;
      inSection = sameName(line.name, section);
    } else if (inSection && line.kind == IniLine::Kind::Entry && sameName(line.name, key)) {
      value = std::string(line.value);
      break;
    }
  }
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace xt
