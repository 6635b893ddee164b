// Questions dismissed on the real player, and Exit with a help window open:
// orvex under a private X server, showing its message boxes and help
// windows for real, driven by real key presses, clicks and close requests
// (the message a window manager sends when a window's close button is
// pressed). What the learner owns is read from the disk before and after.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"
#include "player/env/environment.h"
#include "tools/demo/tests/e2e/desktop.h"
#include "tools/demo/tests/e2e/player_screen.h"

namespace {

namespace fs = std::filesystem;
using e2e::PlayerScreen;
using e2e::Shown;

constexpr const char* kFrameTitle = "Talvane Player";
constexpr const char* kCatalogue = "Catalogue";
constexpr const char* kBookTitle = "Ein Morgen in Berlin";
// The installed-book index, the book's library and its folder, from the
// data folder.
constexpr const char* kIndex = "Talvanes/Index.tvk";
constexpr const char* kLibrary = "Talvanes/Ein Morgen in Berlin.tvl";
constexpr const char* kBookFolder = "Talvanes/DEMO";

using e2e::pump;

using tvtest::filesUnder;
using tvtest::listing;

class Dismissal : public ::testing::Test {
 protected:
  fs::path base = tvtest::sandbox().base;
  fs::path log = base / "events.log";
  PlayerScreen screen{log};
  e2e::Desktop desktop;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  std::unique_ptr<tvtest::ChildProcess> player;
  fs::path data;
  // Screenshots to look at, in the build folder.
  fs::path shots = fs::path(TV_BUILD_DIR) / "e2e-shots-dismissal";

  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool"})
      if (!e2e::installed(tool)) GTEST_SKIP() << tool << " is not installed";
    std::string why;
    ASSERT_TRUE(desktop.start(&why)) << why;
    fs::create_directories(shots);
    env.insert("DISPLAY", desktop.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("TALVANE_TEST_MODE", "silent");
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    // The boxes and help windows are the real ones, answered by the keys,
    // clicks and close requests below.
    env.insert(plat::ui::kTestShownVariable, "boxes help");
#ifdef TV_SANITIZE
    env.insert("ASAN_OPTIONS", "detect_leaks=0:strict_string_checks=0");
#endif
    ASSERT_EQ(e2e::runOffscreen(TV_ORVEX, env, {"-instal"}), 0);
    ASSERT_EQ(e2e::runOffscreen(TV_ORVEX, env, {"-load", TV_DEMO_PACKET, "-nostart"}), 0);
    data = orv::COrv_Environment().ReadDataPath(true);
    ASSERT_TRUE(fs::is_regular_file(data / kIndex)) << data;
  }

  void startPlayer() {
    player = std::make_unique<tvtest::ChildProcess>(TV_ORVEX, QStringList{}, QProcess::ForwardedChannels, env);
    ASSERT_TRUE(screen.waitFor("ready", 30000));
    ASSERT_TRUE(desktop.waitForWindow(kFrameTitle));
  }

  std::vector<Shown> probeUntil(const std::function<bool(const std::vector<Shown>&)>& ready) {
    return screen.probeUntil(player->pid(), ready, 20000);
  }
  void clickOn(const Shown& s) { desktop.click(s.centre().x(), s.centre().y()); }

  // Opens File > Open... on the book window.
  void openCatalogue() {
    ASSERT_TRUE(desktop.focus(kFrameTitle));
    desktop.key("alt+f");
    const auto shown =
        probeUntil([](const auto& s) { return PlayerScreen::find(s, "menu entry", {}, {}, "&Open...").has_value(); });
    const auto entry = PlayerScreen::find(shown, "menu entry", {}, {}, "&Open...");
    ASSERT_TRUE(entry);
    clickOn(*entry);
    ASSERT_TRUE(desktop.waitForWindow(kCatalogue));
  }

  // The boxes the player logged once they were closed, as "text -> answer".
  std::vector<std::string> answeredBoxes() const {
    std::vector<std::string> out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
      if (!e.isBeep && !e.isHelp) out.push_back(e.text + " -> " + std::to_string(e.answer));
    return out;
  }

  // The top-level window that a step of the test brings up: the one
  // visible window that was not there before.
  QString newWindow(const std::vector<QString>& before) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
      std::vector<QString> fresh;
      for (const QString& id : desktop.visibleWindows())
        if (std::find(before.begin(), before.end(), id) == before.end()) fresh.push_back(id);
      if (fresh.size() == 1) return fresh.front();
      pump(100);
    }
    return {};
  }
};

bool showsQuestion(const std::vector<Shown>& shown) {
  for (const Shown& s : shown)
    if (s.kind == "label" && s.text.contains("is about to be removed")) return true;
  return false;
}

// The question before a book is removed ignores Escape and a close
// request: the book and every file of the data folder stay as they were,
// and the question stays open until it is answered. Yes then removes it.
TEST_F(Dismissal, TheRemoveQuestionKeepsTheBookUntilYes) {
  startPlayer();
  openCatalogue();
  const auto installed = filesUnder(data);
  for (const char* name : {kIndex, kLibrary, kBookFolder}) ASSERT_TRUE(installed.count(name)) << listing(installed);
  std::cout << "Before the question:\n" << listing(installed);
  auto shown = probeUntil([](const auto& s) {
    return PlayerScreen::find(s, "button", kCatalogue, "Remove selected Talvane").has_value();
  });
  const auto remove = PlayerScreen::find(shown, "button", kCatalogue, "Remove selected Talvane");
  ASSERT_TRUE(remove);
  const std::vector<QString> before = desktop.visibleWindows();
  clickOn(*remove);
  shown = probeUntil(showsQuestion);
  ASSERT_TRUE(showsQuestion(shown));
  const QString box = newWindow(before);
  ASSERT_FALSE(box.isEmpty()) << "the question has no window of its own";
  for (const Shown& s : shown)
    if (s.kind == "label" && s.text.contains("is about to be removed")) {
      EXPECT_TRUE(s.text.contains(kBookTitle)) << s.text.toStdString();
    }
  EXPECT_TRUE(desktop.screenshot(shots / "remove-question.png"));

  const struct {
    const char* gesture;
    std::function<void()> act;
  } gestures[] = {
      {"Escape",
       [&] {
         desktop.focusWindow(box);
         desktop.key("Escape");
       }},
      {"a close request", [&] { EXPECT_TRUE(desktop.closeRequest(box)) << "the box takes no close requests"; }},
  };
  for (const auto& g : gestures) {
    SCOPED_TRACE(g.gesture);
    g.act();
    // Long enough for the player to act on it: the removal took 2 ms.
    pump(1500);
    shown = screen.probe(player->pid());
    EXPECT_TRUE(showsQuestion(shown)) << "the question went away";
    EXPECT_TRUE(PlayerScreen::find(shown, "window", kCatalogue).has_value());
    EXPECT_TRUE(answeredBoxes().empty()) << answeredBoxes().front();
    const auto now = filesUnder(data);
    EXPECT_TRUE(now == installed) << "after " << g.gesture << ":\n" << listing(now);
  }

  // Yes, clicked: the book goes.
  std::optional<Shown> yes;
  for (const Shown& s : shown)
    if (s.kind == "button" && s.text == "&Yes") yes = s;
  ASSERT_TRUE(yes);
  clickOn(*yes);
  QElapsedTimer t;
  t.start();
  while (answeredBoxes().empty() && t.elapsed() < 20000) pump(50);
  ASSERT_EQ(answeredBoxes().size(), 1u);
  EXPECT_NE(answeredBoxes().front().find(" -> " + std::to_string(plat::ui::IDYES)), std::string::npos)
      << answeredBoxes().front();
  pump(500);
  const auto removed = filesUnder(data);
  std::cout << "After Yes:\n" << listing(removed);
  EXPECT_FALSE(removed.count(kLibrary));
  EXPECT_FALSE(removed.count(kBookFolder));
  ASSERT_TRUE(removed.count(kIndex));
  EXPECT_NE(removed.at(kIndex), installed.at(kIndex));

  ASSERT_TRUE(desktop.focus(kCatalogue));
  desktop.key("Escape");
  ASSERT_TRUE(desktop.focus(kFrameTitle));
  desktop.key("alt+f x");
  EXPECT_EQ(player->exitCode(60000), 0);
}

// File > Exit with a help window open ends the program on its own: the
// help window goes with it, and so does the mark that the data folder is
// in use.
TEST_F(Dismissal, ExitWithAHelpWindowOpenEndsTheProgram) {
  startPlayer();
  const fs::path mark = data / "active.log";
  ASSERT_TRUE(fs::exists(mark));
  const std::vector<QString> before = desktop.visibleWindows();
  ASSERT_TRUE(desktop.focus(kFrameTitle));
  desktop.key("F1");
  const QString help = newWindow(before);
  ASSERT_FALSE(help.isEmpty()) << "F1 showed no help window";
  const auto shown = probeUntil([](const auto& s) {
    const auto search = PlayerScreen::find(s, "button", {}, {}, "Search");
    return search && search->window != kFrameTitle;
  });
  ASSERT_TRUE(PlayerScreen::find(shown, "button", {}, {}, "Search")) << "the help window is not the real one";
  EXPECT_TRUE(desktop.screenshot(shots / "help-open.png"));

  ASSERT_TRUE(desktop.focus(kFrameTitle));
  desktop.key("alt+f x");
  // Only a guard against a hang: the program is expected to end at once.
  EXPECT_EQ(player->exitCode(60000), 0) << "the program kept running after Exit";
  EXPECT_FALSE(fs::exists(mark));
}

}  // namespace
