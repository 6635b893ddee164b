#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/fs/config_root.h"
#include "platform/fs/fault.h"
#include "platform/fs/file.h"
#include "platform/fs/file_io.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

TEST(ConfigRoot, FollowsTheEnvironment) {
  EXPECT_EQ(configRoot(), tvtest::sandbox().configRoot);
  EXPECT_EQ(machineSettingsFolder(), tvtest::sandbox().configRoot / "machine");
  ::unsetenv(kConfigRootVariable);
  EXPECT_EQ(configRoot(), tvtest::sandbox().home / ".config" / "talvane");
}

TEST(ConfigRoot, EnsureFolderMakesParentsAndHonoursFaults) {
  FaultScope scope;
  const fs::path f = tvtest::sandbox().configRoot / "machine" / "TalvaneDemo";
  injectFault(FaultOp::MakeFolder, "TalvaneDemo", ENOSPC);
  EXPECT_FALSE(ensureFolder(f));
  EXPECT_FALSE(fs::exists(f));
  EXPECT_TRUE(ensureFolder(f));
  EXPECT_TRUE(fs::is_directory(f));
  EXPECT_TRUE(ensureFolder(f));
}

TEST(FileIo, AtomicWriteReplacesAndKeepsMode) {
  const fs::path p = tvtest::sandbox().tmp / "settings.ini";
  ASSERT_FALSE(writeFileAtomic(p, "first"));
  ::chmod(p.c_str(), 0600);
  ASSERT_FALSE(writeFileAtomic(p, std::string("sec\0ond", 7)));
  std::string back;
  ASSERT_FALSE(readFile(p, back));
  EXPECT_EQ(back, std::string("sec\0ond", 7));
  struct stat st{};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Nothing but the file itself is left in the folder.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(p.parent_path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(FileIo, FailedWriteOrRenameLeavesThePreviousFile) {
  FaultScope scope;
  const fs::path p = tvtest::sandbox().tmp / "hive.txt";
  ASSERT_FALSE(writeFileAtomic(p, "old"));
  for (FaultOp op : {FaultOp::Open, FaultOp::Write, FaultOp::Rename}) {
    injectFault(op, "hive.txt", ENOSPC);
    EXPECT_EQ(writeFileAtomic(p, "new"), std::errc::no_space_on_device);
    std::string back;
    ASSERT_FALSE(readFile(p, back));
    EXPECT_EQ(back, "old");
  }
  int entries = 0;
  for (const auto& e : fs::directory_iterator(p.parent_path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(FileIo, ReadReportsMissingFilesAndFolders) {
  std::string out = "x";
  EXPECT_EQ(readFile(tvtest::sandbox().tmp / "none", out), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(readFile(tvtest::sandbox().tmp, out), std::errc::is_a_directory);
}

TEST(FaultInjection, SkipCountAndPathFilter) {
  FaultScope scope;
  injectFault(FaultOp::Remove, "b.txt", EIO, 2, 1);
  EXPECT_EQ(takeFault(FaultOp::Remove, "/x/a.txt"), 0);
  EXPECT_EQ(takeFault(FaultOp::Remove, "/x/b.txt"), 0);  // skipped
  EXPECT_EQ(takeFault(FaultOp::Open, "/x/b.txt"), 0);    // other kind
  EXPECT_EQ(takeFault(FaultOp::Remove, "/x/b.txt"), EIO);
  EXPECT_EQ(takeFault(FaultOp::Remove, "/x/b.txt"), EIO);
  EXPECT_EQ(takeFault(FaultOp::Remove, "/x/b.txt"), 0);  // used up
}

TEST(FileLock, SerialisesProcesses) {
  const fs::path p = tvtest::sandbox().tmp / "counter";
  ASSERT_FALSE(writeFileAtomic(p, "0"));
  auto bump = [&] {
    for (int i = 0; i < 50; ++i) {
      FileLock lock(p);
      ASSERT_TRUE(lock.locked());
      std::string v;
      ASSERT_FALSE(readFile(p, v));
      ASSERT_FALSE(writeFileAtomic(p, std::to_string(std::stoi(v) + 1)));
    }
  };
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bump();
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  bump();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string v;
  ASSERT_FALSE(readFile(p, v));
  EXPECT_EQ(v, "100");
}

}  // namespace

namespace {

TEST(FileLock, WaiterRelocksWhenTheHolderRemovedTheLockFile) {
  const fs::path target = tvtest::sandbox().tmp / "Index.usr";
  const fs::path lockPath = FileLock::lockPathFor(target);
  auto first = std::make_unique<FileLock>(target);
  ASSERT_TRUE(first->locked());
  std::atomic<bool> acquired{false};
  bool lockFilePresentWhileHeld = false;
  std::thread waiter([&] {
    FileLock second(target);
    acquired = true;
    lockFilePresentWhileHeld = fs::exists(lockPath);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(acquired);
  fs::remove(lockPath);  // as a holder does that removes the file it guards
  first.reset();
  waiter.join();
  EXPECT_TRUE(lockFilePresentWhileHeld);
}

}  // namespace

namespace {

// What interrupted writers left is removed; a file a live writer holds,
// another file and the target of a link are not.
TEST(FileIo, LeftoversOfDeadWritersGoAndHeldFilesStay) {
  const fs::path dir = tvtest::sandbox().base / "left";
  fs::create_directories(dir);
  const fs::path target = dir / "Index.usr";
  ASSERT_FALSE(writeFileAtomic(target, "old"));
  const fs::path dead = dir / ".Index.usr.~wrAAAAAA";
  const fs::path held = dir / ".Index.usr.~wrBBBBBB";
  const fs::path outside = tvtest::sandbox().base / "precious";
  tvtest::writeFile(dead, "half");
  tvtest::writeFile(held, "in use");
  tvtest::writeFile(outside, "keep");
  fs::create_symlink(outside, dir / ".Index.usr.~wrCCCCCC");
  tvtest::writeFile(dir / "other.~wrDDDDDD", "not ours");
  EXPECT_TRUE(isWriteTemporaryName(dead.filename().string()));
  EXPECT_FALSE(isWriteTemporaryName("Index.usr"));

  File holder;
  ASSERT_FALSE(holder.open(held, File::Mode::Read));
  ASSERT_TRUE(holder.holdLock());
  ASSERT_FALSE(writeFileAtomic(target, "new"));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(held));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / ".Index.usr.~wrCCCCCC")));
  EXPECT_EQ(tvtest::readFile(outside), "keep");
  EXPECT_TRUE(fs::exists(dir / "other.~wrDDDDDD"));
  EXPECT_EQ(tvtest::readFile(target), "new");

  holder.close();
  EXPECT_EQ(removeStaleTemporaries(target), 1);
  EXPECT_FALSE(fs::exists(held));
}

}  // namespace
