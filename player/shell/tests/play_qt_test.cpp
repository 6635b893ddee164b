// The audio commands with the Qt audio backend on the private null sink,
// on a book installed from a packet: what they play is heard on the sink's
// monitor, a loop with no pause repeats, and a take recorded from the
// monitor while a tone is played into the sink from outside plays back.
// Tolerances are generous: the server shares the machine with other work.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QProcess>
#include <QTest>

#include <memory>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "platform/audio/tests/qt_null_sink.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/mci_record.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "player/shell/play_commands.h"
#include "player/shell/tests/installed_book.h"
#include "player/shell/tests/play_fixture.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

using namespace plat::audio;
using namespace play_cmd;

namespace {

// Counts the plays the position reports show: each new play starts again
// near its beginning.
class PlayCounter : public COrv_PlayViews {
 public:
  void SetPlayMarker(int, double percent) override {
    if (percent < last_ - 20.0 || (last_ < 0 && percent >= 0)) ++plays;
    last_ = percent;
  }
  int plays = 0;

 private:
  double last_ = -1;
};

class PlayQt : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!tvaudio::useNullSink(&why)) GTEST_SKIP() << "no sound server for the Qt audio backend: " << why;
    backend = std::make_unique<QtAudioBackend>(uiDispatcher());
    use = std::make_unique<ScopedBackend>(*backend);
    ASSERT_TRUE(playtest::installHamlet(tvtest::sandbox().base));
    ASSERT_TRUE(book.Open("HAMLET"));
    engine = std::make_unique<COrv_WaveOutWnd>();
    cmds = std::make_unique<COrv_PlayCommands>(*engine, recorder, audio, secondary, state);
    cmds->SetBook(&book);
    cmds->SetViews(&counter);
    cmds->Register(table);
  }
  void TearDown() override {
    cmds.reset();
    engine.reset();
    use.reset();
    backend.reset();
  }
  // The length in ms of the loud stretch the monitor heard from `from`.
  static double heardMs(const tvaudio::MonitorCapture& monitor, size_t from) {
    const size_t first = monitor.firstLoud(from), last = monitor.lastLoud(from);
    if (first == tvaudio::MonitorCapture::npos) return 0;
    return static_cast<double>(last - first) * 1000.0 / tvaudio::kRate;
  }

  std::unique_ptr<QtAudioBackend> backend;
  std::unique_ptr<ScopedBackend> use;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink s{sink};
  playtest::InstalledBook book;
  COrv_AudioPanel audio;
  COrv_SecondaryPanel secondary;
  COrv_FrameState state;
  COrv_MCIRecord recorder;
  PlayCounter counter;
  COrv_CommandTable table;
  std::unique_ptr<COrv_WaveOutWnd> engine;
  std::unique_ptr<COrv_PlayCommands> cmds;
};

TEST_F(PlayQt, F8PlaysTheEchomarkIntoTheSink) {
  // The key goes through the window's accelerators, as a learner presses it.
  QMainWindow window;
  table.InstallShortcuts(&window, *COrv_Language::GetAccelerators(tv::language::kAcceleratorTable));
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  tvaudio::MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(200);
  const size_t from = monitor.samples().size();
  QTest::keyClick(&window, Qt::Key_F8);
  EXPECT_TRUE(cmds->IsPlaying());
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !cmds->IsPlaying(); }, 6000)) << "the play never ended";
  tvaudio::pumpFor(300);
  monitor.stop();
  // Echomark 1 is two seconds of a 440 Hz tone.
  EXPECT_NEAR(heardMs(monitor, from), 2000.0, 150.0);
  EXPECT_FALSE(engine->IsOpen());
  EXPECT_TRUE(sink.boxes().empty());
}

TEST_F(PlayQt, ALoopWithNoPauseRepeatsTheEchomark) {
  ASSERT_TRUE(book.GoToQuote(2));  // 0.73 s
  cmds->SetDelayMs(0);
  table.Execute(kPlayLoop);
  tvaudio::MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(200);
  const size_t from = monitor.samples().size();
  ASSERT_TRUE(table.Execute(kPlay));
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return counter.plays == 4; }, 8000)) << counter.plays << " plays";
  table.Execute(kStop);
  tvaudio::pumpFor(300);
  monitor.stop();
  // Three whole plays and the start of a fourth were heard.
  EXPECT_GE(heardMs(monitor, from), 3 * 725.0 - 100);
  EXPECT_LE(heardMs(monitor, from), 4 * 725.0 + 300);
  EXPECT_FALSE(cmds->IsDelayedPlayPending());
}

TEST_F(PlayQt, ATakeOfAToneFromOutsidePlaysBack) {
  const auto toneFile = tvtest::sandbox().tmp / "tone.wav";
  ASSERT_FALSE(plat::riff::writeWavFile(toneFile, plat::riff::WavFormat::pcm(tvaudio::kRate, 16, 1), tvaudio::tone(600)));

  ASSERT_TRUE(table.Execute(kRecord));
  ASSERT_TRUE(cmds->IsRecording());
  tvaudio::pumpFor(300);
  QProcess paplay;
  paplay.start("paplay", {QString::fromStdString(toneFile.string())});
  ASSERT_TRUE(paplay.waitForStarted(3000));
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return paplay.state() == QProcess::NotRunning; }, 5000));
  EXPECT_EQ(paplay.exitCode(), 0) << paplay.readAllStandardError().toStdString();
  tvaudio::pumpFor(300);
  ASSERT_TRUE(table.Execute(kRecordingStop));
  EXPECT_FALSE(cmds->IsRecording());
  ASSERT_TRUE(cmds->RecordingAvailable()) << (sink.boxes().empty() ? "" : sink.last().request.text);

  tvaudio::MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(200);
  const size_t from = monitor.samples().size();
  ASSERT_TRUE(table.Execute(kRecordingPlay));
  EXPECT_TRUE(cmds->IsRecordingPlaying());
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !cmds->IsRecordingPlaying(); }, 6000));
  tvaudio::pumpFor(300);
  monitor.stop();
  EXPECT_NEAR(heardMs(monitor, from), 600.0, 80.0) << "the tone, played back from the take";
  EXPECT_TRUE(sink.boxes().empty());
}

}  // namespace
