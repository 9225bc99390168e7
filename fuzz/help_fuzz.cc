// Text help files: the viewer walks an arbitrary file with every key of
// its table.
#include "fuzz/fuzz_support.h"
#include "platform/key_codes.h"
#include "screen/help.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  t.write("AJUDA/FUZZ.HLP", xt::fuzz::bytes(data, size));
  (void)xt::fuzz::memory().changeDirectory(t.root());
  namespace k = xt::key;
  t.console.pushKeys({k::kEnd, k::kPgUp, k::kDown, k::kUp, k::kPgDn, k::kHome, k::kPgDn, k::kEsc});
  xt::showHelp(t.program.screen, "FUZZ");
  return 0;
}
