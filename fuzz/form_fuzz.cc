// The form definition: loaded and checked from an arbitrary file.
#include "forms/form_definition.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  t.program.settings.languageCode = "CAT";
  const std::string path = t.root() + "FORMS/XTANCAR.JPN";
  t.write("FORMS/XTANCAR.JPN", xt::fuzz::bytes(data, size));
  xt::FormLoadResult r = xt::loadForm(t.program.fs, t.program.form, t.program.settings, path);
  if (r.ok) (void)xt::checkOperatorForm(t.program.form, t.program.settings, path);
  return 0;
}
