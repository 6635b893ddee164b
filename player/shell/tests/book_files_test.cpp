#include "player/shell/book_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "player/shell/command_line.h"
#include "tools/book/book_fixture.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using orv::shell::BookFileServices;

// Registers what it is given under `code`, as the installer would.
struct CountingInstaller : orv::shell::BookInstaller {
  std::vector<fs::path> files;
  std::string code;
  int answer = 1;
  int InstallFile(const fs::path& path) override {
    files.push_back(path);
    if (!code.empty() && answer != 0) orv::COrv_BookInfo().Register(code, path.string(), 0, false);
    return answer;
  }
};

tvtools::book::Book book(const std::string& code, const std::string& title) {
  tvtools::book::Book b;
  b.code = code;
  b.title = title;
  b.echomarks.resize(1);
  b.echomarks[0].wordText = "One sentence.";
  return b;
}

struct BookFiles : ::testing::Test {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  CountingInstaller installer;
  BookFileServices services{installer};
  fs::path tmp = tvtest::sandbox().tmp;
  fs::path install;

  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    install = orv::COrv_Environment().GetInstallPath();
  }

  fs::path packet(const std::string& name, const std::string& code) {
    tvtools::PacketSpec spec;
    tvtools::PacketBook b;
    b.code = code;
    b.title = "Packet book";
    b.members.push_back({"ID ", std::string(58, 'x')});
    spec.books.push_back(b);
    const fs::path p = tmp / name;
    EXPECT_TRUE(tvtools::writePacket(p, spec));
    return p;
  }
  fs::path library(const std::string& name, const std::vector<tvtools::book::Book>& books) {
    const fs::path p = tmp / name;
    std::string error;
    EXPECT_TRUE(tvtools::book::writeLibraryFile(p, books, error)) << error;
    return p;
  }
};

TEST_F(BookFiles, CodesOfPacketsAndLibraries) {
  std::string code;
  fs::path p = packet("pk.tpk", "PKA");
  ASSERT_TRUE(services.ReadPacketCode(p, code));
  EXPECT_EQ(code, "PKA");
  EXPECT_EQ(p, tmp / "pk.tpk");

  const fs::path lib = library("two.tvl", {book("LIBA", "First"), book("LIBB", "Second")});
  ASSERT_TRUE(services.ReadLibraryCode(lib, code));
  EXPECT_EQ(code, "LIBA");

  // A book content file that came as a packet is installed as a library
  // from a copy in the BackUp folder, which is read instead; the file
  // itself stays as it was, and no other copy is left.
  fs::copy_file(lib, tmp / "asPacket.tpk");
  const std::string bytes = tvtest::readFile(lib);
  const fs::path backup = orv::COrv_Environment().GetBackUpPath(true);
  p = tmp / "asPacket.tpk";
  code.clear();
  ASSERT_TRUE(services.ReadPacketCode(p, code));
  EXPECT_EQ(code, "LIBA");
  EXPECT_EQ(p, backup / "asPacket.tvl");
  EXPECT_EQ(installer.files, std::vector<fs::path>{backup / "asPacket.tvl"});
  EXPECT_EQ(tvtest::readFile(p), bytes);
  EXPECT_EQ(tvtest::readFile(tmp / "asPacket.tpk"), bytes);
  EXPECT_FALSE(fs::exists(tmp / "asPacket.tvl"));
  EXPECT_FALSE(fs::exists(install / "asPacket.tvl"));
  // A different file of that name in the BackUp folder keeps its place.
  tvtest::writeFile(backup / "other.tvl", "a different library");
  fs::copy_file(lib, tmp / "other.tpk");
  p = tmp / "other.tpk";
  ASSERT_TRUE(services.ReadPacketCode(p, code));
  EXPECT_EQ(p, backup / "other (2).tvl");
  EXPECT_EQ(tvtest::readFile(backup / "other.tvl"), "a different library");
  // An installation that fails leaves no copy anywhere.
  installer.answer = 0;
  fs::copy_file(lib, tmp / "refused.tpk");
  p = tmp / "refused.tpk";
  EXPECT_FALSE(services.ReadPacketCode(p, code));
  EXPECT_FALSE(fs::exists(backup / "refused.tvl"));
  EXPECT_FALSE(fs::exists(tmp / "refused.tvl"));
  EXPECT_TRUE(fs::exists(tmp / "refused.tpk"));
  installer.answer = 1;

  // Damaged files give no code.
  tvtest::writeFile(tmp / "bad.tpk", "TPK\0garbage that is no packet");
  tvtest::writeFile(tmp / "bad.tvl", "not a library");
  p = tmp / "bad.tpk";
  EXPECT_FALSE(services.ReadPacketCode(p, code));
  EXPECT_FALSE(services.ReadLibraryCode(tmp / "bad.tvl", code));
}

TEST_F(BookFiles, ShortcutsForTheInstalledBooksOfTheSource) {
  const fs::path lib = library("three.tvl", {book("LIBA", "First"), book("LIBB", "Second"), book("LIBC", "Third")});
  const fs::path menu = tvtest::sandbox().base / "menu";
  orv::COrv_Environment().SetInstallMenuFolder(menu.string());
  for (const char* c : {"LIBA", "LIBB"}) {
    orv::COrv_BookInfo info;
    ASSERT_TRUE(info.Register(c, lib.string(), 0, false));
    ASSERT_TRUE(info.SetTitle(std::string(c) == "LIBA" ? "First" : "Second", -1));
  }
  ASSERT_TRUE(services.CreateShortcuts("LIBA"));
  EXPECT_NE(tvtest::readFile(menu / "First.desktop").find("-tv LIBA"), std::string::npos);
  EXPECT_NE(tvtest::readFile(menu / "Second.desktop").find("-tv LIBB"), std::string::npos);
  EXPECT_FALSE(fs::exists(menu / "Third.desktop"));  // in the file, not installed

  EXPECT_FALSE(services.CreateShortcuts("NOPE"));
  orv::COrv_BookInfo().Register("NOSRC", "", 0, false);
  EXPECT_FALSE(services.CreateShortcuts("NOSRC"));
}

TEST_F(BookFiles, LoadSwitchInstallsARealPacket) {
  const fs::path p = packet("tvpkb.tpk", "PKB");
  installer.code = "PKB";
  COrv_CommandLineInfo cmd;
  cmd.Parse({"-load", p.string()});
  EXPECT_TRUE(orv::shell::LoadFromCommandLine(cmd, services));
  ASSERT_EQ(installer.files.size(), 1u);
  EXPECT_EQ(installer.files[0], install / "TVPKB.TPK");
  EXPECT_EQ(cmd.m_strBook, "PKB");
  EXPECT_EQ(cmd.m_bBook, 1);

  // Installed already: nothing is installed again.
  COrv_CommandLineInfo again;
  again.Parse({"-load", p.string(), "-nopen"});
  EXPECT_TRUE(orv::shell::LoadFromCommandLine(again, services));
  EXPECT_EQ(installer.files.size(), 1u);
  EXPECT_EQ(again.m_strBook, "");
}

}  // namespace
