// INI files: every key the program reads, from an arbitrary file.
#include "fuzz/fuzz_support.h"
#include "base/ini_file.h"
#include "startup/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  const std::string text = xt::fuzz::bytes(data, size);
  t.write("tmp/Sessio.ini", text);
  t.write("tmp/VexaTerm.ini", text);
  t.write("Vexa.ini", text);
  xt::loadSettings(t.program.system, t.program.fs, t.program.settings, t.program.format);
  (void)xt::readIniValue(t.program.fs, t.root() + "Vexa.ini", "Usuari", "DatOrdre");
  return 0;
}
