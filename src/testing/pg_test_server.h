// The PostgreSQL server of the tests. Temporary: the connection string of
// a server started by hand, from XT_PG_CONNINFO.
#pragma once

#include <cstdlib>
#include <string>

namespace xt {

inline std::string testServerConninfo() {
  const char* c = std::getenv("XT_PG_CONNINFO");
  return c ? c : "";
}

}  // namespace xt
