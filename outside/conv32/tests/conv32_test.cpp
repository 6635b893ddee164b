// The speech decoder library on its own, and packets whose speech is
// compressed installed through it.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "outside/conv32/conv32.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/fs/file_io.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/quote_player.h"
#include "player/audio/wave_out_wnd.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/env/segment_chunk.h"
#include "player/install/conv32_library.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "shared/language/orv_language.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using orv::install::COrv_Conv32Library;

constexpr int kRate = 22050;
constexpr double kTone = 440.0;

fs::path base() { return tvtest::sandbox().base; }

// A one-second 440 Hz tone in the format sox picks from the file name.
fs::path tone(const std::string& name, double seconds = 1.0) {
  const fs::path p = base() / name;
  const std::string cmd = "sox -q -n -r " + std::to_string(kRate) + " -c 1 -b 16 '" + p.string() + "' synth " +
                          std::to_string(seconds) + " sine " + std::to_string(kTone) + " vol 0.5";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return p;
}

std::string bytesOf(const fs::path& p) {
  std::string s;
  EXPECT_FALSE(plat::fs::readFile(p, s)) << p;
  return s;
}

// The tone's frequency from its rising zero crossings.
double pitchOf(const plat::riff::Wav& wav) {
  const auto* s = reinterpret_cast<const std::int16_t*>(wav.samples.data());
  const std::size_t n = wav.samples.size() / 2;
  std::vector<double> rising;
  for (std::size_t i = 1; i < n; ++i)
    if (s[i - 1] < 0 && s[i] >= 0) rising.push_back(static_cast<double>(i - 1) + s[i - 1] / double(s[i - 1] - s[i]));
  if (rising.size() < 2) return 0;
  return static_cast<double>(rising.size() - 1) * wav.format.sampleRate / (rising.back() - rising.front());
}

using Decode = int (*)(const char*, int, const char*, int);

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    // By its full path beside the test: a bare name would be looked up
    // through the sanitizer's run path in the sanitizer build.
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe").parent_path();
    lib = dlopen((self / COrv_Conv32Library::kLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    decode = reinterpret_cast<Decode>(dlsym(lib, COrv_Conv32Library::kEntryPoint));
    ASSERT_NE(decode, nullptr);
  }
  void TearDown() override {
    if (lib) dlclose(lib);
  }
  void* lib = nullptr;
  Decode decode = nullptr;
};

TEST_F(Decoder, KindsItKnowsBecomePcmWaveAndEverythingElseIsRefused) {
  const fs::path flac = tone("tone.flac"), ogg = tone("tone.ogg"), wav = tone("tone.wav");
  const fs::path garbage = base() / "garbage.flac";
  std::string cut = bytesOf(flac);
  cut.resize(cut.size() / 3);
  ASSERT_FALSE(plat::fs::writeFileAtomic(garbage, "fLaC" + std::string(500, '\x7f')));
  const fs::path truncated = base() / "truncated.flac";
  ASSERT_FALSE(plat::fs::writeFileAtomic(truncated, cut));
  struct Case {
    const char* what;
    fs::path source;
    int kind, mode;
    bool ok;
  };
  const Case cases[] = {
      {"FLAC", flac, 'F', 3, true},
      {"Ogg Vorbis", ogg, 'V', 3, true},
      {"FLAC named Vorbis", flac, 'V', 3, false},
      {"Vorbis named FLAC", ogg, 'F', 3, false},
      {"Vorbis named Opus", ogg, 'O', 3, false},
      {"WAV named FLAC", wav, 'F', 3, false},
      {"unknown kind", flac, 'Z', 3, false},
      {"kind 0 is not ours", wav, 0, 3, false},
      {"unknown mode", flac, 'F', 2, false},
      {"missing source", base() / "none.flac", 'F', 3, false},
      {"damaged FLAC", garbage, 'F', 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path out = base() / "out.wav";
    fs::remove(out);
    EXPECT_EQ(decode(c.source.c_str(), c.kind, out.c_str(), c.mode) != 0, c.ok);
    if (!c.ok) {
      EXPECT_FALSE(fs::exists(out));
      continue;
    }
    plat::riff::Wav got;
    ASSERT_FALSE(plat::riff::readWavFile(out, got));
    EXPECT_EQ(got.format, plat::riff::WavFormat::pcm(kRate, 16, 1));
    EXPECT_NEAR(static_cast<double>(got.samples.size()) / 2, kRate, kRate * 0.01);
    EXPECT_NEAR(pitchOf(got), kTone, kTone * 0.01);
  }
  // A cut FLAC stream decodes what it holds or is refused; it never crashes.
  const fs::path out = base() / "cut.wav";
  if (decode(truncated.c_str(), 'F', out.c_str(), 3)) {
    plat::riff::Wav got;
    EXPECT_FALSE(plat::riff::readWavFile(out, got));
  }
  // An existing file the call could not decode over is left alone.
  ASSERT_FALSE(plat::fs::writeFileAtomic(base() / "keep.wav", "mine"));
  EXPECT_EQ(decode(flac.c_str(), 'Z', (base() / "keep.wav").c_str(), 3), 0);
  EXPECT_EQ(bytesOf(base() / "keep.wav"), "mine");
}

// --- Installing ---------------------------------------------------------------------

std::string text(int id) { return COrv_Language().LoadString(id); }

class CompressedPacket : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    talvanes = orv::COrv_Environment().GetTalvanesPath(false);
  }
  // The fixture packet with both recordings replaced by a tone of `file`.
  fs::path packet(const std::string& file, std::uint8_t kind) {
    tvtools::PacketSpec spec = installtest::packetSpec();
    spec.audioFlag = kind;
    const std::string speech = bytesOf(tone(file));
    for (auto& m : spec.books[0].members)
      if (m.name == "001" || m.name == "002") m.data = speech;
    const fs::path p = base() / "book.tpk";
    EXPECT_TRUE(tvtools::writePacket(p, spec));
    return p;
  }
  fs::path talvanes;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
};

struct Ends : COrv_WaveNotifyObj {
  int ends = 0;
  void OnWaveEnd(COrv_WavePlay*) override { ++ends; }
  void OnWavePosition(double) override {}
};

// Three Echomarks of FLAC speech, each of its own length: every one gets
// its normal, faster and slower renderings at the tone's pitch, each with
// the segment table, and the installed book plays them through the audio
// engine (a virtual device on a manual clock).
TEST_F(CompressedPacket, FlacSpeechForThreeEchomarksInstallsAndPlaysAtEverySpeed) {
  const double seconds[] = {1.0, 1.5, 2.0};
  std::vector<std::string> speech;
  for (const double s : seconds) speech.push_back(bytesOf(tone("speech" + std::to_string(speech.size()) + ".flac", s)));
  tvtools::PacketSpec spec = installtest::speechPacketSpec(speech);
  spec.audioFlag = 'F';
  const fs::path packet = base() / "speech.tpk";
  ASSERT_TRUE(tvtools::writePacket(packet, spec));

  const int loads = COrv_Conv32Library::Shared().Loads();
  orv::install::PacketInstaller inst;
  ASSERT_EQ(inst.InstallFile(packet), 1);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_GT(COrv_Conv32Library::Shared().Loads(), loads);
  EXPECT_TRUE(orv::install::BookReadsBackWhole((talvanes / "Speech.tvl").string(), "SPEECH"));

  plat::audio::ManualDispatcher clock;
  plat::audio::VirtualBackend backend{clock};
  plat::audio::ScopedDispatcher dispatcher{clock};
  plat::audio::ScopedBackend scopedBackend{backend};
  COrv_Talvane book;
  ASSERT_EQ(book.Open("SPEECH", 0), 1);
  ASSERT_EQ(book.GetNumQuotes(), 3);
  struct Rendering {
    int speed;
    double length;  // of the normal one
  };
  for (int n = 1; n <= 3; ++n) {
    COrv_InfoBundle bundle;
    ASSERT_EQ(book.LoadQuoteInfo(bundle, n, -1, COrv_InfoBundle::kWaves), 1);
    const CQlWaves& waves = bundle.Waves();
    EXPECT_EQ(waves.GetSegmentCount(), 2);
    COrv_QuotePlayer player;
    player.SetBook(&bundle);
    ASSERT_TRUE(player.LoadWave());
    EXPECT_EQ(player.GetMinIndex(), -1);
    EXPECT_EQ(player.GetMaxIndex(), 1);
    for (const Rendering r : {Rendering{0, 1.0}, Rendering{1, 0.8}, Rendering{-1, 1.2}}) {
      SCOPED_TRACE("Echomark " + std::to_string(n) + ", speed " + std::to_string(r.speed));
      plat::riff::Wav wav;
      ASSERT_FALSE(plat::riff::readWavFile(waves.GetWaveFile(r.speed), wav));
      const double length = static_cast<double>(wav.samples.size()) / 2 / kRate;
      EXPECT_NEAR(length, r.length * seconds[n - 1], r.length * seconds[n - 1] * 0.02);
      EXPECT_NEAR(pitchOf(wav), kTone, kTone * 0.02);
      const plat::riff::Chunk* segments = wav.layout.findLast(orv::kSegmentChunkId);
      ASSERT_NE(segments, nullptr) << "no segment table";
      EXPECT_EQ(segments->size, 2u + 8 * 2);

      // The whole rendering goes to the device and its end comes back.
      ASSERT_TRUE(player.SelectSpeed(r.speed));
      EXPECT_FALSE(player.SpeedFellBack());
      COrv_WaveOutWnd engine;
      Ends ends;
      backend.clearLog();
      ASSERT_TRUE(player.PlayRange(0, 100, &engine, &ends));
      ASSERT_EQ(backend.writes().size(), 1u);
      EXPECT_EQ(backend.writes()[0].length, wav.samples.size());
      clock.advanceMs(static_cast<std::int64_t>(length * 1000) + 50);
      EXPECT_EQ(ends.ends, 1);
    }
  }
}

TEST_F(CompressedPacket, PlainKindsNeverLoadTheDecoderAndAFailedOneNamesBookAndKind) {
  struct Case {
    const char* file;
    std::uint8_t kind;
    bool installs, loads;
  };
  const Case cases[] = {
      {"speech.wav", 0, true, false},
      {"speech.wav", '+', true, false},
      {"speech.flac", 'Z', false, true},
      {"speech.flac", 'V', false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.kind));
    const int loads = COrv_Conv32Library::Shared().Loads();
    const std::size_t boxes = sink.boxes().size();
    orv::install::PacketInstaller inst;
    EXPECT_EQ(inst.InstallFile(packet(c.file, c.kind)), c.installs ? 1 : 0);
    EXPECT_EQ(COrv_Conv32Library::Shared().Loads() > loads, c.loads);
    if (c.installs) {
      EXPECT_EQ(sink.boxes().size(), boxes);
    } else {
      // One box only, naming the book and the kind.
      ASSERT_EQ(sink.boxes().size(), boxes + 1);
      const auto& shown = sink.last().request;
      EXPECT_NE(shown.text.find(text(20460)), std::string::npos) << shown.text;
      EXPECT_NE(shown.text.find("'Hamlet'"), std::string::npos) << shown.text;
      EXPECT_NE(shown.text.find(std::string("'") + char(c.kind) + "'"), std::string::npos) << shown.text;
      EXPECT_FALSE(fs::exists(talvanes / "Hamlet.tvl"));
    }
    fs::remove(talvanes / "Hamlet.tvl");
  }
}

// Without the library next to the program, compressed speech is refused
// as a format the installation does not support.
TEST_F(CompressedPacket, MissingDecoderIsAnUnsupportedFormat) {
  COrv_Conv32Library missing({}, "libconv32-missing.so");
  orv::install::PacketInstaller inst;
  inst.SetAudioConverter(&missing);
  EXPECT_EQ(inst.InstallFile(packet("speech.flac", 'F')), 0);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find(text(9106)), std::string::npos);
}

}  // namespace
