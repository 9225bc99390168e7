// Text styles chosen by letters with a push/pop stack, the value stack of
// small saved values, and the small helpers of field entry.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

struct Program;

struct StyleState {
  int16_t currentStyle = 0;
  std::string styleStack;   // one byte per pushed style number
  std::string valueStack;   // items, each followed by its 2-byte LE length
  std::string currentChoices;
};

// Upper-cases letters in place and selects the style they name (see the
// style table: "h" 0, "n" 1, "r" 2, "rn" 3, "u" 4; "+" push, "-" pop).
void selectTextStyle(Program& program, std::string& letters);
inline void selectTextStyle(Program& program, const char* letters) {
  std::string l(letters);
  selectTextStyle(program, l);
}

void pushValue(Program& program, const std::string& item);
std::string popValue(Program& program);  // "" when the stack is empty
// 2-byte little-endian forms used on the value stack.
std::string int16Bytes(int16_t value);
int16_t bytesInt16(const std::string& bytes);

// -1 when every character of text has the code (also for an empty text).
int16_t isAllChar(const std::string& text, int16_t code);
void setCurrentChoices(Program& program, const std::string& list);
int16_t windowFirstRow(const Program& program);
int16_t windowFirstColumn(const Program& program);

}  // namespace xt
