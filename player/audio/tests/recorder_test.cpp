// The voice recorder and the recorded voice slots on the virtual audio
// device and a manual clock: the virtual input is a known square wave, so a
// saved take can be compared with exactly what the device captured.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/dispatcher.h"
#include "platform/audio/mci_wave.h"
#include "platform/audio/virtual_device.h"
#include "platform/fs/fault.h"
#include "platform/fs/temp_files.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/mci_record.h"
#include "player/audio/recorded_voice.h"
#include "player/audio/wave_out_wnd.h"

using namespace plat::audio;
namespace fs = std::filesystem;

namespace {

// Every file of the test's temporary folder (TMPDIR), so that a stray
// "~ov" file or a half-written file beside it shows up.
std::vector<std::string> tempFiles() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(tvtest::sandbox().tmp)) names.push_back(e.path().filename().string());
  return names;
}

// The first `bytes` bytes the virtual input gives.
std::string inputBytes(size_t bytes) {
  std::string out(bytes, '\0');
  squareWaveInput(0, out.data(), out.size());
  return out;
}

struct Notes : MciNotifyTarget {
  std::vector<uint32_t> codes;
  void OnMciNotify(MCIDEVICEID, uint32_t code) override { codes.push_back(code); }
};

struct Recorder : ::testing::Test {
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  ScopedDispatcher d{clock};
  ScopedBackend b{backend};
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink s{sink};
  plat::fs::FaultScope faults;

  // Saves the take and reads it back; fails the test when no file comes.
  plat::riff::Wav saved(COrv_MCIRecord& rec) {
    plat::riff::Wav wav;
    const std::string path = rec.SaveToTempFile();
    EXPECT_FALSE(path.empty());
    if (path.empty()) return wav;
    EXPECT_EQ(fs::path(path).parent_path(), tvtest::sandbox().tmp);
    EXPECT_EQ(fs::path(path).filename().string().rfind("~ov", 0), 0u) << path;
    EXPECT_FALSE(plat::riff::readWavFile(path, wav));
    fs::remove(path);
    return wav;
  }
};

TEST_F(Recorder, OpenTakesTheFormatOfItsFlag) {
  struct Row {
    uint32_t flag;
    uint32_t rate;
    uint16_t bits, channels;
  } rows[] = {
      {0, 11025, 16, 1},      {WAVE_FORMAT_1M16, 11025, 16, 1}, {WAVE_FORMAT_4S16, 44100, 16, 2},
      {WAVE_FORMAT_1M08, 11025, 8, 1}, {WAVE_FORMAT_2S08, 22050, 8, 2}, {0x3000, 11025, 16, 1},
  };
  for (const Row& r : rows) {
    COrv_MCIRecord rec;
    ASSERT_TRUE(rec.Open(r.flag)) << r.flag;
    EXPECT_TRUE(rec.IsOpen());
    const MCI_WAVE_SET_PARMS& p = rec.GetSetParms();
    EXPECT_EQ(p.timeFormat, MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(p.formatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(p.samplesPerSec, r.rate) << r.flag;
    EXPECT_EQ(p.bitsPerSample, r.bits) << r.flag;
    EXPECT_EQ(p.channels, r.channels) << r.flag;
    EXPECT_EQ(p.blockAlign, r.bits / 8 * r.channels) << r.flag;
    EXPECT_EQ(p.avgBytesPerSec, r.rate * p.blockAlign) << r.flag;
    // The device records in that format, and the file says so.
    ASSERT_TRUE(rec.Record());
    clock.advanceMs(200);
    ASSERT_TRUE(rec.Stop());
    const plat::riff::Wav wav = saved(rec);
    EXPECT_EQ(wav.format, plat::riff::WavFormat::pcm(r.rate, r.bits, r.channels)) << r.flag;
    EXPECT_EQ(wav.samples.size() / p.blockAlign, r.rate / 5) << r.flag;
  }
}

TEST_F(Recorder, ATakeLeftRunningStopsAtExactlyItsMaximumAndStillSaves) {
  struct Row {
    uint32_t flag, maxMs;
    uint32_t frames;
  } rows[] = {{0, COrv_MCIRecord::kDefaultMaxLengthMs, 110250}, {WAVE_FORMAT_4S16, 1500, 66150}};
  for (const Row& r : rows) {
    COrv_MCIRecord rec;
    if (r.maxMs != COrv_MCIRecord::kDefaultMaxLengthMs) rec.SetMaxLength(r.maxMs);
    EXPECT_EQ(rec.GetMaxLength(), r.maxMs);
    ASSERT_TRUE(rec.Open(r.flag));
    Notes notes;
    ASSERT_TRUE(rec.Record(&notes));
    clock.advanceMs(r.maxMs - 1);
    EXPECT_TRUE(notes.codes.empty());
    clock.advanceMs(r.maxMs + 5000);
    EXPECT_EQ(notes.codes, std::vector<uint32_t>{MCI_NOTIFY_SUCCESSFUL}) << "the device ended the take itself";
    const plat::riff::Wav wav = saved(rec);
    const uint32_t align = rec.GetSetParms().blockAlign;
    EXPECT_EQ(wav.samples.size(), size_t{r.frames} * align);
    EXPECT_EQ(wav.samples, inputBytes(size_t{r.frames} * align)) << "every frame once, none lost at a buffer edge";
  }
}

TEST_F(Recorder, PauseAndResumeLeaveThePausedTimeOut) {
  COrv_MCIRecord rec;
  ASSERT_TRUE(rec.Open(0));
  EXPECT_FALSE(rec.Pause()) << "nothing to pause before recording";
  ASSERT_TRUE(rec.Record());
  clock.advanceMs(1120);  // inside the fifth buffer
  ASSERT_TRUE(rec.Pause());
  clock.advanceMs(3000);
  ASSERT_TRUE(rec.Resume());
  clock.advanceMs(880);
  ASSERT_TRUE(rec.Stop());
  plat::riff::Wav wav = saved(rec);
  EXPECT_EQ(wav.samples, inputBytes(2 * 22050)) << "two seconds recorded, the paused three left out";

  // Paused across the maximum: the take still ends at exactly 10 s of
  // recording time.
  ASSERT_TRUE(rec.Record());
  clock.advanceMs(9000);
  ASSERT_TRUE(rec.Pause());
  clock.advanceMs(4000);
  ASSERT_TRUE(rec.Resume());
  clock.advanceMs(4000);
  wav = saved(rec);
  EXPECT_EQ(wav.samples.size(), 110250u * 2);
}

TEST_F(Recorder, ClosedRecorderAnswersWithoutADevice) {
  COrv_MCIRecord rec;
  EXPECT_FALSE(rec.IsOpen());
  EXPECT_EQ(rec.SaveToTempFile(), "");
  EXPECT_TRUE(rec.Stop());
  EXPECT_FALSE(rec.Record());
  EXPECT_FALSE(rec.Pause());
  EXPECT_FALSE(rec.Resume());
  EXPECT_FALSE(rec.SetFormat(0));
  EXPECT_TRUE(rec.Close());
  EXPECT_TRUE(tempFiles().empty());
  EXPECT_EQ(backend.count("waveInOpen"), 0u);
  EXPECT_TRUE(sink.boxes().empty());
}

TEST_F(Recorder, EveryFailureLeavesNoFileBehind) {
  struct Row {
    const char* name;
    std::function<void()> arm;  // the failure, armed after Open
    bool recordFails;
    int msOfRecording;
  } rows[] = {
      {"wave-in open", [&] { backend.failCall("waveInOpen", MMSYSERR_ALLOCATED, -1); }, true, 500},
      {"wave-in start", [&] { backend.failCall("waveInStart", MMSYSERR_ERROR, -1); }, true, 500},
      {"wave-in buffer", [&] { backend.failCall("waveInAddBuffer", MMSYSERR_NOMEM, -1); }, true, 500},
      {"immediate stop", [] {}, false, 0},
      {"temp file", [] { plat::fs::injectFault(plat::fs::FaultOp::Open, "~ov", EACCES); }, false, 500},
      {"write", [] { plat::fs::injectFault(plat::fs::FaultOp::Write, "~ov", ENOSPC); }, false, 500},
      {"rename", [] { plat::fs::injectFault(plat::fs::FaultOp::Rename, "~ov", EIO); }, false, 500},
  };
  for (const Row& r : rows) {
    COrv_MCIRecord rec;
    ASSERT_TRUE(rec.Open(0)) << r.name;
    sink.clear();
    r.arm();
    EXPECT_EQ(rec.Record(), !r.recordFails) << r.name;
    EXPECT_EQ(sink.boxes().size(), r.recordFails ? 1u : 0u) << r.name;
    clock.advanceMs(r.msOfRecording);
    rec.Stop();
    EXPECT_EQ(rec.SaveToTempFile(), "") << r.name;
    EXPECT_EQ(tempFiles(), std::vector<std::string>{}) << r.name;
    plat::fs::clearFaults();
    backend.clearFailures();
  }
}

TEST_F(Recorder, AFailingRecordIsShownAsTheDeviceError) {
  COrv_MCIRecord rec;
  ASSERT_TRUE(rec.Open(0));
  backend.failCall("waveInOpen", MMSYSERR_ALLOCATED, -1);
  EXPECT_FALSE(rec.Record());
  backend.clearFailures();
  ASSERT_EQ(sink.boxes().size(), 1u);
  const plat::ui::MessageBoxRequest& box = sink.last().request;
  EXPECT_EQ(box.caption, "Talvane Player: Error Window");
  EXPECT_EQ(box.text, "\nMCI Error on Command MCI_RECORD:\nEvery audio input is in use !\n");
  EXPECT_EQ(box.icon, plat::ui::Icon::Error);
  EXPECT_EQ(box.modality, plat::ui::Modality::Task);
  EXPECT_TRUE(box.topMost);
  EXPECT_EQ(sink.beeps(), std::vector<uint32_t>{plat::ui::MB_ICONEXCLAMATION});

  struct Row {
    MCIERROR code;
    const char* command;
    const char* text;
  } rows[] = {
      {MCIERR_HARDWARE, "", "\nMCI Error:\nThe audio device reported a failure !\n"},
      {MCIERR_HARDWARE, "MCI_SAVE", "\nMCI Error on Command MCI_SAVE:\nThe audio device reported a failure !\n"},
      {9999, "", "\nMCI Error:\nUnknown Error !\n"},
      {9999, "MCI_RECORD", "\nMCI Error on Command MCI_RECORD:\nUnknown Error !\n"},
      {MCIERR_HARDWARE, "100%s", "\nMCI Error on Command 100%s:\nThe audio device reported a failure !\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(COrv_MCIRecord::MCIErrorText(r.code, r.command), r.text);
  sink.clear();
  rec.ShowMCIError(0, "MCI_RECORD");
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_TRUE(sink.beeps().empty());
}

TEST_F(Recorder, AFailedCloseLeavesTheRecorderClosedAndReopenable) {
  COrv_MCIRecord rec;
  ASSERT_TRUE(rec.Open(0));
  ASSERT_TRUE(rec.Record());
  clock.advanceMs(300);
  EXPECT_EQ(backend.openInputs(), 1);
  backend.failCall("waveInClose", MMSYSERR_ERROR);
  EXPECT_FALSE(rec.Close()) << "the failure is answered";
  EXPECT_FALSE(rec.IsOpen()) << "but the recorder holds no device any more";
  EXPECT_EQ(rec.GetDeviceId(), 0u);
  EXPECT_EQ(backend.openInputs(), 0);
  EXPECT_EQ(rec.SaveToTempFile(), "");
  ASSERT_TRUE(rec.Open(0));
  ASSERT_TRUE(rec.Open(0)) << "an open recorder closes its device first";
  EXPECT_TRUE(rec.Record());
  EXPECT_EQ(backend.openInputs(), 1);
  EXPECT_TRUE(rec.CloseAll());
  EXPECT_FALSE(rec.IsOpen());
  EXPECT_EQ(backend.openInputs(), 0);
}

TEST_F(Recorder, NotificationsComeLaterAndNeverAfterClose) {
  COrv_MCIRecord rec;
  rec.SetMaxLength(1000);
  ASSERT_TRUE(rec.Open(0));
  Notes first, second;
  ASSERT_TRUE(rec.Record(&first));
  clock.advanceMs(200);
  ASSERT_TRUE(rec.Pause(&second));
  EXPECT_TRUE(first.codes.empty() && second.codes.empty()) << "never inside the call";
  clock.runDue();
  EXPECT_EQ(first.codes, std::vector<uint32_t>{MCI_NOTIFY_SUPERSEDED});
  EXPECT_EQ(second.codes, std::vector<uint32_t>{MCI_NOTIFY_SUCCESSFUL});

  first.codes.clear();
  ASSERT_TRUE(rec.Record(&first));
  clock.advanceMs(200);
  ASSERT_TRUE(rec.Stop());
  clock.runDue();
  EXPECT_EQ(first.codes, std::vector<uint32_t>{MCI_NOTIFY_ABORTED});

  // The device fails under way: the take keeps its first full buffer.
  first.codes.clear();
  ASSERT_TRUE(rec.Record(&first));
  backend.failCall("waveInAddBuffer", MMSYSERR_ERROR);
  clock.advanceMs(600);
  EXPECT_EQ(first.codes, std::vector<uint32_t>{MCI_NOTIFY_FAILURE});
  EXPECT_EQ(saved(rec).samples, inputBytes(5512));

  first.codes.clear();
  ASSERT_TRUE(rec.Record(&first));
  EXPECT_TRUE(rec.Close());
  clock.advanceMs(2000);
  EXPECT_TRUE(first.codes.empty());
}

// --- Recorded voice slots ---------------------------------------------------------

std::string wavOf(uint32_t frames) {
  std::string out;
  EXPECT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(11025, 16, 1), inputBytes(frames * 2), out));
  return out;
}

// A take as the recorder leaves it: a new "~ov" file of the temporary folder.
std::string takeFile(const std::string& bytes) {
  plat::fs::TempFile t;
  EXPECT_FALSE(plat::fs::createTempFile(tvtest::sandbox().tmp, "~ov", t));
  tvtest::writeFile(t.path, bytes);
  return t.path.string();
}

TEST_F(Recorder, SlotsRefuseNumbersOutsideTheBookAndEmptyPaths) {
  COrv_RecordedVoice voice;
  voice.SetSlotCount(3);
  const std::string good = takeFile(wavOf(1000));
  EXPECT_FALSE(voice.LoadSlot("", 1));
  EXPECT_FALSE(voice.LoadSlot(good, 4));
  EXPECT_FALSE(voice.LoadSlot(good, -1));
  EXPECT_FALSE(voice.LoadSlot(good, 0)) << "no current slot yet";
  EXPECT_FALSE(voice.SelectSlot(-1));
  EXPECT_FALSE(voice.SelectSlot(4));
  EXPECT_FALSE(voice.SetCurrentSlot(-1));
  EXPECT_FALSE(voice.SetCurrentSlot(4));
  EXPECT_FALSE(voice.DeleteSlotFile(-2));
  EXPECT_FALSE(voice.DeleteSlotFile(4));
  EXPECT_EQ(voice.GetCurrentSlot(), 0);
  for (int n = -1; n <= 4; ++n) EXPECT_EQ(voice.GetSlotFile(n), "") << n;
  EXPECT_FALSE(voice.GetWave().IsLoaded());

  ASSERT_TRUE(voice.LoadSlot(good, 2));
  EXPECT_EQ(voice.GetCurrentSlot(), 2);
  EXPECT_EQ(voice.GetSlotFile(0), good);
  EXPECT_EQ(voice.GetSlotFile(2), good);
  EXPECT_TRUE(voice.GetWave().IsLoaded());
  const std::string bad = takeFile("RIFF");
  EXPECT_FALSE(voice.LoadSlot(bad, 3));
  EXPECT_EQ(voice.GetSlotFile(3), "") << "a file that does not load is not listed";
  EXPECT_FALSE(voice.SelectSlot(3));
  EXPECT_FALSE(voice.GetWave().IsLoaded()) << "an empty slot plays no other slot's take";
  EXPECT_TRUE(voice.SelectSlot(2));
  EXPECT_TRUE(voice.GetWave().IsLoaded());
  EXPECT_TRUE(voice.SetCurrentSlot(1));
  EXPECT_EQ(voice.GetSlotFile(0), "");
  fs::remove(bad);
}

TEST_F(Recorder, ClosingTheBookDeletesEveryFile) {
  std::vector<std::string> files;
  {
    COrv_RecordedVoice voice;
    voice.SetSlotCount(4);
    for (int n = 1; n <= 4; ++n) {
      files.push_back(takeFile(wavOf(100)));
      ASSERT_TRUE(voice.LoadSlot(files.back(), n));
    }
    voice.SetSlotCount(3);
    EXPECT_FALSE(fs::exists(files[3])) << "a slot dropped with its file";
    EXPECT_EQ(voice.GetSlotCount(), 3);
    EXPECT_EQ(voice.GetCurrentSlot(), 0);
    EXPECT_TRUE(voice.DeleteSlotFile(2));
    EXPECT_FALSE(fs::exists(files[1]));
    EXPECT_EQ(voice.GetSlotFile(2), "");
    EXPECT_TRUE(voice.DeleteAllSlotFiles());
    for (const std::string& f : files) EXPECT_FALSE(fs::exists(f)) << f;
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(voice.GetSlotFile(n), "");

    files = {takeFile(wavOf(100))};
    ASSERT_TRUE(voice.LoadSlot(files[0], 1));
  }
  EXPECT_FALSE(fs::exists(files[0])) << "nor does a take outlive the slots";
  EXPECT_TRUE(tempFiles().empty());
}

TEST_F(Recorder, ANewTakeReplacesTheOldOneOnlyWhenItLoads) {
  using R = COrv_RecordedVoice::TakeResult;
  enum class Take { None, Good, Bad, Unsaved };
  struct Row {
    const char* name;
    Take old, fresh;
    R result;
    int message;
    Take kept;         // whose file the slot lists afterwards
    size_t loadBoxes;  // "Failed to load file", once per take that does not decode
  } rows[] = {
      {"first take", Take::None, Take::Good, R::Kept, 0, Take::Good, 0},
      {"second take", Take::Good, Take::Good, R::Kept, 0, Take::Good, 0},
      {"not saved, old kept", Take::Good, Take::Unsaved, R::NotSaved, 20001, Take::Good, 0},
      {"not saved, none", Take::None, Take::Unsaved, R::NotSaved, 20001, Take::None, 0},
      {"unloadable, old restored", Take::Good, Take::Bad, R::Restored, 20002, Take::Good, 1},
      {"unloadable, no old", Take::None, Take::Bad, R::Lost, 20003, Take::None, 1},
      // The old take may be the learner's only copy: it is never deleted.
      {"unloadable, old broken too", Take::Bad, Take::Bad, R::Lost, 20003, Take::Bad, 2},
  };
  for (const Row& r : rows) {
    sink.clear();
    COrv_RecordedVoice voice;
    voice.SetSlotCount(2);
    ASSERT_TRUE(voice.SetCurrentSlot(2));
    std::string old;
    if (r.old != Take::None) {
      old = takeFile(wavOf(200));
      ASSERT_TRUE(voice.LoadSlot(old, 2));
      if (r.old == Take::Bad) tvtest::writeFile(old, "RIFF....WAVE");  // spoilt on disk since
    }
    const std::string fresh =
        r.fresh == Take::Unsaved ? "" : takeFile(r.fresh == Take::Good ? wavOf(300) : std::string("junk"));
    const R result = voice.ReplaceTake(fresh, 0);
    EXPECT_EQ(result, r.result) << r.name;
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), r.loadBoxes) << r.name;
    for (const auto& box : boxes) EXPECT_EQ(box.request.text, "Failed to load file") << r.name;
    EXPECT_EQ(COrv_RecordedVoice::MessageFor(result), r.message) << r.name;
    const std::string expected = r.kept == Take::None ? "" : r.fresh == Take::Good ? fresh : old;
    EXPECT_EQ(voice.GetSlotFile(2), expected) << r.name;
    std::vector<std::string> onDisk;
    if (!expected.empty()) onDisk.push_back(fs::path(expected).filename().string());
    EXPECT_EQ(tempFiles(), onDisk) << r.name << ": every other take is gone";
    if (!expected.empty() && result != R::Lost) {
      EXPECT_EQ(voice.GetWave().GetPath(), expected) << r.name;
    }
    voice.DeleteAllSlotFiles();
  }
}

TEST_F(Recorder, TheSlotsTakePlaysItsRangeOrFragment) {
  COrv_WaveOutWnd engine;
  COrv_RecordedVoice voice;
  voice.SetSlotCount(2);
  ASSERT_TRUE(voice.LoadSlot(takeFile(wavOf(11025)), 1));
  struct : COrv_WaveNotifyObj {
    int ends = 0;
    void OnWaveEnd(COrv_WavePlay*) override { ++ends; }
    void OnWavePosition(double) override {}
  } notify;
  EXPECT_FALSE(voice.SetFragment(60, 40));
  EXPECT_FALSE(voice.SetFragment(0, 100.5f));
  EXPECT_EQ(voice.GetFragmentStart(), 0.0f);
  ASSERT_TRUE(voice.SetFragment(25, 75));
  backend.clearLog();
  ASSERT_TRUE(voice.PlayFragment(&engine, &notify));
  ASSERT_EQ(backend.writes().size(), 1u);
  EXPECT_EQ(backend.writes()[0].length, 11024u);
  clock.advanceMs(600);
  EXPECT_EQ(notify.ends, 1);
  ASSERT_TRUE(voice.PlayRange(0, 100, &engine, &notify));
  EXPECT_EQ(backend.writes().back().length, 22050u);
  clock.advanceMs(200);
  EXPECT_TRUE(voice.Pause());
  EXPECT_TRUE(voice.Restart());
  EXPECT_TRUE(voice.Stop());
  clock.advanceMs(2000);
  EXPECT_EQ(notify.ends, 1) << "a stopped play reports no end";

  // Another take loaded while one plays: the device reads the wave's own
  // memory, so that play ends first, without an end reported.
  ASSERT_TRUE(voice.PlayRange(0, 100, &engine, &notify));
  ASSERT_TRUE(voice.LoadSlot(takeFile(wavOf(5000)), 2));
  EXPECT_FALSE(engine.IsOpen());
  ASSERT_TRUE(voice.PlayRange(0, 100, &engine, &notify));
  EXPECT_TRUE(voice.SelectSlot(0));
  EXPECT_FALSE(engine.IsOpen()) << "selecting reloads the slot";
  clock.advanceMs(2000);
  EXPECT_EQ(notify.ends, 1);
}

}  // namespace
