#pragma once
// Free disk space and the kind of drive a path lives on.
//
// Drive kinds come from a mount table (the text of /proc/self/mountinfo) and
// the block devices under a sysfs root, both injectable so that tests can
// describe any machine:
//   Optical   iso9660 or udf file systems, or a CD-ROM block device (major 11)
//   Removable a block device whose sysfs "removable" flag is 1 (the flag of
//             a partition's disk counts), or a mount point under /media or
//             /run/media, where desktops mount media they detect
//   Network   nfs, cifs, smb, sshfs, 9p and similar file systems
//   Fixed     every other mounted file system
//   Unknown   no mount in the table holds the path

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace plat::fs {

struct DiskSpace {
  std::uint64_t freeBytes = 0;       // free on the file system
  std::uint64_t totalBytes = 0;      // its size
  std::uint64_t availableBytes = 0;  // free to this (unprivileged) caller
};

// The space of the file system that holds `path`. A path that does not
// exist yet is answered for its nearest existing parent folder.
std::error_code diskSpace(const std::filesystem::path& path, DiskSpace& out);

enum class DriveKind { Unknown, Fixed, Removable, Optical, Network };

struct MountEntry {
  std::string mountPoint;  // unescaped ("\040" is a blank)
  std::string fsType;      // "ext4", "nfs4", "fuse.sshfs", ...
  std::string source;      // "/dev/sdb1", "server:/export", ...
  unsigned major = 0;
  unsigned minor = 0;
};

class MountTable {
 public:
  // Parses the text of a mountinfo file. Malformed lines are skipped.
  static MountTable parse(std::string_view mountinfo);
  // The running process's mounts (/proc/self/mountinfo); empty when
  // unreadable.
  static MountTable current();

  // The mount that holds `path` (the latest mount over the longest matching
  // mount point), or nullptr. The path is made absolute and normalised;
  // links are followed as far as the path exists.
  const MountEntry* find(const std::filesystem::path& path) const;

  std::vector<MountEntry> entries;
};

// Whether a file system type is reached over the network.
bool isNetworkFsType(std::string_view fsType);

DriveKind driveKind(const std::filesystem::path& path, const MountTable& table,
                    const std::filesystem::path& sysRoot = "/sys");
DriveKind driveKind(const std::filesystem::path& path);

}  // namespace plat::fs
