// The real player when its sound server goes away and comes back: orvex on
// a private X server, driven by real key presses (xdotool), on a sound
// server of this test's own that the test kills by its pid file and starts
// again. What the learner hears is recorded from the server's monitor.
// The server stays away longer than the sound system's own single retry
// (3 s after the loss), so that only the player's reconnection brings the
// sound back.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/program_folder.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"
#include "tools/demo/tests/e2e/desktop.h"
#include "tools/demo/tests/e2e/player_screen.h"
#include "tools/demo/tests/e2e/sound.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kMainTitle = "Talvane Player - [Ein Morgen in Berlin]";
constexpr double kHeard = 300.0;

using e2e::pump;

long firstLoud(const std::vector<double>& env, std::size_t from = 0) {
  for (std::size_t i = from; i < env.size(); ++i)
    if (env[i] > kHeard) return static_cast<long>(i);
  return -1;
}

class LostServer : public ::testing::Test {
 protected:
  fs::path base = tvtest::sandbox().base;
  fs::path log = base / "events.log";
  e2e::PlayerScreen screen{log};
  e2e::Desktop desktop;
  e2e::NullSink sink;
  fs::path pulse;
  fs::path script = fs::path(TV_SOURCE_DIR) / "scripts" / "null_sink.sh";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  std::unique_ptr<tvtest::ChildProcess> player;

  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "pulseaudio", "parecord"})
      if (!e2e::installed(tool)) GTEST_SKIP() << tool << " is not installed";
    std::string why;
    ASSERT_TRUE(desktop.start(&why)) << why;
    // Under /tmp: the sandbox's folders are too deep for a socket's path.
    pulse = fs::path("/tmp") / ("tv-lost-" + std::to_string(::getpid()));
    const QString server = sink.start(pulse, script);
    ASSERT_FALSE(server.isEmpty()) << "no PulseAudio server could be started";
    env.insert("PULSE_SERVER", server);
    env.insert("DISPLAY", desktop.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("TALVANE_TEST_MODE", "qt");
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    qputenv("PULSE_SERVER", server.toUtf8());
#ifdef TV_SANITIZE
    env.insert("ASAN_OPTIONS", "detect_leaks=0:strict_string_checks=0");
#endif
  }
  void TearDown() override {
    if (player) player.reset();
    sink.stop();
    std::error_code ec;
    if (!pulse.empty()) fs::remove_all(pulse, ec);
  }

  int runOffscreen(const QStringList& args) { return e2e::runOffscreen(TV_ORVEX, env, args); }

  // Kills this test's server (only it: by its own pid file).
  void killServer() {
    const std::string pid = tvtest::readFile(pulse / "pulse" / "pid");
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(::kill(std::stoi(pid), SIGKILL), 0);
    for (int i = 0; i < 50 && ::kill(std::stoi(pid), 0) == 0; ++i) pump(100);
  }
  void startServer() {
    QByteArray out;
    ASSERT_EQ(e2e::run("bash", {QString::fromStdString(script.string()), "start", QString::fromStdString(pulse.string())},
                       60000, &out),
              0)
        << out.toStdString();
  }

  void startPlayer() {
    ASSERT_EQ(runOffscreen({"-instal"}), 0);
    ASSERT_EQ(runOffscreen({"-load", TV_DEMO_PACKET, "-nostart"}), 0);
    player = std::make_unique<tvtest::ChildProcess>(TV_ORVEX, QStringList{"-tv", "DEMO"}, QProcess::ForwardedChannels, env);
    ASSERT_TRUE(screen.waitFor("opened DEMO 1/12", 30000));
    ASSERT_TRUE(desktop.waitForWindow(kMainTitle));
    pump(1500);
  }

  // The server comes back after the sound system's own retry is over; the
  // next Play (F8) must be heard without a restart of the player.
  void expectSoundAfterRestart(const char* monitorFile) {
    pump(4000);
    startServer();
    e2e::Monitor monitor(base / monitorFile);
    ASSERT_TRUE(monitor.start());
    pump(500);
    ASSERT_TRUE(desktop.focus(kMainTitle));
    desktop.key("F8");
    monitor.waitUntil([](const std::vector<double>& heard) { return firstLoud(heard) >= 0; }, 15000);
    const std::vector<double> heard = e2e::envelope(monitor.stop());
    EXPECT_GE(firstLoud(heard), 0) << "nothing is heard after the server came back";
  }

  // Boxes shown since `from` of them had been.
  std::vector<std::string> boxesSince(std::size_t from) const {
    std::vector<std::string> shown = boxes();
    shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(std::min(from, shown.size())));
    return shown;
  }
  bool waitForBoxes(std::size_t count, int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (boxes().size() < count) {
      if (t.elapsed() > timeoutMs) return false;
      pump(100);
    }
    return true;
  }

  std::vector<std::string> boxes() const {
    std::vector<std::string> out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
      if (!e.isBeep && !e.isHelp) out.push_back(e.text);
    return out;
  }
  // The learner's takes in the temporary folder, by size.
  std::vector<std::uintmax_t> takes() const {
    std::vector<std::uintmax_t> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(plat::fs::systemTempFolder(), ec))
      if (e.path().filename().string().rfind("~ov", 0) == 0) out.push_back(e.file_size());
    return out;
  }
};

TEST_F(LostServer, ATakeSurvivesTheLossAndSoundComesBackWithTheServer) {
  ASSERT_NO_FATAL_FAILURE(startPlayer());
  const size_t boxesBefore = boxes().size();

  // Record (F11), the server goes away, Stop (F10): the player lives on,
  // says once that the device is not available, and keeps the take.
  ASSERT_TRUE(desktop.focus(kMainTitle));
  desktop.key("F11");
  pump(1200);
  killServer();
  pump(500);
  desktop.key("F10");
  pump(1500);
  ASSERT_FALSE(player->finished(1)) << "the player died when the server went away";
  EXPECT_EQ(boxesSince(boxesBefore), std::vector<std::string>{"Audio device not available"});
  const std::vector<std::uintmax_t> kept = takes();
  ASSERT_EQ(kept.size(), 1u) << "the take was not kept";
  EXPECT_GT(kept[0], 44u + 22050u) << "the take lost what was recorded before the loss";

  const size_t boxesAfterLoss = boxes().size();
  ASSERT_NO_FATAL_FAILURE(expectSoundAfterRestart("after-take.raw"));
  EXPECT_EQ(boxesSince(boxesAfterLoss), std::vector<std::string>{});
  EXPECT_FALSE(player->finished(1));
}

TEST_F(LostServer, APlayCutByTheLossIsToldOnceAndSoundComesBackWithTheServer) {
  ASSERT_NO_FATAL_FAILURE(startPlayer());
  const size_t boxesBefore = boxes().size();

  // Loop (F6) and Play (F8), the server goes away under the play: the
  // player lives on and says once that the device is not available (when
  // the play is overdue), never "Unknown error".
  ASSERT_TRUE(desktop.focus(kMainTitle));
  desktop.key("F6");
  desktop.key("F8");
  pump(400);
  killServer();
  EXPECT_TRUE(waitForBoxes(boxesBefore + 1, 60000)) << "the lost play was never told";
  pump(3000);  // time for a second box, which must not come
  ASSERT_FALSE(player->finished(1)) << "the player died when the server went away";
  EXPECT_EQ(boxesSince(boxesBefore), std::vector<std::string>{"Audio device not available"});

  // Loop off again, so that only the next Play is heard.
  desktop.key("F6");
  const size_t boxesAfterLoss = boxes().size();
  ASSERT_NO_FATAL_FAILURE(expectSoundAfterRestart("after-play.raw"));
  EXPECT_EQ(boxesSince(boxesAfterLoss), std::vector<std::string>{});
  EXPECT_FALSE(player->finished(1));
}

}  // namespace
