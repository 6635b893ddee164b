// The real player opens a book with a picture spot on its opening trigger:
// it starts the viewer from its own folder with the picture centred on the
// screen at the spot's size, and the viewer shows it there.

#include <gtest/gtest.h>

#include <signal.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QScreen>
#include <QThread>
#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fs/program_folder.h"
#include "platform/ipc/presence.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "tools/demo/spot_book.h"

namespace {

namespace fs = std::filesystem;

// The words of the detail of the first "event <name>" line of the log.
std::vector<std::string> eventWords(const fs::path& log, const std::string& name) {
  std::istringstream lines(tvtest::readFile(log));
  std::string line;
  const std::string prefix = "event\t" + name + "\t";
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::istringstream words(line.substr(prefix.size()));
    std::vector<std::string> out;
    for (std::string w; words >> w;) out.push_back(w);
    return out;
  }
  return {};
}

bool processGone(long long pid, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
    QThread::msleep(20);
  }
  return false;
}

struct SpotViewerAtOpen : ::testing::Test {
  fs::path log = tvtest::sandbox().base / "events.log";
  QProcessEnvironment env = tvtest::testModeEnvironment(log.string());

  void SetUp() override {
    ASSERT_EQ(run({"-instal"}), 0);
    const fs::path packet = tvtest::sandbox().base / "spots.tpk";
    std::string error;
    ASSERT_TRUE(tvtools::demo::writeSpotPacket(packet, error)) << error;
    ASSERT_EQ(run({"-load", QString::fromStdString(packet.string()), "-nostart"}), 0);
  }
  int run(const QStringList& args) {
    tvtest::ChildProcess orvex(TV_ORVEX, args, QProcess::ForwardedChannels, env);
    return orvex.exitCode(120000);
  }
  std::vector<std::string> waitForEvent(const std::string& name, int timeoutMs = 60000) {
    QElapsedTimer t;
    t.start();
    std::vector<std::string> words;
    while ((words = eventWords(log, name)).empty() && t.elapsed() < timeoutMs) QThread::msleep(20);
    return words;
  }
};

TEST_F(SpotViewerAtOpen, TheViewerShowsThePictureCentredOnTheScreen) {
  tvtest::ChildProcess orvex(TV_ORVEX, {"-tv", tvtools::demo::kSpotBookCode}, QProcess::ForwardedChannels, env);
  const std::vector<std::string> started = waitForEvent("viewer");
  ASSERT_EQ(started.size(), 7u) << "the viewer was not started, or with another command line";

  // From the program folder, on the spot's picture written out for it.
  EXPECT_EQ(fs::canonical(started[0]), fs::canonical(fs::path(TV_PROGRAM_DIR) / "pelvara"));
  const fs::path picture = plat::fs::privateFolder("spots") / tvtools::demo::kSpotFileName;
  EXPECT_EQ(started[1], picture.string());
  EXPECT_EQ(tvtest::readFile(picture), tvtools::demo::spotPicture());

  // The window of the spot's size centred on the screen the player runs on
  // (the same platform as this test's), for ten seconds.
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  const int left = (screen.width() - tvtools::demo::kSpotWidth) / 2;
  const int top = (screen.height() - tvtools::demo::kSpotHeight) / 2;
  EXPECT_EQ(std::vector<std::string>(started.begin() + 2, started.end()),
            (std::vector<std::string>{std::to_string(left), std::to_string(top),
                                      std::to_string(left + tvtools::demo::kSpotWidth),
                                      std::to_string(top + tvtools::demo::kSpotHeight), "10000"}));

  const std::vector<std::string> window = waitForEvent("viewer window");
  ASSERT_EQ(window.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(window.begin() + 1, window.end()),
            (std::vector<std::string>{std::to_string(left), std::to_string(top),
                                      std::to_string(tvtools::demo::kSpotWidth),
                                      std::to_string(tvtools::demo::kSpotHeight)}));
  ASSERT_FALSE(waitForEvent("opened").empty());

  // The viewer closes on request; the player goes on and ends normally.
  const long long viewerPid = std::stoll(window[0]);
  EXPECT_TRUE(plat::ipc::requestClose("ClsPelvara", 10000));
  EXPECT_TRUE(processGone(viewerPid, 10000));
  ASSERT_TRUE(plat::ipc::requestClose("Kestrelle", 10000));
  EXPECT_EQ(orvex.exitCode(), 0);
  if (!processGone(viewerPid, 0)) ::kill(static_cast<pid_t>(viewerPid), SIGKILL);
}

}  // namespace
