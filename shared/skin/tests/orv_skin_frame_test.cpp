// The skinned dialog frame on a real (offscreen) top-level widget: the
// border hit-test and its cursors, moving and resizing by dragging with the
// minimum-size clamp, the painted frame, the cut corners and the close
// button.

#include "shared/skin/orv_skin_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "platform/win/window.h"
#include "shared/buttons/orv_button.h"

using plat::win::MAKELPARAM;

namespace {

class SkinnedDialog : public QWidget {
 public:
  SkinnedDialog() { setGeometry(300, 200, 200, 100); }
  COrv_SkinFrame skin;
};

class SkinFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::win::test::reset();
    dialog_ = std::make_unique<SkinnedDialog>();
    dialog_->skin.Attach(dialog_.get());
    dialog_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    dialog_.reset();
    plat::win::test::reset();
  }
  COrv_SkinFrame& skin() { return dialog_->skin; }
  std::unique_ptr<SkinnedDialog> dialog_;
};

TEST_F(SkinFrame, BorderHitTestOfATwoHundredByHundredWindow) {
  struct Case {
    int x, y, code;
  };
  const Case cases[] = {
      // Top border strip: corners from 10 pixels off each end.
      {0, 0, 9}, {9, 1, 9}, {10, 0, 8}, {100, 1, 8}, {189, 0, 8}, {190, 1, 12}, {199, 0, 12},
      // Side borders in the top 10 rows: corners.
      {0, 5, 9}, {1, 9, 9}, {198, 5, 12}, {199, 9, 12},
      // Side borders in the middle: edges.
      {0, 10, 1}, {1, 50, 1}, {198, 50, 4}, {199, 89, 4},
      // Side borders in the bottom 10 rows: corners.
      {0, 90, 3}, {1, 97, 3}, {198, 90, 6}, {199, 97, 6},
      // Bottom border strip.
      {0, 98, 3}, {9, 99, 3}, {10, 98, 2}, {100, 99, 2}, {190, 98, 6}, {199, 99, 6},
      // Inside the borders: nothing.
      {2, 2, 0}, {100, 50, 0}, {197, 97, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EXPECT_EQ(skin().HitTestBorder(c.x, c.y), c.code);
  }
  EXPECT_TRUE(skin().SetResizable(false));
  for (const Case& c : cases) EXPECT_EQ(skin().HitTestBorder(c.x, c.y), 0);
  // Without resizing the caption band reaches the window's edges.
  EXPECT_EQ(skin().HitTestCaption(0, 0), COrv_SkinFrame::kMove);
  EXPECT_FALSE(skin().SetResizable(true));
  EXPECT_EQ(skin().HitTestCaption(0, 0), 0);
  EXPECT_EQ(skin().HitTestCaption(2, 2), COrv_SkinFrame::kMove);
  EXPECT_EQ(skin().HitTestCaption(100, 25), 0);
}

TEST_F(SkinFrame, CursorsFollowTheDragCode) {
  const std::pair<int, Qt::CursorShape> cases[] = {
      {12, Qt::SizeBDiagCursor}, {3, Qt::SizeBDiagCursor}, {9, Qt::SizeFDiagCursor}, {6, Qt::SizeFDiagCursor},
      {1, Qt::SizeHorCursor},    {4, Qt::SizeHorCursor},   {8, Qt::SizeVerCursor},   {2, Qt::SizeVerCursor},
      {0, Qt::ArrowCursor},      {15, Qt::ArrowCursor},
  };
  for (const auto& [code, shape] : cases) EXPECT_EQ(COrv_SkinFrame::CursorFor(code), shape) << code;
  // Hovering over a border shows its cursor; over the inside, the arrow.
  skin().OnMouseMove(0, 199, 50);
  EXPECT_EQ(dialog_->cursor().shape(), Qt::SizeHorCursor);
  skin().OnMouseMove(0, 0, 99);
  EXPECT_EQ(dialog_->cursor().shape(), Qt::SizeBDiagCursor);
  skin().OnMouseMove(0, 100, 50);
  EXPECT_EQ(dialog_->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(SkinFrame, DraggingMovesAndResizesOnRelease) {
  const QRect start = dialog_->geometry();
  // A press and release at one point: nothing moves, nothing is drawn.
  skin().OnLButtonDown(0, 50, 10);
  EXPECT_TRUE(skin().IsDragging());
  EXPECT_EQ(skin().DragCode(), COrv_SkinFrame::kMove);
  skin().OnMouseMove(0, 50, 10);
  EXPECT_TRUE(skin().LastDragRect().isNull());
  skin().OnLButtonUp(0, 50, 10);
  EXPECT_FALSE(skin().IsDragging());
  EXPECT_EQ(dialog_->geometry(), start);

  // Moving by the caption band: the rectangle follows, the window jumps
  // there on release.
  skin().OnLButtonDown(0, 50, 10);
  skin().OnMouseMove(0, 80, 30);
  EXPECT_EQ(skin().LastDragRect(), start.translated(30, 20));
  EXPECT_EQ(dialog_->geometry(), start);
  skin().OnLButtonUp(0, 80, 30);
  EXPECT_EQ(dialog_->geometry(), start.translated(30, 20));
  EXPECT_EQ(skin().DragCode(), 0);

  // A press at (1, 5) is outside the inset caption band: a top-left resize.
  const QRect g = dialog_->geometry();
  skin().OnLButtonDown(0, 1, 5);
  EXPECT_EQ(skin().DragCode(), COrv_SkinFrame::kTopLeft);
  skin().OnMouseMove(0, -9, -5);
  skin().OnLButtonUp(0, -9, -5);
  EXPECT_EQ(dialog_->geometry(), QRect(g.x() - 10, g.y() - 10, 210, 110));

  // The left edge dragged past the right edge less the minimum width stops
  // there; the minimum is the size the dialog had when it was created.
  EXPECT_EQ(skin().MinWidth(), 200);
  EXPECT_EQ(skin().MinHeight(), 100);
  const QRect h = dialog_->geometry();
  skin().OnLButtonDown(0, 0, 50);
  EXPECT_EQ(skin().DragCode(), COrv_SkinFrame::kLeft);
  skin().OnMouseMove(0, 150, 50);
  EXPECT_EQ(skin().LastDragRect(), QRect(h.right() + 1 - 200, h.y(), 200, h.height()));
  skin().OnLButtonUp(0, 150, 50);
  EXPECT_EQ(dialog_->geometry().width(), 200);
  EXPECT_EQ(dialog_->geometry().right(), h.right());

  // The bottom edge dragged up stops at the minimum height, the top stays.
  const QRect k = dialog_->geometry();
  skin().OnLButtonDown(0, 100, k.height() - 1);
  EXPECT_EQ(skin().DragCode(), COrv_SkinFrame::kBottom);
  skin().OnMouseMove(0, 100, 20);
  skin().OnLButtonUp(0, 100, 20);
  EXPECT_EQ(dialog_->geometry(), QRect(k.x(), k.y(), k.width(), 100));

  // Not resizable: a press on the border starts nothing.
  skin().SetResizable(false);
  skin().OnLButtonDown(0, 199, 50);
  EXPECT_FALSE(skin().IsDragging());
}

TEST_F(SkinFrame, MinimumSizeComesFromCreation) {
  COrv_SkinFrame never;
  EXPECT_EQ(never.MinWidth(), 68);
  EXPECT_EQ(never.MinHeight(), 68);
  // An owner smaller than a minimum set before initialisation grows to it.
  QWidget small;
  small.resize(50, 40);
  COrv_SkinFrame frame;
  frame.OnCreate(&small);
  frame.SetMinSize(100, 80);
  frame.OnInitDialog();
  EXPECT_EQ(small.size(), QSize(100, 80));
}

TEST_F(SkinFrame, PaintsTheFrameAndCutsTheCorners) {
  skin().SetCaption("Fragment selector");
  const QImage shot = dialog_->grab().toImage();
  const QImage outer = tv::buttons::LoadResourceImage(COrv_SkinFrame::kFrameTexture, false);
  const QImage inner = tv::buttons::LoadResourceImage(COrv_SkinFrame::kInnerTexture, false);
  ASSERT_FALSE(outer.isNull());
  ASSERT_FALSE(inner.isNull());
  // The caption band shows the outer texture where no text is (the
  // brush starts at the widget's origin).
  EXPECT_EQ(shot.pixel(150, 20), outer.pixel(150 % outer.width(), 20 % outer.height()));
  // The inner area the inner texture, the bottom strip black.
  EXPECT_EQ(shot.pixel(100, 60), inner.pixel(100 % inner.width(), 60 % inner.height()));
  EXPECT_EQ(qRed(shot.pixel(100, 95)) + qGreen(shot.pixel(100, 95)) + qBlue(shot.pixel(100, 95)), 0);
  // Some caption text is drawn in light grey.
  bool light = false;
  for (int x = 4; x < 100 && !light; ++x)
    for (int y = 2; y < 23 && !light; ++y) light = qRed(shot.pixel(x, y)) >= 200 && qGreen(shot.pixel(x, y)) >= 200;
  EXPECT_TRUE(light);
  // The corners are cut round, the edges' middles kept.
  const QRegion mask = dialog_->mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(199, 99)));
  EXPECT_TRUE(mask.contains(QPoint(0, 50)));
  EXPECT_TRUE(mask.contains(QPoint(100, 0)));
  EXPECT_TRUE(mask.contains(QPoint(100, 50)));
}

TEST_F(SkinFrame, CloseButtonSendsItsCommandAndFollowsTheWidth) {
  QWidget* host = skin().CloseButtonWidget();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->geometry(), QRect(200 - 18, 7, 11, 11));
  EXPECT_EQ(skin().CloseButton().ToolTipText(), "Close");
  EXPECT_EQ(skin().CloseButton().BitmapId(tv::buttons::COrv_Button::kNormal), 205);

  dialog_->resize(260, 120);
  QApplication::processEvents();
  EXPECT_EQ(host->geometry(), QRect(260 - 18, 7, 11, 11));

  std::vector<int> commands;
  skin().SetCommandHandler([&](int id) { commands.push_back(id); });
  plat::win::HWND b = skin().CloseButton().GetSafeHwnd();
  ASSERT_TRUE(plat::win::IsWindow(b));
  plat::win::SendMessage(b, plat::win::WM_LBUTTONDOWN, 1, MAKELPARAM(5, 5));
  plat::win::SendMessage(b, plat::win::WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(commands, std::vector<int>{COrv_SkinFrame::kCloseButtonId});

  // Without a handler the owner closes itself.
  skin().SetCommandHandler({});
  plat::win::SendMessage(b, plat::win::WM_LBUTTONDOWN, 1, MAKELPARAM(5, 5));
  plat::win::SendMessage(b, plat::win::WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(dialog_->isVisible());
}

}  // namespace
