#include "platform/file_system_kind.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/native_path.h"
#include "platform/win32/wide_text.h"
#else
#include <sys/statfs.h>
#endif

namespace xt {

namespace {

struct NetworkFileSystem {
  uint32_t type;
  std::string_view name;
};

// The magic numbers of the kernel's <linux/magic.h> and of the file systems
// built outside the kernel. Cluster file systems on a shared disk (GFS2,
// OCFS2) are left out: they promise every node one view of a file, its
// mapped memory and its locks included.
constexpr NetworkFileSystem kNetworkFileSystems[] = {
    {0x00006969, "NFS"},
    {0x0000517B, "SMB"},
    {0xFF534D42, "CIFS"},
    {0xFE534D42, "SMB2"},
    {0x65735546, "FUSE"},
    {0x00C36400, "Ceph"},
    {0x5346414F, "AFS"},
    {0x6B414653, "AFS"},
    {0x01021997, "9P"},
    {0x0BD00BD0, "Lustre"},
    {0x73757245, "Coda"},
    {0x0000564C, "NCP"},
    {0x47504653, "GPFS"},
    {0x19830326, "BeeGFS"},
    {0x20030528, "OrangeFS"},
    {0x786F4256, "vboxsf"},
};

}  // namespace

std::string_view networkFileSystemName(uint32_t type) {
  for (const NetworkFileSystem& fs : kNetworkFileSystems)
    if (fs.type == type) return fs.name;
  return {};
}

#ifdef _WIN32
std::optional<uint32_t> fileSystemType(const std::string& directory) {
  std::string path = directory;
  for (char& c : path)
    if (c == '\\') c = '/';
  // A relative directory is on the drive of the current one.
  if (pathRootLength(path) == 0) {
    wchar_t full[MAX_PATH];
    DWORD n = ::GetFullPathNameW(widePath(path).c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return std::nullopt;
    path = narrowText(full);
    for (char& c : path)
      if (c == '\\') c = '/';
  }
  if (path.starts_with("//")) return kWindowsNetworkDrive;
  size_t root = pathRootLength(path);
  if (root < 2) return std::nullopt;
  UINT type = ::GetDriveTypeW(widePath(path.substr(0, 2) + "/").c_str());
  if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) return std::nullopt;
  return type == DRIVE_REMOTE ? kWindowsNetworkDrive : 0;
}
#else
// Linux's statfs; f_type is a long, and the types are 32-bit numbers.
std::optional<uint32_t> fileSystemType(const std::string& directory) {
  struct statfs st {};
  if (::statfs(directory.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint32_t>(st.f_type);
}
#endif

}  // namespace xt
