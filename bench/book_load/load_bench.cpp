// Loading every information kind of one Echomark of a large book against
// copying the same members' bytes once into one temporary file of the same
// folder. The book has 80 Echomarks with three renderings of about 1 MB
// each (245 members), built in a temporary folder by the fixture builder.
// BM_LoadVsCopy times both in turn in every iteration and reports the ratio
// of the totals and the 95th percentile of the loading times; it fails when
// the loading takes more than 1.5 times the copy or its p95 reaches 30 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/common/large_book.h"
#include "platform/fs/program_folder.h"
#include "player/book/book_file_writer.h"
#include "player/book/byte_fields.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

constexpr int kEchomarks = benchbook::kEchomarks;
constexpr int kLoaded = 42;            // the Echomark that is loaded
constexpr uint32_t kSamples = 500000;  // 16-bit mono: about 1 MB per rendering

struct Fixture {
  fs::path folder;
  fs::path content;
  // The members a load of Echomark kLoaded reads: its three renderings and
  // the dictionary's two members (offset from 0, length).
  std::vector<std::pair<uint64_t, uint64_t>> members;
  bool ok = false;

  Fixture() {
    folder = plat::fs::systemTempFolder() / ("bench_book_load_" + std::to_string(getpid()));
    fs::create_directories(folder);
    content = folder / "large.tvb";
    Book b = benchbook::largeBook(kSamples, 40000);
    std::string error;
    if (!writeBookFile(content, b, error)) return;
    b = Book{};
    ok = findMembers();
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  // Reads the member table of the file's only part.
  bool findMembers() {
    const int fd = ::open(content.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string table(COrv_TvlReader::kIndexSize + COrv_TvlReader::kPartSize, '\0');
    const bool read = ::pread(fd, table.data(), table.size(), 0) == static_cast<ssize_t>(table.size());
    ::close(fd);
    if (!read) return false;
    const char digits[] = {static_cast<char>('0' + kLoaded / 10), static_cast<char>('0' + kLoaded % 10)};
    std::vector<std::string> names = {"DCI", "DCT"};
    for (char speed : {'0', '2', '6'}) names.push_back(std::string{speed, digits[0], digits[1]});
    for (const std::string& name : names) {
      const std::string stored = COrv_BookFileWriter::ScrambledMemberName(name);
      for (size_t i = 0; i < COrv_TvlReader::kMemberRecords; ++i) {
        const size_t at = COrv_TvlReader::kIndexSize + 16 + 12 * i;
        if (table.compare(at, 3, stored) == 0) {
          members.emplace_back(orv::le32(table, at + 3) - 1, orv::le32(table, at + 7));
          break;
        }
      }
    }
    return members.size() == names.size();
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// The baseline: the members' bytes once into a new temporary file, which is
// then removed, in pieces of 1 MB as the loader copies them.
bool copyMembers(const Fixture& f) {
  const fs::path target = plat::fs::systemTempFolder() / ("bench_copy_" + std::to_string(getpid()) + ".tmp");
  const int in = ::open(f.content.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool ok = in >= 0 && out >= 0;
  std::vector<char> buffer(1u << 20);
  for (const auto& [offset, length] : f.members) {
    for (uint64_t done = 0; ok && done < length;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - done));
      ok = ::pread(in, buffer.data(), n, static_cast<off_t>(offset + done)) == static_cast<ssize_t>(n) &&
           ::write(out, buffer.data(), n) == static_cast<ssize_t>(n);
      done += n;
    }
  }
  if (in >= 0) ::close(in);
  if (out >= 0) ok = ::close(out) == 0 && ok;
  ::unlink(target.c_str());
  return ok;
}

// Loading: the bundle's earlier files go, every kind of the Echomark comes.
bool loadEchomark(COrv_Talvane& book, COrv_InfoBundle& bundle) {
  bundle.ClearAll();
  return book.LoadQuoteInfo(bundle, kLoaded, -1, COrv_Talvane::kAllKinds) == 1 &&
         !bundle.Waves().GetWaveFile(0).empty() && !bundle.Waves().GetWaveFile(-1).empty() &&
         !bundle.Waves().GetWaveFile(1).empty() && bundle.Dictionary().GetWordCount() == 8;
}

using benchbook::millisecondsOf;
using benchbook::p95;

struct OpenBook {
  COrv_Talvane book;
  COrv_InfoBundle bundle;
  bool open = false;
  explicit OpenBook(const Fixture& f) {
    book.SetSourceFile(f.content.string(), -1);
    open = f.ok && book.Open("LARGE", COrv_Talvane::kOpenFilled) == 1 && book.GetNumQuotes() == kEchomarks;
  }
};

void BM_LoadEchomark(benchmark::State& state) {
  OpenBook o(fixture());
  if (!o.open) return state.SkipWithError("the book does not open");
  for (auto _ : state)
    if (!loadEchomark(o.book, o.bundle)) return state.SkipWithError("loading failed");
}

void BM_CopyMembers(benchmark::State& state) {
  const Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("no book");
  for (auto _ : state)
    if (!copyMembers(f)) return state.SkipWithError("copying failed");
}

void BM_LoadVsCopy(benchmark::State& state) {
  const Fixture& f = fixture();
  OpenBook o(f);
  if (!o.open) return state.SkipWithError("the book does not open");
  std::vector<double> load, copy;
  bool ok = true;
  for (auto _ : state) {
    load.push_back(millisecondsOf([&] { return loadEchomark(o.book, o.bundle); }, ok));
    copy.push_back(millisecondsOf([&] { return copyMembers(f); }, ok));
  }
  double loadSum = 0, copySum = 0;
  for (double v : load) loadSum += v;
  for (double v : copy) copySum += v;
  const double ratio = copySum > 0 ? loadSum / copySum : 0;
  state.counters["ratio"] = ratio;
  state.counters["load_p95_ms"] = p95(load);
  state.counters["copy_p95_ms"] = p95(copy);
  if (!ok)
    state.SkipWithError("a load or a copy failed");
  else if (ratio > 1.5)
    state.SkipWithError("loading takes more than 1.5 times the copy");
  else if (p95(load) >= 30.0)
    state.SkipWithError("the 95th percentile of loading is 30 ms or more");
}

BENCHMARK(BM_LoadEchomark)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyMembers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadVsCopy)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
