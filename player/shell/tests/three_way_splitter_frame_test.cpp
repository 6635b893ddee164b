// The book window: its panes from the factory, halves of its client area on
// every resize, maximised on opening, the index panel shown by setting 22,
// the pattern its bars and panes are painted with, and the index panel's
// scroll buttons running the frame's commands and showing their state.

#include "player/shell/three_way_splitter_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>

#include "platform/win/window.h"
#include "player/shell/frame_state.h"
#include "player/shell/splitter_frame.h"
#include "player/shell/tests/stand_ins.h"

using namespace plat::win;

namespace {

class BookWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    area_ = std::make_unique<QMdiArea>();
    area_->resize(801, 640);
    area_->show();
  }
  void TearDown() override {
    area_.reset();
    test::reset();
  }
  C3WaySplitterFrame* open(COrv_FrameState* state = nullptr) {
    auto* frame = new C3WaySplitterFrame(&factory_, state);
    CCreateContext context;
    if (!frame->Create(area_.get(), context)) {
      delete frame;
      return nullptr;
    }
    QApplication::processEvents();
    return frame;
  }
  std::unique_ptr<QMdiArea> area_;
  standin::Factory factory_;
};

// What the panes really get on screen, over areas whose panes' client is
// odd and even in each direction: the upper row takes the odd pixel, the
// left column leaves it to the right one, and the panes fill the client.
TEST_F(BookWindow, HalvesOfTheClientArea) {
  C3WaySplitterFrame* frame = open();
  ASSERT_NE(frame, nullptr);
  bool oddWidth = false, oddHeight = false;
  for (QSize area : {QSize(800, 600), QSize(801, 601), QSize(800, 601), QSize(801, 600)}) {
    area_->resize(area);
    QApplication::processEvents();
    const QSize client = frame->OuterSplitter()->size();
    SCOPED_TRACE(::testing::Message() << "client " << client.width() << "x" << client.height());
    oddWidth |= client.width() % 2 == 1;
    oddHeight |= client.height() % 2 == 1;
    const int bar = frame->OuterSplitter()->handleWidth();
    const int column = frame->InnerSplitter()->handleWidth();
    EXPECT_EQ(frame->RichView()->height(), (client.height() + 1) / 2);
    EXPECT_EQ(frame->SoFarView()->height(), frame->RichView()->height());
    EXPECT_EQ(frame->ScratchPadView()->height(), client.height() - bar - frame->RichView()->height());
    EXPECT_EQ(frame->RichView()->width(), client.width() / 2);
    EXPECT_EQ(frame->SoFarView()->width(), client.width() - column - client.width() / 2);
    EXPECT_EQ(frame->ScratchPadView()->width(), client.width());
  }
  EXPECT_TRUE(oddWidth && oddHeight) << "the sizes tried cover an odd client in both directions";
}

TEST_F(BookWindow, OpensMaximisedWithItsThreePanes) {
  C3WaySplitterFrame* frame = open();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->isMaximized());
  EXPECT_EQ(area_->activeSubWindow(), frame);
  EXPECT_EQ(factory_.made, (std::vector<std::string>{"scratch pad", "book text", "so far"}));
  // Book text upper left, so far upper right, scratch pad below.
  EXPECT_EQ(frame->OuterSplitter()->orientation(), Qt::Vertical);
  EXPECT_EQ(frame->OuterSplitter()->widget(0), frame->InnerSplitter());
  EXPECT_EQ(frame->OuterSplitter()->widget(1), frame->ScratchPadView());
  EXPECT_EQ(frame->InnerSplitter()->widget(0), frame->RichView());
  EXPECT_EQ(frame->InnerSplitter()->widget(1), frame->SoFarView());
  EXPECT_FALSE(frame->windowFlags() & Qt::WindowMinimizeButtonHint);
  // No system menu (the window layer keeps its flag, but there is no menu).
  EXPECT_EQ(frame->systemMenu(), nullptr);

  // The rows are halves of what the panes have, not of the window: they
  // fill the splitter to the pixel.
  const QSize client = frame->OuterSplitter()->size();
  EXPECT_EQ(frame->Sizes().upper, client.height() - client.height() / 2);
  EXPECT_EQ(frame->Sizes().width, client.width());
  const QList<int> rows = frame->OuterSplitter()->sizes();
  EXPECT_EQ(rows[0], frame->Sizes().upper);
  EXPECT_EQ(rows[0] + rows[1] + frame->OuterSplitter()->handleWidth(), client.height());
  EXPECT_LE(frame->OuterSplitter()->geometry().bottom(), frame->widget()->height());

  // A dragged bar lasts until the next resize.
  frame->OuterSplitter()->setSizes({150, client.height() - 150 - frame->OuterSplitter()->handleWidth()});
  EXPECT_EQ(frame->OuterSplitter()->sizes()[0], 150);
  area_->resize(900, 700);
  QApplication::processEvents();
  const QSize now = frame->OuterSplitter()->size();
  EXPECT_NE(now, client);
  EXPECT_EQ(frame->OuterSplitter()->sizes()[0], now.height() - now.height() / 2);
  EXPECT_EQ(frame->InnerSplitter()->sizes()[0], now.width() / 2);
}

TEST_F(BookWindow, AViewThatCannotBeMadeFailsTheWindow) {
  for (const char* pane : {"book text", "so far", "scratch pad"}) {
    SCOPED_TRACE(pane);
    factory_.refuse = pane;
    EXPECT_EQ(open(), nullptr);
  }
  C3WaySplitterFrame noFactory(nullptr, nullptr);
  EXPECT_FALSE(noFactory.Create(area_.get(), CCreateContext{}));
  EXPECT_FALSE(noFactory.IsInitialised());
}

TEST_F(BookWindow, IndexPanelFollowsSetting22) {
  COrv_FrameState state;
  // Missing: hidden, as 0 is.
  C3WaySplitterFrame* hidden = open(&state);
  ASSERT_NE(hidden, nullptr);
  EXPECT_FALSE(hidden->IsIndexPanelShown());
  const int32_t one = 1;
  state.SetValue(22, &one);
  C3WaySplitterFrame* shown = open(&state);
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->IsIndexPanelShown());
  shown->ShowIndexPanel(false);
  EXPECT_FALSE(shown->IsIndexPanelShown());
  // Without the panel the panes take its room.
  QApplication::processEvents();
  EXPECT_EQ(shown->OuterSplitter()->height(), shown->widget()->height());
}

TEST_F(BookWindow, PatternFollowsTheOffsetInTheFrame) {
  QMdiSubWindow sub;
  auto* client = new QWidget;
  sub.setWidget(client);
  auto* pane = new QWidget(client);
  sub.resize(300, 300);
  sub.show();
  QApplication::processEvents();
  const int base = CViewExSplitWnd::OffsetInFrame(pane);
  const std::pair<int, int> cases[] = {{0, 200}, {1, 202}, {2, 199}, {3, 203}, {5, 202}, {6, 199}, {12, 200}};
  for (const auto& [offset, picture] : cases) {
    pane->move(0, offset - base);
    if (offset - base < 0) continue;
    SCOPED_TRACE(offset);
    EXPECT_EQ(CViewExSplitWnd::OffsetInFrame(pane), offset);
    EXPECT_EQ(CViewExSplitWnd::PatternFor(pane), picture);
  }
  // The patterns are one picture shifted: at any two offsets the rows line
  // up in frame coordinates.
  QBrush a, b;
  pane->move(0, 40 - base);
  ASSERT_TRUE(CViewExSplitWnd::MakePatternBrush(pane, &a));
  pane->move(0, 41 - base);
  ASSERT_TRUE(CViewExSplitWnd::MakePatternBrush(pane, &b));
  const QImage ia = a.textureImage(), ib = b.textureImage();
  ASSERT_EQ(ia.size(), QSize(8, 8));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(ia.pixel(x, y + 1), ib.pixel(x, y));
  EXPECT_FALSE(CViewExSplitWnd::MakePatternBrush(nullptr, &a));
  EXPECT_FALSE(CViewExSplitWnd::MakePatternBrush(pane, nullptr));
}

TEST_F(BookWindow, ScrollButtonsRunTheFrameCommandsAndShowTheirState) {
  COrv_FrameState state;
  const int32_t one = 1;
  state.SetValue(22, &one);
  C3WaySplitterFrame* frame = open(&state);
  ASSERT_NE(frame, nullptr);
  standin::RecordingStrip& strip = *factory_.strip;
  COrv_QuoteIndexPanel& panel = frame->IndexPanel();
  const auto button = [&](int id) {
    for (int i = 0; i < static_cast<int>(panel.Rows().size()); ++i)
      if (panel.Rows()[static_cast<std::size_t>(i)].id == id) return panel.Control(i);
    return static_cast<tv::buttons::COrv_ButtonEx*>(nullptr);
  };
  const auto click = [&](int id) {
    HWND h = button(id)->GetSafeHwnd();
    SendMessage(h, WM_LBUTTONDOWN, 1, MAKELPARAM(5, 5));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  frame->FillQuoteIndex(std::vector<std::uint32_t>(31, 1), 1);
  // At the first cell: the back buttons show disabled, forward enabled.
  EXPECT_FALSE(button(1013)->IsEnabled());
  EXPECT_FALSE(button(1015)->IsEnabled());
  EXPECT_TRUE(button(1014)->IsUp());
  EXPECT_TRUE(button(1016)->IsUp());

  factory_.log.clear();
  click(1014);
  click(1016);
  EXPECT_EQ(strip.first, 11);
  EXPECT_TRUE(button(1013)->IsEnabled());
  EXPECT_TRUE(button(1015)->IsUp());
  click(1015);
  click(1013);
  EXPECT_EQ(factory_.log, (std::vector<std::string>{"ScrollNext", "PageNext", "ScrollPrev", "PagePrev"}));
  EXPECT_EQ(strip.first, 1);
  // A click on a disabled button does nothing and leaves it as it was.
  click(1015);
  EXPECT_EQ(strip.first, 1);
  EXPECT_FALSE(button(1015)->IsEnabled());
  // At the last cell the forward buttons go disabled.
  strip.first = 30;
  frame->Commands().NotifyStateChanged();
  EXPECT_FALSE(button(1014)->IsEnabled());
  EXPECT_FALSE(button(1016)->IsEnabled());
  // One Echomark: all four disabled.
  frame->FillQuoteIndex(std::vector<std::uint32_t>(2, 1), 1);
  strip.first = 1;
  frame->Commands().NotifyStateChanged();
  for (int id : {1013, 1014, 1015, 1016}) EXPECT_FALSE(button(id)->IsEnabled()) << id;
}

TEST_F(BookWindow, PlainSplitterFrame) {
  CSplitterFrame frame(&factory_);
  ASSERT_TRUE(frame.OnCreateClient(CCreateContext{}));
  EXPECT_EQ(frame.Splitter()->count(), 2);
  EXPECT_EQ(frame.Splitter()->widget(0), frame.LeftView());
  EXPECT_EQ(frame.LeftView()->objectName(), "scratch pad");
  factory_.refuse = "scratch pad";
  CSplitterFrame failing(&factory_);
  EXPECT_FALSE(failing.OnCreateClient(CCreateContext{}));
}

}  // namespace
