// Two real orvex processes in test mode: the silent audio backend, the
// scripted message sink, and a shared log of what each of them did.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc/presence.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "player/shell/login_dlg.h"

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
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

  void SetUp() override {
    env.insert("TALVANE_TEST_MODE", "silent");
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
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

}  // namespace
