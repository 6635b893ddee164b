// The real brindle on a private X server with its real message boxes, as the
// learner sees it: a run of bad page requests from the player gives one box,
// which belongs to the browser's window and stays above it; Escape closes
// it, and the next bad request is told again.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTest>
#include <filesystem>

#include "grammar/tests/page_fixture.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/presence.h"
#include "platform/testing/child_process.h"
#include "platform/ui/test_mode.h"
#include "tools/demo/tests/e2e/desktop.h"

namespace fs = std::filesystem;
using tvtest::ChildProcess;

namespace {

// The answers of the test client for page requests `pages`, one per request.
std::vector<std::string> requestPages(const QStringList& pages) {
  ChildProcess client(TV_BRINDLE_DDE_CLIENT, QStringList{"Brindle", "GrammarPage"} + pages);
  std::vector<std::string> answers;
  for (int i = 0; i < pages.size(); ++i) answers.push_back(client.line());
  return answers;
}

// One X property of a window, as xprop prints it.
QString property(const QString& display, const QString& window, const char* name) {
  QByteArray out;
  e2e::run("xprop", {"-display", display, "-id", window, name}, 10000, &out);
  return QString::fromUtf8(out).trimmed();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < timeoutMs) QTest::qWait(50);
  return done();
}

TEST(BrindleOnADesktop, BadRequestsGiveOneBoxAboveItsWindowAndEscapeClosesIt) {
  for (const char* tool : {"Xvfb", "xdotool", "xprop"})
    if (!e2e::installed(tool)) GTEST_SKIP() << tool << " is not installed";
  e2e::Desktop desktop;
  std::string why;
  ASSERT_TRUE(desktop.start(&why)) << why;
  const fs::path shots = fs::path(TV_BUILD_DIR) / "e2e-shots";
  fs::create_directories(shots);

  // The real boxes: not in test mode; the pages installed with the program.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(plat::ui::kTestModeVariable);
  env.insert("DISPLAY", desktop.display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert(plat::fs::kProgramFolderVariable, TV_PROGRAM_DIR);
#ifdef TV_SANITIZE
  // The system's X11 keyboard library reads its strings past their ends
  // and its connections leak: quirks of the X11 stack the program runs on
  // here, which the strict checks would take for its own.
  env.insert("ASAN_OPTIONS", "detect_leaks=0:strict_string_checks=0");
#endif
  ChildProcess player(TV_IPC_PEER, {"hold", "Kestrelle", "0", "120000"});
  ASSERT_EQ(player.line(), "first");
  ChildProcess brindle(TV_BRINDLE, {}, QProcess::ForwardedChannels, env);
  ASSERT_TRUE(desktop.waitForWindow("Grammar", 30000));
  ASSERT_EQ(plat::ipc::waitForReady("ClsBrindle", 30000), plat::ipc::WAIT_OBJECT_0);
  const QString frame = desktop.windowsNamed("Grammar").front();

  const QString outside = "/etc/passwd";
  const QString notAPage = QString::fromStdString((tvtest::sandbox().tmp / "0012.htm").string());
  EXPECT_EQ(requestPages({outside}), std::vector<std::string>{"exec ok"});
  ASSERT_TRUE(desktop.waitForWindow("Brindle", 30000)) << "no box for a page outside the working folder";
  // Two more while the learner has not answered: refused, no second box.
  EXPECT_EQ(requestPages({outside, notAPage}), (std::vector<std::string>{"exec refused", "exec refused"}));
  const std::vector<QString> boxes = desktop.windowsNamed("Brindle");
  ASSERT_EQ(boxes.size(), 1u);
  desktop.screenshot(shots / "brindle-one-box.png");
  // The box is the browser window's own, and on top like it.
  const QString owner = property(desktop.display(), boxes[0], "WM_TRANSIENT_FOR");
  EXPECT_TRUE(owner.endsWith("window id # 0x" + QString::number(frame.toULongLong(), 16))) << owner.toStdString();
  EXPECT_TRUE(property(desktop.display(), boxes[0], "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"))
      << property(desktop.display(), boxes[0], "_NET_WM_STATE").toStdString();

  // Escape, a real key, closes it; a bad request is told again after.
  ASSERT_TRUE(desktop.focus("Brindle"));
  desktop.key("Escape");
  ASSERT_TRUE(waitUntil([&] { return desktop.windowsNamed("Brindle").empty(); }, 20000));
  EXPECT_EQ(requestPages({outside}), std::vector<std::string>{"exec ok"});
  EXPECT_TRUE(desktop.waitForWindow("Brindle", 30000));
  EXPECT_EQ(desktop.windowsNamed("Brindle").size(), 1u);
  desktop.focus("Brindle");
  desktop.key("Escape");
  ASSERT_TRUE(waitUntil([&] { return desktop.windowsNamed("Brindle").empty(); }, 20000));

  ASSERT_TRUE(plat::ipc::requestClose("ClsBrindle", 10000));
  EXPECT_EQ(brindle.exitCode(), 0);
}

}  // namespace
