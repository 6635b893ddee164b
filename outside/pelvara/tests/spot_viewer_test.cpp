#include "outside/pelvara/spot_viewer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include "platform/ipc/presence.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"

namespace {

using pelvara::parseArguments;

TEST(ViewerArguments, FileRectangleAndTime) {
  const auto ok = parseArguments({"a.png", "10", "20", "110", "70", "10000"});
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->file, "a.png");
  EXPECT_EQ(ok->rect, QRect(10, 20, 100, 50));
  EXPECT_EQ(ok->milliseconds, 10000);
  // Centred on a screen smaller than the picture, the corner is negative.
  EXPECT_TRUE(parseArguments({"a.png", "-40", "-30", "360", "370", "0"}));
  const QStringList bad[] = {
      {},
      {"a.png", "10", "20", "110", "70"},
      {"", "10", "20", "110", "70", "1"},
      {"a.png", "x", "20", "110", "70", "1"},
      {"a.png", "110", "20", "10", "70", "1"},
      {"a.png", "10", "20", "10", "70", "1"},
      {"a.png", "10", "20", "110", "70", "-1"},
      {"a.png", "10", "20", "99999999", "70", "1"},
      {"a.png", "10", "20", "110", "70", "1", "extra"},
  };
  for (const QStringList& args : bad) EXPECT_FALSE(parseArguments(args)) << args.join(' ').toStdString();
}

TEST(SpotViewer, FramelessOverTheRectangleShowsThePictureAndCloses) {
  QImage picture(40, 20, QImage::Format_RGB32);
  picture.fill(Qt::red);
  pelvara::SpotViewer viewer(picture, {"a.png", QRect(30, 40, 200, 100), 150});
  viewer.show();
  EXPECT_TRUE(viewer.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(viewer.geometry(), QRect(30, 40, 200, 100));
  const QImage shot = viewer.grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(100, 50)), QColor(Qt::red));  // scaled to 200x100
  EXPECT_TRUE(viewer.isVisible());
  QElapsedTimer t;
  t.start();
  while (viewer.isVisible() && t.elapsed() < 3000) QTest::qWait(20);
  EXPECT_FALSE(viewer.isVisible());
}

// A page spot: its text on white in the same frameless window, wrapped to
// it; bytes that are no text are no page.
TEST(SpotViewer, APageShowsItsText) {
  const auto page = pelvara::readPage("intro.htm", "<h1>Welcome</h1><p>Read the first Echomark aloud.</p>");
  ASSERT_TRUE(page);
  EXPECT_TRUE(page->html);
  pelvara::SpotViewer viewer(*page, {"intro.htm", QRect(30, 40, 300, 200), 0});
  viewer.show();
  EXPECT_TRUE(viewer.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(viewer.geometry(), QRect(30, 40, 300, 200));
  const QImage shot = viewer.grab().toImage();
  int dark = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) dark += qGray(shot.pixel(x, y)) < 128;
  EXPECT_GT(dark, 100) << "no text was drawn";
  EXPECT_EQ(QColor(shot.pixel(295, 195)), QColor(Qt::white));

  EXPECT_FALSE(pelvara::readPage("notes.txt", QByteArray("a\0b", 3)));
  EXPECT_FALSE(pelvara::readPage("notes.txt", "\xff\xfe"));
  const auto plain = pelvara::readPage("notes.txt", "<b>not bold</b>");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->html);
}

// The program itself: its exit codes, and a shown spot ends by itself.
TEST(SpotViewerProgram, ExitCodes) {
  const QString dir = QString::fromStdString(tvtest::sandbox().base.string());
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  ASSERT_TRUE(picture.save(dir + "/spot.png"));
  tvtest::writeFile(tvtest::sandbox().base / "broken.png", "\x89PNG\r\n\x1a\n not a picture");
  tvtest::writeFile(tvtest::sandbox().base / "page.htm", "<p>An opening page</p>");
  struct Case {
    QStringList args;
    int exit;
  };
  const Case cases[] = {
      {{dir + "/spot.png", "0", "0", "100", "100", "200"}, pelvara::kShown},
      {{dir + "/page.htm", "0", "0", "100", "100", "200"}, pelvara::kShown},
      {{dir + "/broken.png", "0", "0", "100", "100", "200"}, pelvara::kUnreadable},
      {{dir + "/missing.png", "0", "0", "100", "100", "200"}, pelvara::kUnreadable},
      {{dir + "/spot.png", "0", "0"}, pelvara::kBadArguments},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess p;
    p.start(TV_PELVARA, c.args);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), c.exit);
    if (c.exit == pelvara::kShown) {
      EXPECT_GE(t.elapsed(), 150);
    }
  }
}

// A viewer says when its window is up; a second spot takes the place of
// the one showing, and a viewer closes when asked.
TEST(SpotViewerProgram, ANewSpotReplacesTheOneShowing) {
  const QString dir = QString::fromStdString(tvtest::sandbox().base.string());
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::green);
  ASSERT_TRUE(picture.save(dir + "/spot.png"));
  const QStringList stay = {dir + "/spot.png", "0", "0", "100", "100", "0"};
  const auto serve = [] { QCoreApplication::processEvents(); };
  tvtest::ChildProcess first(TV_PELVARA, stay);
  ASSERT_EQ(plat::ipc::waitForStartedProgram(pelvara::kWindowClass, first.pid(), 20000, serve),
            plat::ipc::WAIT_OBJECT_0);
  tvtest::ChildProcess second(TV_PELVARA, stay);
  EXPECT_EQ(first.exitCode(20000), pelvara::kShown);
  ASSERT_EQ(plat::ipc::waitForStartedProgram(pelvara::kWindowClass, second.pid(), 20000, serve),
            plat::ipc::WAIT_OBJECT_0);
  ASSERT_TRUE(plat::ipc::requestClose(pelvara::kWindowClass, 10000));
  EXPECT_EQ(second.exitCode(20000), pelvara::kShown);
}

}  // namespace
