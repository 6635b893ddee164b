// The audio commands on the virtual wave-out device and a manual clock:
// the end-of-play rule, loop and sequence repetition, Play All and Play Up
// To End, the question after a stopped run, the fragment keys, the speed
// commands and button, and the commands as the command table runs them.

#include "player/shell/play_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/testing/box_driver.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/win/window.h"
#include "player/audio/mci_record.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "player/shell/tests/play_fixture.h"

using namespace plat::audio;
using namespace play_cmd;
using Pending = COrv_PlayCommands::Pending;

namespace {

class PlayCommands : public ::testing::Test, protected playtest::AudioRig {
 protected:
  void SetUp() override {
    plat::win::test::reset();
    plat::win::WNDCLASS wc;
    wc.lpfnWndProc = plat::win::DefWindowProc;
    wc.lpszClassName = "PlayTestParent";
    plat::win::RegisterClass(&wc);
    parent_ = plat::win::CreateWindowEx(0, "PlayTestParent", "", plat::win::WS_POPUP, 0, 0, 200, 600, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_TRUE(audio.Create(parent_, COrv_AudioPanel::kBarId));
    ASSERT_TRUE(secondary.Create(parent_, COrv_SecondaryPanel::kBarId));
    backend.setInputSource(squareWaveInput);
    cmds.SetBook(&book);
    cmds.SetViews(&views);
    cmds.SetDelayMs(2000);
    cmds.Register(table);
  }
  void TearDown() override { plat::win::test::reset(); }

  // Whether the button of `id` on either panel is down.
  bool down(int id) const { return playtest::buttonDown(audio, id) || playtest::buttonDown(secondary, id); }
  size_t writes() const { return backend.count("waveOutWrite"); }
  // Gives the current Echomark a recording of the learner's voice.
  void giveRecording(int n = 1) {
    ASSERT_TRUE(book.Voice().LoadSlot(playtest::writeWave("take" + std::to_string(n) + ".wav", 11025).string(), n));
  }
  void runFor(int ms) { clock.advanceMs(ms); }

  plat::win::HWND parent_ = nullptr;
  COrv_AudioPanel audio;
  COrv_SecondaryPanel secondary;
  COrv_FrameState state;
  COrv_WaveOutWnd engine;
  COrv_MCIRecord recorder;
  playtest::StandInBook book;
  playtest::LoggingViews views;
  COrv_CommandTable table;
  COrv_PlayCommands cmds{engine, recorder, audio, secondary, state};
};

// The end of every rule-driven play: loop and sequence decide what is
// armed, the sequence counter moves, and every play button is released.
TEST_F(PlayCommands, EndOfAPlayFollowsTheLoopAndSequenceRule) {
  struct Row {
    int command;  // what starts the play
    bool loop, sequence;
    Pending armed;
    int counterAfter;
  };
  const Row rows[] = {
      {kPlay, false, false, Pending::None, 1},
      {kPlay, true, false, Pending::Play, 1},
      {kPlay, true, true, Pending::RecordingPlay, 1},
      {kPlay, false, true, Pending::RecordingPlay, 2},
      {kPlayFragment, false, false, Pending::None, 1},
      {kPlayFragment, true, false, Pending::PlayFragment, 1},
      {kPlayFragment, true, true, Pending::RecordingFragment, 1},
      {kPlayFragment, false, true, Pending::RecordingFragment, 2},
      {kRecordingPlay, false, false, Pending::None, 1},
      {kRecordingPlay, true, false, Pending::RecordingPlay, 1},
      {kRecordingPlay, true, true, Pending::Play, 1},
      {kRecordingPlay, false, true, Pending::Play, 2},
      {kRecordingFragment, false, false, Pending::None, 1},
      {kRecordingFragment, true, false, Pending::RecordingFragment, 1},
      {kRecordingFragment, true, true, Pending::PlayFragment, 1},
      {kRecordingFragment, false, true, Pending::PlayFragment, 2},
  };
  giveRecording();
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.command << " loop " << r.loop << " sequence " << r.sequence);
    cmds.StopAll();
    cmds.SetLoopMode(r.loop);
    if (cmds.IsSequence() != r.sequence) {
      ASSERT_TRUE(table.Execute(kPlaySequence));
    }
    ASSERT_TRUE(table.Execute(r.command));
    EXPECT_TRUE(down(r.command));
    EXPECT_TRUE(table.Query(r.command).checked) << "the command's look is its button's";
    EXPECT_TRUE(cmds.IsPlaying() || cmds.IsRecordingPlaying());
    runFor(1000);  // the longest play is one second
    EXPECT_FALSE(cmds.IsPlaying() || cmds.IsRecordingPlaying());
    EXPECT_EQ(cmds.PendingAction(), r.armed);
    EXPECT_EQ(cmds.SequenceCounter(), r.counterAfter);
    for (int id : {kPlay, kPlayFragment, kRecordingPlay, kRecordingFragment}) {
      EXPECT_FALSE(down(id)) << id;
      EXPECT_FALSE(table.Query(id).checked) << id;
    }
    EXPECT_EQ(down(kPlayLoop), r.loop);
    EXPECT_EQ(table.Query(kPlayLoop).checked, r.loop);
    EXPECT_EQ(down(kPlaySequence), r.sequence);
    EXPECT_EQ(table.Query(kPlaySequence).checked, r.sequence);
    EXPECT_FALSE(engine.IsOpen());
  }
}

TEST_F(PlayCommands, LoopRepeatsTheEchomarkAfterEachPauseUntilStop) {
  table.Execute(kPlayLoop);
  table.Execute(kPlay);
  for (int play = 1; play <= 3; ++play) {
    EXPECT_EQ(writes(), static_cast<size_t>(play));
    runFor(1000);
    EXPECT_EQ(cmds.PendingAction(), Pending::Play);
    EXPECT_FALSE(down(kPlay));
    runFor(1999);
    EXPECT_EQ(writes(), static_cast<size_t>(play)) << "the pause is two seconds";
    runFor(1);
    EXPECT_TRUE(down(kPlay));
  }
  table.Execute(kStop);
  EXPECT_EQ(writes(), 4u);
  runFor(10000);
  EXPECT_EQ(writes(), 4u);
  EXPECT_FALSE(cmds.IsDelayedPlayPending());
}

// Sequence alone: the model, the learner's recording once, then nothing;
// and a Stop in the pause does not cost the next Play its recording.
TEST_F(PlayCommands, SequencePlaysOnePairPerCommandEvenAfterAStopInThePause) {
  giveRecording();
  table.Execute(kPlaySequence);
  auto playPair = [&] {
    const size_t before = writes();
    table.Execute(kPlay);
    runFor(1000);
    ASSERT_EQ(cmds.PendingAction(), Pending::RecordingPlay);
    runFor(2000);
    EXPECT_TRUE(cmds.IsRecordingPlaying());
    EXPECT_TRUE(down(kRecordingPlay));
    runFor(500);  // the take is half a second
    EXPECT_FALSE(cmds.IsDelayedPlayPending());
    EXPECT_EQ(cmds.SequenceCounter(), 1);
    runFor(10000);
    EXPECT_EQ(writes(), before + 2);
  };
  playPair();
  playPair();

  table.Execute(kPlay);
  runFor(1000);
  ASSERT_EQ(cmds.PendingAction(), Pending::RecordingPlay);
  table.Execute(kStop);
  EXPECT_FALSE(cmds.IsDelayedPlayPending());
  playPair();
  playPair();
}

TEST_F(PlayCommands, PlayAllWrapsOnlyInLoopModeAndPlayUpToEndWrapsToItsStart) {
  struct Row {
    int command;
    int start;
    bool loop;
    std::vector<int> played;  // after four steps' time
  };
  const Row rows[] = {
      {kPlayAll, 2, false, {1, 2, 3}},
      {kPlayAll, 2, true, {1, 2, 3, 1}},
      {kPlayUpToEnd, 2, false, {2, 3}},
      {kPlayUpToEnd, 2, true, {2, 3, 2, 3}},
  };
  playtest::StandInBook three(3);
  cmds.SetBook(&three);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.command << " loop " << r.loop);
    three.Show(r.start);
    three.loaded.clear();
    cmds.SetLoopMode(r.loop);
    ASSERT_TRUE(table.Execute(r.command));
    EXPECT_TRUE(down(r.command));
    EXPECT_TRUE(cmds.IsPlayAllRunning());
    runFor(4 * 3000 - 1);  // four steps of one second and a pause of two
    EXPECT_EQ(three.loaded, r.played);
    if (!r.loop) {
      EXPECT_FALSE(cmds.IsPlaying());
      EXPECT_FALSE(cmds.IsDelayedPlayPending());
      EXPECT_FALSE(down(r.command));
    }
    EXPECT_EQ(three.CurrentQuote(), r.start) << "a run leaves the Echomark shown alone";
    cmds.StopAll();
  }
  EXPECT_TRUE(sink.boxes().empty());
}

TEST_F(PlayCommands, PlayAllErrorsStopTheRunWithTheirOwnTexts) {
  struct Row {
    int command;
    int failure;  // 0 wave list, 1 no file, 2 unreadable file
    std::string text;
  };
  const Row rows[] = {
      {kPlayAll, 0, "An error occurred during a Play All Process !"},
      {kPlayAll, 1, "An error occurred during a Play All Process:\nUnable to find Audio File !"},
      {kPlayAll, 2, "An error occurred during a Play All Process:\nUnable to load Audio File !"},
      {kPlayUpToEnd, 0, "An error occurred during a Play Up To End Process !"},
      {kPlayUpToEnd, 1, "An error occurred during a Play Up To End Process:\nUnable to find Audio File !"},
      {kPlayUpToEnd, 2, "An error occurred during a Play Up To End Process:\nUnable to load Audio File !"},
  };
  const auto broken = tvtest::sandbox().tmp / "broken.wav";
  {
    std::FILE* f = std::fopen(broken.c_str(), "wb");
    std::fputs("RIFF not a wave", f);
    std::fclose(f);
  }
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    sink.clear();
    book.failWaveList = r.failure == 0;
    book.SetWave(1, r.failure == 1 ? std::filesystem::path() : broken);
    table.Execute(r.command);
    // An unreadable file is told by the wave first, then by the run.
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), r.failure == 2 ? 2u : 1u);
    if (r.failure == 2) {
      EXPECT_EQ(boxes[0].request.text, "Failed to load file");
    }
    EXPECT_EQ(sink.last().request.text, r.text);
    EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Error);
    EXPECT_FALSE(cmds.IsPlayAllRunning());
    EXPECT_FALSE(cmds.IsPlaying());
    EXPECT_FALSE(down(r.command));
    EXPECT_TRUE(table.Query(r.command).enabled);
  }
}

TEST_F(PlayCommands, StopDuringARunOnAnotherEchomarkOffersToGoThere) {
  for (int answer : {plat::ui::IDYES, plat::ui::IDNO}) {
    SCOPED_TRACE(answer);
    book.Show(3);
    sink.clear();
    sink.setScript({answer});
    cmds.SetDelayMs(0);
    table.Execute(kPlayAll);
    while (cmds.PlayAllNumber() < 7) runFor(1000);
    ASSERT_TRUE(cmds.IsPlaying());
    table.Execute(kStop);
    ASSERT_EQ(sink.boxes().size(), 1u);
    const auto& box = sink.last().request;
    EXPECT_EQ(box.text, "Echomark no.7 was playing.\nWould you like to load it now ?");
    EXPECT_EQ(box.caption, "Talvane Player: Warning Window");
    EXPECT_EQ(box.buttons, plat::ui::Buttons::YesNo);
    EXPECT_EQ(box.icon, plat::ui::Icon::Question);
    EXPECT_EQ(book.goTo, answer == plat::ui::IDYES ? std::vector<int>{7} : std::vector<int>{});
    EXPECT_FALSE(cmds.IsPlayAllRunning());
  }
  // A run stopped on the Echomark shown asks nothing; nor does any other
  // stop than the Stop command.
  sink.clear();
  book.Show(1);
  table.Execute(kPlayAll);
  table.Execute(kStop);
  table.Execute(kPlayAll);
  runFor(1500);
  table.Execute(kPlay);
  EXPECT_TRUE(sink.boxes().empty());
}

// While the learner is asked whether to load the Echomark that was
// playing, nothing plays any more and the buttons say so: the run's button
// is up and Pause is disabled, on the panels and in the command table.
TEST_F(PlayCommands, TheButtonsShowTheStopWhileTheQuestionIsOpen) {
  struct Seen : plat::ui::MessageSink {
    std::function<void()> look;
    int show(const plat::ui::MessageBoxRequest&) override {
      look();
      return plat::ui::IDNO;
    }
    void beep(uint32_t) override {}
  };
  for (int run : {kPlayUpToEnd, kPlayAll}) {
    SCOPED_TRACE(run);
    book.Show(3);
    cmds.SetDelayMs(0);
    table.Execute(run);
    while (cmds.PlayAllNumber() < 5) runFor(1000);
    ASSERT_TRUE(down(run));
    ASSERT_TRUE(table.Query(kPause).enabled);
    int asked = 0;
    Seen seen;
    seen.look = [&] {
      ++asked;
      EXPECT_FALSE(down(run));
      EXPECT_FALSE(table.Query(run).checked);
      EXPECT_FALSE(down(kPause));
      EXPECT_FALSE(table.Query(kPause).enabled);
    };
    {
      plat::ui::ScopedSink scoped{seen};
      table.Execute(kStop);
    }
    EXPECT_EQ(asked, 1);
  }
}

// The same question on the real box, as the learner meets it: while it is
// open the run's button is up and Pause disabled; Escape and a close
// request leave it open and go nowhere (a Yes/No question has no answer for
// them); then No stays on the Echomark shown and Yes goes to the one that
// was playing.
TEST_F(PlayCommands, TheRealQuestionIgnoresEscapeAndCloseAndShowsTheStop) {
  plat::ui::QtMessageSink real;
  plat::ui::ScopedSink shown{real};
  const struct {
    int run;
    QMessageBox::StandardButton answer;
    std::vector<int> goTo;
  } cases[] = {
      {kPlayUpToEnd, QMessageBox::No, {}},
      {kPlayUpToEnd, QMessageBox::Yes, {5}},
      {kPlayAll, QMessageBox::No, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.run << " " << c.answer);
    book.Show(3);
    cmds.SetDelayMs(0);
    table.Execute(c.run);
    while (cmds.PlayAllNumber() < 5) runFor(1000);
    ASSERT_TRUE(down(c.run));
    const auto stopped = [&](QMessageBox& box) {
      EXPECT_EQ(box.text().toStdString(), "Echomark no.5 was playing.\nWould you like to load it now ?");
      EXPECT_FALSE(down(c.run));
      EXPECT_FALSE(table.Query(c.run).checked);
      EXPECT_FALSE(down(kPause));
      EXPECT_FALSE(table.Query(kPause).enabled);
      EXPECT_TRUE(book.goTo.empty());
    };
    tvtest::BoxDriver driver({stopped, tvtest::pressKey(Qt::Key_Escape), stopped, tvtest::requestClose(), stopped,
                              tvtest::pressButton(c.answer)});
    table.Execute(kStop);
    EXPECT_EQ(driver.done(), 6u) << "the question did not stay open";
    EXPECT_EQ(book.goTo, c.goTo);
    EXPECT_FALSE(cmds.IsPlayAllRunning());
    EXPECT_FALSE(cmds.IsPlaying());
  }
  EXPECT_TRUE(sink.boxes().empty()) << "every question went to the real box";
}

TEST_F(PlayCommands, FragmentKeysTakeThePositionWithinTheWholeWave) {
  struct Row {
    int play;  // 115 whole, 118 fragment
    float fromStart, fromEnd;
    int elapsedMs;
    int key;
    float start, end;
  };
  const Row rows[] = {
      {kPlay, 10, 50, 800, kFragmentStart, 80, 100},
      {kPlay, 10, 50, 50, kFragmentEnd, 0, 5},
      {kPlay, 10, 50, 300, kFragmentStart, 30, 50},
      {kPlay, 10, 50, 300, kFragmentEnd, 10, 30},
      // A fragment play counts from its own start.
      {kPlayFragment, 10, 50, 200, kFragmentStart, 30, 50},
      {kPlayFragment, 40, 60, 100, kFragmentEnd, 40, 50},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.play << " " << r.key << " at " << r.elapsedMs);
    book.SetQuoteFragment(r.fromStart, r.fromEnd);
    views.fragments.clear();
    table.Execute(r.play);
    runFor(r.elapsedMs);
    ASSERT_TRUE(table.Execute(r.key));
    float s = -1, e = -1;
    book.GetQuoteFragment(&s, &e);
    EXPECT_NEAR(s, r.start, 0.5);
    EXPECT_NEAR(e, r.end, 0.5);
    ASSERT_EQ(views.fragments.size(), 2u) << "both book audio views hear of it";
    EXPECT_EQ(views.fragments[0].view, COrv_PlayViews::kAudioSelector);
    EXPECT_EQ(views.fragments[1].view, COrv_PlayViews::kAudioSpeechView);
    cmds.StopAll();
  }
  // Not playing: the keys are disabled and change nothing.
  book.SetQuoteFragment(10, 50);
  EXPECT_FALSE(table.Execute(kFragmentStart));
  EXPECT_FALSE(table.Query(kFragmentEnd).enabled);
}

TEST_F(PlayCommands, SpeedButtonWarnsBeepsOrOffersTheOtherSpeeds) {
  std::vector<std::vector<COrv_SpeedMenuItem>> shown;
  int choice = 0;
  cmds.SetSpeedPopup([&](const std::vector<COrv_SpeedMenuItem>& items) {
    shown.push_back(items);
    return choice;
  });

  choice = kSpeedFast;
  ASSERT_TRUE(table.Execute(kSpeedButtonNormal));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], (std::vector<COrv_SpeedMenuItem>{{"Fast", kSpeedFast}, {"Slow", kSpeedSlow}}));
  EXPECT_EQ(audio.GetSpeedButtonId(), kSpeedButtonFast);
  choice = 0;
  table.Execute(kSpeedButtonFast);
  EXPECT_EQ(shown[1], (std::vector<COrv_SpeedMenuItem>{{"Normal", kSpeedNormal}, {"Slow", kSpeedSlow}}));
  EXPECT_EQ(audio.GetSpeedButtonId(), kSpeedButtonFast) << "closing the popup changes nothing";

  // A repetition pending: a beep and no popup.
  table.Execute(kPlayLoop);
  table.Execute(kPlay);
  runFor(1000);
  ASSERT_TRUE(cmds.IsDelayedPlayPending());
  table.Execute(kSpeedButtonFast);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(sink.beeps(), std::vector<uint32_t>{plat::ui::MB_ICONEXCLAMATION});
  EXPECT_TRUE(cmds.IsDelayedPlayPending()) << "the beep leaves the repetition alone";
  cmds.StopAll();

  // No fast and slow files: back to normal, with message 20010.
  book.status = 0x1;
  table.Execute(kSpeedButtonFast);
  EXPECT_EQ(shown.size(), 2u);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Fast and slow audio files are unavailable for the current Echomark.");
  EXPECT_EQ(audio.GetSpeedButtonId(), kSpeedButtonNormal);
}

TEST_F(PlayCommands, AfterAnySpeedChangesOneSpeedButtonStandsAtRow11) {
  std::mt19937 rng(20261211);
  const int commands[] = {kSpeedNormal, kSpeedFast, kSpeedSlow};
  const int buttons[] = {kSpeedButtonNormal, kSpeedButtonFast, kSpeedButtonSlow};
  for (int i = 0; i < 60; ++i) {
    const int k = static_cast<int>(rng() % 3);
    if (rng() % 4 == 0) table.Execute(kPlay);  // a change while playing stops the play
    ASSERT_TRUE(table.Execute(commands[k]));
    EXPECT_FALSE(cmds.IsPlaying());
    int speedRows = 0;
    for (const COrv_PanelRow& row : audio.Rows())
      if (row.id == kSpeedButtonNormal || row.id == kSpeedButtonFast || row.id == kSpeedButtonSlow) ++speedRows;
    ASSERT_EQ(speedRows, 1);
    EXPECT_EQ(audio.Rows()[COrv_AudioPanel::kSpeedRow].id, buttons[k]);
    EXPECT_EQ(audio.GetSpeedButtonId(), buttons[k]);
  }
}

TEST_F(PlayCommands, CommandsAreEnabledByTheBookAndThePlayState) {
  struct Row {
    int id;
    bool idle, playing;
  };
  const Row rows[] = {
      {kPlay, true, true},           {kPause, false, true},       {kPlayFragment, true, true},
      {kPlayAll, true, true},        {kPlayUpToEnd, true, true},  {kPlayLoop, true, true},
      {kFragmentStart, false, true}, {kFragmentEnd, false, true}, {kSpeedFast, true, true},
      {kRecord, true, true},         {kStop, true, true},         {kRecordingPause, false, false},
      {kRecordingPlay, false, false}, {kPlaySequence, false, false},
  };
  for (const Row& r : rows) EXPECT_EQ(table.Query(r.id).enabled, r.idle) << r.id;
  table.Execute(kPlay);
  for (const Row& r : rows) EXPECT_EQ(table.Query(r.id).enabled, r.playing) << r.id;
  cmds.StopAll();
  book.open = false;
  for (const Row& r : rows) EXPECT_FALSE(table.Query(r.id).enabled) << r.id;
  EXPECT_FALSE(table.Execute(kPlay));
  EXPECT_EQ(writes(), 1u);
}

// A device that cannot be opened (no sound server, or one taken away):
// the engine says so, the button comes back up, and the next Play works.
TEST_F(PlayCommands, ADeviceThatWillNotOpenIsReportedAndLeavesPlayUsable) {
  for (int command : {kPlay, kPlayAll}) {
    SCOPED_TRACE(command);
    sink.clear();
    backend.failCall("waveOutOpen", MMSYSERR_NODRIVER);
    table.Execute(command);
    EXPECT_FALSE(cmds.IsPlaying());
    EXPECT_FALSE(down(command));
    ASSERT_EQ(sink.boxes().size(), 1u);
    EXPECT_EQ(sink.last().request.text, "Audio device not available\n");
    EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Error);
    EXPECT_TRUE(table.Query(command).enabled);
    ASSERT_TRUE(table.Execute(command));
    EXPECT_TRUE(cmds.IsPlaying());
    cmds.StopAll();
  }
}

// A device that takes a play and never hands it back (a sound server
// that went away mid-play) is given up after the wave's length and a
// margin; a pause by the learner is not such a stall.
TEST_F(PlayCommands, APlayTheDeviceNeverEndsIsStoppedWithAMessage) {
  table.Execute(kPlayLoop);
  table.Execute(kPlay);
  runFor(300);
  table.Execute(kPause);
  runFor(20000);
  EXPECT_TRUE(cmds.IsPlaying());
  EXPECT_TRUE(sink.boxes().empty());
  table.Execute(kPause);

  engine.Pause();  // the device stops behind the commands' back
  runFor(700 + COrv_PlayCommands::kStallMarginMs - 100);
  EXPECT_TRUE(cmds.IsPlaying());
  runFor(400);
  EXPECT_FALSE(cmds.IsPlaying());
  EXPECT_FALSE(cmds.IsDelayedPlayPending()) << "a lost device ends the loop too";
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Audio device not available");
  EXPECT_FALSE(down(kPlay));
  ASSERT_TRUE(table.Execute(kPlay));
  runFor(1000);
  EXPECT_EQ(cmds.PendingAction(), Pending::Play) << "the next play ends as usual";
}

TEST_F(PlayCommands, PauseHoldsThePlayAndAViewPlayStopsTheRecording) {
  table.Execute(kPlay);
  runFor(300);
  table.Execute(kPause);
  EXPECT_TRUE(down(kPause));
  runFor(5000);
  EXPECT_TRUE(cmds.IsPlaying()) << "a paused play does not end";
  table.Execute(kPause);
  EXPECT_FALSE(down(kPause));
  runFor(650);
  EXPECT_TRUE(cmds.IsPlaying());
  runFor(100);
  EXPECT_FALSE(cmds.IsPlaying());

  // A segment play asked by a view stops the learner's recording first.
  giveRecording();
  table.Execute(kRecordingPlay);
  ASSERT_TRUE(cmds.IsRecordingPlaying());
  EXPECT_TRUE(cmds.RequestPlayFrom(2, COrv_PlayViews::kAudioSelector));
  EXPECT_FALSE(cmds.IsRecordingPlaying());
  EXPECT_TRUE(cmds.IsPlaying());
  EXPECT_TRUE(down(kPlayFragment));
  float s, e;
  book.GetQuoteFragment(&s, &e);
  EXPECT_EQ(s, 25.0f);
  EXPECT_EQ(e, 50.0f);
  EXPECT_EQ(views.fragments, (std::vector<playtest::LoggingViews::Fragment>{{COrv_PlayViews::kAudioSpeechView, 25, 50}}));
  runFor(100);
  ASSERT_FALSE(views.markers.empty());
  EXPECT_EQ(views.markers.back().first, COrv_PlayViews::kAudioSelector);
  EXPECT_GT(views.markers.back().second, 25.0);
}

}  // namespace
