#include "platform/fs/disk.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <charconv>

#include "platform/fs/fault.h"
#include "platform/fs/file_io.h"

namespace plat::fs {

namespace {
std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// Undoes the kernel's octal escapes of blanks, tabs, newlines and '\'.
std::string unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

bool parseUnsigned(std::string_view s, unsigned& out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool startsWithFolder(const std::string& path, std::string_view folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
}

std::filesystem::path resolve(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path abs = std::filesystem::absolute(path, ec);
  if (ec) abs = path;
  std::filesystem::path canon = std::filesystem::weakly_canonical(abs, ec);
  return (ec ? abs : canon).lexically_normal();
}

// The sysfs "removable" flag of a block device, 1 when set. A partition has
// none of its own: its disk's flag (the parent folder) counts.
bool removableDevice(const std::filesystem::path& sysRoot, unsigned major, unsigned minor) {
  if (major == 0) return false;  // virtual file systems
  const std::filesystem::path dev =
      sysRoot / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
  std::string flag;
  if (!readFile(dev / "removable", flag)) return !flag.empty() && flag[0] == '1';
  if (!readFile(dev / ".." / "removable", flag)) return !flag.empty() && flag[0] == '1';
  return false;
}
}  // namespace

std::error_code diskSpace(const std::filesystem::path& path, DiskSpace& out) {
  out = {};
  std::filesystem::path p = path.empty() ? std::filesystem::path(".") : path;
  struct statvfs vs{};
  for (;;) {
    if (int f = takeFault(FaultOp::Open, p.string())) return {f, std::generic_category()};
    if (::statvfs(p.c_str(), &vs) == 0) break;
    if (errno != ENOENT || !p.has_relative_path()) return {errno, std::generic_category()};
    std::filesystem::path parent = p.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == p) return {ENOENT, std::generic_category()};
    p = parent;
  }
  const std::uint64_t unit = vs.f_frsize != 0 ? vs.f_frsize : vs.f_bsize;
  out.freeBytes = static_cast<std::uint64_t>(vs.f_bfree) * unit;
  out.totalBytes = static_cast<std::uint64_t>(vs.f_blocks) * unit;
  out.availableBytes = static_cast<std::uint64_t>(vs.f_bavail) * unit;
  return {};
}

MountTable MountTable::parse(std::string_view text) {
  MountTable table;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> f = splitFields(text.substr(pos, end - pos));
    pos = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super
    if (f.size() < 10) continue;
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 2 >= f.size()) continue;
    const std::string_view dev = f[2];
    const size_t colon = dev.find(':');
    MountEntry e;
    if (colon == std::string_view::npos || !parseUnsigned(dev.substr(0, colon), e.major) ||
        !parseUnsigned(dev.substr(colon + 1), e.minor))
      continue;
    e.mountPoint = unescape(f[4]);
    if (e.mountPoint.empty() || e.mountPoint[0] != '/') continue;
    e.fsType = unescape(f[dash + 1]);
    e.source = unescape(f[dash + 2]);
    table.entries.push_back(std::move(e));
  }
  return table;
}

MountTable MountTable::current() {
  std::string text;
  if (readFile("/proc/self/mountinfo", text)) return {};
  return parse(text);
}

const MountEntry* MountTable::find(const std::filesystem::path& path) const {
  const std::string p = resolve(path).string();
  const MountEntry* best = nullptr;
  for (const MountEntry& e : entries) {
    std::string_view mp = e.mountPoint;
    while (mp.size() > 1 && mp.back() == '/') mp.remove_suffix(1);
    if (!startsWithFolder(p, mp)) continue;
    // A later mount on the same point hides the earlier one.
    if (best == nullptr || mp.size() >= std::string_view(best->mountPoint).size()) best = &e;
  }
  return best;
}

bool isNetworkFsType(std::string_view t) {
  for (std::string_view n : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "smb", "9p", "afs",
                             "ncpfs", "coda", "ceph", "glusterfs", "lustre", "gfs2", "ocfs2",
                             "davfs", "sshfs"})
    if (t == n) return true;
  // FUSE types carry their driver's name: fuse.sshfs, fuse.rclone, ...
  if (t.substr(0, 5) == "fuse.") {
    const std::string_view d = t.substr(5);
    for (std::string_view n : {"sshfs", "rclone", "davfs2", "glusterfs", "ceph", "s3fs",
                               "gcsfuse", "smbnetfs", "curlftpfs"})
      if (d == n) return true;
  }
  return false;
}

DriveKind driveKind(const std::filesystem::path& path, const MountTable& table,
                    const std::filesystem::path& sysRoot) {
  const MountEntry* m = table.find(path);
  if (m == nullptr) return DriveKind::Unknown;
  if (m->fsType == "iso9660" || m->fsType == "udf" || m->major == 11) return DriveKind::Optical;
  if (isNetworkFsType(m->fsType)) return DriveKind::Network;
  if (removableDevice(sysRoot, m->major, m->minor)) return DriveKind::Removable;
  if (startsWithFolder(m->mountPoint, "/media") || startsWithFolder(m->mountPoint, "/run/media"))
    return DriveKind::Removable;
  return DriveKind::Fixed;
}

DriveKind driveKind(const std::filesystem::path& path) {
  return driveKind(path, MountTable::current());
}

}  // namespace plat::fs
