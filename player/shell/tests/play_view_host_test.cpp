// Between the audio commands and the audio view windows: a view's requests
// reach the commands (the recording's views play the take), and the
// commands' markers, fragments and waves reach the windows by id.

#include "player/shell/play_view_host.h"

#include <gtest/gtest.h>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/mci_record.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "player/shell/tests/play_fixture.h"

using namespace plat::audio;

namespace {

struct Selector {
  std::vector<std::string> calls;
  bool SetPlayPosition(double p) {
    calls.push_back("position " + std::to_string(static_cast<int>(p)));
    return true;
  }
  bool ResetPlayPosition() {
    calls.push_back("reset");
    return true;
  }
  bool SetFragment(float s, float e) {
    calls.push_back("fragment " + std::to_string(static_cast<int>(s)) + " " + std::to_string(static_cast<int>(e)));
    return true;
  }
};

struct SpeechView {
  std::filesystem::path wave;
  std::vector<float> shares;
  float start = -1, end = -1;
  bool SetWave(const std::filesystem::path& p, const std::vector<float>* s) {
    wave = p;
    shares = s ? *s : std::vector<float>{};
    return true;
  }
  void SetSelection(float s, float e) { start = s, end = e; }
};

struct FrameHost : COrv_AudioViewHost {
  void SetFragmentFromView(float, float, int) override {}
  void SetPositionFromView(int, int) override {}
  void RequestPlay(int) override {}
  void RequestPlayFragment(int) override {}
  void RequestPlayFrom(int, int) override {}
  void OnViewClosed(int) override {}
  void SetVolume(double, double) override {}
  void GetVolume(double*, double*) const override {}
  bool IsAudioPlaying() const override { return false; }
  void ShowHelp(const std::string& page) override { help.push_back(page); }
  bool TranslateAccelerator(QKeyCombination) override { return true; }
  std::vector<std::string> help;
};

TEST(PlayViewHost, ViewsAndCommandsReachEachOther) {
  playtest::AudioRig rig;
  COrv_AudioPanel audio;
  COrv_SecondaryPanel secondary;
  COrv_FrameState state;
  COrv_WaveOutWnd engine;
  COrv_MCIRecord recorder;
  playtest::StandInBook book;
  COrv_PlayCommands cmds(engine, recorder, audio, secondary, state);
  cmds.SetBook(&book);

  Selector audioSel, recSel;
  SpeechView audioView, recView;
  COrv_WindowPlayViews<Selector, SpeechView> views(
      [&](int id) { return id == 189 ? &audioSel : id == 202 ? &recSel : nullptr; },
      [&](int id) { return id == 208 ? &audioView : id == 207 ? &recView : nullptr; }, &book);
  cmds.SetViews(&views);
  FrameHost frameHost;
  COrv_PlayViewHost host(cmds, &frameHost);

  // A segment click in the selector plays that segment; the speech view
  // hears of the fragment, the selector that asked does not.
  host.RequestPlayFrom(2, 189);
  EXPECT_TRUE(host.IsAudioPlaying());
  EXPECT_EQ(audioView.start, 25.f);
  EXPECT_EQ(audioView.end, 50.f);
  rig.clock.advanceMs(100);
  ASSERT_FALSE(audioSel.calls.empty());
  EXPECT_EQ(audioSel.calls.back().rfind("position ", 0), 0u) << audioSel.calls.back();
  EXPECT_TRUE(recSel.calls.empty() || recSel.calls.back() == "reset");
  rig.clock.advanceMs(1000);
  EXPECT_FALSE(host.IsAudioPlaying());
  EXPECT_EQ(audioSel.calls.back(), "reset");

  // A fragment drawn in the speech view goes to the document and the
  // selector.
  host.SetFragmentFromView(10, 60, 208);
  EXPECT_EQ(audioSel.calls.back(), "fragment 10 60");
  float fs, fe;
  book.GetQuoteFragment(&fs, &fe);
  EXPECT_EQ(fs, 10.f);

  // The recording's views play the learner's take.
  ASSERT_TRUE(book.Voice().LoadSlot(playtest::writeWave("take.wav", 4410).string(), 1));
  host.RequestPlay(207);
  EXPECT_TRUE(cmds.IsRecordingPlaying());
  cmds.StopAll();

  views.RefreshSpeechView(208);
  EXPECT_EQ(audioView.wave, book.QuotePlayer().GetWaveFileName());
  EXPECT_EQ(audioView.shares, (std::vector<float>{25, 25, 25, 25}));
  views.RefreshSpeechView(207);
  EXPECT_EQ(recView.wave, book.Voice().GetSlotFile(1));

  host.SetVolume(0.5, 0.25);
  double l = 0, r = 0;
  host.GetVolume(&l, &r);
  EXPECT_DOUBLE_EQ(l, 0.5);
  EXPECT_DOUBLE_EQ(r, 0.25);
  host.ShowHelp("fragment.htm");
  EXPECT_EQ(frameHost.help, std::vector<std::string>{"fragment.htm"});
}

}  // namespace
