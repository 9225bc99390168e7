// TAVCALC.TMP: the calculator opens on an arbitrary state file, works on
// it with a few keys and closes; nothing is drawn off the screen, and the
// file it writes opens again.
#include "fuzz/fuzz_support.h"
#include "platform/key_codes.h"
#include "screen/calculator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int round = 0; round < 2; ++round) {
    xt::fuzz::FuzzProgram t;
    xt::Program& p = t.program;
    p.settings.terminalDir = t.root() + "tmp/";
    if (round == 0) {
      t.write("tmp/TAVCALC.TMP", xt::fuzz::bytes(data, size));
      t.console.pushText("+3=");
      t.console.pushKeys({xt::key::kLeft, xt::key::kRight});
    }
    t.console.pushKeys({xt::key::kEsc});
    (void)xt::calculator(p.screen);
  }
  return 0;
}
