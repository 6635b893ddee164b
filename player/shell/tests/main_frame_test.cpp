#include "player/shell/main_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>

#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "shared/dde/dde_server.h"
#include "shared/language/orv_language.h"

namespace {

FrameServices servicesOn(QRect screen) {
  FrameServices s;
  s.screen = [screen] { return screen; };
  s.createDdeServer = [] { return true; };
  return s;
}

TEST(MainFrame, OpensCentredOnLargeScreensAndNeverSmaller) {
  struct Case {
    QRect screen;
    QRect expected;
  };
  const Case cases[] = {
      {QRect(0, 0, 640, 480), QRect(0, 0, 800, 600)},
      {QRect(0, 0, 1024, 768), QRect(112, 84, 800, 600)},
      {QRect(0, 0, 800, 600), QRect(0, 0, 800, 600)},
      {QRect(1920, 0, 1024, 768), QRect(2032, 84, 800, 600)},  // a second screen keeps its origin
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CMainFrame::InitialGeometry(c.screen), c.expected);
  }
  CMainFrame frame(servicesOn(QRect(0, 0, 640, 480)));
  ASSERT_TRUE(frame.OnCreate());
  EXPECT_EQ(frame.geometry(), QRect(0, 0, 800, 600));
  frame.resize(400, 300);
  EXPECT_EQ(frame.size(), QSize(800, 600));
  EXPECT_EQ(frame.minimumSize(), QSize(800, 600));
}

TEST(MainFrame, ApplySettingChangesDelayAndStatusBarAtOnce) {
  CMainFrame frame(servicesOn(QRect(0, 0, 1024, 768)));
  ASSERT_TRUE(frame.OnCreate());
  frame.show();
  const int32_t three = 3, off = 0, on = 1;
  frame.ApplySetting(16, &three);
  EXPECT_EQ(frame.PlayDelayMs(), 3000);
  EXPECT_EQ(frame.FrameState().GetInt(16), 3);
  EXPECT_TRUE(frame.statusBar()->isVisible());
  frame.ApplySetting(23, &off);
  EXPECT_FALSE(frame.statusBar()->isVisible());
  frame.ApplySetting(23, &on);
  EXPECT_TRUE(frame.statusBar()->isVisible());
  // A setting without an effect here is stored only.
  frame.ApplySetting(20, &off);
  EXPECT_EQ(frame.FrameState().GetInt(20, 9), 0);
}

TEST(MainFrame, FailedDdeServerIsReportedAndTheFrameGoesOn) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  FrameServices s = servicesOn(QRect(0, 0, 1024, 768));
  s.createDdeServer = [] { return false; };
  CMainFrame frame(s);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Failed to initialize DDE client");
  EXPECT_FALSE(frame.HasDdeServer());
  EXPECT_TRUE(frame.OnCreate());
}

TEST(MainFrame, MakesItsOwnDdeServerAndGoesOnWithoutOne) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  FrameServices s = servicesOn(QRect(0, 0, 1024, 768));
  s.createDdeServer = nullptr;  // the real server, as the program makes it
  {
    CMainFrame frame(s);
    EXPECT_TRUE(frame.HasDdeServer());
    ASSERT_NE(CDDEServer::Current(), nullptr);
    EXPECT_EQ(CDDEServer::Current()->GetServiceName(), "Orvex");
  }
  EXPECT_EQ(CDDEServer::Current(), nullptr);
  EXPECT_TRUE(sink.boxes().empty());

  // A process holds one server: a frame beside another server has none.
  CDDEServer other;
  ASSERT_TRUE(other.Create("Elsewhere"));
  CMainFrame frame(s);
  EXPECT_FALSE(frame.HasDdeServer());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Failed to initialize DDE client");
  EXPECT_TRUE(frame.OnCreate());
}

TEST(MainFrame, NoBookMenuAndRefreshLanguage) {
  // A French module holding only the "no book" menu's File caption change.
  const auto module = tvtest::sandbox().base / "Orv_MLFRE.res";
  tvtest::writeFile(module,
                    "TVRES 1\nmenu 128\npopup &Fichier\nitem 57601 &Ouvrir...\nitem 57665 &Quitter\nend\nend\n");
  tv::language::setModuleLocator([module](std::string_view name) {
    return name == "Orv_MLFRE.DLL" ? module : std::filesystem::path();
  });
  CMainFrame frame(servicesOn(QRect(0, 0, 1024, 768)));
  ASSERT_TRUE(frame.OnCreate());
  EXPECT_EQ(frame.CurrentMenuId(), 128);
  auto captions = [&frame] {
    QStringList out;
    for (QAction* a : frame.menuBar()->actions()) out << a->text();
    return out;
  };
  EXPECT_EQ(captions(), (QStringList{"&File", "&Help"}));
  EXPECT_TRUE(frame.Commands().Query(57665).enabled);
  EXPECT_FALSE(frame.Commands().Query(115).enabled);  // no book: Play is off

  frame.SetInterfaceLanguage(1);
  EXPECT_EQ(captions(), (QStringList{"&Fichier"}));
  EXPECT_EQ(frame.Commands().ActionFor(57665)->text(), "&Quitter");
  frame.SetInterfaceLanguage(0);
  EXPECT_EQ(captions(), (QStringList{"&File", "&Help"}));
  tv::language::setModuleLocator({});

  // A book window brings the document menu; when the last one goes, the
  // main menu is back.
  frame.show();
  auto* child = frame.Client()->addSubWindow(new QWidget);
  child->show();
  frame.Client()->setActiveSubWindow(child);
  EXPECT_EQ(frame.CurrentMenuId(), 130);
  EXPECT_EQ(captions(), (QStringList{"&File", "&Text", "T&ools", "&Audio", "&Help"}));
  child->close();
  delete child;
  QApplication::processEvents();
  EXPECT_EQ(frame.CurrentMenuId(), 128);
}

// The client area at 200 x 100 with a 30 x 20 blue picture.
struct Background : ::testing::Test {
  COrv_MDIClientWnd client;
  QImage picture{30, 20, QImage::Format_ARGB32};
  const QColor yellow = QColor::fromRgb(CMainFrame::kBackground);
  const QRgb blue = qRgb(0, 0, 255);

  void SetUp() override {
    picture.fill(QColor(blue));
    client.setFrameShape(QFrame::NoFrame);
    client.resize(200, 100);
    client.show();
  }
  QImage paint(int mode) {
    client.SetBackground(mode, yellow, picture);
    QApplication::processEvents();
    return client.viewport()->grab().toImage();
  }
};

TEST_F(Background, EachModePlacesThePicture) {
  struct Probe {
    int mode;
    QPoint at;
    bool isPicture;
  };
  const Probe probes[] = {
      {0, {100, 50}, false},  {0, {0, 0}, false},
      {1, {100, 50}, true},   {1, {84, 39}, false}, {1, {85, 40}, true}, {1, {114, 59}, true}, {1, {0, 0}, false},
      {2, {0, 0}, true},      {2, {199, 99}, true}, {2, {145, 75}, true},
      {3, {0, 0}, true},      {3, {29, 19}, true},  {3, {30, 20}, false}, {3, {199, 99}, false},
      {4, {199, 99}, true},   {4, {170, 80}, true}, {4, {169, 79}, false}, {4, {0, 0}, false},
      {7, {0, 0}, false},
  };
  for (const Probe& p : probes) {
    const QImage image = paint(p.mode);
    ASSERT_EQ(image.size(), QSize(200, 100));
    const QRgb got = image.pixel(p.at) & 0xFFFFFF;
    const QRgb want = (p.isPicture ? blue : yellow.rgb()) & 0xFFFFFF;
    EXPECT_EQ(got, want) << "mode " << p.mode << " at " << p.at.x() << "," << p.at.y();
  }
}

TEST_F(Background, CentredPictureLargerThanTheAreaStartsAtTheCorner) {
  picture = QImage(300, 150, QImage::Format_ARGB32);
  picture.fill(QColor(blue));
  const QImage image = paint(1);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, blue & 0xFFFFFF);
}

TEST(MainFrameBackground, FrameUsesTheWarmYellow) {
  EXPECT_EQ(QColor::fromRgb(CMainFrame::kBackground), QColor(252, 204, 36));
  CMainFrame frame(servicesOn(QRect(0, 0, 1024, 768)));
  ASSERT_TRUE(frame.OnCreate());
  EXPECT_EQ(frame.Client()->Mode(), 1);
  EXPECT_EQ(frame.Client()->Colour(), QColor(252, 204, 36));
}

}  // namespace
