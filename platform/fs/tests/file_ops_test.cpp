#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/fs/file_ops.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

// A past modification time with a fraction of a second, which a copy
// through a plain write would lose.
constexpr std::int64_t kOldTimeNs = 1'234'567'890'123'456'789;

void setModified(const fs::path& p, std::int64_t ns) {
  const struct timespec t[2] = {{ns / 1000000000, ns % 1000000000}, {ns / 1000000000, ns % 1000000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}

std::vector<std::string> names(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class FileOps : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tvtest::sandbox().base / "files";
    fs::create_directories(dir);
    src = dir / "src.bin";
    tvtest::writeFile(src, std::string("payload\0\xff", 9));
    ::chmod(src.c_str(), 0640);
    setModified(src, kOldTimeNs);
  }
  fs::path dir, src;
  FaultScope faults;
};

TEST_F(FileOps, CopyKeepsContentModeAndModificationTime) {
  const fs::path dst = dir / "dst.bin";
  tvtest::writeFile(dst, "older content");
  ASSERT_FALSE(copyFile(src, dst));
  EXPECT_EQ(tvtest::readFile(dst), std::string("payload\0\xff", 9));
  EXPECT_EQ(fileStatus(dst)->modifiedNs, kOldTimeNs);
  struct stat st{};
  ASSERT_EQ(::stat(dst.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(names(dir), (std::vector<std::string>{"dst.bin", "src.bin"}));
}

TEST_F(FileOps, CopyRefusals) {
  const fs::path dst = dir / "dst.bin";
  tvtest::writeFile(dst, "keep");
  EXPECT_EQ(copyFile(src, dst, Existing::Fail), std::errc::file_exists);
  EXPECT_EQ(tvtest::readFile(dst), "keep");

  // Onto itself, under its own name, a hard link or a symbolic link.
  fs::create_hard_link(src, dir / "hard.bin");
  fs::create_symlink(src, dir / "soft.bin");
  for (const fs::path& same : {src, dir / "hard.bin", dir / "soft.bin", dir / "." / "src.bin"}) {
    EXPECT_EQ(copyFile(src, same), std::errc::invalid_argument) << same;
    EXPECT_EQ(tvtest::readFile(src), std::string("payload\0\xff", 9));
  }
  EXPECT_EQ(copyFile(dir, dir / "x"), std::errc::is_a_directory);
  EXPECT_EQ(copyFile(dir / "none", dir / "x"), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST_F(FileOps, FailedCopyLeavesTheTargetAndNoLeftovers) {
  const fs::path dst = dir / "dst.bin";
  tvtest::writeFile(dst, "old");
  struct Case {
    FaultOp op;
    const char* path;
  };
  for (const Case& c : {Case{FaultOp::Open, "src.bin"}, Case{FaultOp::Read, "src.bin"},
                        Case{FaultOp::Open, "dst.bin"}, Case{FaultOp::Write, "dst.bin"},
                        Case{FaultOp::Rename, "dst.bin"}}) {
    injectFault(c.op, c.path, EIO);
    EXPECT_EQ(copyFile(src, dst), std::errc::io_error) << static_cast<int>(c.op) << c.path;
    EXPECT_EQ(tvtest::readFile(dst), "old");
    EXPECT_EQ(names(dir), (std::vector<std::string>{"dst.bin", "src.bin"}));
  }
}

TEST_F(FileOps, MoveAcrossFileSystemsCopiesThenDeletesTheSource) {
  fs::create_directory(dir / "other");
  const fs::path dst = dir / "other" / "moved.bin";
  injectFault(FaultOp::Rename, "src.bin", EXDEV);
  ASSERT_FALSE(moveFile(src, dst));
  EXPECT_FALSE(fs::exists(src));
  EXPECT_EQ(tvtest::readFile(dst), std::string("payload\0\xff", 9));
  EXPECT_EQ(fileStatus(dst)->modifiedNs, kOldTimeNs);
  EXPECT_EQ(names(dir / "other"), (std::vector<std::string>{"moved.bin"}));
}

TEST_F(FileOps, FailedCrossFileSystemMove) {
  const fs::path dst = dir / "moved.bin";
  // The copy fails: the source stays, nothing appears at the target.
  injectFault(FaultOp::Rename, "src.bin", EXDEV);
  injectFault(FaultOp::Write, "moved.bin", ENOSPC);
  EXPECT_EQ(moveFile(src, dst), std::errc::no_space_on_device);
  EXPECT_EQ(names(dir), (std::vector<std::string>{"src.bin"}));

  // The source cannot be deleted: the complete copy stays, the error is told.
  injectFault(FaultOp::Rename, "src.bin", EXDEV);
  injectFault(FaultOp::Remove, "src.bin", EACCES);
  EXPECT_EQ(moveFile(src, dst), std::errc::permission_denied);
  EXPECT_EQ(names(dir), (std::vector<std::string>{"moved.bin", "src.bin"}));

  // Folders are not copied across file systems.
  fs::create_directory(dir / "sub");
  injectFault(FaultOp::Rename, "sub", EXDEV);
  EXPECT_EQ(moveFile(dir / "sub", dir / "sub2"), std::errc::cross_device_link);
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST_F(FileOps, MoveReplacesOrRefusesAnExistingTarget) {
  const fs::path dst = dir / "dst.bin";
  tvtest::writeFile(dst, "old");
  EXPECT_EQ(moveFile(src, dst, Existing::Fail), std::errc::file_exists);
  EXPECT_EQ(tvtest::readFile(dst), "old");
  injectFault(FaultOp::Rename, "src.bin", EXDEV);
  EXPECT_EQ(moveFile(src, dst, Existing::Fail), std::errc::file_exists);
  EXPECT_EQ(names(dir), (std::vector<std::string>{"dst.bin", "src.bin"}));
  ASSERT_FALSE(moveFile(src, dst));
  EXPECT_EQ(names(dir), (std::vector<std::string>{"dst.bin"}));
  EXPECT_EQ(fileStatus(dst)->modifiedNs, kOldTimeNs);
}

TEST_F(FileOps, RemoveTreeNeverFollowsLinks) {
  const fs::path outside = tvtest::sandbox().base / "outside";
  tvtest::writeFile(outside / "precious.txt", "keep");
  const fs::path tree = dir / "tree";
  tvtest::writeFile(tree / "a.txt", "a");
  tvtest::writeFile(tree / "sub" / "deeper" / "b.txt", "b");
  fs::create_directory_symlink(outside, tree / "sub" / "to_folder");
  fs::create_symlink(outside / "precious.txt", tree / "to_file");
  fs::create_symlink(dir / "nowhere", tree / "dangling");

  ASSERT_FALSE(removeTree(tree / ""));  // a trailing separator changes nothing
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(tvtest::readFile(outside / "precious.txt"), "keep");

  // A link named as the tree itself: the link goes, its target stays.
  fs::create_directory_symlink(outside, dir / "link");
  ASSERT_FALSE(removeTree(dir / "link/"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link")));
  EXPECT_EQ(tvtest::readFile(outside / "precious.txt"), "keep");

  EXPECT_FALSE(removeTree(dir / "missing"));
  ASSERT_FALSE(removeTree(src));
  EXPECT_FALSE(fs::exists(src));
}

TEST_F(FileOps, RemoveTreeGoesOnPastAFailure) {
  const fs::path tree = dir / "tree";
  tvtest::writeFile(tree / "a.txt", "a");
  tvtest::writeFile(tree / "sub" / "b.txt", "b");
  tvtest::writeFile(tree / "sub" / "c.txt", "c");
  tvtest::writeFile(tree / "z" / "d.txt", "d");
  injectFault(FaultOp::Remove, "b.txt", EBUSY);
  EXPECT_EQ(removeTree(tree), std::errc::device_or_resource_busy);
  // Only the entry that failed and the folders holding it are left.
  EXPECT_TRUE(fs::exists(tree / "sub" / "b.txt"));
  EXPECT_EQ(names(tree), (std::vector<std::string>{"sub"}));
  EXPECT_EQ(names(tree / "sub"), (std::vector<std::string>{"b.txt"}));
  ASSERT_FALSE(removeTree(tree));
  EXPECT_FALSE(fs::exists(tree));
}

TEST_F(FileOps, CreateAndRemoveFolders) {
  const fs::path f = dir / "made";
  ASSERT_FALSE(createFolder(f));
  EXPECT_EQ(createFolder(f), std::errc::file_exists);
  EXPECT_EQ(createFolder(dir / "no" / "parent"), std::errc::no_such_file_or_directory);
  injectFault(FaultOp::MakeFolder, "other", ENOSPC);
  EXPECT_EQ(createFolder(dir / "other"), std::errc::no_space_on_device);
  EXPECT_FALSE(fs::exists(dir / "other"));

  tvtest::writeFile(f / "x", "x");
  EXPECT_EQ(removeFolder(f), std::errc::directory_not_empty);
  fs::create_directory_symlink(f, dir / "alias");
  ASSERT_FALSE(removeFolder(dir / "alias"));
  EXPECT_TRUE(fs::exists(f / "x"));
  injectFault(FaultOp::Remove, "made", EIO);
  EXPECT_EQ(removeTree(f), std::errc::io_error);
  EXPECT_TRUE(fs::is_directory(f));
}

TEST_F(FileOps, StatusOfFilesFoldersAndLinks) {
  fs::create_symlink(src, dir / "link");
  const auto followed = fileStatus(dir / "link");
  ASSERT_TRUE(followed);
  EXPECT_EQ(followed->size, 9u);
  EXPECT_FALSE(followed->link);
  EXPECT_EQ(followed->modifiedNs, kOldTimeNs);
  const auto own = fileStatus(dir / "link", false);
  ASSERT_TRUE(own);
  EXPECT_TRUE(own->link);
  EXPECT_TRUE(fileStatus(dir)->folder);
  EXPECT_FALSE(fileStatus(dir / "none"));
}

}  // namespace
