// SIGTERM while the real program waits in a start-up message box (no audio
// device: "Audio device not available") ends it cleanly and at once. The
// box is a real one, on a display of the test's own (Xvfb).

#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include "platform/testing/test_env.h"

namespace {

// An X server of the test's own, on the first free display it finds.
struct VirtualDisplay {
  QProcess server;
  QString display;
  VirtualDisplay() {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) return;
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    if (!server.waitForStarted(5000)) return;
    while (display.isEmpty() && server.waitForReadyRead(10000)) {
      const QString out = QString::fromLatin1(server.readAllStandardOutput()).trimmed();
      if (!out.isEmpty()) display = ":" + out;
    }
  }
  ~VirtualDisplay() {
    if (server.state() != QProcess::NotRunning) {
      server.terminate();
      if (!server.waitForFinished(5000)) server.kill();
      server.waitForFinished();
    }
  }
};

TEST(OrvexTermination, SigtermDuringAStartUpBoxEndsTheProgram) {
  VirtualDisplay x;
  if (x.display.isEmpty()) GTEST_SKIP() << "no Xvfb to show a real box on";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // Not in test mode: the real box of the real program, and no sound
  // server to be found, so the start-up stops at its first box.
  env.remove("TALVANE_TEST_MODE");
  env.remove("PULSE_SERVER");
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("DISPLAY", x.display);
#ifdef TV_SANITIZE
  // The system's X11 keyboard library reads its strings past their ends
  // and its connections leak: quirks of the X11 stack the real program
  // runs on here, not of the player, which the sanitizers' strict checks
  // would report as the program's own failure.
  env.insert("ASAN_OPTIONS", "detect_leaks=0:strict_string_checks=0");
#endif
  QProcess orvex;
  orvex.setProcessEnvironment(env);
  orvex.setProcessChannelMode(QProcess::ForwardedChannels);
  orvex.start(TV_ORVEX, {});
  ASSERT_TRUE(orvex.waitForStarted(10000));
  // Still there after a while: it waits for the box to be answered.
  EXPECT_FALSE(orvex.waitForFinished(3000));
  ASSERT_EQ(orvex.state(), QProcess::Running);

  ::kill(static_cast<pid_t>(orvex.processId()), SIGTERM);
  const bool ended = orvex.waitForFinished(10000);
  if (!ended) {
    orvex.kill();
    orvex.waitForFinished();
  }
  ASSERT_TRUE(ended) << "SIGTERM was ignored while the box was open";
  EXPECT_EQ(orvex.exitStatus(), QProcess::NormalExit);
  // The start-up ended at the missing device: the program did not run.
  EXPECT_EQ(orvex.exitCode(), 1);
}

}  // namespace
