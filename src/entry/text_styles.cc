#include "entry/text_styles.h"

#include "startup/program.h"

namespace xt {

void selectTextStyle(Program& program, std::string& letters) {
  for (char& c : letters)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (letters.find_first_not_of(' ') == std::string::npos) return;

  StyleState& s = program.styles;
  if (letters.find('+') != std::string::npos) s.styleStack.push_back(static_cast<char>(s.currentStyle));

  int16_t style;
  if (letters.find('-') != std::string::npos) {
    if (s.styleStack.empty()) {
      style = 0;
    } else {
      style = static_cast<uint8_t>(s.styleStack.back());
      s.styleStack.pop_back();
    }
  } else if (letters.find('U') != std::string::npos) {
    style = 4;
  } else {
    style = static_cast<int16_t>((letters.find('R') != std::string::npos ? 2 : 0) +
                                 (letters.find('N') != std::string::npos ? 1 : 0));
  }
  if (style < 0 || style > 4) style = 0;
  const int16_t* pair = program.settings.colourPairs[style];
  program.console.setColours(pair[0], pair[1]);
  s.currentStyle = style;
}

std::string int16Bytes(int16_t value) {
  auto v = static_cast<uint16_t>(value);
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

int16_t bytesInt16(const std::string& bytes) {
  uint16_t lo = bytes.size() > 0 ? static_cast<uint8_t>(bytes[0]) : 0;
  uint16_t hi = bytes.size() > 1 ? static_cast<uint8_t>(bytes[1]) : 0;
  return static_cast<int16_t>(lo | (hi << 8));
}

void pushValue(Program& program, const std::string& item) {
  program.styles.valueStack += item;
  program.styles.valueStack += int16Bytes(static_cast<int16_t>(item.size()));
}

std::string popValue(Program& program) {
  std::string& stack = program.styles.valueStack;
  if (stack.size() < 2) {
    stack.clear();
    return {};
  }
  auto n = static_cast<uint16_t>(bytesInt16(stack.substr(stack.size() - 2)));
  size_t end = stack.size() - 2;
  if (n > end) {  // a damaged stack: give everything back rather than read before its start
    std::string item = stack.substr(0, end);
    stack.clear();
    return item;
  }
  std::string item = stack.substr(end - n, n);
  stack.resize(end - n);
  return item;
}

int16_t isAllChar(const std::string& text, int16_t code) {
  for (char c : text)
    if (static_cast<uint8_t>(c) != code) return 0;
  return -1;
}

void setCurrentChoices(Program& program, const std::string& list) { program.styles.currentChoices = list; }

int16_t windowFirstRow(const Program& program) {
  return program.windows.windowDepth == 0 ? 1 : static_cast<int16_t>(program.windows.windowTop + 1);
}

int16_t windowFirstColumn(const Program& program) {
  return program.windows.windowDepth == 0 ? 1 : static_cast<int16_t>(program.windows.windowLeft + 1);
}

}  // namespace xt
