#include "player/shell/load_switch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "player/shell/command_line.h"

namespace {

namespace fs = std::filesystem;
using orv::shell::LoadFromCommandLine;

// Packets and libraries are text files "CODE=<code>"; an installed set and
// a log of what was asked stand in for the installer.
class FakeServices : public orv::shell::LoadSwitchServices {
 public:
  std::set<std::string> installed;
  std::vector<std::string> log;
  bool installFails = false;

  bool IsInstalled(const std::string& code) override { return installed.count(code) > 0; }
  int InstallFile(const fs::path& path) override {
    log.push_back("install " + path.filename().string());
    if (installFails) return 0;
    installed.insert(codeOf(path));
    return 1;
  }
  bool ReadPacketCode(fs::path& path, std::string& code) override {
    code = codeOf(path);
    return !code.empty();
  }
  bool ReadLibraryCode(const fs::path& path, std::string& code) override {
    code = codeOf(path);
    return !code.empty();
  }
  bool CreateShortcuts(const std::string& code) override {
    log.push_back("shortcuts " + code);
    return true;
  }
  static std::string codeOf(const fs::path& path) {
    const std::string text = tvtest::readFile(path);
    return text.rfind("CODE=", 0) == 0 ? text.substr(5) : std::string();
  }
};

struct LoadSwitch : ::testing::Test {
  fs::path base = tvtest::sandbox().base;
  orv::shell::LoadSwitchFolders folders{base / "Install", base / "machine"};
  FakeServices services;
  void SetUp() override {
    fs::create_directories(folders.installFolder);
    fs::create_directories(folders.indirectionFolder);
    tvtest::writeFile(base / "in/book.tpk", "CODE=BOOK");
    tvtest::writeFile(base / "in/lib.TVL", "CODE=LIB");
    tvtest::writeFile(base / "in/TPKDONE.TPK", "CODE=DONE");
    tvtest::writeFile(base / "in/TPKNEW.TPK", "CODE=NEW");
    tvtest::writeFile(base / "in/bad.tpk", "garbage");
    tvtest::writeFile(base / "in/notes.txt", "CODE=TXT");
    services.installed = {"DONE", "OLD"};
  }
  COrv_CommandLineInfo parse(std::vector<std::string> args) {
    COrv_CommandLineInfo c;
    c.Parse(args);
    return c;
  }
};

TEST_F(LoadSwitch, BranchTable) {
  tvtest::writeFile(base / "in/old.tpk", "CODE=OLD");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool result;
    std::string book;  // the book the start-up opens ("" none)
    std::vector<std::string> log;
  } const cases[] = {
      {"packet installed and opened", {"-load", (base / "in/book.tpk").string()}, true, "BOOK",
       {"install BOOK.TPK", "shortcuts BOOK"}},
      {"library", {"-load", (base / "in/lib.TVL").string()}, true, "LIB", {"install LIB.TVL", "shortcuts LIB"}},
      {"already installed: no install", {"-load", (base / "in/old.tpk").string()}, true, "OLD", {"shortcuts OLD"}},
      {"nopen: installed, nothing opened", {"-load", (base / "in/book.tpk").string(), "-nopen"}, true, "",
       {"install BOOK.TPK", "shortcuts BOOK"}},
      {"TPK name of an installed code", {"-load", (base / "in/TPKDONE.TPK").string()}, true, "DONE", {}},
      {"TPK name not installed", {"-load", (base / "in/TPKNEW.TPK").string()}, false, "TPKNEW.TPK", {}},
      {"missing file", {"-load", (base / "in/none.tpk").string()}, false, "", {}},
      {"unreadable packet", {"-load", (base / "in/bad.tpk").string()}, false, "BAD.TPK", {}},
      {"other extension", {"-load", (base / "in/notes.txt").string()}, false, "", {}},
  };
  for (const Case& c : cases) {
    services.log.clear();
    services.installed = {"DONE", "OLD"};
    COrv_CommandLineInfo cmd = parse(c.args);
    EXPECT_EQ(LoadFromCommandLine(cmd, services, folders), c.result) << c.name;
    EXPECT_EQ(cmd.m_strBook, c.book) << c.name;
    EXPECT_EQ(cmd.m_bBook, c.book.empty() ? 0 : 1) << c.name;
    EXPECT_EQ(services.log, c.log) << c.name;
  }
}

TEST_F(LoadSwitch, CopiesIntoTheInstallFolder) {
  COrv_CommandLineInfo cmd = parse({"-load", (base / "in/book.tpk").string()});
  ASSERT_TRUE(LoadFromCommandLine(cmd, services, folders));
  EXPECT_EQ(tvtest::readFile(folders.installFolder / "BOOK.TPK"), "CODE=BOOK");
  EXPECT_TRUE(fs::exists(base / "in/book.tpk"));  // the original stays

  // A TPK name that opens an installed book ends the load switch.
  cmd = parse({"-load", (base / "in/TPKDONE.TPK").string()});
  ASSERT_TRUE(LoadFromCommandLine(cmd, services, folders));
  EXPECT_EQ(cmd.m_bLoad, 0);
  EXPECT_TRUE(cmd.m_strLoadFile.empty());
}

TEST_F(LoadSwitch, FileAlreadyInTheInstallFolderIsKept) {
  const fs::path inPlace = folders.installFolder / "BOOK.TPK";
  tvtest::writeFile(inPlace, "CODE=BOOK");
  COrv_CommandLineInfo cmd = parse({"-load", inPlace.string()});
  ASSERT_TRUE(LoadFromCommandLine(cmd, services, folders));
  EXPECT_EQ(tvtest::readFile(inPlace), "CODE=BOOK");
  EXPECT_EQ(services.log, (std::vector<std::string>{"install BOOK.TPK", "shortcuts BOOK"}));
}

TEST_F(LoadSwitch, InstallFailureEndsTheStart) {
  services.installFails = true;
  COrv_CommandLineInfo cmd = parse({"-load", (base / "in/book.tpk").string()});
  EXPECT_FALSE(LoadFromCommandLine(cmd, services, folders));
}

TEST_F(LoadSwitch, IndirectionFile) {
  tvtest::writeFile(folders.indirectionFolder / "next.txt", (folders.installFolder / "BOOK.TPK").string() + "\r\nrest\r\n");
  tvtest::writeFile(folders.installFolder / "BOOK.TPK", "CODE=BOOK");
  COrv_CommandLineInfo cmd = parse({"-load", "@@@next.txt"});
  ASSERT_TRUE(LoadFromCommandLine(cmd, services, folders));
  EXPECT_EQ(cmd.m_strBook, "BOOK");
  EXPECT_FALSE(fs::exists(folders.indirectionFolder / "next.txt"));

  // Names that would leave the folder are refused and touch nothing.
  tvtest::writeFile(base / "outside.txt", (folders.installFolder / "BOOK.TPK").string());
  for (const char* name : {"@@@../outside.txt", "@@@sub\\x", "@@@", "@@@.."}) {
    cmd = parse({"-load", name});
    EXPECT_FALSE(LoadFromCommandLine(cmd, services, folders)) << name;
  }
  EXPECT_TRUE(fs::exists(base / "outside.txt"));
  cmd = parse({"-load", "@@@missing.txt"});
  EXPECT_FALSE(LoadFromCommandLine(cmd, services, folders));
}

}  // namespace
