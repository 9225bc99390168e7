// The PostgreSQL server for the tests of the PostgreSQL record engine: a
// throwaway server from scripts/pg-test-server.sh, trusting every local
// connection, with a role and a database "xtancar".
//
// Under ctest the server is started once for the whole run by the
// pg_server_start test (and stopped by pg_server_stop); XT_PG_DIR names its
// directory. When XT_PG_DIR is not set, as when build/xt_tests is run by
// hand, the first call starts a server of this process's own in a scratch
// directory under /tmp; it is stopped and the directory removed when the
// process exits. A Windows build (run under Wine) cannot start one: it needs
// XT_PG_DIR (as a Windows path, Z:/...) and reaches the server over TCP.
//
// When there is no server (it could not be started, or XT_PG_DIR holds no
// connection string) the connection strings are empty and
// testServerFailure() says why, with the script's output; the test fails:
//
//   const std::string conninfo = testServerConninfo();
//   ASSERT_FALSE(conninfo.empty()) << testServerFailure();
#pragma once

#include <string>

namespace xt {

// libpq connection string over TCP on 127.0.0.1, "" when there is no server.
std::string testServerConninfo();
// The same over the server's Unix socket.
std::string testServerSocketConninfo();
// Why there is no server; empty when there is one.
const std::string& testServerFailure();

}  // namespace xt
