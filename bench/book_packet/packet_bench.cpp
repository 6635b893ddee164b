// Unpacking a packet's gzip tail against a plain gzread loop (64 KiB buffer)
// reading the same tail from the same offset into a file of the same folder.
// The tail holds 200 MB of 16-bit PCM-like samples. BM_ExtractVsGzread times
// both in turn in every iteration and fails when the container reader takes
// more than 1.1 times the plain loop.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/packet_file.h"
#include "platform/ui/recording_sink.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kContentSize = 200u * 1000 * 1000;

struct Fixture {
  fs::path folder;
  fs::path packet;
  std::uint64_t tailOffset = 0;

  Fixture() {
    folder = fs::temp_directory_path() / ("bench_book_packet_" + std::to_string(getpid()));
    fs::create_directories(folder);
    packet = folder / "big.tpk";
    // A slow sweep with noise: compresses about as badly as speech does.
    std::string content(kContentSize, '\0');
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i + 1 < content.size(); i += 2) {
      noise = noise * 1664525u + 1013904223u;
      double s = 9000.0 * std::sin(static_cast<double>(i) * 0.00071) + static_cast<int>(noise >> 24) - 128;
      auto v = static_cast<std::int16_t>(s);
      content[i] = static_cast<char>(v & 0xFF);
      content[i + 1] = static_cast<char>((v >> 8) & 0xFF);
    }
    tvtools::PacketSpec spec;
    spec.compression = 1;
    tvtools::PacketBook book;
    book.code = "BIG";
    book.title = "Big";
    spec.books.push_back(book);
    spec.rawTailSet = true;
    spec.rawTail = tvtools::gzipBytes(content, 1);
    content.clear();
    content.shrink_to_fit();
    tvtools::writePacket(packet, spec);
    // The tail ends the container.
    tailOffset = fs::file_size(packet) - spec.rawTail.size();
    fs::create_directories(folder / "work");
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

bool extractWithReader(const Fixture& f) {
  COrv_PacketFile packet;
  packet.SetWorkFolder(f.folder / "work");
  if (!packet.Open(f.packet.string(), "") || !packet.ExtractContent()) return false;
  bool ok = packet.GetContentLength() == kContentSize;
  packet.RemoveContent();
  return ok;
}

bool extractWithGzread(const Fixture& f) {
  int in = open(f.packet.c_str(), O_RDONLY);
  if (in < 0) return false;
  lseek(in, static_cast<off_t>(f.tailOffset), SEEK_SET);
  gzFile gz = gzdopen(in, "rb");
  const fs::path outPath = f.folder / "work" / "plain.out";  // beside the reader's content file
  int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char> buf(64 * 1024);
  std::uint64_t total = 0;
  bool ok = gz && out >= 0;
  while (ok) {
    int n = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
    if (n <= 0) break;
    ok = write(out, buf.data(), static_cast<std::size_t>(n)) == n;
    total += static_cast<std::uint64_t>(n);
  }
  if (gz) gzclose(gz);
  if (out >= 0) close(out);
  fs::remove(outPath);
  return ok && total == kContentSize;
}

double seconds(bool (*run)(const Fixture&), const Fixture& f, bool& ok) {
  auto t0 = std::chrono::steady_clock::now();
  ok = run(f) && ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_ExtractContent(benchmark::State& state) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  const Fixture& f = fixture();
  for (auto _ : state)
    if (!extractWithReader(f)) state.SkipWithError("ExtractContent failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kContentSize));
}

void BM_GzreadLoop(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state)
    if (!extractWithGzread(f)) state.SkipWithError("gzread loop failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kContentSize));
}

void BM_ExtractVsGzread(benchmark::State& state) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  const Fixture& f = fixture();
  double reader = 0, plain = 0;
  bool ok = true;
  for (auto _ : state) {
    reader += seconds(extractWithReader, f, ok);
    plain += seconds(extractWithGzread, f, ok);
  }
  const double ratio = plain > 0 ? reader / plain : 0;
  state.counters["ratio"] = ratio;
  if (!ok)
    state.SkipWithError("an unpacking failed");
  else if (ratio > 1.1)
    state.SkipWithError("ExtractContent is more than 1.1 times the plain gzread loop");
}

BENCHMARK(BM_ExtractContent)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GzreadLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExtractVsGzread)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
