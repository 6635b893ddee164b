#include "player/shell/auto_install.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"

namespace {

namespace fs = std::filesystem;
using orv::COrv_BookInfo;

struct AutoInstall : ::testing::Test {
  fs::path list = tvtest::sandbox().base / "AUTOINST.TVI";
  void SetUp() override { ASSERT_TRUE(orv::COrv_Environment().CreateDataPath()); }
  std::string setting(const std::string& code, const std::string& key) {
    const fs::path ini = fs::path(orv::COrv_Environment().GetTalvanesPath()) / code / (code + ".ini");
    return plat::profile::getString(ini, "Settings", key, "<none>", 1024);
  }
};

TEST_F(AutoInstall, RegistersUpToTheFirstGap) {
  tvtest::writeFile(list,
                    "[MASTERINDEX]\r\nPath=/media/cd/books\r\n001=alpha\r\n002=Beta\r\n004=GAMMA\r\n003=\r\n"
                    "[alpha]\r\nSourceFile=D:\\Setup\\Tv\\ALPHA.TVL\r\nTitle=First\r\n"
                    "[Beta]\r\nSourceFile=BETA.TVL\r\n"
                    "[GAMMA]\r\nSourceFile=G.TVL\r\n");
  orv::shell::ReadAutoInstallList(list);
  COrv_BookInfo books;
  EXPECT_TRUE(books.IsInstalled("ALPHA"));
  EXPECT_TRUE(books.IsInstalled("BETA"));
  EXPECT_FALSE(books.IsInstalled("GAMMA"));  // after the gap at 003
  EXPECT_EQ(setting("ALPHA", "SourceFile"), "/media/cd/books/ALPHA.TVL");
  EXPECT_EQ(setting("ALPHA", "Title"), "First");
  EXPECT_EQ(setting("BETA", "SourceFile"), "BETA.TVL");  // no folder: kept as it is
  EXPECT_FALSE(fs::exists(list));
}

TEST_F(AutoInstall, EmptySectionMakesTheFolderOnly) {
  tvtest::writeFile(list, "[MASTERINDEX]\r\nPath=/src\r\n001=EMPTY\r\n002=FULL\r\n[EMPTY]\r\n[FULL]\r\nA=1\r\n");
  orv::shell::ReadAutoInstallList(list);
  COrv_BookInfo books;
  EXPECT_FALSE(books.IsInstalled("EMPTY"));
  EXPECT_TRUE(fs::is_directory(fs::path(books.GetTalvanesPath()) / "EMPTY"));
  EXPECT_TRUE(books.IsInstalled("FULL"));
  EXPECT_EQ(setting("FULL", "A"), "1");
}

TEST_F(AutoInstall, NoPathOrBadCodeChangesNothing) {
  tvtest::writeFile(list, "[MASTERINDEX]\r\n001=ALPHA\r\n[ALPHA]\r\nA=1\r\n");
  orv::shell::ReadAutoInstallList(list);
  EXPECT_FALSE(fs::exists(list));
  EXPECT_EQ(COrv_BookInfo().GetInstalledCount(), 0);

  tvtest::writeFile(list, "[MASTERINDEX]\r\nPath=/src\r\n001=../x\r\n002=OK\r\n[../x]\r\nA=1\r\n[OK]\r\nA=2\r\n");
  orv::shell::ReadAutoInstallList(list);
  COrv_BookInfo books;
  EXPECT_TRUE(books.IsInstalled("OK"));
  EXPECT_EQ(books.GetInstalledCount(), 1);
  EXPECT_FALSE(fs::exists(fs::path(books.GetTalvanesPath()).parent_path() / "x"));

  orv::shell::ReadAutoInstallList(list);  // gone: nothing happens
}

}  // namespace
