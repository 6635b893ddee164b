#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/testing/test_env.h"

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

}  // namespace
