// Data dictionaries: the operator file is created from an arbitrary
// ddf/Operador.xdf and opened, or the open fails with its message shown
// and a status that is not 0; never a crash. An open file then takes a
// read and an insert through the operator form's 17-byte record.
#include <cstdlib>

#include "data/file_table.h"
#include "data/record_ops.h"
#include "forms/operator_maintenance.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/posix_file_system.h"
#include "platform/sqlite_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::FakeConsole console;
  xt::FakeSystem system;
  xt::SqliteEngine engine(100);
  xt::PosixFileSystem disk;
  xt::Program p(console, system, disk, engine);
  const std::string root = xt::fuzz::installation().path();
  system.setEnv("TAVROOT", root);
  p.settings.rootDir = root;
  p.settings.tempDir = root + "tmp/";
  xt::fuzz::installation().write("ddf/Operador.xdf", xt::fuzz::bytes(data, size));
  for (const char* suffix : {".dat", ".dat.lck", ".dat-wal", ".dat-shm"}) (void)xt::removeFile(root + "Operador" + suffix);
  xt::OperatorRecord record{};
  const int16_t status = xt::openDataFile(p.data, 52, root + "Operador", xt::recordBytes(record));
  if (status == 0) {
    (void)xt::findByKey(p.data, 52, 0, "FUZZ", 1);
    int16_t slot = xt::findFileSlot(p.data, 52);
    int16_t insert = xt::op::kInsert;
    (void)xt::callRecordManager(p.data, slot, insert);
  } else if (console.beeps() != 1) {
    std::abort();  // a refused open is shown to the operator
  }
  (void)xt::resetAllFiles(p.data);
  return 0;
}
