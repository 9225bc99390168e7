// Browse.tmp: a list without a data file walks an arbitrary cache file
// with every movement key and Enter; it never reads outside the file and
// closes its window.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "lists/browse_list.h"
#include "platform/key_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  xt::Program& p = t.program;
  p.form.lookups.resize(2);
  xt::LookupList& list = p.form.lookups[1];
  const int16_t window[4] = {3, 10, 9, 40};  // five lines of 29 characters
  for (int i = 0; i < 4; ++i) list.attr[2 + i] = window[i];
  list.lookupTitle = "FUZZ";
  t.write("tmp/Browse.tmp", xt::fuzz::bytes(data, size));
  namespace k = xt::key;
  t.console.pushKeys({k::kDown, k::kDown, k::kPgDn, k::kPgDn, k::kRight, k::kRight, k::kPgUp, k::kUp,
                      k::kLeft, k::kPgDn, k::kDown, k::kEnter});
  int16_t number = 1, result = 0;
  xt::browseList(p.entry, p.data, p.browse, number, result);
  if (p.screen.windows.windowDepth != 0) std::abort();
  return 0;
}
