// Rewrites the intranet access files of a directory the way the form does,
// for the web-server test: intranet_driver DIR USER PASSWORD [remove].
// Exit status 0 when the rewrite succeeded.
#include <cstdio>
#include <string>

#include "intranet/access_files.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_system.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s DIR USER PASSWORD [remove]\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  const bool remove = argc > 4 && std::string(argv[4]) == "remove";
  xt::PosixSystem system;
  xt::PosixFileSystem disk;
  const xt::AccessStatus status = xt::rewriteAccessFiles(system, disk, dir, argv[2], argv[3], remove);
  return status == xt::AccessStatus::Ok ? 0 : 1;
}
