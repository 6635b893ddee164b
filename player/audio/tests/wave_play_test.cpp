#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/fs/fault.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/wave_out_wnd.h"
#include "player/audio/wave_play.h"

using namespace plat::audio;

namespace {

std::string wavBytes(uint32_t rate, uint16_t bits, uint16_t channels, uint32_t dataBytes) {
  std::string out;
  std::string samples(dataBytes, '\0');
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<char>(i * 7);
  EXPECT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(rate, bits, channels), samples, out));
  return out;
}

TEST(WaveBlockRanges, PerCentsFallOnFrameBoundaries) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Row {
    uint16_t bits, channels;
    float start, end;
    int64_t bytes, offset;  // offset -1: no start address
  } rows[] = {
      {16, 1, 0, 100, 22050, 0},   {16, 1, 10, 50, 8820, 2204},  {16, 1, 50, 50, 0, 11024},
      {16, 1, 60, 40, -1, 13230},  {16, 1, -1, 50, -1, -1},      {16, 1, 0, 100.5f, -1, 0},
      {16, 1, nan, 50, -1, -1},    {16, 1, 0, nan, -1, 0},
      {8, 1, 10, 50, 8820, 2205},  {8, 1, 0, 100, 22050, 0},
      {16, 2, 10, 50, 8820, 2204}, {16, 2, 0, 100, 22048, 0},  {16, 2, 25, 75, 11024, 5512},
  };
  for (const Row& r : rows) {
    COrv_WavePlay wave;
    ASSERT_TRUE(wave.LoadBytes(wavBytes(22050, r.bits, r.channels, 22050)));
    const COrv_WaveBlock& b = wave.GetBlock();
    const std::string what = std::to_string(r.bits) + "/" + std::to_string(r.channels) + " (" +
                             std::to_string(r.start) + "," + std::to_string(r.end) + ")";
    EXPECT_EQ(b.BytesForRange(r.start, r.end), r.bytes) << what;
    const char* at = b.DataAtPercent(r.start);
    if (r.offset < 0) {
      EXPECT_EQ(at, nullptr) << what;
    } else {
      ASSERT_NE(at, nullptr) << what;
      EXPECT_EQ(at - b.Data(), r.offset) << what;
      EXPECT_EQ((at - b.Data()) % b.BlockAlign(), 0) << what;
    }
  }
}

TEST(WaveLoad, AcceptsWellFormedFilesAndRefusesBrokenOnes) {
  const std::string good = wavBytes(11025, 16, 1, 100);
  auto withFmt = [&](std::string fmtBody) {
    std::string out = "RIFF0000WAVEfmt ";
    plat::riff::appendU32(out, static_cast<uint32_t>(fmtBody.size()));
    out += fmtBody;
    if (fmtBody.size() % 2) out += '\0';
    out += good.substr(36);  // "data", size, samples
    plat::riff::putU32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
    return out;
  };
  const std::string fmt16 = good.substr(20, 16);
  auto patched = [&](size_t at, uint16_t v) {
    std::string f = fmt16;
    f[at] = static_cast<char>(v & 0xFF);
    f[at + 1] = static_cast<char>(v >> 8);
    return withFmt(f);
  };
  // LIST before fmt, and an odd chunk with its pad byte before data.
  using namespace std::string_literals;
  std::string listFirst = "RIFF0000WAVELIST\x05\0\0\0INFOx\0"s + good.substr(12, 24) + "odd \x03\0\0\0abc\0"s +
                          good.substr(36);
  plat::riff::putU32(listFirst.data() + 4, static_cast<uint32_t>(listFirst.size() - 8));
  std::string truncated = good.substr(0, good.size() - 10);
  std::string noData = good.substr(0, 36);
  plat::riff::putU32(noData.data() + 4, 28);

  struct Row {
    const char* name;
    std::string bytes;
    bool ok;
  } rows[] = {
      {"fmt 16", good, true},
      {"fmt 18", withFmt(fmt16 + std::string(2, '\0')), true},
      {"LIST first, odd chunk", listFirst, true},
      {"fmt 14", withFmt(fmt16.substr(0, 14)), false},
      {"tag 3", patched(0, 3), false},
      {"no data", noData, false},
      {"truncated data", truncated, false},
      {"bits 0", patched(14, 0), false},
      {"channels 0", patched(2, 0), false},
      {"rate 0", [&] {
         std::string f = fmt16;
         plat::riff::putU32(f.data() + 4, 0);
         return withFmt(f);
       }(), false},
      {"data shorter than a frame", wavBytes(11025, 16, 2, 2), false},
  };
  for (const Row& r : rows) {
    COrv_WavePlay wave;
    EXPECT_EQ(wave.LoadBytes(r.bytes), r.ok) << r.name;
    EXPECT_EQ(wave.IsLoaded(), r.ok) << r.name;
    if (!r.ok) {
      EXPECT_TRUE(wave.GetBlock().IsEmpty()) << r.name;
    }
    const auto path = tvtest::sandbox().tmp / "w.wav";
    tvtest::writeFile(path, r.bytes);
    EXPECT_EQ(wave.LoadFile(path), r.ok) << r.name;
  }
  COrv_WavePlay wave;
  EXPECT_FALSE(wave.LoadFile(tvtest::sandbox().tmp / "missing.wav"));
  EXPECT_FALSE(wave.LoadFile(""));
}

// Stands in for the program's file dialog: answers a prepared choice and
// records what it was shown.
struct FakeWaveDialog : COrv_WaveFileDialog {
  std::filesystem::path answer;
  int shown = 0;
  std::vector<Filter> filters;
  std::filesystem::path ChooseFile(const std::vector<Filter>& f) override {
    ++shown;
    filters = f;
    return answer;
  }
};

struct WaveLoadBoxes : ::testing::Test {
  void SetUp() override {
    tvtest::writeFile(good, wavBytes(11025, 16, 1, 200));
    tvtest::writeFile(junk, "RIFF....WAVEjunk");
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { COrv_WaveFileDialog::Install(nullptr); }
  const std::filesystem::path good = tvtest::sandbox().tmp / "good.wav";
  const std::filesystem::path junk = tvtest::sandbox().tmp / "junk.wav";
  const std::filesystem::path folder = tvtest::sandbox().tmp / "a folder.wav";
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
};

TEST_F(WaveLoadBoxes, FailuresAreToldOnlyWhenAsked) {
  struct Row {
    const char* name;
    std::filesystem::path path;
    bool readFails;  // the file opens, its reading fails
    const char* text;
  } rows[] = {
      {"missing", tvtest::sandbox().tmp / "missing.wav", false, "Failed to open file"},
      {"a folder", folder, false, "Failed to open file"},
      {"not a wave", junk, false, "Failed to load file"},
      {"unreadable", good, true, "Failed to load file"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    sink.clear();
    COrv_WavePlay wave;
    ASSERT_TRUE(wave.LoadFile(good));
    if (r.readFails) plat::fs::injectFault(plat::fs::FaultOp::Read, "good.wav", EIO, 2);
    EXPECT_FALSE(wave.LoadFile(r.path));
    EXPECT_TRUE(sink.boxes().empty());
    EXPECT_FALSE(wave.LoadFile(r.path, false, true));
    plat::fs::clearFaults();
    EXPECT_FALSE(wave.IsLoaded());
    EXPECT_TRUE(wave.GetPath().empty());
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].request.text, r.text);
    EXPECT_EQ(boxes[0].request.caption, "Talvane Player: Error Window");
    EXPECT_EQ(boxes[0].request.icon, plat::ui::Icon::Warning);
  }
  sink.clear();
  COrv_WavePlay wave;
  EXPECT_TRUE(wave.LoadFile(good, false, true));
  EXPECT_TRUE(sink.boxes().empty()) << "a good file says nothing";
}

TEST_F(WaveLoadBoxes, AnEmptyPathOffersTheDialogOnlyWhenBrowsing) {
  FakeWaveDialog dialog;
  COrv_WaveFileDialog::Install(&dialog);
  COrv_WavePlay wave;

  EXPECT_FALSE(wave.LoadFile("", false, true));
  EXPECT_EQ(dialog.shown, 0);

  dialog.answer = good;
  ASSERT_TRUE(wave.LoadFile("", true));
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(dialog.filters, (std::vector<COrv_WaveFileDialog::Filter>{{"Wave files", "*.WAV"}, {"All files", "*.*"}}));
  EXPECT_EQ(wave.GetPath(), good);
  EXPECT_EQ(wave.GetBlock().Bytes(), 200u);

  // Cancelled: nothing loaded, nothing told.
  dialog.answer.clear();
  EXPECT_FALSE(wave.LoadFile("", true, true));
  EXPECT_FALSE(wave.IsLoaded());
  // A chosen file that does not decode is told like a named one.
  dialog.answer = junk;
  EXPECT_FALSE(wave.LoadFile("", true, true));
  EXPECT_EQ(dialog.shown, 3);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Failed to load file");

  // Without a dialog the choice is cancelled.
  COrv_WaveFileDialog::Install(nullptr);
  EXPECT_FALSE(wave.LoadFile("", true, true));
  EXPECT_EQ(sink.boxes().size(), 1u);
}

struct Notify : COrv_WaveNotifyObj {
  int ends = 0;
  std::vector<double> positions;
  std::function<void()> onEnd;
  void OnWaveEnd(COrv_WavePlay*) override {
    ++ends;
    if (onEnd) onEnd();
  }
  void OnWavePosition(double p) override { positions.push_back(p); }
};

struct Engine : ::testing::Test {
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  ScopedDispatcher d{clock};
  ScopedBackend b{backend};
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink s{sink};
  Notify notify;
};

TEST_F(Engine, WholePlayIsOneOpenAndOneWriteAndOneEnd) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  backend.clearLog();
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  EXPECT_EQ(backend.count("waveOutOpen"), 1u);
  ASSERT_EQ(backend.writes().size(), 1u);
  EXPECT_EQ(backend.writes()[0].data, wave.GetBlock().Data());
  EXPECT_EQ(backend.writes()[0].length, 22050u);
  clock.advanceMs(999);
  EXPECT_EQ(notify.ends, 0);
  clock.advanceMs(10);
  EXPECT_EQ(notify.ends, 1);
  clock.advanceMs(5000);
  EXPECT_EQ(notify.ends, 1);
}

TEST_F(Engine, PositionsAddTheStartAndCapAt100InEveryTimeKind) {
  for (uint32_t kind : {TIME_MS, TIME_SAMPLES, TIME_BYTES}) {
    backend.setPositionKinds(kind);
    COrv_WaveOutWnd engine;
    COrv_WavePlay wave;
    ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 2, 88200)));  // 2 s of stereo
    notify.positions.clear();
    ASSERT_TRUE(wave.Play(40, 100, &engine, &notify, true));
    clock.advanceMs(500);
    ASSERT_FALSE(notify.positions.empty());
    EXPECT_NEAR(notify.positions.back(), 65.0, 0.1) << kind;
    EXPECT_EQ(notify.positions.size(), 10u) << "every 50 ms";
    clock.advanceMs(5000);
    for (double p : notify.positions) EXPECT_LE(p, 100.0);
    EXPECT_EQ(notify.ends, 1);
    notify.ends = 0;
  }
  {
    // A start inside a frame plays from that frame's beginning: 7 frames at
    // 20 Hz from 40 % play frames 2..6, 5/7 of the file, so the tick at the
    // end of the play (250 ms) finds start + played at 111.4 %.
    COrv_WaveOutWnd engine;
    COrv_WavePlay wave;
    ASSERT_TRUE(wave.LoadBytes(wavBytes(20, 16, 1, 14)));
    notify.positions.clear();
    ASSERT_TRUE(wave.Play(40, 100, &engine, &notify, true));
    clock.advanceMs(1000);
    ASSERT_FALSE(notify.positions.empty());
    EXPECT_DOUBLE_EQ(*std::max_element(notify.positions.begin(), notify.positions.end()), 100.0)
        << ::testing::PrintToString(notify.positions);
    notify.ends = 0;
  }
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  backend.failCall("waveOutGetPosition", MMSYSERR_ERROR, -1);
  notify.positions.clear();
  ASSERT_TRUE(wave.Play(30, 100, &engine, &notify, true));
  clock.advanceMs(100);
  ASSERT_FALSE(notify.positions.empty());
  EXPECT_DOUBLE_EQ(notify.positions.back(), 30.0) << "an unknown position counts as 0";
}

TEST_F(Engine, NoEndAfterResetOrCloseAndAStaleDoneEndsNoLaterPlay) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  clock.advanceMs(100);
  EXPECT_TRUE(engine.Reset());
  EXPECT_TRUE(engine.UnprepareHeader());
  clock.advanceMs(2000);
  EXPECT_EQ(notify.ends, 0);

  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  engine.Reset();
  ASSERT_TRUE(wave.Play(0, 10, &engine, &notify, false));  // same header, reused at once
  clock.runDue();
  EXPECT_EQ(notify.ends, 0) << "the reset buffer's done must not end the new play";
  clock.advanceMs(101);
  EXPECT_EQ(notify.ends, 1);

  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  EXPECT_TRUE(engine.Close());
  clock.advanceMs(2000);
  EXPECT_EQ(notify.ends, 1);
  EXPECT_EQ(backend.openOutputs(), 0);
}

TEST_F(Engine, ReloadingAPlayingWaveEndsThePlayBeforeItsDataGoes) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave;
  const std::string bytes = wavBytes(11025, 16, 1, 22050);
  ASSERT_TRUE(wave.LoadBytes(bytes));
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, true));
  clock.advanceMs(100);
  ASSERT_GE(engine.GetPositionPercent(), 0.0);
  ASSERT_TRUE(wave.LoadBytes(bytes));  // frees the data the device was given
  EXPECT_LT(engine.GetPositionPercent(), 0.0) << "no play is under way";
  EXPECT_EQ(backend.openOutputs(), 0);
  clock.advanceMs(2000);
  EXPECT_EQ(notify.ends, 0);
  // The reloaded wave plays again.
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  clock.advanceMs(1100);
  EXPECT_EQ(notify.ends, 1);
}

TEST_F(Engine, CloseOrPlayFromInsideTheEndIsSafe) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 2205)));
  int replays = 2;
  notify.onEnd = [&] {
    if (replays-- > 0)
      EXPECT_TRUE(wave.Play(0, 100, &engine, &notify, true));
    else
      engine.Close();
  };
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, true));
  clock.advanceMs(1000);
  EXPECT_EQ(notify.ends, 3);
  EXPECT_FALSE(engine.IsOpen());
  EXPECT_EQ(backend.openOutputs(), 0);
}

TEST_F(Engine, VolumeIsAppliedPerPlayAndTheDeviceWordComesBack) {
  backend.setVolumeWord(0x2000'1000u);
  COrv_WaveOutWnd engine;
  double l, r;
  engine.GetVolume(&l, &r);
  EXPECT_NEAR(l, 0x1000 / 65535.0, 1e-9);
  EXPECT_NEAR(r, 0x2000 / 65535.0, 1e-9);
  EXPECT_FALSE(engine.SetVolume(1.5, 0.5));
  EXPECT_FALSE(engine.SetVolume(std::nan(""), 0.5));
  ASSERT_TRUE(engine.SetVolume(1.0, 0.5));
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  EXPECT_EQ(backend.volume(), 0x7FFF'FFFFu) << "left low, right high, 1.0 is 0xFFFF";
  // A second play on the open device must not take the applied volume for
  // the device's own.
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  engine.Close();
  EXPECT_EQ(backend.volume(), 0x2000'1000u);
}

TEST_F(Engine, AnotherFormatReopensTheDevice) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay mono, stereo;
  ASSERT_TRUE(mono.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  ASSERT_TRUE(stereo.LoadBytes(wavBytes(44100, 16, 2, 22050)));
  ASSERT_TRUE(mono.Play(0, 100, &engine, &notify, false));
  ASSERT_TRUE(stereo.Play(0, 100, &engine, &notify, false));
  EXPECT_EQ(backend.lastOutputFormat(), stereo.GetFormat());
  EXPECT_EQ(backend.openOutputs(), 1);
  ASSERT_TRUE(stereo.Play(0, 50, &engine, &notify, false));
  EXPECT_EQ(backend.count("waveOutOpen"), 3u) << "two plays' opens and the volume read at construction";
}

TEST_F(Engine, RefusalsAndDeviceFailuresLeaveTheEngineClosed) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay wave, empty;
  ASSERT_TRUE(wave.LoadBytes(wavBytes(11025, 16, 1, 22050)));
  backend.clearLog();
  EXPECT_FALSE(wave.Play(-1, 50, &engine, &notify, false));
  EXPECT_FALSE(wave.Play(0, 101, &engine, &notify, false));
  EXPECT_FALSE(empty.Play(0, 100, &engine, &notify, false));
  EXPECT_EQ(backend.count("waveOutOpen"), 0u);
  EXPECT_FALSE(wave.Play(60, 40, &engine, &notify, false));
  EXPECT_FALSE(engine.IsOpen());

  backend.failCall("waveOutOpen", MMSYSERR_ALLOCATED);
  EXPECT_FALSE(wave.Play(0, 100, &engine, &notify, false));
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "The Audio Device is already used by another Program!\n");
  EXPECT_EQ(sink.last().request.caption, "Talvane Player: Error Window");
  backend.failCall("waveOutWrite", WAVERR_BADFORMAT);
  EXPECT_FALSE(wave.Play(0, 100, &engine, &notify, false));
  EXPECT_EQ(sink.last().request.text, "No wave device supports format\n");
  EXPECT_FALSE(engine.IsOpen());
  backend.failCall("waveOutClose", MMSYSERR_INVALHANDLE);
  ASSERT_TRUE(wave.Play(0, 100, &engine, &notify, false));
  EXPECT_FALSE(engine.Close()) << "a failed close is not reported as success";
  EXPECT_FALSE(engine.IsOpen());
  EXPECT_EQ(COrv_WaveOutWnd::ErrorText(99), "Unknown error\n");

  // A device that went away (or none at all) is told as the player tells
  // a missing device, in one box per failed play.
  for (const char* call : {"waveOutOpen", "waveOutWrite"}) {
    const size_t before = sink.boxes().size();
    backend.failCall(call, MMSYSERR_NODRIVER);
    EXPECT_FALSE(wave.Play(0, 100, &engine, &notify, false)) << call;
    ASSERT_EQ(sink.boxes().size(), before + 1) << call;
    EXPECT_EQ(sink.last().request.text, "Audio device not available\n") << call;
    EXPECT_FALSE(engine.IsOpen()) << call;
  }
}

}  // namespace
