#include "platform/path_calls.h"

#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <io.h>

#include "platform/win32/wide_text.h"
#endif

namespace xt {

#ifdef _WIN32
int accessPath(const std::string& path, int mode) { return ::_waccess(widePath(path).c_str(), mode); }

int64_t statSize(const std::string& path) {
  struct _stat64 st {};
  return ::_wstat64(widePath(path).c_str(), &st) == 0 ? st.st_size : -1;
}

bool isRegularFile(const std::string& path) {
  struct _stat64 st {};
  return ::_wstat64(widePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int unlinkPath(const std::string& path) { return ::_wunlink(widePath(path).c_str()); }
int chmodPath(const std::string& path, int mode) { return ::_wchmod(widePath(path).c_str(), mode); }
#else
int accessPath(const std::string& path, int mode) { return ::access(path.c_str(), mode); }

int64_t statSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int unlinkPath(const std::string& path) { return ::unlink(path.c_str()); }
int chmodPath(const std::string& path, int mode) { return ::chmod(path.c_str(), static_cast<mode_t>(mode)); }
#endif

}  // namespace xt
