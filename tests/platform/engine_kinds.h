// The record engines the engine tests run against, each with a scratch
// place for the test's data files: a directory for SQLite files, and for
// the PostgreSQL engine that directory as the installation root and a
// schema of its own on the test server (so tests never see each other's
// tables). Engines made for child processes (other terminals) use the
// same place.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/pg_connection.h"
#include "platform/pg_engine.h"
#include "platform/sqlite_engine.h"
#include "testing/pg_test_server.h"
#include "testing/test_program.h"

namespace xt::testutil {

enum class EngineKind { Sqlite, Postgres };

inline std::string engineKindName(const ::testing::TestParamInfo<EngineKind>& info) {
  return info.param == EngineKind::Sqlite ? "Sqlite" : "Postgres";
}

class EngineScratch {
 public:
  explicit EngineScratch(EngineKind kind) : kind_(kind) {
    if (kind_ != EngineKind::Postgres) return;
    static int counter = 0;
    schema_ = "t" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    const std::string server = testServerConninfo();
    if (server.empty()) {
      ADD_FAILURE() << "the PostgreSQL test server could not be started";
      return;
    }
    // The schema names the connections too, so a test can end its own
    // without touching those of tests running beside it.
    conninfo_ = server + " application_name=" + schema_ + " options='-c search_path=" + schema_ + "'";
    PgConnection admin(server, 5000);
    if (admin.connect() != 0 || admin.execute("CREATE SCHEMA " + schema_) != 0)
      ADD_FAILURE() << "no schema on the test server: " << admin.lastError();
  }
  ~EngineScratch() {
    if (schema_.empty()) return;
    PgConnection admin(testServerConninfo(), 5000);
    if (admin.connect() == 0) (void)admin.execute("DROP SCHEMA " + schema_ + " CASCADE");
  }
  EngineScratch(const EngineScratch&) = delete;
  EngineScratch& operator=(const EngineScratch&) = delete;

  EngineKind kind() const { return kind_; }
  std::string path(const std::string& name = "file.dat") const { return dir_ / name; }
  const std::string& conninfo() const { return conninfo_; }
  const std::string& schema() const { return schema_; }

  // root: the installation whose data files the engine keeps (the scratch
  // directory when empty).
  std::unique_ptr<RecordEngine> makeEngine(int busyTimeoutMs = 5000, const std::string& root = {}) const {
    if (kind_ == EngineKind::Sqlite) return std::make_unique<SqliteEngine>(busyTimeoutMs);
    return std::make_unique<PgEngine>(conninfo_, root.empty() ? dir_.path() : root, busyTimeoutMs);
  }
  std::unique_ptr<RecordEngine> makeEngineFor(const std::string& root) const { return makeEngine(5000, root); }

 private:
  EngineKind kind_;
  ScratchDir dir_;
  std::string schema_;
  std::string conninfo_;
};

}  // namespace xt::testutil
