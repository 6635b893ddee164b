#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <cmath>
#include <limits>

#include "player/audio/audio_view_pictures.h"
#include "player/audio/frag_selector_dlg.h"
#include "player/audio/tests/recording_view_host.h"

using namespace viewtest;

namespace {

// A strip 300 pixels wide: its track runs from x = 10 over 280 pixels.
struct Strip : ::testing::Test {
  RecordingViewHost host;
  COrv_FragSelectorBar bar;
  void SetUp() override {
    bar.SetHost(&host);
    bar.resize(300, 51);
    ASSERT_TRUE(bar.SetFragment(0, 100));
  }
  int trackY() const { return bar.TrackRect().center().y(); }
  QRgb pixel(int x) {
    const QImage image = bar.grab().toImage();
    return image.pixel(x, trackY()) & 0xFFFFFF;
  }
};

TEST_F(Strip, GeometryMapsPerCentsToColumnsAndBack) {
  EXPECT_EQ(bar.TrackRect(), QRect(10, 21, 280, 8));
  EXPECT_EQ(bar.PercentToPixel(50), 150);
  EXPECT_FLOAT_EQ(bar.PixelToPercent(290), 100.0f);
  EXPECT_FLOAT_EQ(bar.PixelToPercent(10), 0.0f);
  EXPECT_EQ(bar.MinimumGap(), 5);
  EXPECT_EQ(bar.MarkerRect(150), QRect(148, 18, 5, 15));

  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Row {
    float start, end;
    bool accepted;
    int startX, endX;  // as drawn
  } rows[] = {
      {0, 100, true, 10, 290},  {50, 100, true, 150, 290}, {50, 51, true, 147, 152}, {0, 0.5f, true, 10, 15},
      {25, 75, true, 80, 220},  {100, 100, true, 285, 290}, {60, 40, false, 0, 0},   {-1, 50, false, 0, 0},
      {0, 100.5f, false, 0, 0}, {nan, 50, false, 0, 0},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(bar.SetFragment(0, 100));
    EXPECT_EQ(bar.SetFragment(r.start, r.end), r.accepted) << r.start << ".." << r.end;
    if (!r.accepted) {
      EXPECT_EQ(bar.StartX(), 10) << "a refused fragment changes nothing";
      EXPECT_EQ(bar.EndX(), 290);
      continue;
    }
    EXPECT_EQ(bar.StartX(), r.startX) << r.start << ".." << r.end;
    EXPECT_EQ(bar.EndX(), r.endX) << r.start << ".." << r.end;
    EXPECT_EQ(bar.PositionX(), r.startX) << "the position marker goes to the start";
  }
}

TEST_F(Strip, DragsKeepTheGapAndReportWithTheSelectorsId) {
  COrv_FragSelectorDlg dlg(&host);
  dlg.SetCtrlId(COrv_FragSelectorDlg::kRecordingId);
  ASSERT_TRUE(dlg.Create());
  COrv_FragSelectorBar& b = dlg.Bar();
  const int y = b.TrackRect().center().y();
  const int left = b.TrackRect().left(), right = left + b.TrackRect().width();
  ASSERT_TRUE(b.SetFragment(25, 75));

  // The end marker dragged far left of the start stops the gap after it.
  const int startX = b.StartX();
  drag(&b, {b.EndX(), y}, {0, y});
  EXPECT_FALSE(b.IsDragging());
  EXPECT_EQ(b.StartX(), startX);
  EXPECT_EQ(b.EndX(), startX + b.MinimumGap());
  float s = 0, e = 0;
  b.GetFragmentPercent(&s, &e);
  EXPECT_EQ(host.last(), "fragment 202 " + QString::number(s, 'f', 1).toStdString() + " " +
                             QString::number(e, 'f', 1).toStdString());

  // The start marker dragged right of the end stops the gap before it.
  ASSERT_TRUE(b.SetFragment(25, 75));
  const int endX = b.EndX();
  drag(&b, {b.StartX(), y}, {b.width() + 40, y});
  EXPECT_EQ(b.EndX(), endX);
  EXPECT_EQ(b.StartX(), endX - b.MinimumGap());

  // Past the track's ends a marker stops on them: 0.0 and 100.0.
  ASSERT_TRUE(b.SetFragment(25, 75));
  drag(&b, {b.EndX(), y}, {b.width() + 40, y});
  EXPECT_EQ(b.EndX(), right);
  drag(&b, {b.StartX(), y}, {-30, y});
  EXPECT_EQ(b.StartX(), left);
  EXPECT_EQ(host.last(), "fragment 202 0.0 100.0");

  // A press away from both markers starts nothing and reports nothing.
  const size_t calls = host.calls.size();
  drag(&b, {(left + right) / 2, y}, {right, y});
  EXPECT_EQ(host.calls.size(), calls);
}

TEST_F(Strip, PositionMarkerShowsOnlyWhilePlayingAndOffTheFragmentMarkers) {
  const QRgb red = orv::audioviews::PositionMarker().pixel(2, 1) & 0xFFFFFF;
  ASSERT_TRUE(bar.SetFragment(20, 80));
  ASSERT_TRUE(bar.SetPlayPosition(50));
  EXPECT_EQ(bar.PositionX(), 150);
  EXPECT_FALSE(bar.PositionMarkerShown()) << "idle";
  EXPECT_EQ(pixel(149), 0x000000u) << "the fragment's black where the idle marker stands";

  host.playing = true;
  EXPECT_TRUE(bar.PositionMarkerShown());
  EXPECT_EQ(pixel(149), red);
  // Within a marker's width of the start marker it hides.
  ASSERT_TRUE(bar.SetPlayPosition(21));
  EXPECT_FALSE(bar.PositionMarkerShown());
  EXPECT_FALSE(bar.ResetPlayPosition()) << "no reset while a play runs";
  EXPECT_FALSE(bar.SetPlayPosition(100.5));
  EXPECT_FALSE(bar.MovePositionMarker(5)) << "left of the track";

  // A play of the whole wave runs outside a narrower fragment: the place
  // the marker leaves gets the track's grey back, not the fragment's black.
  ASSERT_TRUE(bar.SetPlayPosition(5));
  const int outside = bar.PositionX();
  EXPECT_EQ(pixel(outside - 1), red);
  ASSERT_TRUE(bar.SetPlayPosition(50));
  EXPECT_EQ(pixel(outside - 1), 0xC0C0C0u);
  EXPECT_EQ(pixel(149), red);

  host.playing = false;
  EXPECT_TRUE(bar.ResetPlayPosition());
  EXPECT_EQ(bar.PositionX(), bar.StartX());
}

TEST(FragSelectorWindow, ClosingHelpAndKeysGoToTheHost) {
  RecordingViewHost host;
  COrv_FragSelectorDlg dlg(&host);
  dlg.SetCtrlId(COrv_FragSelectorDlg::kAudioId);
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.windowTitle(), "Fragment selection");
  EXPECT_EQ(dlg.Skin().Caption(), "Fragment selection");
  dlg.SetTitleId(40);
  EXPECT_EQ(dlg.windowTitle(), "Fragment selector (Rec)");
  EXPECT_EQ(dlg.Skin().Caption(), "Fragment selector (Rec)") << "the recording's selector says so";
  EXPECT_TRUE(dlg.Bar().isVisible() || !dlg.isVisible());
  EXPECT_EQ(dlg.Bar().geometry(), dlg.InnerRect().adjusted(5, 15, -5, -15)) << "inside the frame";
  dlg.show();
  ASSERT_TRUE(dlg.isVisible());

  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &f1);
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier);
  QApplication::sendEvent(&dlg, &space);
  EXPECT_TRUE(dlg.close()) << "a refused close would hold up the application's quit";
  EXPECT_FALSE(dlg.isVisible());
  const std::vector<std::string> want{"help fragment.htm", "key Ctrl+Space", "closed 189"};
  EXPECT_EQ(host.calls, want);
}

TEST(FragSelectorWindow, PatternBehindTheStripLinesUpWithTheWindows) {
  RecordingViewHost host;
  COrv_FragSelectorDlg dlg(&host);
  dlg.SetCtrlId(COrv_FragSelectorDlg::kAudioId);
  ASSERT_TRUE(dlg.Create());
  const QImage image = dlg.grab().toImage();
  const QImage& pattern = orv::audioviews::BackgroundPattern();
  // Every pixel above the markers inside the strip, and a band of the
  // frame's inside left of the strip: both show the pattern at the
  // window's own coordinates, so the strip's ground joins the window's.
  const QRect strip = dlg.Bar().geometry();
  const int aboveMarkers = dlg.Bar().MarkerRect(0).top();
  ASSERT_GE(aboveMarkers, 8) << "room for a whole period of the pattern";
  const QRect inStrip(strip.left(), strip.top(), strip.width(), aboveMarkers);
  const QRect leftOfStrip(dlg.InnerRect().left(), strip.top(), strip.left() - dlg.InnerRect().left(), 8);
  for (const QRect& area : {inStrip, leftOfStrip})
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, pattern.pixel(x % 8, y % 8) & 0xFFFFFF) << x << "," << y;
}

}  // namespace
