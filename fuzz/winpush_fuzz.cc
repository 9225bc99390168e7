// WinPush.tmp: restores from an arbitrary stack file never paint outside
// the screen and leave a usable window state.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "screen/screen_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  xt::Program& p = t.program;
  t.write("tmp/WinPush.tmp", xt::fuzz::bytes(data, size));
  p.screen.windows.windowDepth = 3;
  for (int i = 0; i < 4; ++i) xt::restoreRegion(p.screen);
  const xt::WindowState& w = p.screen.windows;
  if (w.windowDepth < 0 || w.windowTop < 0 || w.windowTop > 25 || w.windowLeft < 0 || w.windowRight > 80)
    std::abort();
  // The stack still works afterwards.
  xt::saveRegion(p.screen, 2, 2, 5, 10);
  xt::restoreRegion(p.screen);
  return 0;
}
