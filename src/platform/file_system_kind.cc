#include "platform/file_system_kind.h"

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

}  // namespace xt
