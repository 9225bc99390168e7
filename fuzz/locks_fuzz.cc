// Lock files and LOCKS.TMP: locks are taken and released over arbitrary
// existing files; the lock file keeps whole 121-byte records and this
// terminal always has an identity.
#include <cstdlib>

#include "data/record_locks.h"
#include "fuzz/fuzz_support.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::fuzz::FuzzProgram t;
  xt::Program& p = t.program;
  // The first 19 bytes (when there are that many) are the identity file.
  size_t identity = size < 19 ? size : 19;
  t.write("tmp/LOCKS.TMP", xt::fuzz::bytes(data, identity));
  t.write("LOCKS/Operador.lck", xt::fuzz::bytes(data + identity, size - identity));
  p.data.locks.lockWaitMode = 'S';
  (void)xt::lockRecordKey(p.data, "Operador", "ADMIN   ");
  (void)xt::acquireLock(p.data, "Operador", "F", "", "");
  (void)xt::releaseLock(p.data, "Operador");
  (void)xt::releaseLock(p.data, "Operador");
  if (p.data.locks.ownerId == 0) std::abort();
  int64_t lockSize = t.program.fs.fileSize(t.root() + "LOCKS/Operador.lck");
  int64_t old = static_cast<int64_t>(size - identity);
  // Whole records are appended after the old content (a cut-off last
  // record is overwritten).
  if (lockSize > old && lockSize % 121 != 0 && (lockSize - old) % 121 != 0) std::abort();
  return 0;
}
