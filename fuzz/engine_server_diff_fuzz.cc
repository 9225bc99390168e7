// The PostgreSQL engine against the SQLite engine, call by call (and both
// against the model, see engine_diff.h): on the test server, in a schema
// of this run's own, one table per input, dropped after it.
#include <cstdio>
#include <cstdlib>

#include "fuzz/engine_diff.h"
#include "platform/pg_connection.h"
#include "platform/pg_engine.h"
#include "testing/pg_test_server.h"

namespace {

std::string schemaName() { return "fuzz" + std::to_string(::getpid()); }

xt::PgConnection& admin() {
  static xt::PgConnection conn(xt::testServerConninfo(), 5000);
  static bool made = [] {
    if (xt::testServerConninfo().empty() || conn.connect() != 0 ||
        conn.execute("DROP SCHEMA IF EXISTS " + schemaName() + " CASCADE; CREATE SCHEMA " + schemaName()) != 0) {
      std::fprintf(stderr, "engine_server_diff: no test server (%s)\n", conn.lastError().c_str());
      std::abort();
    }
    std::atexit([] { (void)conn.execute("DROP SCHEMA IF EXISTS " + schemaName() + " CASCADE"); });
    return true;
  }();
  (void)made;
  return conn;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  xt::PgConnection& conn = admin();
  static xt::PgEngine server(xt::testServerConninfo() + " options='-c search_path=" + schemaName() + "'",
                             scratchRoot(), 200);
  static long fileNumber = 0;
  const std::string name = "f" + std::to_string(fileNumber++) + ".dat";
  int result = runEngineDiff(input, size, &server, name);
  (void)conn.execute("SET search_path = " + schemaName() + "; DROP TABLE IF EXISTS \"" + name +
                     "\"; DELETE FROM xt_files WHERE name = '" + name + "'");
  return result;
}
