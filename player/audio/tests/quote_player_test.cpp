#include "player/audio/quote_player.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/wave_out_wnd.h"
#include "player/book/info_bundle.h"

using namespace plat::audio;

namespace {

struct Player : ::testing::Test {
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  ScopedDispatcher d{clock};
  ScopedBackend b{backend};
  COrv_InfoBundle bundle;
  COrv_QuotePlayer player;

  std::filesystem::path wav(const std::string& name, uint32_t bytes = 22050) {
    const auto p = tvtest::sandbox().tmp / name;
    EXPECT_FALSE(plat::riff::writeWavFile(p, plat::riff::WavFormat::pcm(11025, 16, 1), std::string(bytes, '\x10')));
    return p;
  }
  void SetUp() override { player.SetBook(&bundle); }
};

TEST(SpeedKeys, IndexesMapToListKeys) {
  const std::pair<int, uint32_t> rows[] = {{-4, 104}, {-2, 102}, {-1, 101}, {0, 0}, {1, 1}, {4, 4}};
  for (auto [speed, key] : rows) EXPECT_EQ(CQlWaves::SpeedKey(speed), key) << speed;
}

TEST_F(Player, BoundsComeFromTheSpeedsPresent) {
  bundle.Waves().SetWaveFile(0, wav("n.wav"));
  bundle.Waves().SetWaveFile(1, wav("f1.wav"));
  bundle.Waves().SetWaveFile(3, wav("f3.wav"));
  ASSERT_TRUE(player.LoadWave());
  EXPECT_EQ(player.GetMaxIndex(), 2);
  EXPECT_EQ(player.GetMinIndex(), 0);
  EXPECT_FALSE(player.SetSpeedIndex(-1));
  EXPECT_FALSE(player.SetSpeedIndex(3));
  EXPECT_EQ(player.GetSpeedIndex(), 0);
  ASSERT_TRUE(player.SelectSpeed(1));
  EXPECT_EQ(player.GetWaveFileName(), tvtest::sandbox().tmp / "f1.wav");
  EXPECT_TRUE(player.HasSpeeds());
}

TEST_F(Player, SegmentRangesAndTheLastSegmentEndsAt100) {
  bundle.Waves().SetWaveFile(0, wav("n.wav"));
  for (int i = 1; i <= 3; ++i) bundle.Waves().SetSegmentShare(i, std::array{30.f, 50.f, 20.f}[i - 1]);
  ASSERT_TRUE(player.LoadWave());
  float s, e;
  ASSERT_TRUE(player.GetSegmentRange(3, &s, &e));
  EXPECT_EQ(s, 80.f);
  EXPECT_EQ(e, 100.f);
  EXPECT_FALSE(player.GetSegmentRange(4, &s, &e));
  EXPECT_FALSE(player.GetSegmentRange(0, &s, &e));
  ASSERT_TRUE(player.SetFragmentToSegment(2));
  EXPECT_EQ(player.GetFragmentStart(), 30.f);
  EXPECT_EQ(player.GetFragmentEnd(), 80.f);
  COrv_WaveOutWnd engine;
  backend.clearLog();
  ASSERT_TRUE(player.PlaySegment(3, &engine, nullptr));
  ASSERT_EQ(backend.writes().size(), 1u);
  EXPECT_EQ(backend.writes()[0].length, 4410u);

  // Share tables as the readers compute them (segment length / data size
  // x 100, in float): the last segment is never refused.
  std::mt19937 rng(20261210);
  for (int table = 0; table < 500; ++table) {
    CQlWaves& w = bundle.Waves();
    w.Clear();
    const int count = 1 + static_cast<int>(rng() % 12);
    std::vector<uint32_t> lengths(count);
    uint64_t total = 0;
    for (auto& l : lengths) total += (l = 2 + rng() % 40000) * 2;
    for (int i = 0; i < count; ++i)
      w.SetSegmentShare(i + 1, static_cast<float>(lengths[i] * 2) / static_cast<float>(total) * 100.0f);
    ASSERT_TRUE(player.GetSegmentRange(count, &s, &e)) << table;
    EXPECT_EQ(e, 100.f);
    EXPECT_LE(s, e);
  }
}

TEST_F(Player, MissingSpeedFallsBackToTheNearestRenderingAndSaysSo) {
  bundle.Waves().SetWaveFile(0, wav("n.wav"));
  bundle.Waves().SetWaveFile(1, wav("f.wav"));
  bundle.Waves().SetWaveFile(-1, wav("s.wav"));
  ASSERT_TRUE(player.LoadWave());
  ASSERT_TRUE(player.SelectSpeed(-1));
  EXPECT_FALSE(player.SpeedFellBack());
  // The next Echomark has the normal and fast renderings only.
  bundle.Waves().Clear();
  bundle.Waves().SetWaveFile(0, wav("n2.wav"));
  bundle.Waves().SetWaveFile(2, wav("f2.wav"));
  ASSERT_TRUE(player.LoadWave());
  EXPECT_TRUE(player.SpeedFellBack());
  EXPECT_EQ(player.GetLoadedSpeed(), 0);
  EXPECT_EQ(player.GetWaveFileName(), tvtest::sandbox().tmp / "n2.wav");
  COrv_WaveOutWnd engine;
  EXPECT_TRUE(player.PlayRange(0, 100, &engine, nullptr)) << "it plays, not silence";
}

TEST_F(Player, LoadWaveAnswers) {
  COrv_QuotePlayer noBook;
  EXPECT_FALSE(noBook.LoadWave());
  EXPECT_TRUE(player.LoadWave()) << "no rendering at all is no error";
  COrv_WaveOutWnd engine;
  EXPECT_FALSE(player.PlayRange(0, 100, &engine, nullptr));
  const auto broken = tvtest::sandbox().tmp / "broken.wav";
  tvtest::writeFile(broken, "RIFF\x04\0\0\0WAVE");
  bundle.Waves().SetWaveFile(0, broken);
  EXPECT_FALSE(player.LoadWave()) << "a file that exists and fails to load";
}

// The Echomark's own renderings load without a word; a file handed to
// PlayFile that does not load is told.
TEST_F(Player, OnlyAFileHandedToPlayFileTellsItsLoadFailure) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  const auto broken = tvtest::sandbox().tmp / "broken.wav";
  tvtest::writeFile(broken, "RIFF\x04\0\0\0WAVE");
  bundle.Waves().SetWaveFile(0, broken);
  EXPECT_FALSE(player.LoadWave());
  EXPECT_FALSE(player.SelectSpeed(0));
  EXPECT_FALSE(player.ReloadWave());
  EXPECT_TRUE(sink.boxes().empty());
  COrv_WaveOutWnd engine;
  EXPECT_FALSE(player.PlayFile(tvtest::sandbox().tmp / "gone.wav", &engine, nullptr));
  EXPECT_FALSE(player.PlayFile(broken, &engine, nullptr));
  const auto boxes = sink.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].request.text, "Failed to open file");
  EXPECT_EQ(boxes[1].request.text, "Failed to load file");
  EXPECT_TRUE(player.PlayFile(wav("good.wav"), &engine, nullptr));
  EXPECT_EQ(sink.boxes().size(), 2u);
}

}  // namespace
