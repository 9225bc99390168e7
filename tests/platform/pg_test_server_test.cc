// The PostgreSQL server the engine tests use answers over TCP and over its
// socket, as the role and database the tests are given.
#include "testing/pg_test_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace xt {
namespace {

// psql's exit status for a query whose one row must read `expected`.
int psqlAnswers(const std::string& conninfo, const std::string& query, const std::string& expected) {
  const std::string command = "psql -X -At -v ON_ERROR_STOP=1 '" + conninfo + "' -c '" + query +
                              "' | grep -qx '" + expected + "'";
  return std::system(command.c_str());
}

TEST(TestServer, AnswersOverTcp) {
  const std::string conninfo = testServerConninfo();
  ASSERT_FALSE(conninfo.empty()) << testServerFailure();
  EXPECT_NE(conninfo.find("host=127.0.0.1"), std::string::npos) << conninfo;
  EXPECT_EQ(psqlAnswers(conninfo, "select 1", "1"), 0) << conninfo;
  EXPECT_EQ(psqlAnswers(conninfo, "select current_user, current_database()", "xtancar|xtancar"), 0);
}

TEST(TestServer, AnswersOverItsSocket) {
  const std::string conninfo = testServerSocketConninfo();
  ASSERT_FALSE(conninfo.empty()) << testServerFailure();
  EXPECT_EQ(psqlAnswers(conninfo, "select 1", "1"), 0) << conninfo;
}

}  // namespace
}  // namespace xt
