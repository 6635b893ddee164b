#pragma once
// Fixtures shared by the environment store's tests: a stand-in holder of
// the current user name, and a test base that gives each case a program
// folder of its own and undoes every process-wide setting.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/fs/fault.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "player/env/credential_block.h"
#include "player/env/current_user.h"
#include "player/env/environment.h"

namespace orvtest {

class StubUserName : public orv::CurrentUserNameProvider {
 public:
  std::string currentUserName() const override { return name; }
  void setCurrentUserName(const std::string& n) override { name = n; }
  std::string name;
};

class EnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = tvtest::sandbox().base / "prog";
    std::filesystem::create_directories(program);
    ::setenv(plat::fs::kProgramFolderVariable, program.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv(plat::fs::kProgramFolderVariable);
    ::unsetenv("PUBLIC");
    orv::setCurrentUserNameProvider(nullptr);
    orv::setDefaultUserMaker(nullptr);
    plat::fs::clearFaults();
  }
  std::filesystem::path documents() const { return tvtest::sandbox().home / "Documents"; }
  std::filesystem::path settingsFile() const {
    return tvtest::sandbox().configRoot / "machine" / "Qlonwin.dpl";
  }

  std::filesystem::path program;
};

}  // namespace orvtest
