#include "platform/file_system.h"

#include <cerrno>
#include <cstring>

namespace xt {

FileResult FileResult::fromErrno(int err, std::string_view what) {
  FileResult r;
  r.error = err;
  if (err == ENOENT || err == ENOTDIR)
    r.code = Code::NotFound;
  else if (err == EWOULDBLOCK || err == EAGAIN || err == EBUSY)
    r.code = Code::Busy;
  else
    r.code = Code::Failed;
  r.message = std::string(what) + ": " + std::strerror(err);
  return r;
}

}  // namespace xt
