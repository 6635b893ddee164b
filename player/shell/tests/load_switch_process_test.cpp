// The load switch of the real program, one bad input after another: what
// the user is told, the exit code, and the data path and the user's own
// folder before and after, byte for byte.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;

// The size and a hash of a file's bytes: listings stay readable.
std::string digest(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return std::to_string(bytes.size()) + " bytes, " + std::to_string(h);
}

// Every file below `folder` with its bytes (as a digest; folders end in
// '/'), links with their target.
std::map<std::string, std::string> listing(const fs::path& folder) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  if (!fs::exists(folder, ec)) return out;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), folder).string();
    if (it->is_symlink()) {
      out[rel] = "-> " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      out[rel + "/"] = "";
    } else if (it->is_regular_file()) {
      out[rel] = digest(tvtest::readFile(it->path()));
    } else {
      out[rel] = "(special)";
    }
  }
  return out;
}

struct RunResult {
  int exitCode = -1;
  std::string error;  // standard error
};

struct LoadSwitchProcess : ::testing::Test {
  fs::path base = tvtest::sandbox().base;
  fs::path user = base / "work";  // the user's own folder
  fs::path log = base / "events.log";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  fs::path data;

  void SetUp() override {
    env.insert("TALVANE_TEST_MODE", "silent");
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    fs::create_directories(user / "some" / "folder");
    ASSERT_EQ(run({"-instal"}).exitCode, 0);
    data = orv::COrv_Environment().GetDataPath();
    ASSERT_FALSE(data.empty());
  }

  RunResult run(const std::vector<std::string>& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(user.string()));
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    p.start(TV_ORVEX, list);
    RunResult r;
    if (!p.waitForFinished(60000)) {
      p.kill();
      p.waitForFinished();
      return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.error = p.readAllStandardError().toStdString();
    return r;
  }

  // The texts of the message boxes shown since the log was last read.
  std::vector<std::string> boxes() {
    std::vector<std::string> out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
      if (!e.isBeep && !e.isHelp) out.push_back(e.text);
    fs::remove(log);
    return out;
  }

  fs::path library(const fs::path& at, const std::string& code) {
    std::string error;
    EXPECT_TRUE(tvtools::book::writeLibraryFile(at, {installtest::referenceBook(code)}, error)) << error;
    return at;
  }
};

TEST_F(LoadSwitchProcess, BadInputsAreRefusedOnceWithExitCodeOneAndTouchNothing) {
  // The machine hive must survive any "@@@" name.
  const fs::path machineHive = plat::fs::machineSettingsFolder() / "HKEY_LOCAL_MACHINE.hive";
  ASSERT_TRUE(fs::exists(machineHive));
  const fs::path settings = plat::fs::machineSettingsFolder() / "Qlonwin.dpl";
  if (!fs::exists(settings)) tvtest::writeFile(settings, "[Datapath]\r\n");

  tvtest::writeFile(user / "notes.txt", std::string(100000, 'n'));
  tvtest::writeFile(user / "noextension", "CD");
  tvtest::writeFile(user / "TPKNEW.TPK", "TPK");
  ASSERT_EQ(::mkfifo((user / "pipe.tpk").c_str(), 0644), 0);
  // A library cut in half.
  const fs::path whole = library(base / "whole.tvl", "CUTB");
  const std::string bytes = tvtest::readFile(whole);
  tvtest::writeFile(user / "cut.tvl", bytes.substr(0, bytes.size() / 2));
  tvtest::writeFile(user / "garbage.tpk", "TPK\0 this is no packet at all");

  struct Case {
    const char* what;
    std::string file;
    std::string told;  // on standard error ("" none)
    bool box;          // whether the installer or reader shows a box
  };
  const std::vector<Case> cases{
      {"machine hive through @@@", "@@@HKEY_LOCAL_MACHINE.hive", "indirection file names no packet", false},
      {"settings through @@@", "@@@Qlonwin.dpl", "indirection file names no packet", false},
      {"path through @@@", "@@@../machine/Qlonwin.dpl", "indirection file names no packet", false},
      {"missing @@@ file", "@@@nothing.txt", "the file was not found", false},
      {"missing file", "absent.tpk", "the file was not found", false},
      {"a folder", "some/folder/", "this is a folder, not a file", false},
      {"a special file", "pipe.tpk", "the file cannot be read", false},
      {"a text file", "notes.txt", "only packet (.tpk) and library (.tvl) files", false},
      {"no extension", "noextension", "only packet (.tpk) and library (.tvl) files", false},
      {"TPK name not installed", "TPKNEW.TPK", "the Talvane this packet names is not installed", false},
      {"a library cut in half", "cut.tvl", "", true},
      {"a damaged packet", "garbage.tpk", "", true},
  };
  for (const Case& c : cases) {
    const auto dataBefore = listing(data), userBefore = listing(user), machineBefore = listing(plat::fs::machineSettingsFolder());
    boxes();
    const RunResult r = run({"-load", c.file});
    EXPECT_EQ(r.exitCode, 1) << c.what << "\n" << r.error;
    if (c.told.empty()) {
      EXPECT_EQ(r.error.find("orvex: "), std::string::npos) << c.what << ": " << r.error;
    } else {
      // One line, naming the user's own file.
      EXPECT_NE(r.error.find("orvex: " + c.file + ": "), std::string::npos) << c.what << ": " << r.error;
      EXPECT_NE(r.error.find(c.told), std::string::npos) << c.what << ": " << r.error;
      EXPECT_EQ(r.error.find("orvex: ", r.error.find("orvex: ") + 1), std::string::npos) << c.what << ": " << r.error;
    }
    const std::vector<std::string> shown = boxes();
    EXPECT_EQ(shown.size(), c.box ? 1u : 0u) << c.what;
    for (const std::string& text : shown)
      EXPECT_NE(text.find(c.file), std::string::npos) << c.what << ": the box names " << text;
    EXPECT_EQ(listing(data), dataBefore) << c.what;
    EXPECT_EQ(listing(user), userBefore) << c.what;
    EXPECT_EQ(listing(plat::fs::machineSettingsFolder()), machineBefore) << c.what;
  }
  EXPECT_TRUE(fs::is_directory(data / "Install"));
  std::vector<std::string> codes;
  EXPECT_EQ(orv::COrv_BookInfo().GetInstalledBooks(codes), 0);
}

// A library named without a folder is installed from a copy: the user's
// file stays where it was, also when the same file lies in BackUp already.
TEST_F(LoadSwitchProcess, TheUsersOwnFileIsNeverMovedOrDeleted) {
  library(user / "mybook.tvl", "MYBOOK");
  const auto userBefore = listing(user);
  RunResult r = run({"-load", "mybook.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_EQ(listing(user), userBefore);
  EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("MYBOOK"));

  // Again, with the identical file in BackUp and the book installed.
  r = run({"-load", "mybook.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_EQ(listing(user), userBefore);

  // An indirection file that names it is used once and removed; the file
  // it names stays.
  fs::create_directories(plat::fs::windowsFolder());
  tvtest::writeFile(plat::fs::windowsFolder() / "next.txt", (user / "mybook.tvl").string() + "\n");
  r = run({"-load", "@@@next.txt", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_FALSE(fs::exists(plat::fs::windowsFolder() / "next.txt"));
  EXPECT_EQ(listing(user), userBefore);
}

}  // namespace
