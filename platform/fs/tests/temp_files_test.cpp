#include <gtest/gtest.h>

#include <fcntl.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folder_listing.h"
#include "platform/fs/program_folder.h"
#include "platform/fs/temp_files.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

size_t entriesIn(const fs::path& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) (void)e, ++n;
  return n;
}

TEST(TempFiles, ManyThreadsInOneFolderNeverShareAName) {
  const fs::path folder = tvtest::sandbox().base / "work";
  fs::create_directories(folder);
  constexpr int kThreads = 4, kEach = 400;
  std::vector<std::vector<TempFile>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        TempFile f;
        if (!createTempFile(folder, "MIO", f)) made[t].push_back(f);
      }
    });
  for (auto& th : threads) th.join();

  std::set<fs::path> names;
  std::set<std::uint32_t> numbers;
  for (const auto& list : made) {
    ASSERT_EQ(list.size(), static_cast<size_t>(kEach));
    for (const TempFile& f : list) {
      names.insert(f.path);
      numbers.insert(f.unique);
      EXPECT_NE(f.unique, 0u);
      EXPECT_EQ(f.path, tempFileName(folder, "MIO", f.unique));
      EXPECT_TRUE(matchesPattern("MIO*.tmp", f.path.filename().string())) << f.path;
    }
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(numbers.size(), names.size());
  EXPECT_EQ(entriesIn(folder), names.size());
}

TEST(TempFiles, TwoProcessesInOneFolderNeverShareAName) {
  const fs::path folder = tvtest::sandbox().base / "work";
  fs::create_directories(folder);
  auto makeMany = [&] {
    for (int i = 0; i < 300; ++i) {
      TempFile f;
      if (createTempFile(folder, "~ov", f)) return false;
    }
    return true;
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(makeMany() ? 0 : 1);
  EXPECT_TRUE(makeMany());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Every file made by either process is still there under its own name.
  EXPECT_EQ(entriesIn(folder), 600u);
}

TEST(TempFiles, NamesAndRefusals) {
  const fs::path folder = tvtest::sandbox().tmp;
  EXPECT_EQ(tempFileName(folder, "MIO", 0x1A2B), folder / "MIO1A2B.tmp");
  EXPECT_EQ(tempFileName(folder, "", 0xFFFFFFFF), folder / "FFFFFFFF.tmp");
  EXPECT_TRUE(tempFileName(folder, "MIO", 0).empty());
  EXPECT_TRUE(tempFileName(folder, "../x", 5).empty());

  TempFile f;
  EXPECT_EQ(createTempFile(folder, "a/b", f), std::errc::invalid_argument);
  EXPECT_EQ(createTempFile(folder / "missing", "MIO", f), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(f.path.empty());
  {
    FaultScope scope;
    injectFault(FaultOp::Open, "MIO", EMFILE);
    EXPECT_EQ(createTempFile(folder, "MIO", f), std::errc::too_many_files_open);
  }
  EXPECT_EQ(entriesIn(folder), 0u);
  ASSERT_FALSE(createTempFile(folder, "MIO", f));
  EXPECT_EQ(fs::file_size(f.path), 0u);
}

// Numbers that collide on purpose: 5, 5, 5, then 6, 7, ...
std::uint32_t collidingNumbers() {
  static std::uint32_t calls = 0;
  ++calls;
  return calls <= 3 ? 5 : calls + 2;
}
std::uint32_t alwaysFive() { return 5; }

TEST(TempFiles, ACollisionNeverReusesAnExistingFile) {
  struct Reset {
    ~Reset() { setTempNumberSource(nullptr); }
  } reset;
  const fs::path folder = tvtest::sandbox().tmp;
  setTempNumberSource(collidingNumbers);
  TempFile first, second;
  ASSERT_FALSE(createTempFile(folder, "MIO", first));
  EXPECT_EQ(first.path, folder / "MIO5.tmp");
  tvtest::writeFile(first.path, "in use");
  ASSERT_FALSE(createTempFile(folder, "MIO", second));
  EXPECT_EQ(second.path, folder / "MIO6.tmp");
  EXPECT_EQ(second.unique, 6u);
  EXPECT_EQ(tvtest::readFile(first.path), "in use");

  // A source that never gives a free name ends with an error, not a loop.
  setTempNumberSource(alwaysFive);
  EXPECT_EQ(createTempFile(folder, "MIO", second), std::errc::file_exists);
  EXPECT_EQ(tvtest::readFile(first.path), "in use");
}

// The file operations, run in a private mount namespace with a fresh empty
// /tmp, leave that /tmp empty while TMPDIR names another folder.
TEST(TempFiles, NothingLandsInTheSystemTempFolderOutsideTmpdir) {
  const fs::path tmpdir = tvtest::sandbox().tmp;
  const fs::path work = tvtest::sandbox().base / "work";
  fs::create_directories(work);
  // The sandbox itself may lie under /tmp (a build tree there): it is
  // carried into the fresh /tmp by a bind mount and left out of the count.
  const fs::path base = fs::weakly_canonical(tvtest::sandbox().base);
  const bool baseInTmp = base.string().rfind("/tmp/", 0) == 0;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      ::_exit(77);
    // Opened in the new namespace, so that the bind below may take it.
    const int baseFd = ::open(base.c_str(), O_PATH | O_DIRECTORY);
    if (baseFd < 0 || ::mount("tmpfs", "/tmp", "tmpfs", 0, "size=16m") != 0) ::_exit(77);
    if (baseInTmp) {
      std::error_code ec;
      fs::create_directories(base, ec);
      const std::string from = "/proc/self/fd/" + std::to_string(baseFd);
      if (ec || ::mount(from.c_str(), base.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) ::_exit(77);
    }
    int failures = 0;
    auto check = [&](bool ok) { failures += ok ? 0 : 1; };
    check(systemTempFolder() == tmpdir);
    TempFile t;
    check(!createTempFile(systemTempFolder(), "MIO", t) && t.path.parent_path() == tmpdir);
    check(!writeFileAtomic(work / "a.ini", "x=1\r\n"));
    check(!copyFile(work / "a.ini", work / "b.ini"));
    {
      FaultScope scope;
      injectFault(FaultOp::Rename, "b.ini", EXDEV);
      check(!moveFile(work / "b.ini", work / "c.ini"));
    }
    check(!createFolder(work / "tree"));
    check(!writeFileAtomic(work / "tree" / "d.txt", "d"));
    check(!removeTree(work / "tree"));
    std::vector<FolderEntry> list;
    check(!listFolder(work, "*.INI", list) && list.size() == 2);
    // Everything in /tmp but the sandbox and the folders that lead to it.
    auto inTmp = [&] {
      size_t n = 0;
      for (auto it = fs::recursive_directory_iterator("/tmp"); it != fs::recursive_directory_iterator(); ++it) {
        const std::string p = it->path().string();
        if (p == base.string()) {
          it.disable_recursion_pending();
          continue;
        }
        if (baseInTmp && base.string().rfind(p + "/", 0) == 0) continue;
        ++n;
      }
      return n;
    };
    check(inTmp() == 0);
    // The check can see a file that does land there.
    ::unsetenv("TMPDIR");
    check(systemTempFolder() == "/tmp");
    check(!createTempFile(systemTempFolder(), "MIO", t) && fs::exists(t.path) && inTmp() == 1);
    ::_exit(failures == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace (needs root)";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
