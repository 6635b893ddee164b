#include <gtest/gtest.h>

#include <QImage>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/riff/wav.h"
#include "player/audio/tests/recording_view_host.h"
#include "player/audio/volume_dlg.h"
#include "player/audio/wave_out_wnd.h"
#include "player/audio/wave_play.h"

using namespace viewtest;

namespace {

TEST(VolumeWindow, TheLevelIsTheLargerChannel) {
  RecordingViewHost host;
  COrv_VolumeDlg dlg(&host);
  EXPECT_EQ(dlg.Level(), 0.0);
  dlg.SetLevel(0.3, 0.7);
  EXPECT_DOUBLE_EQ(dlg.Level(), 0.7);
  dlg.SetLevel(0.9, 0.2);
  EXPECT_DOUBLE_EQ(dlg.Level(), 0.9);
  EXPECT_EQ(dlg.windowTitle(), "Volume");
}

TEST(VolumeWindow, BarsRiseToTheLevelWithinTheArea) {
  const QRect area(10, 10, 120, 61);
  struct Row {
    double level;
    size_t bars;
  } rows[] = {{0.0, 1}, {0.5, 11}, {1.0, 21}, {0.04, 1}, {0.05, 2}};
  for (const Row& r : rows) {
    const std::vector<QRect> bars = COrv_VolumeDlg::Bars(area, r.level);
    ASSERT_EQ(bars.size(), r.bars) << r.level;
    EXPECT_EQ(bars.front().left(), area.left());
    for (size_t i = 0; i < bars.size(); ++i) {
      EXPECT_EQ(bars[i].left(), area.left() + 6 * static_cast<int>(i));
      EXPECT_GE(bars[i].top(), area.top()) << "bar " << i << " rises above the area";
      EXPECT_EQ(bars[i].bottom(), area.bottom());
      if (i > 0) {
        EXPECT_LE(bars[i].top(), bars[i - 1].top()) << "bars rise from left to right";
      }
    }
  }
  EXPECT_EQ(COrv_VolumeDlg::Bars(area, 1.0).back().top(), area.top()) << "the last bar reaches the top";
  // Narrow and flat areas draw what fits, and divide by nothing.
  EXPECT_EQ(COrv_VolumeDlg::Bars(QRect(0, 0, 5, 40), 1.0).size(), 1u);
  EXPECT_EQ(COrv_VolumeDlg::Bars(QRect(0, 0, 11, 40), 1.0).size(), 2u);
  EXPECT_TRUE(COrv_VolumeDlg::Bars(QRect(0, 0, 0, 40), 1.0).empty());
  EXPECT_TRUE(COrv_VolumeDlg::Bars(QRect(0, 0, 40, 0), 1.0).empty());
}

TEST(VolumeWindow, PaintsTheBarsUpToTheLevel) {
  RecordingViewHost host;
  COrv_VolumeDlg dlg(&host);
  dlg.setFixedSize(144, 100);  // a level area 120 pixels wide
  ASSERT_EQ(dlg.LevelArea().width(), 120);
  dlg.SetLevel(0.5, 0.5);
  const QImage image = dlg.grab().toImage();
  const QRect area = dlg.LevelArea();
  const std::vector<QRect> bars = COrv_VolumeDlg::Bars(area, 0.5);
  ASSERT_EQ(bars.size(), 11u);
  const int y = area.bottom() - 1;
  for (int i = 1; i <= area.width() / 6; ++i) {  // the first bar is too low to have an inside
    const int x = area.left() + 6 * i + 2;
    const bool drawn = i < static_cast<int>(bars.size());
    EXPECT_EQ((image.pixel(x, y) & 0xFFFFFF) == 0, drawn) << "bar " << i;
  }
  EXPECT_EQ(image.pixel(bars[3].left(), bars[3].top() + 2) & 0xFFFFFF, 0xC0C0C0u) << "the light edge";
}

TEST(VolumeWindow, AClickSetsTheLevelAndTheDeviceVolume) {
  plat::audio::ManualDispatcher clock;
  plat::audio::VirtualBackend backend{clock};
  plat::audio::ScopedDispatcher d{clock};
  plat::audio::ScopedBackend b{backend};
  COrv_WaveOutWnd engine;
  RecordingViewHost host;
  host.forwardVolume = [&engine](double l, double r) { engine.SetVolume(l, r); };
  COrv_VolumeDlg dlg(&host);
  dlg.setFixedSize(144, 100);
  const QRect area = dlg.LevelArea();
  const int y = area.center().y();

  click(&dlg, {area.left() + area.width() / 2, y});
  EXPECT_DOUBLE_EQ(dlg.Level(), 0.5);
  EXPECT_EQ(host.last(), "volume 0.50 0.50");
  std::string bytes;
  ASSERT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(11025, 16, 1), std::string(2000, '\0'), bytes));
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(bytes));
  ASSERT_TRUE(wave.PlayAll(&engine, nullptr, false));
  EXPECT_EQ(backend.volume(), 0x7FFF'7FFFu);
  engine.Close();

  click(&dlg, {area.left(), y});
  EXPECT_DOUBLE_EQ(dlg.Level(), 0.0) << "the area's left edge";
  dlg.SetLevel(0.25, 0.25);
  click(&dlg, {area.left() - 5, y});
  EXPECT_DOUBLE_EQ(dlg.Level(), 0.25) << "outside the area the level stays";
  EXPECT_EQ(host.last(), "volume 0.25 0.25") << "and is sent again";
  click(&dlg, {area.left() + area.width(), y});
  EXPECT_DOUBLE_EQ(dlg.Level(), 1.0);
}

}  // namespace
