#include "testing/pg_test_server.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace xt {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
std::string script() {
#ifdef XT_SOURCE_DIR
  return std::string(XT_SOURCE_DIR) + "/scripts/pg-test-server.sh";
#else
  return "scripts/pg-test-server.sh";
#endif
}

// Runs the script; its exit status (-1 when it did not exit normally) and
// everything it wrote.
int runScript(const std::string& action, const std::string& dir, std::string& output) {
  const std::string command = "'" + script() + "' " + action + " '" + dir + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    output = "cannot run " + script();
    return -1;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

struct Server {
  std::string dir;      // the script's directory, "" when there is none
  std::string failure;  // why there is no server
  bool own = false;     // started by this process, stopped at its exit
  long owner = 0;       // the process that started it
};

Server& server();

#ifndef _WIN32
void stopOwnServer() {
  const Server& s = server();
  if (!s.own || ::getpid() != s.owner) return;  // a forked child leaving
  std::string output;
  runScript("stop", s.dir, output);
  std::error_code ignored;
  fs::remove_all(s.dir, ignored);
}
#endif

Server startServer() {
  Server s;
  if (const char* dir = std::getenv("XT_PG_DIR"); dir != nullptr && *dir != '\0') {
    s.dir = dir;
    return s;
  }
#ifdef _WIN32
  // The server and its script are Linux's: a Windows build (under Wine)
  // uses the one ctest starts and reaches it over TCP.
  s.failure = "XT_PG_DIR is not set: start a server with scripts/pg-test-server.sh start DIR "
              "and set XT_PG_DIR to DIR (ctest does both)";
#else
  char scratch[] = "/tmp/xt-pg-test-XXXXXX";
  if (::mkdtemp(scratch) == nullptr) {
    s.failure = "cannot make a scratch directory for the PostgreSQL test server";
    return s;
  }
  s.dir = scratch;
  s.own = true;
  s.owner = ::getpid();
  std::string output;
  if (runScript("start", s.dir, output) != 0)
    s.failure = "the PostgreSQL test server did not start (" + script() + " start " + s.dir + "):\n" + output;
#endif
  return s;
}

// Started on first use. The stop is registered once the object is made, so
// that it runs at exit before the object goes.
Server& server() {
  static Server s = startServer();
#ifndef _WIN32
  static const bool stopsAtExit = s.own && std::atexit(stopOwnServer) == 0;
  (void)stopsAtExit;
#endif
  return s;
}

std::string readConninfo(const char* file) {
  Server& s = server();
  if (!s.failure.empty()) return "";
  std::ifstream in(fs::path(s.dir) / file);
  std::string line;
  if (!std::getline(in, line) || line.empty()) {
    s.failure = "no connection string in " + (fs::path(s.dir) / file).string() +
                " (under ctest: did the pg_server_start test fail?)";
    return "";
  }
  return line;
}

}  // namespace

std::string testServerConninfo() { return readConninfo("conninfo"); }

std::string testServerSocketConninfo() { return readConninfo("conninfo-socket"); }

const std::string& testServerFailure() { return server().failure; }

}  // namespace xt
