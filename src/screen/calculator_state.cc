#include "screen/calculator_state.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "format/text_lines.h"
#include "platform/file_system.h"

namespace xt {

namespace {


std::vector<std::string> splitItems(const std::string& line) {
  std::vector<std::string> items;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::string item;
    if (i < line.size() && line[i] == '"') {
      size_t close = line.find('"', i + 1);
      if (close == std::string::npos) close = line.size();
      item = "\"";
      item.append(line, i + 1, close - i - 1);
      item += '"';
      i = close + 1;
    }
    size_t comma = line.find(',', std::min(i, line.size()));
    std::string rest = line.substr(std::min(i, line.size()), comma == std::string::npos
                                                                  ? std::string::npos
                                                                  : comma - std::min(i, line.size()));
    if (item.empty()) item = rest;
    while (!item.empty() && item.back() == ' ') item.pop_back();
    items.push_back(item);
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  return items;
}

bool parseNumber(const std::string& item, double& out) {
  if (item.empty()) return false;
  double v = 0;
  const char* first = item.data();
  const char* last = first + item.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool parseInt(const std::string& item, int lo, int hi, int16_t& out) {
  double v;
  if (!parseNumber(item, v) || v != std::trunc(v) || v < lo || v > hi) return false;
  out = static_cast<int16_t>(v);
  return true;
}

bool parseFlag(const std::string& item, bool& out) {
  int16_t v;
  if (!parseInt(item, -1, 0, v)) return false;
  out = v != 0;
  return true;
}

// A quoted text that is one of the allowed values.
bool parseText(const std::string& item, const std::string& allowed, std::string& out) {
  if (item.size() < 2 || item.front() != '"' || item.back() != '"') return false;
  std::string text = item.substr(1, item.size() - 2);
  if (text.size() > 1 || (text.size() == 1 && allowed.find(text[0]) == std::string::npos)) return false;
  out = text;
  return true;
}

// The point flag and the decimals together: no decimals without a point.
void parsePointAndDecimals(const std::string& flagItem, const std::string& decimalsItem,
                           bool& hasPoint, int16_t& decimals) {
  bool point = hasPoint;
  int16_t dec = decimals;
  parseFlag(flagItem, point);
  parseInt(decimalsItem, 0, kMaxDecimals, dec);
  hasPoint = point;
  decimals = point ? dec : 0;
}

}  // namespace

CalcState loadCalculatorState(FileSystem& fs, const std::string& path) {
  CalcState s;
  std::optional<std::string> text = fs.readWholeFile(path);
  if (!text) return s;
  std::vector<std::string> lines = splitLines(*text);
  auto itemsOf = [&](size_t line) {
    std::vector<std::string> items = line < lines.size() ? splitItems(lines[line])
                                                         : std::vector<std::string>{};
    items.resize(4);
    return items;
  };

  std::vector<std::string> l1 = itemsOf(0);
  parseInt(l1[0], 1, kLastLeft, s.calcLeft);
  parseInt(l1[1], 2, kEmptyTapeTop, s.tapeTop);
  parseNumber(l1[2], s.entry);
  parseNumber(l1[3], s.accumulator);

  std::vector<std::string> l2 = itemsOf(1);
  parseFlag(l2[0], s.cleared);
  parseFlag(l2[1], s.entering);
  parsePointAndDecimals(l2[2], l2[3], s.hasPoint, s.decimals);

  std::vector<std::string> l3 = itemsOf(2);
  parseText(l3[0], "+-*/%RC=", s.lastKey);
  parseText(l3[1], "+-*/", s.pendingOp);

  for (int k = 0; k < kTapeLines; ++k) {
    std::vector<std::string> t = itemsOf(3 + static_cast<size_t>(k));
    TapeLine& line = s.tape[static_cast<size_t>(k)];
    parseNumber(t[0], line.value);
    parsePointAndDecimals(t[1], t[2], line.hasPoint, line.decimals);
    parseText(t[3], " +-*/%R=", line.op);
  }
  return s;
}

namespace {

std::string numberItem(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string flagItem(bool v) { return v ? "-1" : "0"; }
std::string textItem(const std::string& v) { return "\"" + v + "\""; }

}  // namespace

std::string calculatorStateText(const CalcState& s) {
  std::string out;
  out += std::to_string(s.calcLeft) + "," + std::to_string(s.tapeTop) + "," + numberItem(s.entry) +
         "," + numberItem(s.accumulator) + "\r\n";
  out += flagItem(s.cleared) + "," + flagItem(s.entering) + "," + flagItem(s.hasPoint) + "," +
         std::to_string(s.decimals) + "\r\n";
  out += textItem(s.lastKey) + "," + textItem(s.pendingOp) + "\r\n";
  for (const TapeLine& t : s.tape) {
    out += numberItem(t.value) + "," + flagItem(t.hasPoint) + "," + std::to_string(t.decimals) +
           "," + textItem(t.op) + "\r\n";
  }
  return out;
}

}  // namespace xt
