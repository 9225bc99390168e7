// The PostgreSQL engine's own promises: table names from the installation's
// paths, one round trip per operation, and what a lost connection does.
#include "platform/pg_engine.h"

#include <gtest/gtest.h>

#include "engine_kinds.h"
#include "engine_test_util.h"
#include "platform/pg_connection.h"
#include "testing/pg_test_server.h"

namespace xt {
namespace {

using testutil::Handle;
using testutil::key;
using testutil::segment;
using testutil::specBytes;

TEST(PgTableName, ThePathInsideTheInstallationInLowerCase) {
  struct Case {
    const char* path;
    const char* table;
  } cases[] = {
      {"/srv/tav/Operador.dat", "operador.dat"},
      {"/SRV/TAV/OPERADOR.DAT", "operador.dat"},
      {"/srv/tav/./data/../Operador.dat", "operador.dat"},
      {"C:\\x\\..\\Operador.dat", "c:/operador.dat"},
      {"data\\Clients.dat", "data/clients.dat"},
      {"/other/Clients.dat", "/other/clients.dat"},
      {"/srv/tav/Operaci\x87.dat", "operaci%87.dat"},
  };
  for (const Case& c : cases) EXPECT_EQ(pgTableName("/srv/tav/", c.path), c.table) << c.path;
  const std::string longName = pgTableName("/srv/tav/", "/srv/tav/" + std::string(80, 'a') + ".dat");
  EXPECT_EQ(longName.size(), 63u);
  EXPECT_NE(longName, pgTableName("/srv/tav/", "/srv/tav/b" + std::string(79, 'a') + ".dat"));
}

// Hosts name one installation's root in their own ways; a data file gets
// the same table from each.
TEST(PgTableName, TheSameTableFromEveryHostOfAnInstallation) {
  const struct {
    const char* root;
    const char* path;
  } cases[] = {
      {"/srv/tav/", "/srv/tav/Operador.dat"},
      {"/srv/tav", "/srv/tav/DATA/../OPERADOR.DAT"},
      {"/", "/Operador.dat"},
#ifdef _WIN32
      {"Z:\\tav\\", "Z:\\TAV\\Operador.dat"},
      {"z:/tav", "Z:/tav/./Operador.dat"},
      {"\\\\server\\tav\\", "\\\\SERVER\\TAV\\Operador.dat"},
      {"//server/tav/", "//server/tav/../../Operador.dat"},  // ".." stops at the share
      {"C:\\", "C:\\Operador.dat"},
#endif
  };
  for (const auto& c : cases) EXPECT_EQ(pgTableName(c.root, c.path), "operador.dat") << c.root << " " << c.path;
#ifdef _WIN32
  EXPECT_EQ(pgTableName("Z:\\tav\\", "D:\\Other\\Clients.dat"), "d:/other/clients.dat");
#endif
}

class PgEngineTest : public ::testing::Test {
 protected:
  PgEngineTest() : scratch_(testutil::EngineKind::Postgres) {
    engine_ = std::make_unique<PgEngine>(scratch_.conninfo(), scratch_.path(""), 500);
  }
  testutil::EngineScratch scratch_;
  std::unique_ptr<PgEngine> engine_;
};

// Each record operation is one round trip to the server once its
// statement is prepared.
TEST_F(PgEngineTest, OneRoundTripPerOperation) {
  Handle h(*engine_);
  const std::string p = scratch_.path();
  ASSERT_EQ(h.create(p, specBytes(8, {key({segment(1, 4, keyflag::kDuplicates | keyflag::kModifiable)})})), 0);
  ASSERT_EQ(h.open(p), 0);
  ASSERT_EQ(h.insert("AAAAkeep"), 0);
  for (int warm = 0; warm < 2; ++warm) {
    struct Step {
      const char* what;
      std::function<int16_t()> run;
    } steps[] = {
        {"insert", [&] { return h.insert("AAAA" + std::to_string(1000 + warm)); }},
        {"get equal", [&] { return h.read(op::kGetEqual, 0, "AAAA").status; }},
        {"get next", [&] { return h.read(op::kGetNext, 0, "AAAA").status; }},
        {"get first with a lock", [&] { return h.read(op::kGetFirst + 200, 0).status; }},
        {"get next with a lock, giving up the first", [&] { return h.read(op::kGetNext + 200, 0, "AAAA").status; }},
        {"update", [&] { return h.call(op::kUpdate, "AAAAupd" + std::to_string(warm), "", 0).status; }},
        {"get last", [&] { return h.read(op::kGetLast, 0).status; }},
        {"delete", [&] { return h.call(op::kDelete, "", "", 0).status; }},
    };
    for (const Step& s : steps) {
      const uint64_t before = engine_->roundTrips();
      int16_t st = s.run();
      if (warm == 1) {
        EXPECT_EQ(st, 0) << s.what;
        EXPECT_EQ(engine_->roundTrips() - before, 1u) << s.what;
      }
    }
  }
  // The lock given up on the way is free on the server: another terminal
  // takes it, and not the one still held.
  ASSERT_EQ(h.insert("ZZZZone1"), 0);
  ASSERT_EQ(h.insert("ZZZZtwo2"), 0);
  ASSERT_EQ(h.read(op::kGetEqual + 200, 0, "ZZZZ").status, 0);
  ASSERT_EQ(h.read(op::kGetNext + 200, 0, "ZZZZ").status, 0);
  auto other = scratch_.makeEngine(100);
  Handle o(*other);
  ASSERT_EQ(o.open(p), 0);
  EXPECT_EQ(o.read(op::kGetEqual + 200, 0, "ZZZZ").status, 0);
  EXPECT_EQ(o.read(op::kGetNext + 200, 0, "ZZZZ").status, status::kRecordLocked);
}

// The server ends the terminal's connection: the operation under way fails
// with 95 and the server's reason, the next one connects again and goes on
// from the same place; the record locks went with the old connection.
TEST_F(PgEngineTest, ALostConnectionFailsOneOperationAndTheNextReconnects) {
  Handle h(*engine_);
  const std::string p = scratch_.path();
  ASSERT_EQ(h.create(p, specBytes(8, {key({segment(1, 4)})})), 0);
  ASSERT_EQ(h.open(p), 0);
  for (const char* r : {"AAAArec1", "BBBBrec2", "CCCCrec3"}) ASSERT_EQ(h.insert(r), 0);
  ASSERT_EQ(h.read(op::kGetEqual + 200, 0, "AAAA").status, 0);

  PgConnection admin(testServerConninfo(), 5000);
  ASSERT_EQ(admin.connect(), 0) << admin.lastError();
  ASSERT_EQ(admin.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                          scratch_.schema() + "'"),
            0)
      << admin.lastError();

  EXPECT_EQ(h.read(op::kGetNext, 0, "AAAA").status, status::kServerGone);
  EXPECT_NE(engine_->lastError(), "");
  testutil::Reply next = h.read(op::kGetNext, 0, "AAAA");
  EXPECT_EQ(next.status, 0);
  EXPECT_EQ(next.data, "BBBBrec2");
  // The lock on AAAA is gone with the old connection: another terminal
  // takes it.
  auto other = scratch_.makeEngine();
  Handle o(*other);
  ASSERT_EQ(o.open(p), 0);
  EXPECT_EQ(o.read(op::kGetEqual + 200, 0, "AAAA").status, 0);
}

// A role with no right to make tables in the schema: creating a file is
// refused with 46 and the server's reason, and nothing is half made.
TEST_F(PgEngineTest, ARoleThatMayNotCreateTablesGets46) {
  PgConnection admin(testServerConninfo(), 5000);
  ASSERT_EQ(admin.connect(), 0) << admin.lastError();
  const std::string role = scratch_.schema() + "_reader";
  ASSERT_EQ(admin.execute("CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA " + scratch_.schema() + " TO " + role), 0)
      << admin.lastError();
  {
    // xt_files is made by the owner; the reader may only look.
    Handle owner(*engine_);
    ASSERT_EQ(owner.create(scratch_.path("first.dat"), specBytes(8, {key({segment(1, 4)})})), 0);
    ASSERT_EQ(admin.execute("GRANT SELECT ON ALL TABLES IN SCHEMA " + scratch_.schema() + " TO " + role), 0);
  }
  {
    PgEngine reader(scratch_.conninfo() + " user=" + role, scratch_.path(""), 500);
    Handle h(reader);
    EXPECT_EQ(h.create(scratch_.path("second.dat"), specBytes(8, {key({segment(1, 4)})})), status::kAccessDenied);
    EXPECT_NE(reader.lastError().find("permission denied"), std::string::npos) << reader.lastError();
    EXPECT_EQ(h.open(scratch_.path("second.dat")), status::kFileNotFound);
    ASSERT_EQ(h.open(scratch_.path("first.dat")), 0);
    EXPECT_EQ(h.insert("AAAAnope"), status::kAccessDenied);
    EXPECT_EQ(h.reset(), 0);
  }
  (void)admin.execute("DROP OWNED BY " + role + "; DROP ROLE " + role);
}

}  // namespace
}  // namespace xt
