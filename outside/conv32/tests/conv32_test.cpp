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
#include "platform/fs/file_io.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
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

TEST_F(CompressedPacket, FlacSpeechInstallsWithItsThreeRenderingsAtTheSamePitch) {
  const int loads = COrv_Conv32Library::Shared().Loads();
  orv::install::PacketInstaller inst;
  ASSERT_EQ(inst.InstallFile(packet("speech.flac", 'F')), 1);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_GT(COrv_Conv32Library::Shared().Loads(), loads);

  COrv_Talvane book;
  ASSERT_EQ(book.Open("HAMLET", 0), 1);
  COrv_InfoBundle bundle;
  ASSERT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_InfoBundle::kWaves), 1);
  const CQlWaves& waves = bundle.Waves();
  struct Rendering {
    int speed;
    double length;
  };
  for (const Rendering r : {Rendering{0, 1.0}, Rendering{1, 0.8}, Rendering{-1, 1.2}}) {
    SCOPED_TRACE(r.speed);
    plat::riff::Wav wav;
    ASSERT_FALSE(plat::riff::readWavFile(waves.GetWaveFile(r.speed), wav));
    EXPECT_NEAR(static_cast<double>(wav.samples.size()) / 2 / kRate, r.length, r.length * 0.02);
    EXPECT_NEAR(pitchOf(wav), kTone, kTone * 0.02);
  }
  EXPECT_EQ(waves.GetSegmentCount(), 2);
  EXPECT_TRUE(orv::install::BookReadsBackWhole((talvanes / "Hamlet.tvl").string(), "HAMLET"));
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
