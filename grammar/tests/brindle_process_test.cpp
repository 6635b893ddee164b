// The real brindle program beside a stand-in player: it runs only while a
// player runs, only once, serves the player's DDE requests and cleans up
// when the player closes it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTest>
#include <filesystem>

#include "grammar/tests/page_fixture.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/presence.h"
#include "platform/testing/child_process.h"
#include "platform/ui/test_mode.h"

namespace fs = std::filesystem;
using brindletest::PageFolder;
using tvtest::ChildProcess;

namespace {

class BrindleProcessTest : public ::testing::Test {
 protected:
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(plat::fs::kProgramFolderVariable, QString::fromStdString(folder.program.string()));
    env.insert(plat::ui::kTestModeVariable, "silent");
    env.insert(plat::ui::kTestLogVariable, QString::fromStdString(log.string()));
    return env;
  }
  std::vector<std::string> loggedTexts() const {
    std::vector<std::string> out;
    if (!fs::exists(log)) return out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log))) out.push_back(e.text);
    return out;
  }
  std::unique_ptr<ChildProcess> startBrindle() { return startBrindleWith(environment()); }
  static std::unique_ptr<ChildProcess> startBrindleWith(const QProcessEnvironment& env) {
    return std::make_unique<ChildProcess>(TV_BRINDLE, QStringList{}, QProcess::ForwardedChannels, env);
  }
  bool logged(const std::string& line) const {
    return fs::exists(log) && tvtest::readFile(log).find(line) != std::string::npos;
  }

  // Whether the started browser took its class and announced itself ready
  // (it takes the class a moment after it starts).
  static bool browserReady() {
    QElapsedTimer started;
    started.start();
    while (!plat::ipc::findClass("ClsBrindle") && started.elapsed() < 20000) QTest::qWait(10);
    return plat::ipc::waitForReady("ClsBrindle", 20000) == plat::ipc::WAIT_OBJECT_0;
  }

  PageFolder folder;
  fs::path log = tvtest::sandbox().base / "boxes.log";
};

TEST_F(BrindleProcessTest, WithoutAPlayerItEndsAtOnce) {
  auto brindle = startBrindle();
  EXPECT_EQ(brindle->exitCode(), 0);
  EXPECT_TRUE(fs::is_empty(folder.work));
  EXPECT_TRUE(loggedTexts().empty());
}

TEST_F(BrindleProcessTest, RunsOnceServesThePlayerAndCleansUpOnClose) {
  ChildProcess player(TV_IPC_PEER, {"hold", "Kestrelle", "0", "60000"});
  ASSERT_EQ(player.line(), "first");
  auto brindle = startBrindle();
  ASSERT_TRUE(browserReady());
  EXPECT_EQ(tvtest::readFile(folder.work / "0000.htm"), brindletest::kIndexHtml);

  // A second start activates the first and ends.
  auto second = startBrindle();
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(plat::ipc::findClass("ClsBrindle"));

  {
    ChildProcess client(TV_BRINDLE_DDE_CLIENT, {"Brindle", "ChangeGUILang", "3"});
    EXPECT_EQ(client.line(), "exec ok");
  }
  {
    ChildProcess client(TV_BRINDLE_DDE_CLIENT,
                        {"Brindle", "GrammarPage", QString::fromStdString((folder.work / "0012.htm").string())});
    EXPECT_EQ(client.line(), "exec ok");
  }
  // The page's pictures arrive with it.
  QElapsedTimer t;
  t.start();
  while (!fs::exists(folder.work / "Images" / "0012a.png") && t.elapsed() < 10000) QTest::qWait(10);
  EXPECT_TRUE(fs::exists(folder.work / "Images" / "0012a.png"));

  ASSERT_TRUE(plat::ipc::requestClose("ClsBrindle"));
  EXPECT_EQ(brindle->exitCode(), 0);
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));
  EXPECT_FALSE(fs::exists(folder.work / "0000.htm"));
  EXPECT_TRUE(fs::is_empty(folder.work / "Images"));
  EXPECT_TRUE(loggedTexts().empty());
}

TEST_F(BrindleProcessTest, TerminatedItStillCleansUp) {
  ChildProcess player(TV_IPC_PEER, {"hold", "Kestrelle", "0", "60000"});
  ASSERT_EQ(player.line(), "first");
  auto brindle = startBrindle();
  ASSERT_TRUE(browserReady());
  ASSERT_TRUE(fs::exists(folder.work / "0000.htm"));

  brindle->terminate();
  EXPECT_EQ(brindle->exitCode(), 0);
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));
  EXPECT_FALSE(fs::exists(folder.work / "0000.htm"));
}

TEST_F(BrindleProcessTest, AMissingIndexEndsWithCode100) {
  fs::remove(folder.gramm / "0000.cht");
  ChildProcess player(TV_IPC_PEER, {"hold", "Kestrelle", "0", "60000"});
  ASSERT_EQ(player.line(), "first");
  auto brindle = startBrindle();
  EXPECT_EQ(brindle->exitCode(), 100);
  EXPECT_EQ(loggedTexts(), (std::vector<std::string>{"I can't copy the file into Temp dir",
                                                     "An error occured copying the Index"}));
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));
}

TEST_F(BrindleProcessTest, AMissingPageShowsTheShippedStandInFromAPrivateWorkingFolder) {
  // Someone else's open folder at the old shared place is not used.
  const fs::path old = folder.temp / "~tmp";
  fs::create_directories(old);
  ::chmod(old.c_str(), 0777);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(old.c_str(), 65534, 65534), 0);
  }
  // The pages installed with the program.
  QProcessEnvironment env = environment();
  env.insert(plat::fs::kProgramFolderVariable, TV_PROGRAM_DIR);

  ChildProcess player(TV_IPC_PEER, {"hold", "Kestrelle", "0", "60000"});
  ASSERT_EQ(player.line(), "first");
  auto brindle = startBrindleWith(env);
  ASSERT_TRUE(browserReady());
  struct stat st {};
  ASSERT_EQ(::lstat(folder.work.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_TRUE(fs::exists(folder.work / "0000.htm"));

  {
    ChildProcess client(TV_BRINDLE_DDE_CLIENT,
                        {"Brindle", "GrammarPage", QString::fromStdString((folder.work / "0999.htm").string())});
    EXPECT_EQ(client.line(), "exec ok");
  }
  QElapsedTimer t;
  t.start();
  while (!logged("browser title\tPage not available") && t.elapsed() < 20000) QTest::qWait(20);
  EXPECT_TRUE(logged("event\tbrowser page\t0999.htm\n"));
  EXPECT_TRUE(logged("browser title\tPage not available"));
  EXPECT_TRUE(loggedTexts().empty());
  EXPECT_TRUE(fs::is_empty(old));

  ASSERT_TRUE(plat::ipc::requestClose("ClsBrindle"));
  EXPECT_EQ(brindle->exitCode(), 0);
  EXPECT_FALSE(fs::exists(folder.work / "0000.htm"));
}

}  // namespace
