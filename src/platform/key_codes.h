// The program's key codes: an ordinary character is its code page 850 code,
// an extended key its scan code x 256, with the modifier combinations of
// the PC keyboard (Shift+F1 0x5400, Ctrl+F1 0x5E00, Alt+F1 0x6800, ...).
#pragma once

#include <cstdint>

namespace xt::key {
constexpr int16_t kNone = 0;
constexpr int16_t kDeleteRequest = 2;  // Ctrl-B, the form's delete request
constexpr int16_t kCtrlC = 3, kBackspace = 8, kTab = 9, kEnter = 13, kCtrlV = 22, kCtrlY = 25;
constexpr int16_t kEsc = 27, kSpace = 32;
constexpr int16_t kF1 = 0x3B00, kF2 = 0x3C00, kF3 = 0x3D00, kF4 = 0x3E00, kF5 = 0x3F00,
                  kF6 = 0x4000, kF7 = 0x4100, kF8 = 0x4200, kF9 = 0x4300, kF10 = 0x4400;
constexpr int16_t kF11 = static_cast<int16_t>(0x8500), kF12 = static_cast<int16_t>(0x8600);
constexpr int16_t kHome = 0x4700, kUp = 0x4800, kPgUp = 0x4900, kLeft = 0x4B00,
                  kCentre = 0x4C00, kRight = 0x4D00, kEnd = 0x4F00, kDown = 0x5000,
                  kPgDn = 0x5100, kInsert = 0x5200, kDelete = 0x5300;
constexpr int16_t kShiftTab = 0x0F00;
constexpr int16_t kCtrlLeft = 0x7300, kCtrlRight = 0x7400, kCtrlEnd = 0x7500, kCtrlHome = 0x7700;
constexpr int16_t kCtrlPgUp = static_cast<int16_t>(0x8400), kCtrlPgDn = 0x7600;
constexpr int16_t kCtrlF4 = 0x6100, kAltF4 = 0x6B00;
constexpr int16_t kAltX = 0x2D00, kAltC = 0x2E00, kAltE = 0x1200, kAltF = 0x2100;
// Shift, Ctrl and Alt offsets for F1..F10 and for F11/F12.
constexpr int16_t kShiftF1to10 = 0x1900, kCtrlF1to10 = 0x2300, kAltF1to10 = 0x2D00;
constexpr int16_t kShiftF11F12 = 0x0200, kCtrlF11F12 = 0x0400, kAltF11F12 = 0x0600;
}  // namespace xt::key
