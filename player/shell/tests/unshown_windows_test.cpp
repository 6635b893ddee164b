// The window classes nothing in the program shows: the second Echomark bar
// and its painted strip, the three command toolbars and the splash window.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "player/shell/label_panel.h"
#include "player/shell/splash_wnd.h"
#include "player/shell/tool_bars.h"

namespace {

std::vector<std::uint32_t> cells(int n, std::uint32_t value = 0) {
  std::vector<std::uint32_t> v(static_cast<std::size_t>(n) + 1, value);
  v[0] = 0;
  return v;
}

struct LabelBar : ::testing::Test {
  std::vector<int> moves;
  COrv_LabelPanel bar{[this](int n) { moves.push_back(n); }};
  void SetUp() override {
    bar.resize(300, 30);
    ASSERT_TRUE(bar.OnInitDialog());
    bar.show();
  }
};

TEST_F(LabelBar, LaysOutOnceFromItsClientSize) {
  // Buttons 30 - 2 - 2 - 2 = 24 pixels square, 3 pixels from the top.
  EXPECT_EQ(bar.Button(1013)->geometry(), QRect(1, 3, 24, 24));
  EXPECT_EQ(bar.Button(1015)->geometry(), QRect(25, 3, 24, 24));
  EXPECT_EQ(bar.Button(1016)->geometry(), QRect(275, 3, 24, 24));
  EXPECT_EQ(bar.Button(1014)->geometry(), QRect(251, 3, 24, 24));
  EXPECT_EQ(bar.Strip()->geometry(), QRect(52, 3, 196, 24));
  bar.resize(500, 40);
  QApplication::processEvents();
  EXPECT_EQ(bar.Button(1016)->geometry(), QRect(275, 3, 24, 24));
  EXPECT_FALSE(bar.OnInitDialog());
}

TEST_F(LabelBar, ItemsEnableTheStripAndClicksMoveTheWindow) {
  EXPECT_FALSE(bar.Strip()->isEnabled());
  EXPECT_EQ(bar.GetCount(), 0);
  // Updating an empty strip changes nothing.
  const auto ten = cells(10);
  bar.UpdateItems(&ten);
  EXPECT_EQ(bar.GetCount(), 0);

  bar.SetItems(&ten);
  EXPECT_TRUE(bar.Strip()->isEnabled());
  EXPECT_EQ(bar.GetCount(), 10);
  EXPECT_EQ(bar.Strip()->GetFirstVisible(), 1);
  const auto twelve = cells(12, 2);
  bar.UpdateItems(&twelve);
  EXPECT_EQ(bar.GetCount(), 12);
  const auto none = cells(0);
  bar.UpdateItems(&none);
  EXPECT_EQ(bar.GetCount(), 12);

  // A click on the third cell: it becomes current and the window goes there.
  QTest::mouseClick(bar.Strip(), Qt::LeftButton, {}, QPoint(2 * 34 + 10, 10));
  EXPECT_EQ(moves, std::vector<int>{3});
  EXPECT_EQ(bar.Strip()->GetCurrent(), 3);
  // Past the last cell there is nothing to go to.
  bar.SetFirstVisible(12);
  QTest::mouseClick(bar.Strip(), Qt::LeftButton, {}, QPoint(34 + 10, 10));
  EXPECT_EQ(moves, std::vector<int>{3});

  bar.SetItems(nullptr);
  EXPECT_FALSE(bar.Strip()->isEnabled());
  EXPECT_EQ(bar.GetCount(), 0);
  EXPECT_EQ(bar.Strip()->GetFirstVisible(), 0);
  bar.SetItems(&ten);
  bar.ClearItems();
  EXPECT_FALSE(bar.Strip()->isEnabled());
}

TEST_F(LabelBar, StripScrollsAndPaintsItsCells) {
  const auto items = [] {
    auto v = cells(20);
    v[2] = 2;  // bit 2: an orange cell
    return v;
  }();
  bar.SetItems(&items);
  COrv_RoundLabel* strip = bar.Strip();
  struct Case {
    int asked, first;
  };
  for (const Case& c : {Case{0, 1}, Case{-5, 1}, Case{7, 7}, Case{99, 20}}) {
    bar.SetFirstVisible(c.asked);
    EXPECT_EQ(strip->GetFirstVisible(), c.first) << c.asked;
  }
  // A strip width is 196 / 34 = 5 cells.
  bar.SetFirstVisible(1);
  bar.PageNext();
  EXPECT_EQ(strip->GetFirstVisible(), 6);
  bar.PagePrev();
  bar.PagePrev();
  EXPECT_EQ(strip->GetFirstVisible(), 1);
  bar.SetFirstVisible(18);
  bar.PageNext();
  EXPECT_EQ(strip->GetFirstVisible(), 20);
  bar.ScrollNext();
  EXPECT_EQ(strip->GetFirstVisible(), 21);
  bar.SetFirstVisible(1);

  QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(10, 10));  // cell 1 current
  const QImage shot = strip->grab().toImage();
  const QRect first = strip->CellRect(1), second = strip->CellRect(2);
  EXPECT_EQ(shot.pixel(second.left() + 6, second.center().y()) | 0xFF000000u, COrv_RoundLabel::kMarkedColour);
  EXPECT_EQ(shot.pixel(first.left() + 6, first.center().y()) | 0xFF000000u, COrv_RoundLabel::kCellColour);
  // The current cell's border is black.
  const QRgb border = shot.pixel(first.center().x(), first.top() + 1);
  EXPECT_LT(qRed(border) + qGreen(border) + qBlue(border), 200);
}

TEST(ToolBars, ButtonsTooltipsAndCommands) {
  COrv_AudioToolBar audio;
  COrv_QuoteToolBar quote;
  COrv_RecordToolBar record(QSize(24, 24), nullptr);
  EXPECT_EQ(audio.ButtonSize(), QSize(16, 16));
  EXPECT_EQ(record.ButtonSize(), QSize(24, 24));
  struct Case {
    COrv_CommandToolBar* bar;
    int command;
    const char* tip;
  };
  const Case cases[] = {
      {&audio, 115, "Play"},           {&audio, 119, "Speech View"},    {&audio, 155, "Speed Audio Normal"},
      {&audio, 157, "Speed Audio Slow"}, {&audio, 159, "Play Up To End"}, {&quote, 124, "Previous Quote"},
      {&quote, 140, "Play Loop"},      {&record, 193, "Record"},        {&record, 199, "Play Fragment"},
      {&audio, 193, ""},               {&quote, 115, ""},               {&record, 4242, ""},
  };
  for (COrv_CommandToolBar* bar : {static_cast<COrv_CommandToolBar*>(&audio), static_cast<COrv_CommandToolBar*>(&quote),
                                   static_cast<COrv_CommandToolBar*>(&record)})
    ASSERT_TRUE(bar->OnCreate());
  EXPECT_EQ(audio.actions().size(), 11);
  EXPECT_EQ(quote.actions().size(), 4);
  EXPECT_EQ(record.actions().size(), 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(c.bar->ToolTipFor(c.command), c.tip);
    if (*c.tip) {
      ASSERT_NE(c.bar->ActionFor(c.command), nullptr);
      EXPECT_EQ(c.bar->ActionFor(c.command)->toolTip().toStdString(), c.tip);
      EXPECT_FALSE(c.bar->ActionFor(c.command)->icon().isNull());
    }
  }
  std::vector<int> sent;
  quote.SetCommandSink([&](int id) { sent.push_back(id); });
  quote.ActionFor(125)->trigger();
  EXPECT_EQ(sent, std::vector<int>{125});
  EXPECT_FALSE(quote.OnCreate());
}

TEST(Splash, OnlyWhenEnabledOneAtATimeClosedByAKeyOrItsTime) {
  QWidget main;
  main.setGeometry(100, 100, 800, 600);
  main.show();
  COrv_SplashWnd::EnableSplash(false);
  EXPECT_FALSE(COrv_SplashWnd::ShowSplash(500, 0, &main));
  EXPECT_EQ(COrv_SplashWnd::Current(), nullptr);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  EXPECT_FALSE(COrv_SplashWnd::PreTranslateSplash(&key));

  COrv_SplashWnd::EnableSplash(true);
  ASSERT_TRUE(COrv_SplashWnd::ShowSplash(500, COrv_SplashWnd::kTopRightOfParent, &main));
  COrv_SplashWnd* splash = COrv_SplashWnd::Current();
  ASSERT_NE(splash, nullptr);
  EXPECT_FALSE(COrv_SplashWnd::ShowSplash(500, 0, &main));
  EXPECT_TRUE(splash->Timer().isActive());
  EXPECT_EQ(splash->Timer().interval(), 500);
  EXPECT_EQ(splash->pos(), COrv_SplashWnd::PlaceFor(3, splash->size(), main.frameGeometry(), QRect()));
  // A move of the mouse does not close it; a key does, and is consumed.
  QEvent move(QEvent::MouseMove);
  EXPECT_FALSE(COrv_SplashWnd::PreTranslateSplash(&move));
  EXPECT_TRUE(COrv_SplashWnd::PreTranslateSplash(&key));
  EXPECT_EQ(COrv_SplashWnd::Current(), nullptr);
  QApplication::processEvents();

  // Without a time it waits for a key or a click; its time closes it.
  ASSERT_TRUE(COrv_SplashWnd::ShowSplash(0, 0, &main));
  EXPECT_FALSE(COrv_SplashWnd::Current()->Timer().isActive());
  COrv_SplashWnd::Current()->OnTimer();
  EXPECT_EQ(COrv_SplashWnd::Current(), nullptr);
  COrv_SplashWnd::EnableSplash(false);
}

TEST(Splash, Placement) {
  const QSize size(320, 200);
  const QRect parent(100, 50, 800, 600), screen(0, 0, 1280, 800);
  EXPECT_EQ(COrv_SplashWnd::PlaceFor(0, size, parent, screen), QPoint(100 + 240, 50 + 200));
  EXPECT_EQ(COrv_SplashWnd::PlaceFor(3, size, parent, screen), QPoint(900 - 320 - 40, 60));
  EXPECT_EQ(COrv_SplashWnd::PlaceFor(1, size, parent, screen), QPoint(480, 300));
  EXPECT_EQ(COrv_SplashWnd::PlaceFor(0, size, QRect(), screen), QPoint(480, 300));
}

}  // namespace
