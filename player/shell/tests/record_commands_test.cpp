// The recording commands on the virtual wave-in device and a manual clock,
// with real temporary files: what Stop does with a take in every outcome,
// a second take, setting 15, a take saved by any stop, a machine without a
// microphone, pause and the recording's availability per Echomark.

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/fs/fault.h"
#include "platform/fs/program_folder.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/win/window.h"
#include "player/audio/mci_record.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "player/shell/play_commands.h"
#include "player/shell/tests/play_fixture.h"

using namespace plat::audio;
using namespace play_cmd;
namespace fs = std::filesystem;

namespace {

class RecordCommands : public ::testing::Test {
 protected:
  void SetUp() override { make({}); }
  void TearDown() override {
    plat::fs::clearFaults();
    cmds.reset();
    plat::win::test::reset();
  }
  void make(VirtualBackend::Options options) {
    cmds.reset();
    backendScope.reset();
    backend = std::make_unique<VirtualBackend>(clock, options);
    backend->setInputSource(squareWaveInput);
    backendScope = std::make_unique<ScopedBackend>(*backend);
    plat::win::test::reset();
    plat::win::WNDCLASS wc;
    wc.lpfnWndProc = plat::win::DefWindowProc;
    wc.lpszClassName = "RecordTestParent";
    plat::win::RegisterClass(&wc);
    const auto parent = plat::win::CreateWindowEx(0, "RecordTestParent", "", plat::win::WS_POPUP, 0, 0, 200, 600,
                                                  nullptr, nullptr, nullptr, nullptr);
    audio = std::make_unique<COrv_AudioPanel>();
    secondary = std::make_unique<COrv_SecondaryPanel>();
    ASSERT_TRUE(audio->Create(parent, COrv_AudioPanel::kBarId));
    ASSERT_TRUE(secondary->Create(parent, COrv_SecondaryPanel::kBarId));
    engine = std::make_unique<COrv_WaveOutWnd>();
    table = COrv_CommandTable();
    cmds = std::make_unique<COrv_PlayCommands>(*engine, recorder, *audio, *secondary, state);
    cmds->SetBook(&book);
    cmds->SetViews(&views);
    cmds->Register(table);
  }
  // One take of `ms` milliseconds, stopped with the Stop command.
  void take(int ms = 500) {
    ASSERT_TRUE(table.Execute(kRecord));
    ASSERT_TRUE(cmds->IsRecording());
    clock.advanceMs(ms);
    ASSERT_TRUE(table.Execute(kRecordingStop));
    EXPECT_FALSE(cmds->IsRecording());
  }
  // The take files ("~ov...") in the temporary folder.
  std::vector<fs::path> takeFiles() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(plat::fs::systemTempFolder()))
      if (e.path().filename().string().rfind("~ov", 0) == 0) out.push_back(e.path());
    return out;
  }

  ManualDispatcher clock;
  ScopedDispatcher d{clock};
  std::unique_ptr<VirtualBackend> backend;
  std::unique_ptr<ScopedBackend> backendScope;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink s{sink};
  std::unique_ptr<COrv_AudioPanel> audio;
  std::unique_ptr<COrv_SecondaryPanel> secondary;
  COrv_FrameState state;
  std::unique_ptr<COrv_WaveOutWnd> engine;
  COrv_MCIRecord recorder;
  playtest::StandInBook book;
  playtest::LoggingViews views;
  COrv_CommandTable table;
  std::unique_ptr<COrv_PlayCommands> cmds;
};

TEST_F(RecordCommands, StopPutsTheTakeInTheSlotOrSaysWhyNot) {
  enum Fault { kNone, kSave, kLoadNew, kLoadNewAndOld };
  struct Row {
    bool oldTake;
    Fault fault;
    int message;  // 0: none
    bool available;
    bool oldLeft;   // the old take's file is still on disk
    bool newInSlot;  // the slot lists a new "~ov" take
  };
  const Row rows[] = {
      {false, kNone, 0, true, false, true},
      {true, kNone, 0, true, false, true},
      {false, kSave, 20001, false, false, false},
      {true, kSave, 20001, true, true, false},
      {false, kLoadNew, 20003, false, false, false},
      {true, kLoadNew, 20002, true, true, false},
      // Reloading the old take fails too: it is the learner's only copy
      // and stays.
      {true, kLoadNewAndOld, 20003, true, true, false},
  };
  const std::string messages[] = {"", "MCI :\nAn error occurred when saving the last Recorded Audio File",
                                  "MCI :\nAn error occurred when loading the last Recorded Audio File !\nthe Old Audio File will be Restored",
                                  "MCI :\nI can't load the Audio File \nrecorded for the current Echomark !"};
  int k = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "row " << k);
    book.Voice().DeleteAllSlotFiles();
    sink.clear();
    const fs::path old = tvtest::sandbox().tmp / ("old-take" + std::to_string(k++) + ".wav");
    if (r.oldTake) {
      playtest::writeWave(old.filename().string(), 4410);
      ASSERT_TRUE(book.Voice().LoadSlot(old.string(), 1));
    }
    if (r.fault == kSave) plat::fs::injectFault(plat::fs::FaultOp::Write, "~ov", EIO, 1000);
    if (r.fault == kLoadNew || r.fault == kLoadNewAndOld) plat::fs::injectFault(plat::fs::FaultOp::Read, "~ov", EIO, 1000);
    if (r.fault == kLoadNewAndOld) plat::fs::injectFault(plat::fs::FaultOp::Read, old.filename().string(), EIO, 1);
    take();
    plat::fs::clearFaults();

    // Each take that does not read is told by the wave before the frame's
    // own message.
    const size_t unread = r.fault == kLoadNew ? 1 : r.fault == kLoadNewAndOld ? 2 : 0;
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), unread + (r.message == 0 ? 0 : 1));
    for (size_t i = 0; i < unread; ++i) EXPECT_EQ(boxes[i].request.text, "Failed to load file");
    if (r.message != 0) {
      EXPECT_EQ(sink.last().request.text, messages[r.message - 20000]);
      EXPECT_EQ(sink.last().request.caption, "Talvane Player: Error Window");
      EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Error);
    }
    EXPECT_EQ(cmds->RecordingAvailable(), r.available);
    EXPECT_EQ(table.Query(kRecordingPlay).enabled, r.available);
    EXPECT_EQ(fs::exists(old), r.oldLeft);
    const std::string slot = book.Voice().GetSlotFile(1);
    const auto takes = takeFiles();
    if (r.newInSlot) {
      ASSERT_EQ(takes.size(), 1u);
      EXPECT_EQ(slot, takes[0].string());
    } else {
      EXPECT_TRUE(takes.empty()) << "no failed take is left behind";
      EXPECT_EQ(slot, r.oldTake ? old.string() : "");
    }
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_FALSE(table.Query(kRecord).checked);
  }
}

TEST_F(RecordCommands, ASecondTakeReplacesTheFirstAndPlaysBack) {
  take(300);
  const std::string first = book.Voice().GetSlotFile(1);
  ASSERT_FALSE(first.empty());
  take(600);
  const std::string second = book.Voice().GetSlotFile(1);
  EXPECT_NE(second, first);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(takeFiles().size(), 1u);
  EXPECT_EQ(views.refreshed, (std::vector<int>{COrv_PlayViews::kRecordSpeechView, COrv_PlayViews::kRecordSpeechView}));

  ASSERT_TRUE(table.Execute(kRecordingPlay));
  EXPECT_TRUE(cmds->IsRecordingPlaying());
  clock.advanceMs(590);
  EXPECT_TRUE(cmds->IsRecordingPlaying()) << "the second take is the longer one";
  clock.advanceMs(20);
  EXPECT_FALSE(cmds->IsRecordingPlaying());
}

TEST_F(RecordCommands, Setting15TurnsSequenceOnForTheFirstTakeAfterOpeningOnly) {
  const int32_t on = 1;
  state.SetValue(COrv_PlayCommands::kSettingInitPlayRecSequence, &on);
  take();
  EXPECT_FALSE(cmds->IsSequence()) << "no book was just opened";
  book.Voice().DeleteAllSlotFiles();
  cmds->SetBookJustOpened(true);
  table.Execute(kPlay);
  cmds->StopAll();
  EXPECT_FALSE(cmds->IsSequence()) << "a stop without a take changes nothing";
  take();
  EXPECT_TRUE(cmds->IsSequence());
  EXPECT_TRUE(table.Query(kPlaySequence).checked);
  table.Execute(kPlaySequence);
  take();
  EXPECT_FALSE(cmds->IsSequence()) << "once only";
}

TEST_F(RecordCommands, ATakeStoppedByAnyOtherCommandIsSaved) {
  for (int command : {kPlay, kPlayAll, kRecord}) {
    SCOPED_TRACE(command);
    book.Voice().DeleteAllSlotFiles();
    ASSERT_TRUE(table.Execute(kRecord));
    clock.advanceMs(400);
    ASSERT_TRUE(table.Execute(command));
    EXPECT_FALSE(book.Voice().GetSlotFile(1).empty());
    EXPECT_TRUE(cmds->RecordingAvailable());
    clock.advanceMs(100);
    cmds->StopAll();
  }
  // A move to another Echomark stops everything first: the take stays
  // with the Echomark it was recorded on.
  book.Voice().DeleteAllSlotFiles();
  table.Execute(kRecord);
  clock.advanceMs(400);
  cmds->StopAll();
  table.Execute(kPlaySequence);
  ASSERT_TRUE(cmds->IsSequence());
  book.GoToQuote(2);
  cmds->OnQuoteChanged();
  EXPECT_FALSE(cmds->IsSequence()) << "no recording, no sequence";
  EXPECT_FALSE(book.Voice().GetSlotFile(1).empty());
  EXPECT_FALSE(cmds->RecordingAvailable()) << "Echomark 2 has no take of its own";
  EXPECT_FALSE(table.Query(kRecordingPlay).enabled);
  EXPECT_FALSE(table.Query(kPlaySequence).enabled);
  EXPECT_TRUE(sink.boxes().empty()) << sink.last().request.text;
}

TEST_F(RecordCommands, NoMicrophoneSaysSoAndLeavesEveryCommandUsable) {
  VirtualBackend::Options noInput;
  noInput.inCount = 0;
  make(noInput);
  ASSERT_TRUE(table.Execute(kRecord));
  EXPECT_FALSE(cmds->IsRecording());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("MCI Error on Command MCI_RECORD"), std::string::npos)
      << sink.last().request.text;
  EXPECT_FALSE(recorder.IsOpen());
  EXPECT_FALSE(table.Query(kRecord).checked);
  for (int id : {kRecord, kPlay, kStop, kPlayAll}) EXPECT_TRUE(table.Query(id).enabled) << id;
  ASSERT_TRUE(table.Execute(kPlay));
  EXPECT_TRUE(cmds->IsPlaying());
}

TEST_F(RecordCommands, PauseHoldsTheTakeAndStopSavesWhatWasRecorded) {
  table.Execute(kRecord);
  clock.advanceMs(300);
  table.Execute(kRecordingPause);
  EXPECT_TRUE(cmds->IsRecordingPaused());
  clock.advanceMs(5000);
  table.Execute(kRecordingPause);
  EXPECT_FALSE(cmds->IsRecordingPaused());
  clock.advanceMs(200);
  table.Execute(kStop);
  ASSERT_TRUE(cmds->RecordingAvailable());
  const double seconds = book.Voice().GetWave().GetDurationSeconds();
  EXPECT_NEAR(seconds, 0.5, 0.05) << "the paused time is left out";

  // Pause of the playing take: the play holds, then goes on to its end.
  table.Execute(kRecordingPlay);
  clock.advanceMs(100);
  table.Execute(kRecordingPause);
  EXPECT_TRUE(cmds->IsRecordingPlaybackPaused());
  clock.advanceMs(3000);
  EXPECT_TRUE(cmds->IsRecordingPlaying());
  table.Execute(kRecordingPause);
  clock.advanceMs(450);
  EXPECT_FALSE(cmds->IsRecordingPlaying());
}

}  // namespace

namespace {

// A recording device that goes away under a take (its sound server lost):
// Stop keeps what was captured before, in the Echomark's slot, and tells
// the loss in one box, the one the player shows for a missing device.
TEST_F(RecordCommands, ATakeCutByALostDeviceIsKeptAndTheLossToldOnce) {
  ASSERT_TRUE(table.Execute(kRecord));
  clock.advanceMs(600);
  backend->failCall("waveInStop", MMSYSERR_NODRIVER, -1);
  ASSERT_TRUE(table.Execute(kRecordingStop));
  backend->clearFailures();
  EXPECT_FALSE(cmds->IsRecording());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Audio device not available");
  EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Error);
  const std::string slot = book.Voice().GetSlotFile(book.CurrentQuote());
  ASSERT_FALSE(slot.empty()) << "the take was lost";
  EXPECT_GT(fs::file_size(slot), 44u + 10000u) << "less than what was captured before the loss";
  EXPECT_TRUE(table.Query(kRecordingPlay).enabled);

  // The next take, on a device that works again, tells nothing.
  sink.clear();
  take(300);
  EXPECT_TRUE(sink.boxes().empty());
}

}  // namespace
