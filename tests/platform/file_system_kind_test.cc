#include "platform/file_system_kind.h"

#include <gtest/gtest.h>

namespace xt {
namespace {

TEST(FileSystemKindTest, NetworkFileSystemsByStatfsType) {
  const struct {
    uint32_t type;
    const char* name;  // "" local
  } cases[] = {
      {0x6969, "NFS"},     {0xFF534D42, "CIFS"}, {0xFE534D42, "SMB2"},   {0x65735546, "FUSE"},
      {0x01021997, "9P"},  {0x00C36400, "Ceph"}, {0xEF53, ""} /* ext4 */, {0x58465342, ""} /* XFS */,
      {0x01021994, ""} /* tmpfs, beside 9P */,   {0x794C7630, ""} /* overlay */,
      {0x69690000, ""} /* NFS's number in the other half */,
  };
  for (const auto& c : cases) EXPECT_EQ(networkFileSystemName(c.type), c.name) << std::hex << c.type;
}

}  // namespace
}  // namespace xt
