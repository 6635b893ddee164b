// Installing a packet of spoken Echomarks (22050 Hz, 16-bit mono, with
// faster and slower renderings for every Echomark) through the player's
// installer, against the same work done by command-line tools run eight at
// a time: `gzip -dc` of the packet's tail, then `soundstretch` with the
// installer's SoundTouch settings (tempo alone) for both renderings of
// every recording, eight processes at once (`xargs -P8`), then one write of
// the content file's bytes (`cat`).
//
// Each argument pair is a packet shape: Echomarks x seconds of speech.
// Every iteration runs the installer and the tools in turn, in alternating
// order, so a change of load on the machine weighs on both; the figures
// are the medians over the iterations. The installer runs as a child
// process of its own (this program started again with --install-child),
// so that its peak resident memory is the installation's alone.
//
// The run is refused (the program fails) when, on a machine of eight or
// more cores, the installer's median time is above 0.5 times the tools',
// or its peak resident memory is above 100 MiB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/common/ratio_report.h"
#include "platform/fs/program_folder.h"
#include "platform/riff/wav.h"
#include "platform/testing/sandbox.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRate = 22050;
constexpr double kTimeLimit = 0.5;
constexpr double kMemoryLimitMiB = 100;
constexpr int kToolJobs = 8;

// Something like a voice: a gliding pitch with its harmonics, syllables of
// about a quarter second and a little noise, different for every Echomark.
std::string speech(int echomark, std::uint32_t seconds) {
  const std::size_t frames = std::size_t{kRate} * seconds;
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

// Fixed at the first call: the sandbox moves the temporary folder.
const fs::path& benchFolder() {
  static const fs::path folder = plat::fs::systemTempFolder() / ("bench_install_speed_" + std::to_string(getpid()));
  return folder;
}

// One packet shape: the packet, and the tools' input beside it.
struct Fixture {
  fs::path folder, packet, tools;
  std::string script;  // the tools' whole run
  bool ok = false;

  Fixture(int echomarks, std::uint32_t seconds) {
    folder = benchFolder() / (std::to_string(echomarks) + "x" + std::to_string(seconds));
    tools = folder / "tools";
    fs::create_directories(tools);
    std::vector<std::string> recordings;
    for (int n = 1; n <= echomarks; ++n) {
      recordings.push_back(speech(n, seconds));
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

    // Both renderings of every recording, eight soundstretch processes at a
    // time, between the unpacking and the one write.
    const std::string n = std::to_string(echomarks);
    script = "set -e; cd " + shellQuoted(tools) +
             "; gzip -dc tail.gz > tail.raw;"
             " for n in $(seq 1 " + n + "); do echo \"normal$n.wav fast$n.wav -tempo=25\";"
             " echo \"normal$n.wav slow$n.wav -tempo=-16.666667\"; done |"
             " xargs -P" + std::to_string(kToolJobs) + " -L1 sh -c 'soundstretch \"$@\" >/dev/null 2>&1' stretch;"
             " cat tail.raw fast*.wav slow*.wav > content.out";
    ok = std::system("command -v soundstretch >/dev/null && command -v gzip >/dev/null && command -v xargs >/dev/null") ==
         0;
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;
};

// The fixture of the shape in hand; the one before is removed (the
// packets run to hundreds of megabytes).
Fixture& fixture(int echomarks, std::uint32_t seconds) {
  static std::unique_ptr<Fixture> current;
  static std::pair<int, std::uint32_t> shape;
  if (!current || shape != std::make_pair(echomarks, seconds)) {
    current.reset();
    current = std::make_unique<Fixture>(echomarks, seconds);
    shape = {echomarks, seconds};
  }
  return *current;
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct ChildRun {
  bool ok = false;
  double seconds = 0;
  double peakMiB = 0;
};

// This program started again to install `packet` alone; its peak resident
// set is what the kernel reports for the child.
ChildRun installInChild(const fs::path& packet) {
  ChildRun run;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string path = packet.string();
    execl(self.c_str(), self.c_str(), "--install-child", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = secondsSince(t0);
  run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

int installChildMain(const char* packet) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  orv::install::PacketInstaller installer;
  const bool done = orv::COrv_Environment().CreateDataPath() && installer.InstallFile(packet) == 1;
  return done && sink.boxes().empty() ? 0 : 1;
}

bool runTools(const Fixture& f, double& seconds) {
  const auto t0 = std::chrono::steady_clock::now();
  const bool done = std::system(f.script.c_str()) == 0;
  seconds = secondsSince(t0);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(f.tools, ec))
    if (e.path().filename().string().rfind("normal", 0) != 0 && e.path().filename() != "tail.gz")
      fs::remove(e.path(), ec);
  return done;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void BM_InstallVsParallelTools(benchmark::State& state) {
  const auto echomarks = static_cast<int>(state.range(0));
  const auto seconds = static_cast<std::uint32_t>(state.range(1));
  const Fixture& f = fixture(echomarks, seconds);
  if (!f.ok) return state.SkipWithError("the fixture could not be made (soundstretch, gzip, xargs)");
  const std::string content = (fs::path(orv::COrv_Environment().GetTalvanesPath(false)) / "Speech.tvl").string();
  std::vector<double> ours, tools, peaks;
  bool ok = true;
  bool oursFirst = true;
  for (auto _ : state) {
    ChildRun install;
    double t = 0;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == oursFirst) {
        install = installInChild(f.packet);
        ok = ok && install.ok;
      } else {
        ok = runTools(f, t) && ok;
      }
    }
    oursFirst = !oursFirst;
    ours.push_back(install.seconds);
    tools.push_back(t);
    peaks.push_back(install.peakMiB);
    std::error_code ec;
    fs::remove(content, ec);
  }
  const double a = median(ours), b = median(tools);
  const double ratio = b > 0 ? a / b : 0;
  const double peak = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
  state.counters["installer_s"] = a;
  state.counters["tools_s"] = b;
  state.counters["ratio"] = ratio;
  state.counters["peak_MiB"] = peak;
  // The figures stay readable when the run is refused below.
  std::fprintf(stderr,
               "%d x %u s: installer %.2f s, %d-way tools %.2f s (medians of %zu), ratio %.3f (limit %.2f),"
               " peak %.1f MiB (limit %.0f)\n",
               echomarks, seconds, a, kToolJobs, b, ours.size(), ratio, kTimeLimit, peak, kMemoryLimitMiB);
  if (!ok) return state.SkipWithError("an installation or a tool failed");
  if (peak > kMemoryLimitMiB) return state.SkipWithError("the installer's peak memory is above 100 MiB");
  if (std::thread::hardware_concurrency() >= 8 && ratio > kTimeLimit)
    state.SkipWithError("the installer takes more than 0.5 times the eight-way tools' time");
}

BENCHMARK(BM_InstallVsParallelTools)
    ->Args({10, 42})
    ->Args({30, 42})
    ->Args({30, 126})
    ->ArgNames({"echomarks", "seconds"})
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--install-child") == 0) return installChildMain(argv[2]);
  tvtest::enterSandbox(benchFolder());
  if (!orv::COrv_Environment().CreateDataPath()) {
    std::fprintf(stderr, "the data path could not be made\n");
    return 1;
  }
  const int result = benchratio::runWithRatios(argc, argv, {});
  std::error_code ec;
  fs::remove_all(benchFolder(), ec);
  return result;
}
