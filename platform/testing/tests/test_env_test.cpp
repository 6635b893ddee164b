#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/testing/test_env.h"

extern char** environ;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

TEST(TestSandbox, EveryTestHasItsOwnFoldersAndVariables) {
  const auto& s = tvtest::sandbox();
  EXPECT_EQ(env("HOME"), s.home.string());
  EXPECT_EQ(env("TMPDIR"), s.tmp.string());
  EXPECT_EQ(env("XDG_RUNTIME_DIR"), s.runtime.string());
  EXPECT_EQ(env("TALVANE_CONFIG_ROOT"), s.configRoot.string());
  EXPECT_EQ(env("QT_QPA_PLATFORM"), "offscreen");
  EXPECT_EQ(env("LANG"), "C.UTF-8");
  EXPECT_EQ(std::getenv("PUBLIC"), nullptr);
  EXPECT_EQ(std::getenv("DISPLAY"), nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(s.configRoot));
  EXPECT_NE(s.base.string().find("EveryTestHasItsOwnFoldersAndVariables"), std::string::npos);
  auto perms = std::filesystem::status(s.runtime).permissions();
  EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

TEST(TestSandbox, DeathTestsRunInThreadsafeStyle) {
  EXPECT_EQ(GTEST_FLAG_GET(death_test_style), "threadsafe");
  EXPECT_EXIT(std::exit(3), ::testing::ExitedWithCode(3), "");
}

TEST(TestSandbox, DeathTestChildrenWorkInTheirTestsSandbox) {
  // The child writes where the test's own sandbox is, which the test then
  // removes: a death test leaves no folder of its own behind.
  const std::filesystem::path mark = tvtest::sandbox().base / "from-child";
  EXPECT_EXIT(
      {
        tvtest::writeFile(tvtest::sandbox().base / "from-child", "child");
        std::exit(tvtest::sandbox().home.string() == env("HOME") ? 4 : 5);
      },
      ::testing::ExitedWithCode(4), "");
  EXPECT_EQ(tvtest::readFile(mark), "child");
}

TEST(TestSandbox, ARunRemovesItsSetUpFolder) {
  // A run of one test, and a run that only lists the tests (CTest's
  // discovery after each build).
  for (std::string flag : {"--gtest_filter=TestSandbox.EveryTestHasItsOwnFoldersAndVariables", "--gtest_list_tests"}) {
    SCOPED_TRACE(flag);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, flag.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, self, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::filesystem::path folders = tvtest::sandbox().base.parent_path();
    EXPECT_FALSE(std::filesystem::exists(folders / ("_setup-" + std::to_string(pid))));
    EXPECT_FALSE(std::filesystem::exists(
        folders / ("TestSandbox.EveryTestHasItsOwnFoldersAndVariables-" + std::to_string(pid))));
  }
}

}  // namespace
