// Two real orvex processes in test mode: the silent audio backend, the
// scripted message sink, and a shared log of what each of them did.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "grammar/tests/page_fixture.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/atoms.h"
#include "platform/ipc/presence.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "player/book/quote_info.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "player/shell/app.h"
#include "player/shell/login_dlg.h"
#include "platform/ui/test_mode.h"

namespace {

namespace fs = std::filesystem;

// One run of the player in test mode, its output passed through.
struct Orvex : tvtest::ChildProcess {
  Orvex(const QStringList& args, const QProcessEnvironment& env)
      : ChildProcess(TV_ORVEX, args, QProcess::ForwardedChannels, env) {}
  // The exit code, or -1 when it has not ended within the time.
  int finished(int timeoutMs = 60000) { return exitCode(timeoutMs); }
};

struct OrvexProcesses : ::testing::Test {
  fs::path log = tvtest::sandbox().base / "events.log";
  QProcessEnvironment env = tvtest::testModeEnvironment(log.string());

  void SetUp() override {
    // The installation beside the program, as its own -instal leaves it.
    Orvex instal({"-instal"}, env);
    ASSERT_EQ(instal.finished(), 0);
  }

  // The "event" lines of the log, as "name detail".
  std::vector<std::string> events() const {
    std::vector<std::string> out;
    const std::string text = tvtest::readFile(log);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t nl = text.find('\n', start);
      if (nl == std::string::npos) nl = text.size();
      const std::string line = text.substr(start, nl - start);
      start = nl + 1;
      if (line.rfind("event\t", 0) != 0) continue;
      std::string rest = line.substr(6);
      const std::size_t tab = rest.find('\t');
      if (tab != std::string::npos) rest[tab] = ' ';
      while (!rest.empty() && rest.back() == ' ') rest.pop_back();
      out.push_back(rest);
    }
    return out;
  }
  bool has(const std::string& event) const {
    for (const std::string& e : events())
      if (e == event) return true;
    return false;
  }
  bool waitFor(const std::string& event, int timeoutMs = 60000) const {
    QElapsedTimer t;
    t.start();
    while (!has(event) && t.elapsed() < timeoutMs) QThread::msleep(20);
    return has(event);
  }
  int indexOf(const std::string& event) const {
    const auto e = events();
    for (std::size_t i = 0; i < e.size(); ++i)
      if (e[i] == event) return static_cast<int>(i);
    return -1;
  }
};

TEST_F(OrvexProcesses, SecondInstanceHandsItsBookToTheFirstAndEnds) {
  ASSERT_TRUE(has("end install"));
  Orvex first({}, env);
  ASSERT_TRUE(waitFor("ready"));
  const fs::path mark = fs::path(orv::COrv_Environment().GetDataPath()) / "active.log";
  EXPECT_TRUE(fs::exists(mark));

  const std::string longCode(100, 'Q');
  for (const std::string& code : {std::string("CODE"), longCode}) {
    Orvex second({"-tv", QString::fromStdString(code)}, env);
    EXPECT_EQ(second.finished(), 0) << code;
    EXPECT_TRUE(waitFor("open " + code)) << code;
  }
  EXPECT_EQ(indexOf("end hand-over") > indexOf("ready"), true);
  EXPECT_TRUE(fs::exists(mark));  // the second instances left it

  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(first.finished(), 0);
  EXPECT_FALSE(fs::exists(mark));
}

TEST_F(OrvexProcesses, SecondInstanceInstallsAPacketThenHandsItsBookOver) {
  Orvex first({}, env);
  ASSERT_TRUE(waitFor("ready"));
  const fs::path packet = tvtest::sandbox().base / "hamlet.tpk";
  ASSERT_TRUE(tvtools::writePacket(packet, installtest::packetSpec("HAMLET")));

  Orvex second({"-load", QString::fromStdString(packet.string())}, env);
  EXPECT_EQ(second.finished(), 0);
  ASSERT_TRUE(waitFor("open HAMLET"));
  // Installed for good: the book opens by its code.
  COrv_Talvane book;
  EXPECT_EQ(book.Open("HAMLET", 0), 1);

  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(first.finished(), 0);
}

TEST_F(OrvexProcesses, HandOverDuringTheLogInDialogIsOpenedAfterIt) {
  orv::COrv_Environment().SetEnabled(orv::shell::kEnableLoginDialog, true);
  const fs::path release = tvtest::sandbox().base / "release";
  env.insert("TALVANE_TEST_LOGIN_RELEASE", QString::fromStdString(release.string()));
  Orvex first({}, env);
  ASSERT_TRUE(waitFor("login shown"));

  Orvex second({"-tv", "LATE"}, env);
  EXPECT_EQ(second.finished(), 0);
  ASSERT_TRUE(waitFor("end hand-over"));
  QThread::msleep(300);
  EXPECT_FALSE(has("open LATE"));  // held while the dialog is up

  tvtest::writeFile(release, "");
  ASSERT_TRUE(waitFor("open LATE"));
  EXPECT_LT(indexOf("login done"), indexOf("ready"));
  EXPECT_LT(indexOf("ready"), indexOf("open LATE"));

  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(first.finished(), 0);
}

// Setting 36 as the running program's store answers it, after each log-in.
TEST_F(OrvexProcesses, TheStoreAnswersTheLoggedInUserAsSettingThirtySix) {
  struct Case {
    const char* what;
    QStringList args;
    const char* user;
  } cases[] = {
      {"a new user made from the command line", {"-us", "Ann", "-pwd", "secret", "-usfc"}, "Ann"},
      {"the same user typed in another case: the name as stored", {"-us", "ann", "-pwd", "secret"}, "Ann"},
      {"a wrong password", {"-us", "Ann", "-pwd", "wrong"}, "Default"},
      {"nobody", {}, "Default"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(log);
    Orvex run(c.args, env);
    ASSERT_TRUE(waitFor("ready"));
    EXPECT_TRUE(has(std::string("user ") + c.user)) << tvtest::readFile(log);
    ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
    EXPECT_EQ(run.finished(), 0);
  }
}

// A data path whose folder name begins or ends with a blank or holds quotes,
// set through the store, is the folder a fresh program uses, twice over:
// its in-use mark and a new user land there, never in a folder of the
// trimmed or unquoted name.
TEST_F(OrvexProcesses, ADataPathWithEdgeBlanksOrQuotesIsTheOneTheNextStartsUse) {
  const fs::path base = tvtest::sandbox().base;
  struct Case {
    std::string folder;
    std::string lookalike;  // what a store that trims or unquotes would read
  } cases[] = {
      {"Lessons ", "Lessons"},
      {" Lessons", "Lessons"},
      {"\"Lessons\"", "Lessons"},
      {"Les \"sons\" ", "Les \"sons\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.folder + "]");
    const std::string wanted = (base / c.folder).string();
    fs::create_directories(wanted);
    {
      orv::COrv_Environment env;
      ASSERT_TRUE(env.SetDataPath(&wanted, true));
    }
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      std::filesystem::remove(log);
      Orvex orvex({"-us", QString("User%1").arg(run), "-pwd", "pw", "-usfc"}, env);
      ASSERT_TRUE(waitFor("ready"));
      EXPECT_TRUE(fs::exists(base / c.folder / "active.log"));
      EXPECT_TRUE(has("user User" + std::to_string(run)));
      ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
      EXPECT_EQ(orvex.finished(), 0);
      EXPECT_FALSE(fs::exists(base / c.folder / "active.log"));
    }
    EXPECT_FALSE(fs::exists(base / c.lookalike));
    EXPECT_EQ(orv::COrv_Environment().ReadDataPath(true), wanted);
    const std::string index = tvtest::readFile(base / c.folder / "Users" / "Index.usr");
    EXPECT_NE(index.find("[User1]"), std::string::npos);
    EXPECT_NE(index.find("[User2]"), std::string::npos);
  }
}

// Whether some event starts with `prefix`.
bool startsAny(const std::vector<std::string>& events, const std::string& prefix) {
  for (const std::string& e : events)
    if (e.rfind(prefix, 0) == 0) return true;
  return false;
}

TEST_F(OrvexProcesses, TheBookOfTheCommandLineOpensAsADocument) {
  const fs::path packet = tvtest::sandbox().base / "hamlet.tpk";
  ASSERT_TRUE(tvtools::writePacket(packet, installtest::packetSpec("HAMLET")));
  Orvex install({"-load", QString::fromStdString(packet.string()), "-nostart"}, env);
  ASSERT_EQ(install.finished(), 0);

  Orvex first({"-tv", "hamlet"}, env);
  ASSERT_TRUE(waitFor("ready"));
  EXPECT_TRUE(has("opened HAMLET 1/2"));
  EXPECT_LT(indexOf("opened HAMLET 1/2"), indexOf("ready"));
  // The introduction the start-up settings ask for comes once the book's
  // window is there.
  if (has("dialog 133")) {
    EXPECT_LT(indexOf("opened HAMLET 1/2"), indexOf("dialog 133"));
  }
  // A code that is not installed opens nothing, silently.
  Orvex second({"-tv", "NOBOOK"}, env);
  EXPECT_EQ(second.finished(), 0);
  ASSERT_TRUE(waitFor("open NOBOOK"));
  // The hand-over of an installed book opens it in the first instance,
  // in place of the one open.
  Orvex third({"-tv", "HAMLET"}, env);
  EXPECT_EQ(third.finished(), 0);
  QElapsedTimer t;
  t.start();
  auto opened = [this] {
    const std::vector<std::string> all = events();
    return std::count(all.begin(), all.end(), "opened HAMLET 1/2");
  };
  while (opened() < 2 && t.elapsed() < 60000) QThread::msleep(20);
  const std::vector<std::string> e = events();
  EXPECT_EQ(std::count(e.begin(), e.end(), "opened HAMLET 1/2"), 2);
  EXPECT_EQ(std::count(e.begin(), e.end(), "closed HAMLET"), 1);
  EXPECT_FALSE(startsAny(e, "opened NOBOOK"));

  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(first.finished(), 0);
  const std::vector<std::string> last = events();
  EXPECT_EQ(std::count(last.begin(), last.end(), "closed HAMLET"), 2);
}

// The player with the grammar browser beside it: a program folder that
// holds the suite's files and the browser's packed pages, and a Spanish
// module for the browser's title and buttons.
struct OrvexWithBrowser : OrvexProcesses {
  brindletest::PageFolder pages;

  void SetUp() override {
    const fs::path bin = fs::path(TV_ORVEX).parent_path();
    for (const auto& entry : fs::directory_iterator(bin)) {
      const fs::path link = pages.program / entry.path().filename();
      if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(entry.path(), link);
    }
    tvtest::writeFile(pages.program / "Orv_MLSPA.res",
                      "TVRES 1\nstring 20101 Atrás\nstring 20102 Ir a la página de inicio\nstring 20103 Adelante\n"
                      "string 20104 Actualizar\nstring 20105 Siempre visible\nstring 20106 Gramática\n");
    env.insert(plat::fs::kProgramFolderVariable, QString::fromStdString(pages.program.string()));
    OrvexProcesses::SetUp();
  }
  // A browser left by a failed test would hold the test's output open.
  void TearDown() override {
    if (plat::ipc::findClass("ClsBrindle")) plat::ipc::requestClose("ClsBrindle", 5000);
    QElapsedTimer t;
    t.start();
    while (plat::ipc::findClass("ClsBrindle") && t.elapsed() < 10000) QThread::msleep(20);
  }
  bool waitForCount(const std::string& event, int n, int timeoutMs = 60000) const {
    QElapsedTimer t;
    t.start();
    while (count(event) < n && t.elapsed() < timeoutMs) QThread::msleep(20);
    return count(event) == n;
  }
  // Asks the running player to carry out command `id` (wParam 0 with a page:
  // a word's grammar link).
  static bool command(uint64_t id, const std::string& page = {}) {
    const plat::ipc::UINT message = plat::ipc::RegisterWindowMessage(orv::shell::kTestCommandMessage);
    const plat::ipc::ATOM atom = page.empty() ? 0 : plat::ipc::GlobalAddAtom(page.c_str());
    const bool posted = plat::ipc::postRegisteredMessage("Kestrelle", message, id, atom, 10000);
    if (atom != 0) plat::ipc::GlobalDeleteAtom(atom);
    return posted;
  }
  int count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& e : events()) n += e.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  std::vector<std::string> boxes() const {
    std::vector<std::string> out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
      if (!e.text.empty()) out.push_back(e.text);
    return out;
  }
};

TEST_F(OrvexWithBrowser, CtrlF2StartsTheBrowserThatFollowsThePlayerAndClosesWithIt) {
  orv::COrv_Environment().SetInterfaceLanguage(3);
  Orvex player({}, env);
  ASSERT_TRUE(waitFor("ready"));

  // Shift+F2 with no browser: nothing.
  ASSERT_TRUE(command(228));
  ASSERT_TRUE(waitFor("command 228 done"));
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));

  // Ctrl+F2: the browser starts, takes the player's language, then shows
  // the index.
  ASSERT_TRUE(command(229));
  ASSERT_TRUE(waitFor("browser page 0000.htm"));
  const std::string spanish =
      "browser language 3 Gramática|Atrás|Adelante|Actualizar|Ir a la página de inicio|Siempre visible";
  ASSERT_TRUE(has(spanish));
  EXPECT_LT(indexOf(spanish), indexOf("browser page 0000.htm"));
  EXPECT_TRUE(plat::ipc::findClass("ClsBrindle"));

  // A word's grammar page goes to the running browser, with its pictures:
  // the player names it in the browser's own working folder.
  const std::string wordPage = COrv_QuoteInfo::GrammarPagePath("12");
  EXPECT_EQ(fs::path(wordPage), pages.work / "0012.htm");
  ASSERT_TRUE(command(0, wordPage));
  ASSERT_TRUE(waitFor("grammar page delivered"));
  ASSERT_TRUE(waitFor("browser page 0012.htm"));
  EXPECT_TRUE(fs::exists(pages.work / "Images" / "0012a.png"));

  // A second Ctrl+F2 and a Shift+F2 reach the same browser: it started once.
  ASSERT_TRUE(command(229));
  ASSERT_TRUE(command(228));
  ASSERT_TRUE(waitForCount("command 228 done", 2));
  EXPECT_EQ(count("browser language 0 "), 1);
  EXPECT_EQ(count("browser page 0000.htm"), 2);

  // Closing the player closes the browser, which cleans up its pages.
  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(player.finished(), 0);
  QElapsedTimer t;
  t.start();
  while (plat::ipc::findClass("ClsBrindle") && t.elapsed() < 20000) QThread::msleep(20);
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));
  EXPECT_FALSE(fs::exists(pages.work / "0000.htm"));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(OrvexWithBrowser, ABrowserThatNeverAnswersIsToldAndThePlayerGoesOn) {
  // A "browser" that starts and never takes its class.
  const fs::path pidFile = tvtest::sandbox().base / "browser.pid";
  fs::remove(pages.program / "brindle");
  tvtest::writeFile(pages.program / "brindle", "#!/bin/sh\necho $$ > '" + pidFile.string() + "'\nexec sleep 60\n");
  fs::permissions(pages.program / "brindle", fs::perms::owner_all);
  env.insert("TALVANE_TEST_BROWSER_WAIT_MS", "1500");
  Orvex player({}, env);
  ASSERT_TRUE(waitFor("ready"));

  ASSERT_TRUE(command(229));
  ASSERT_TRUE(waitFor("command 229 done"));
  EXPECT_EQ(boxes(), std::vector<std::string>{"Player Error !\n\nI can't find the Grammar Browser"});
  // The player still answers.
  ASSERT_TRUE(command(230));
  EXPECT_TRUE(waitFor("command 230 done"));
  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(player.finished(), 0);
  const std::string pid = tvtest::readFile(pidFile);
  if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
}

TEST_F(OrvexWithBrowser, ABrowserThatEndsWithItsOwnMessageGetsNoSecondOne) {
  // Without its index page the browser tells the learner and ends.
  fs::remove(pages.gramm / "0000.cht");
  Orvex player({}, env);
  ASSERT_TRUE(waitFor("ready"));
  ASSERT_TRUE(command(229));
  ASSERT_TRUE(waitFor("command 229 done"));
  EXPECT_EQ(boxes(), (std::vector<std::string>{"I can't copy the file into Temp dir",
                                               "An error occured copying the Index"}));
  EXPECT_FALSE(plat::ipc::findClass("ClsBrindle"));
  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(player.finished(), 0);
}

}  // namespace
