// Which file systems keep their files on another machine, told by the type
// number statfs gives a directory (f_type on Linux). An SQLite data file
// must not live on one: its write-ahead log is shared through memory mapped
// from the -shm file, which only processes of one host share, so terminals
// on two hosts writing one file would damage it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xt {

// The short name of the network file system with statfs type `type`
// ("NFS", "SMB", "FUSE", ...), for messages; "" for a local file system
// and for any type not listed. The type is taken as 32 bits: f_type is a
// signed long on 32-bit machines, where 0xFF534D42 comes out negative.
// FUSE counts as a network file system: most FUSE mounts shared between
// hosts (sshfs, GlusterFS, s3fs) are, and a local one cannot be told apart.
std::string_view networkFileSystemName(uint32_t type);

// What the Windows build answers for a directory on a network drive or a
// network share ("//server/share/..."): Windows tells only that the drive
// is remote, which in practice is an SMB share.
constexpr uint32_t kWindowsNetworkDrive = 0x0000517B;  // "SMB"

// The type of the file system the directory is on: statfs's f_type on
// Linux; on Windows kWindowsNetworkDrive for a remote one and 0 for a
// local one. nullopt when it cannot be told.
std::optional<uint32_t> fileSystemType(const std::string& directory);

}  // namespace xt
