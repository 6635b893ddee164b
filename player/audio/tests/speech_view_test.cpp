#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/audio/speech_view_dlg.h"
#include "player/audio/tests/recording_view_host.h"
#include "player/audio/wave_data.h"

using namespace viewtest;
namespace fs = std::filesystem;

namespace {

// A mono 16-bit wave at 11025 Hz whose frame i holds sample(i).
fs::path writeWave(const std::string& name, int frames, const std::function<int(int)>& sample) {
  std::string samples;
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(sample(i)));
    samples.push_back(static_cast<char>(v & 0xFF));
    samples.push_back(static_cast<char>(v >> 8));
  }
  const fs::path path = tvtest::sandbox().base / name;
  EXPECT_FALSE(plat::riff::writeWavFile(path, plat::riff::WavFormat::pcm(11025, 16, 1), samples));
  return path;
}

// One period of a sine of amplitude 30000 over the whole wave.
fs::path writeSine(const std::string& name = "sine.wav") {
  return writeWave(name, 11025, [](int i) { return static_cast<int>(30000 * std::sin(2 * M_PI * i / 11025.0)); });
}

QRgb rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(WaveData, SamplesBecomeBytesWithSilenceAt128) {
  struct Row {
    int bits;
    std::vector<unsigned char> bytes;
    int want;
  } rows[] = {
      {16, {0x00, 0x80}, 0},   {16, {0x00, 0x00}, 128}, {16, {0xFF, 0x7F}, 255},       {16, {0x00, 0xC0}, 64},
      {8, {0x00}, 0},          {8, {0x80}, 128},        {8, {0xFF}, 255},              {24, {0, 0, 0x80}, 0},
      {24, {0, 0, 0}, 128},    {24, {0xFF, 0xFF, 0x7F}, 255}, {32, {0, 0, 0, 0x80}, 0}, {32, {0, 0, 0, 0x40}, 192},
  };
  for (const Row& r : rows)
    EXPECT_EQ(COrv_WaveData::SampleByte(reinterpret_cast<const char*>(r.bytes.data()), r.bits), r.want)
        << r.bits << " bits, first byte " << int(r.bytes[0]);
}

TEST(WaveData, FramesPerCentsAndColumnsRoundTrip) {
  COrv_WaveData wave;
  ASSERT_TRUE(wave.Open(writeSine()));
  ASSERT_EQ(wave.FrameCount(), 11025u);
  EXPECT_DOUBLE_EQ(wave.GetDuration(), 1.0);
  for (int64_t f = 0; f <= 11025; ++f) ASSERT_EQ(wave.PercentToFrame(wave.FrameToPercent(f)), f) << f;
  EXPECT_EQ(wave.PercentToFrame(50), 5512);
  EXPECT_EQ(wave.PercentToFrame(100), 11025);
  EXPECT_EQ(wave.PercentToFrame(-3), 0);

  struct Shape {
    int64_t first, length;
    int width;
  } shapes[] = {{0, 11025, 300}, {500, 1000, 300}, {0, 7, 400}, {100, 300, 300}, {0, 1, 1}};
  for (const Shape& s : shapes) {
    for (int c = 0; c < s.width; ++c) {
      const int64_t f = COrv_WaveData::ColumnToFrame(c, s.first, s.length, s.width);
      ASSERT_GE(f, s.first);
      ASSERT_LT(f, s.first + s.length);
      // With several frames a column, a column's first frame lies in it;
      // with wider frames, the column lies in its frame.
      if (s.length >= s.width) {
        ASSERT_EQ(COrv_WaveData::FrameToColumn(f, s.first, s.length, s.width), c) << c;
      } else {
        ASSERT_LE(COrv_WaveData::FrameToColumn(f, s.first, s.length, s.width), c) << c;
        ASSERT_GT(COrv_WaveData::FrameToColumn(f + 1, s.first, s.length, s.width) + (f + 1 == s.first + s.length) * s.width, c) << c;
      }
    }
    EXPECT_EQ(COrv_WaveData::ColumnToFrame(s.width, s.first, s.length, s.width), s.first + s.length);
    EXPECT_EQ(COrv_WaveData::FrameToColumn(s.first + s.length, s.first, s.length, s.width), 0) << "after the range";
  }
  EXPECT_EQ(COrv_WaveData::ColumnToFrame(5, 100, 1000, 0), 100) << "no columns";
  EXPECT_EQ(COrv_WaveData::FrameToColumn(5, 0, 1000, 0), 0);
}

TEST(WaveData, PeaksCoverEveryFrameAndEveryColumn) {
  COrv_WaveData wave;
  // Silence with one full-scale sample on the last frame.
  ASSERT_TRUE(wave.Open(writeWave("spike.wav", 1000, [](int i) { return i == 999 ? 32767 : 0; })));
  std::vector<uint8_t> peaks;
  ASSERT_TRUE(wave.GetPeaks(0, 1000, 300, peaks));
  ASSERT_EQ(peaks.size(), 600u);
  EXPECT_EQ(peaks[599], 255) << "the last frames lie in the last column";
  EXPECT_EQ(peaks[597], 128);
  EXPECT_FALSE(wave.GetPeaks(0, 1000, 0, peaks)) << "no columns";

  // Zoomed in further than a frame per column, every column shows its frame.
  COrv_WaveData alternating;
  ASSERT_TRUE(alternating.Open(writeWave("alt.wav", 100, [](int i) { return i % 2 ? 20000 : -20000; })));
  ASSERT_TRUE(alternating.GetPeaks(10, 8, 400, peaks));
  for (int c = 0; c < 400; ++c) {
    const bool odd = (10 + c * 8 / 400) % 2 == 1;
    ASSERT_EQ(peaks[2 * c], odd ? 128 : 49) << c;
    ASSERT_EQ(peaks[2 * c + 1], odd ? 206 : 128) << c;
  }
}

TEST(WaveData, FilesThatAreNoPcmWaveOpenNothing) {
  // A float wave: consistent, but not PCM.
  std::string fmt;
  for (uint16_t v : {uint16_t{3}, uint16_t{1}}) plat::riff::appendU16(fmt, v);
  plat::riff::appendU32(fmt, 11025);
  plat::riff::appendU32(fmt, 44100);
  plat::riff::appendU16(fmt, 4);
  plat::riff::appendU16(fmt, 32);
  std::string body = "WAVE" + plat::riff::chunkBytes(plat::riff::kFmtId, fmt) +
                     plat::riff::chunkBytes(plat::riff::kDataId, std::string(400, '\x11'));
  const fs::path floatWave = tvtest::sandbox().base / "float.wav";
  tvtest::writeFile(floatWave, plat::riff::chunkBytes(plat::riff::kRiffId, body));
  const fs::path empty = tvtest::sandbox().base / "empty.wav";
  ASSERT_FALSE(plat::riff::writeWavFile(empty, plat::riff::WavFormat::pcm(11025, 16, 1), ""));
  const fs::path text = tvtest::sandbox().base / "text.wav";
  tvtest::writeFile(text, "not a wave");
  // 16-bit PCM whose data is one byte: not one whole frame.
  std::string pcm;
  for (uint16_t v : {uint16_t{1}, uint16_t{1}}) plat::riff::appendU16(pcm, v);
  plat::riff::appendU32(pcm, 11025);
  plat::riff::appendU32(pcm, 22050);
  plat::riff::appendU16(pcm, 2);
  plat::riff::appendU16(pcm, 16);
  const fs::path partFrame = tvtest::sandbox().base / "part_frame.wav";
  tvtest::writeFile(partFrame, plat::riff::chunkBytes(plat::riff::kRiffId,
                                                      "WAVE" + plat::riff::chunkBytes(plat::riff::kFmtId, pcm) +
                                                          plat::riff::chunkBytes(plat::riff::kDataId, "\x11")));

  for (const fs::path& p : {floatWave, empty, text, partFrame, tvtest::sandbox().base / "missing.wav"}) {
    COrv_WaveData wave;
    EXPECT_FALSE(wave.Open(p)) << p;
    EXPECT_EQ(wave.FrameCount(), 0u);
    EXPECT_EQ(wave.GetDuration(), 0.0);
    std::vector<uint8_t> peaks;
    EXPECT_FALSE(wave.GetPeaks(0, 10, 10, peaks));

    RecordingViewHost host;
    COrv_SpeechViewDlg dlg(&host);
    dlg.Create(COrv_SpeechViewDlg::kAudioId);
    EXPECT_FALSE(dlg.SetWave(p, nullptr)) << p;
    COrv_WaveformView& pane = dlg.OverviewPane();
    const QImage image = pane.grab().toImage();
    for (int y = 1; y < image.height() - 1; ++y)
      for (int x = 1; x < image.width() - 1; ++x) ASSERT_EQ(rgb(image, x, y), 0xFFFFFFu) << p << " " << x << "," << y;
    EXPECT_EQ(rgb(image, 0, 0), 0x808080u) << "the edge alone";
    pane.SetSelection(10, 20);
    EXPECT_EQ(pane.SelectionLength(), 0) << "ignored without a wave";
    EXPECT_FALSE(pane.SelectSegment(1));
  }
}

// A pane 201 x 101 pixels (B = 100) showing the sine.
struct Pane : ::testing::Test {
  COrv_WaveformView pane;
  fs::path path = writeSine();
  void SetUp() override { pane.resize(201, 101); }
};

TEST_F(Pane, DrawsTheSineItsBoundaryAndTheSelection) {
  const std::vector<float> shares{30, 70};
  ASSERT_TRUE(pane.LoadWave(path, 2, shares.data()));
  QImage image = pane.grab().toImage();
  // At a quarter the samples are high, so the line runs below the middle
  // (larger values lie lower); at three quarters above it.
  EXPECT_EQ(rgb(image, 50, 90), 0u);
  EXPECT_EQ(rgb(image, 50, 60), 0u);
  EXPECT_EQ(rgb(image, 50, 20), 0xFFFFFFu);
  EXPECT_EQ(rgb(image, 150, 10), 0u);
  EXPECT_EQ(rgb(image, 150, 80), 0xFFFFFFu);
  EXPECT_EQ(rgb(image, 100, 50), 0u) << "the zero crossing: the middle";
  EXPECT_EQ(rgb(image, 100, 10), 0xFFFFFFu);
  EXPECT_EQ(rgb(image, 60, 20), 0x00FF00u) << "the boundary at 30 %";
  EXPECT_EQ(rgb(image, 61, 20), 0xFFFFFFu);

  pane.SetSelection(50, 60);
  image = pane.grab().toImage();
  EXPECT_EQ(rgb(image, 110, 20), 0u) << "selected columns are inverted";
  EXPECT_EQ(rgb(image, 99, 20), 0xFFFFFFu);
  EXPECT_EQ(rgb(image, 121, 20), 0xFFFFFFu);
}

TEST_F(Pane, RepaintsTakeNoPeaksAndOutliveTheFile) {
  ASSERT_TRUE(pane.LoadWave(path, 0, nullptr));
  const QImage first = pane.grab().toImage();
  EXPECT_EQ(pane.PeakReads(), 1);
  fs::remove(path);
  EXPECT_EQ(pane.grab().toImage(), first);
  EXPECT_EQ(pane.PeakReads(), 1);
  pane.resize(150, 101);
  pane.grab();
  EXPECT_EQ(pane.PeakReads(), 2) << "another width takes new peaks";
  pane.resize(0, 0);
  pane.grab();
}

TEST_F(Pane, ZoomShowsTheSelectionOnly) {
  pane.SetZoom(true);
  ASSERT_TRUE(pane.LoadWave(path, 0, nullptr));
  pane.SetSelection(25, 50);
  EXPECT_EQ(pane.DisplayedFirst(), 2756);
  EXPECT_EQ(pane.DisplayedLength(), 5512 - 2756);
  EXPECT_EQ(pane.SelectionLength(), 0);
  pane.SetSelection(40, 40);
  EXPECT_EQ(pane.DisplayedLength(), 0);
  const QImage image = pane.grab().toImage();
  for (int x = 1; x < 200; ++x) ASSERT_EQ(rgb(image, x, 50), 0xFFFFFFu) << "an empty selection shows nothing";
}

TEST(SpeechView, MouseSelectionsReportPerCentsWithTheViewsId) {
  RecordingViewHost host;
  COrv_SpeechViewDlg dlg(&host);
  dlg.Create(COrv_SpeechViewDlg::kRecordingId);
  ASSERT_TRUE(dlg.SetWave(writeSine(), nullptr));
  COrv_WaveformView& overview = dlg.OverviewPane();
  const int y = overview.height() / 2;
  const int w = overview.width();

  drag(&overview, {w / 4, y}, {w / 2, y});
  const std::string forward = host.last();
  const float start = host.lastStart, end = host.lastEnd;
  drag(&overview, {w / 2, y}, {w / 4, y});
  EXPECT_EQ(host.last(), forward) << "right to left selects the same range";
  EXPECT_NEAR(start, 25.0f, 100.0f / w);
  EXPECT_GT(end, start);
  EXPECT_EQ(forward.rfind("fragment 207 ", 0), 0u) << forward;
  // Both panes take the selection; the zoom pane shows it.
  EXPECT_EQ(overview.SelectionStart(), overview.Data().PercentToFrame(start));
  EXPECT_EQ(dlg.ZoomPane().DisplayedFirst(), overview.SelectionStart());

  drag(&overview, {w / 2, y}, {w + 60, y});
  EXPECT_FLOAT_EQ(host.lastEnd, 100.0f) << "a drag past the right edge ends at the wave's end";
  drag(&overview, {w / 2, y}, {-60, y});
  EXPECT_FLOAT_EQ(host.lastStart, 0.0f);

  const size_t calls = host.calls.size();
  click(&overview, {w / 3, y});
  click(&overview, {0, y});  // left of the active area
  EXPECT_EQ(host.calls.size(), calls) << "a click without a band selects nothing";
}

TEST(SpeechView, DoubleClicksRequestTheWaveOrTheFragment) {
  RecordingViewHost host;
  COrv_SpeechViewDlg dlg(&host);
  dlg.Create(COrv_SpeechViewDlg::kAudioId);
  ASSERT_TRUE(dlg.SetWave(writeSine(), nullptr));
  const QPoint mid(dlg.OverviewPane().width() / 2, dlg.OverviewPane().height() / 2);
  doubleClick(&dlg.OverviewPane(), mid);
  EXPECT_EQ(host.last(), "play 208") << "overview without a selection: the whole wave";
  dlg.SetSelection(10, 20);
  doubleClick(&dlg.OverviewPane(), mid);
  EXPECT_EQ(host.last(), "playFragment 208");
  doubleClick(&dlg.ZoomPane(), mid);
  EXPECT_EQ(host.last(), "playFragment 208") << "the zoom pane: the fragment";
  EXPECT_EQ(host.calls.size(), 3u) << "no selection is reported by a double-click";

  dlg.SetCtrlId(0);
  doubleClick(&dlg.ZoomPane(), mid);
  EXPECT_EQ(host.calls.size(), 3u) << "nothing is sent while the id is 0";
}

TEST(SpeechView, SegmentBarCellsColoursAndHits) {
  COrv_SegmentBar bar;
  bar.resize(101, 20);  // inner width 100
  bar.SetShares({25, 25, 30});
  EXPECT_EQ(bar.CellColour(1), QColor(255, 255, 0));
  EXPECT_EQ(bar.CellColour(2), QColor(128, 128, 0));
  EXPECT_EQ(bar.CellColour(3), QColor(0, 0, 0));
  EXPECT_EQ(bar.CellColumns(2), std::make_pair(26, 51));
  struct Hit {
    int x, segment;
  } hits[] = {{1, 1}, {26, 1}, {27, 2}, {51, 2}, {52, 3}, {81, 3}, {90, 4}, {0, 4}};
  for (const Hit& h : hits) EXPECT_EQ(bar.SegmentAt(h.x), h.segment) << h.x;

  const QImage image = bar.grab().toImage();
  EXPECT_EQ(rgb(image, 10, 10), 0xFFFF00u);
  EXPECT_EQ(rgb(image, 40, 10), 0x808000u);
  EXPECT_EQ(rgb(image, 70, 10), 0x000000u);

  bar.SetShares({100});
  EXPECT_EQ(bar.Count(), 0) << "a single share makes no cells";
}

TEST(SpeechView, SegmentClicksSelectAndRequest) {
  RecordingViewHost host;
  COrv_SpeechViewDlg dlg(&host);
  dlg.Create(COrv_SpeechViewDlg::kAudioId);
  const std::vector<float> shares{25, 25, 50};
  ASSERT_TRUE(dlg.SetWave(writeSine(), &shares));
  EXPECT_EQ(dlg.SegmentCount(), 3);
  COrv_SegmentBar& bar = dlg.SegmentBar();
  ASSERT_TRUE(bar.isVisibleTo(&dlg));
  const int y = bar.height() / 2;
  const int x2 = (bar.CellColumns(2).first + bar.CellColumns(2).second) / 2;
  click(&bar, {x2, y});
  EXPECT_EQ(host.last(), "position 208 2");
  EXPECT_EQ(dlg.OverviewPane().SelectionStart(), 2756);
  EXPECT_EQ(dlg.OverviewPane().SelectionLength(), 5512 - 2756);
  EXPECT_EQ(dlg.ZoomPane().DisplayedFirst(), 2756);
  doubleClick(&bar, {x2, y});
  EXPECT_EQ(host.last(), "playFrom 208 2");
  EXPECT_FALSE(dlg.OverviewPane().SelectSegment(4));
  EXPECT_FALSE(dlg.OverviewPane().SelectSegment(0));
}

TEST(SpeechView, LayoutFollowsTheSegmentCount) {
  const QRect inner(0, 0, 412, 300);  // B = 300, R = 6..406
  struct Row {
    int segments;
    QRect zoom, overview, bar;
  } rows[] = {
      {3, QRect(6, 6, 400, 181), QRect(6, 201, 400, 67), QRect(6, 272, 400, 20)},
      {1, QRect(6, 6, 400, 211), QRect(6, 231, 400, 61), QRect()},
      {0, QRect(6, 6, 400, 211), QRect(6, 231, 400, 61), QRect()},
  };
  for (const Row& r : rows) {
    const COrv_SpeechViewDlg::Layout l = COrv_SpeechViewDlg::ComputeLayout(inner, r.segments);
    EXPECT_EQ(l.zoom, r.zoom) << r.segments;
    EXPECT_EQ(l.overview, r.overview) << r.segments;
    EXPECT_EQ(l.segments, r.bar) << r.segments;
  }
  // Below the minimum size nothing turns inside out.
  const COrv_SpeechViewDlg::Layout tiny = COrv_SpeechViewDlg::ComputeLayout(QRect(0, 0, 10, 10), 3);
  EXPECT_TRUE(tiny.zoom.isEmpty() && tiny.segments.isEmpty());

  RecordingViewHost host;
  COrv_SpeechViewDlg dlg(&host);
  EXPECT_EQ(dlg.minimumSize(), QSize(250, 150));
  EXPECT_EQ(dlg.Skin().MinWidth(), 250);
  EXPECT_GT(dlg.width(), 250) << "it opens larger than its minimum";
  EXPECT_EQ(dlg.windowTitle(), "SpeechView");
}

}  // namespace
