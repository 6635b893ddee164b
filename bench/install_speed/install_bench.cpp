// Installing a packet of 30 Echomarks of two minutes' speech each (22050 Hz,
// 16-bit mono, with faster and slower renderings for every Echomark)
// through the player's installer, against the same work done by
// command-line tools: `gzip -dc` of the packet's tail, `soundstretch` with
// the installer's SoundTouch settings (tempo alone) for the two renderings
// of every recording, one after the other, and one write of a file of the
// content file's size (`cat`).
//
// BM_InstallVsTools times both in turn in every iteration and reports the
// seconds of each and their ratio. Argument 0 renders on every core, 1 on
// the calling thread alone. With every core of a machine of eight or more
// the installer must take at most 0.6 times the tools' time.
//
// The machine must be quiet while it runs: the tools run on one core, the
// installer on all of them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/large_book.h"
#include "platform/fs/program_folder.h"
#include "platform/riff/wav.h"
#include "platform/testing/sandbox.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/install/packet_installer.h"
#include "player/install/render_pool.h"
#include "player/install/tests/installable_packet.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEchomarks = 30;
constexpr std::uint32_t kRate = 22050;
constexpr std::uint32_t kSeconds = 120;

// Something like a voice: a gliding pitch with its harmonics, syllables of
// about a quarter second and a little noise, different for every Echomark.
std::string speech(int echomark) {
  const std::size_t frames = std::size_t{kRate} * kSeconds;
  std::string samples(2 * frames, '\0');
  std::uint32_t noise = 2463534242u + static_cast<std::uint32_t>(echomark);
  double phase = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double pitch = 140.0 + 10.0 * echomark + 40.0 * std::sin(2 * M_PI * 0.3 * t);
    phase += 2 * M_PI * pitch / kRate;
    const double syllable = 0.5 + 0.5 * std::sin(2 * M_PI * 3.7 * t);
    noise ^= noise << 13;
    noise ^= noise >> 17;
    noise ^= noise << 5;
    const double v = syllable * (6000 * std::sin(phase) + 2500 * std::sin(2 * phase) + 1200 * std::sin(3 * phase)) +
                     (static_cast<double>(noise >> 20) - 2048.0) * 0.5;
    const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v)));
    samples[2 * i] = static_cast<char>(s & 0xFF);
    samples[2 * i + 1] = static_cast<char>(s >> 8);
  }
  std::string wav;
  plat::riff::writeWav(plat::riff::WavFormat::pcm(kRate, 16, 1), samples, wav);
  return wav;
}

std::string shellQuoted(const fs::path& p) { return "'" + p.string() + "'"; }

struct Fixture {
  fs::path folder, packet, tools;
  std::string script;  // the tools' whole run
  bool ok = false;

  Fixture() {
    folder = plat::fs::systemTempFolder() / ("bench_install_speed_" + std::to_string(getpid()));
    tvtest::enterSandbox(folder);
    if (!orv::COrv_Environment().CreateDataPath()) return;
    tools = folder / "tools";
    fs::create_directories(tools);
    std::vector<std::string> recordings;
    for (int n = 1; n <= kEchomarks; ++n) {
      recordings.push_back(speech(n));
      // The tools start from the recordings as the tail holds them.
      std::ofstream(tools / ("normal" + std::to_string(n) + ".wav"), std::ios::binary) << recordings.back();
    }
    tvtools::PacketSpec spec = installtest::speechPacketSpec(recordings);
    recordings.clear();
    recordings.shrink_to_fit();
    // The tail once compressed serves both: the packet and the tools' gzip file.
    spec.rawTailSet = true;
    spec.rawTail = tvtools::gzipBytes(tvtools::buildContent(spec));
    std::ofstream(tools / "tail.gz", std::ios::binary) << spec.rawTail;
    packet = folder / "speech.tpk";
    if (!tvtools::writePacket(packet, spec)) return;

    script = "set -e; cd " + shellQuoted(tools) + "; gzip -dc tail.gz > tail.raw; for n in $(seq 1 " +
             std::to_string(kEchomarks) +
             "); do soundstretch normal$n.wav fast$n.wav -tempo=25 2>/dev/null >/dev/null;"
             " soundstretch normal$n.wav slow$n.wav -tempo=-16.666667 2>/dev/null >/dev/null; done;"
             " cat tail.raw fast*.wav slow*.wav > content.out";
    ok = std::system("command -v soundstretch >/dev/null && command -v gzip >/dev/null") == 0;
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

double secondsOf(const std::function<bool()>& work, bool& ok) { return benchbook::millisecondsOf(work, ok) / 1000; }

bool install(unsigned threads) {
  orv::install::PacketInstaller installer;
  installer.SetRenderThreads(threads);
  return installer.InstallFile(fixture().packet) == 1;
}

bool runTools() {
  const Fixture& f = fixture();
  const bool done = std::system(f.script.c_str()) == 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(f.tools, ec))
    if (e.path().filename().string().rfind("normal", 0) != 0 && e.path().filename() != "tail.gz")
      fs::remove(e.path(), ec);
  return done;
}

void BM_InstallVsTools(benchmark::State& state) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  if (!fixture().ok) return state.SkipWithError("the fixture could not be made (soundstretch, gzip)");
  const auto threads = static_cast<unsigned>(state.range(0));
  const std::string content = (fs::path(orv::COrv_Environment().GetTalvanesPath(false)) / "Speech.tvl").string();
  double ours = 0, tools = 0;
  bool ok = true;
  for (auto _ : state) {
    ours += secondsOf([&] { return install(threads); }, ok);
    tools += secondsOf(runTools, ok);
    std::error_code ec;
    fs::remove(content, ec);
  }
  const double n = static_cast<double>(state.iterations());
  const double ratio = tools > 0 ? ours / tools : 0;
  state.counters["installer_s"] = ours / n;
  state.counters["tools_s"] = tools / n;
  state.counters["ratio"] = ratio;
  state.counters["threads"] = orv::install::RenderPool(threads).threads();
  // The figures stay readable when the run is refused below.
  std::fprintf(stderr, "threads %u: installer %.2f s, tools %.2f s, ratio %.3f\n",
               orv::install::RenderPool(threads).threads(), ours / n, tools / n, ratio);
  if (!ok || !sink.boxes().empty())
    state.SkipWithError("an installation or a tool failed");
  else if (threads == 0 && std::thread::hardware_concurrency() >= 8 && ratio > 0.6)
    state.SkipWithError("the installer takes more than 0.6 times the tools' time on every core");
}

BENCHMARK(BM_InstallVsTools)->Arg(0)->Arg(1)->ArgName("threads")->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
