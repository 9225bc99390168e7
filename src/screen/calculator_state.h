// The calculator's whole state, tape included, and the file TAVCALC.TMP in
// the terminal directory that keeps it between openings and runs.
//
// Comma-separated items, texts in double quotes, lines ended by CR LF:
//   1,23,15,15                     calcLeft, tapeTop, entry, accumulator
//   0,0,0,0                        cleared, entering, hasPoint, decimals
//   "",""                          lastKey, pendingOp
//   12,0,0,"+"                     22 tape lines: value, point flag,
//   ...                            decimals, operator
// Flags are -1 (true) or 0. An item that is missing or unusable keeps its
// first-use value.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace xt {

constexpr const char* kCalculatorStateFile = "TAVCALC.TMP";
constexpr int kTapeLines = 22;
constexpr int16_t kEmptyTapeTop = 23;
constexpr int16_t kLastLeft = 55;  // the box's right edge at column 80
// A double holds no more significant digits than these; a number typed
// within them is kept exactly as its digits.
constexpr int kMaxDigits = 15;
constexpr int16_t kMaxDecimals = 15;

struct TapeLine {
  double value = 0;
  bool hasPoint = false;
  int16_t decimals = 0;
  std::string op;  // "" prints as a blank
};

// The whole calculator, as kept in TAVCALC.TMP between openings.
struct CalcState {
  int16_t calcLeft = 1;
  int16_t tapeTop = kEmptyTapeTop;
  double entry = 0;
  double accumulator = 0;
  bool cleared = true;
  bool entering = false;
  bool hasPoint = false;
  int16_t decimals = 0;
  std::string lastKey;
  std::string pendingOp;
  std::array<TapeLine, kTapeLines> tape;  // tape[21] is the newest line
};

// The state kept at path; first-use values for what is missing or unusable.
CalcState loadCalculatorState(FileSystem& fs, const std::string& path);
// The state as the file's text.
std::string calculatorStateText(const CalcState& state);

}  // namespace xt
