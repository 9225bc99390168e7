// Data dictionaries: the operator file is created from an arbitrary
// ddf/Operador.xdf and opened, or the open fails through the fatal path
// with its message and a nonzero exit code; never a crash. An open file
// then takes a read and an insert through the operator form's 17-byte record.
#include <cstdlib>

#include "data/file_table.h"
#include "data/record_ops.h"
#include "forms/operator_maintenance.h"
#include "fuzz/fuzz_support.h"
#include "platform/sqlite_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::FakeConsole console;
  xt::FakeSystem system;
  xt::SqliteEngine engine(100);
  xt::Program p(console, system, engine);
  const std::string root = xt::fuzz::installation().path();
  system.setEnv("TAVROOT", root);
  p.settings.rootDir = root;
  p.settings.tempDir = root + "tmp/";
  xt::fuzz::installation().write("ddf/Operador.xdf", xt::fuzz::bytes(data, size));
  for (const char* suffix : {".dat", ".dat.lck", ".dat-wal", ".dat-shm"}) (void)xt::removeFile(root + "Operador" + suffix);
  xt::OperatorRecord record{};
  try {
    int16_t status = xt::openDataFile(p.data, 52, root + "Operador", xt::recordBytes(record));
    if (status != 0) std::abort();  // a failed open ends the process instead
    (void)xt::findByKey(p.data, 52, 0, "FUZZ", 1);
    int16_t slot = xt::findFileSlot(p.data, 52);
    int16_t insert = xt::op::kInsert;
    (void)xt::callRecordManager(p.data, slot, insert);
  } catch (const xt::ProcessExit& e) {
    if (e.code == 0) std::abort();
  }
  (void)xt::resetAllFiles(p.data);
  return 0;
}
