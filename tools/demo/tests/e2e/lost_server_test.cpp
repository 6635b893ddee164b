// The real player when its sound server goes away under a take: orvex on a
// private X server, driven by real key presses (xdotool), on a sound server
// of this test's own that the test kills by its pid file.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>

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

using e2e::pump;

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

TEST_F(LostServer, ATakeSurvivesTheLossOfTheServer) {
  ASSERT_EQ(runOffscreen({"-instal"}), 0);
  ASSERT_EQ(runOffscreen({"-load", TV_DEMO_PACKET, "-nostart"}), 0);
  player = std::make_unique<tvtest::ChildProcess>(TV_ORVEX, QStringList{"-tv", "DEMO"}, QProcess::ForwardedChannels, env);
  ASSERT_TRUE(screen.waitFor("opened DEMO 1/12", 30000));
  ASSERT_TRUE(desktop.waitForWindow(kMainTitle));
  pump(1500);
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
  std::vector<std::string> shown = boxes();
  shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(boxesBefore));
  EXPECT_EQ(shown, std::vector<std::string>{"Audio device not available"});
  const std::vector<std::uintmax_t> kept = takes();
  ASSERT_EQ(kept.size(), 1u) << "the take was not kept";
  EXPECT_GT(kept[0], 44u + 22050u) << "the take lost what was recorded before the loss";

  EXPECT_FALSE(player->finished(1));
}

}  // namespace
