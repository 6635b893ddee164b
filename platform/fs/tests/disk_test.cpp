#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <cerrno>
#include <string>

#include "platform/fs/disk.h"
#include "platform/fs/fault.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

TEST(DiskSpace, AnswersForThePathOrItsNearestParent) {
  DiskSpace here;
  ASSERT_FALSE(diskSpace(tvtest::sandbox().tmp, here));
  const fs::space_info expected = fs::space(tvtest::sandbox().tmp);
  EXPECT_EQ(here.totalBytes, expected.capacity);
  EXPECT_GT(here.totalBytes, 0u);
  EXPECT_LE(here.freeBytes, here.totalBytes);
  EXPECT_LE(here.availableBytes, here.freeBytes);

  DiskSpace below;
  ASSERT_FALSE(diskSpace(tvtest::sandbox().tmp / "not" / "made" / "yet", below));
  EXPECT_EQ(below.totalBytes, here.totalBytes);

  FaultScope scope;
  injectFault(FaultOp::Open, "tmp", EIO);
  EXPECT_EQ(diskSpace(tvtest::sandbox().tmp, below), std::errc::io_error);
  EXPECT_EQ(below.totalBytes, 0u);
}

// A machine's mounts, with the kernel's escapes, optional fields and lines
// that are not mount lines.
constexpr const char* kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "23 22 0:21 / /proc rw - proc proc rw\n"
    "30 22 8:17 / /mnt/usb rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
    "31 22 179:1 / /media/ann/MY\\040CARD rw - exfat /dev/mmcblk0p1 rw\n"
    "32 22 179:2 / /run/media/ann/stick rw - exfat /dev/mmcblk0p2 rw\n"
    "33 22 11:0 / /mnt/cd ro - iso9660 /dev/sr0 ro\n"
    "34 22 8:33 / /mnt/dvd ro - udf /dev/sdc1 ro\n"
    "35 22 0:50 / /net/home rw - nfs4 srv:/home rw\n"
    "36 22 0:51 / /mnt/ssh rw - fuse.sshfs ann@host: rw\n"
    "37 22 0:52 / /mnt/share rw - cifs //srv/share rw\n"
    "38 22 0:53 / /mnt/9p rw - 9p hostshare rw\n"
    "39 22 0:54 / /mnt/over rw - nfs srv:/x rw\n"
    "40 39 8:2 / /mnt/over rw - ext4 /dev/sda2 rw\n"
    "garbage line\n"
    "41 22 8:3 / /mnt/bad rw shared:1 ext4 /dev/sda3 rw no-dash here\n"
    "42 22 x:3 / /mnt/baddev rw - ext4 /dev/sda3 rw\n"
    "43 22 8:4 / relative rw - ext4 /dev/sda4 rw\n"
    "44 22 8:5 / /mnt/short rw -\n";

class DriveKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    sys = tvtest::sandbox().base / "sys";
    // sda is a fixed disk, sdb a removable one; their partitions carry no
    // flag of their own.
    tvtest::writeFile(sys / "devices" / "sda" / "removable", "0\n");
    tvtest::writeFile(sys / "devices" / "sdb" / "removable", "1\n");
    fs::create_directories(sys / "devices" / "sda" / "sda1");
    fs::create_directories(sys / "devices" / "sdb" / "sdb1");
    fs::create_directories(sys / "dev" / "block");
    fs::create_directory_symlink("../../devices/sda/sda1", sys / "dev" / "block" / "8:1");
    fs::create_directory_symlink("../../devices/sdb/sdb1", sys / "dev" / "block" / "8:17");
    table = MountTable::parse(kMountInfo);
  }
  fs::path sys;
  MountTable table;
};

TEST_F(DriveKinds, ParsesGoodLinesAndSkipsTheRest) {
  ASSERT_EQ(table.entries.size(), 13u);
  const MountEntry& card = table.entries[3];
  EXPECT_EQ(card.mountPoint, "/media/ann/MY CARD");
  EXPECT_EQ(card.fsType, "exfat");
  EXPECT_EQ(card.source, "/dev/mmcblk0p1");
  EXPECT_EQ(card.major, 179u);
  EXPECT_EQ(card.minor, 1u);
  EXPECT_EQ(table.entries[2].fsType, "vfat");  // after two optional fields
  EXPECT_TRUE(MountTable::parse("").entries.empty());
}

TEST_F(DriveKinds, ByFileSystemDeviceAndMountPoint) {
  struct Case {
    const char* path;
    DriveKind kind;
  };
  const Case cases[] = {
      {"/home/ann/book.tpk", DriveKind::Fixed},
      {"/mnt/usb/packets/a.tpk", DriveKind::Removable},  // sysfs flag of the disk
      {"/mnt/usbstick", DriveKind::Fixed},               // not inside /mnt/usb
      {"/media/ann/MY CARD/x", DriveKind::Removable},    // mount point under /media
      {"/run/media/ann/stick", DriveKind::Removable},
      {"/mnt/cd/setup", DriveKind::Optical},
      {"/mnt/dvd", DriveKind::Optical},
      {"/net/home/ann", DriveKind::Network},
      {"/mnt/ssh/x", DriveKind::Network},
      {"/mnt/share", DriveKind::Network},
      {"/mnt/9p/x", DriveKind::Network},
      {"/mnt/over/x", DriveKind::Fixed},  // the later mount hides the nfs one
      {"/mnt/usb/../cd/x", DriveKind::Optical},
  };
  for (const Case& c : cases) EXPECT_EQ(driveKind(c.path, table, sys), c.kind) << c.path;
  EXPECT_EQ(driveKind("/anything", MountTable{}, sys), DriveKind::Unknown);

  // On this machine's own mounts: a folder of the sandbox has a kind. A root
  // that is no mount point (a bare chroot) gives no mount to find it under.
  std::ifstream mounts("/proc/self/mounts");
  std::string source, target, rest;
  bool rootMounted = false;
  while (mounts >> source >> target && std::getline(mounts, rest)) rootMounted |= target == "/";
  if (!rootMounted) GTEST_SKIP() << "/ is not a mount point here, so no folder has a mount to be found under";
  EXPECT_NE(driveKind(tvtest::sandbox().tmp), DriveKind::Unknown);
}

TEST(NetworkFsTypes, KnownAndUnknown) {
  for (const char* t : {"nfs", "nfs4", "cifs", "smb3", "sshfs", "fuse.sshfs", "9p", "fuse.rclone"})
    EXPECT_TRUE(isNetworkFsType(t)) << t;
  for (const char* t : {"ext4", "tmpfs", "fuse", "fuse.", "nfsd", "overlay", ""})
    EXPECT_FALSE(isNetworkFsType(t)) << t;
}

}  // namespace
