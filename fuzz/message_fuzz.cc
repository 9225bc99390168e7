// The message file: translations looked up in an arbitrary file.
#include "fuzz/fuzz_support.h"
#include "base/language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  xt::Program& p = t.program;
  p.settings.formName = "XTANCAR";
  t.write("LOCALE/XTANCAR.LNG", xt::fuzz::bytes(data, size));
  for (const char* code : {"SPA", "GLG", "OCI"}) {
    p.settings.languageCode = code;
    for (const char* text : {"GENERAL", "RESTRINGIT", "", "Codi: "}) (void)xt::translateText(p.fs, p.settings, text);
  }
  return 0;
}
