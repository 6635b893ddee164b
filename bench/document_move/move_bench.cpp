// Moving to an Echomark in an open document (GoToQuote with the learner's
// text kept and the panes refreshed, the panes stubbed) against loading
// the same Echomark's information alone. The book has 80 Echomarks with
// three renderings each, installed in a private data path by the fixture
// builder. BM_MoveVsLoad times both in turn in every iteration, moving
// between two Echomarks, and reports the 95th percentiles and their ratio;
// it fails when the move's p95 exceeds twice the load's or reaches 30 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/large_book.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/sandbox.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/book/tv_document.h"
#include "player/env/environment.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

constexpr int kEchomarks = benchbook::kEchomarks;
constexpr unsigned kFirst = 41;        // the move goes between these two
constexpr unsigned kSecond = 42;
constexpr uint32_t kSamples = 250000;  // 16-bit mono: about 0.5 MB per rendering

// What the document asks of the main window, answered with nothing.
class QuietHost : public TvDocumentHost {
 public:
  int GetSetting(int) const override { return 0; }
  std::string GetSettingText(int) const override { return {}; }
  std::string GetUserName() const override { return {}; }
  char32_t GetMaskChar() const override { return U'\u2022'; }
  COrv_CharFormat GetDefaultCharFormat() const override { return DefaultCharFormat(); }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void StopAll() override {}
  void HideViewWindows() override {}
  void ResetSpeedButton() override {}
  void SetRecordingAvailable(bool) override {}
  void ShowFragmentSelector(bool, float, float) override {}
  void ShowSpeechView(bool, const fs::path&, const std::vector<float>&, float, float) override {}
  void ShowVolumeWindow(bool) override {}
  void SelectPlaySpeed(int) override {}
  void PlayCurrentQuote() override {}
};

class StubRich : public TvRichTextView {
  void BuildText() override {}
  int ScrollToQuote(unsigned) override { return 0; }
  void LoadButtonTexts() override {}
};
class StubPad : public TvScratchPadView {
  void LoadButtonTexts() override {}
  void ApplyFormat(bool) override {}
};
class StubSoFar : public TvSoFarView {
  void UpdateButtonStates() override {}
  void Refresh() override {}
  void LoadButtonTexts() override {}
  int GetMode() const override { return 0; }
};
class SilentSound : public TvDocumentSound {
  bool PlayFile(const std::string&) override { return true; }
  bool PlayResource(const std::string&) override { return true; }
  void Beep() override {}
};

struct Fixture {
  fs::path folder;
  bool ok = false;

  Fixture() {
    folder = plat::fs::systemTempFolder() / ("bench_document_move_" + std::to_string(getpid()));
    tvtest::enterSandbox(folder);
    if (!orv::COrv_Environment().CreateDataPath()) return;
    const Book b = benchbook::largeBook(kSamples, 20000);
    const fs::path content = folder / "large.tvb";
    std::string error;
    if (!writeBookFile(content, b, error)) return;
    COrv_Talvane filled;
    filled.SetSourceFile(content.string(), -1);
    ok = filled.Open("LARGE", COrv_Talvane::kOpenFilled) == 1 && filled.WriteBookInfo() == 1;
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

struct OpenDocument {
  QuietHost host;
  SilentSound sound;
  StubRich rich;
  StubPad pad;
  StubSoFar soFar;
  COrv_TvDocument doc{TvDocumentServices{&host, &sound, nullptr, 0}};
  bool open = false;
  OpenDocument() {
    doc.AddView(&rich);
    doc.AddView(&pad);
    doc.AddView(&soFar);
    open = fixture().ok && doc.OnOpenDocument("LARGE") && doc.GetQuoteCount() == kEchomarks;
  }
};

using benchbook::millisecondsOf;
using benchbook::p95;

// Loading alone: the bundle's earlier files go, every kind of the Echomark
// comes, as the move loads it.
bool loadEchomark(COrv_Talvane& book, COrv_InfoBundle& bundle, unsigned n) {
  bundle.ClearAll();
  return book.LoadQuoteInfo(bundle, static_cast<int>(n), -1, COrv_Talvane::kAllKinds) == 1;
}

void BM_Move(benchmark::State& state) {
  OpenDocument o;
  if (!o.open) return state.SkipWithError("the book does not open");
  unsigned n = kFirst;
  for (auto _ : state) {
    n = n == kFirst ? kSecond : kFirst;
    if (!o.doc.GoToQuote(n, false, true)) return state.SkipWithError("the move failed");
  }
}

void BM_MoveVsLoad(benchmark::State& state) {
  OpenDocument o;
  if (!o.open) return state.SkipWithError("the book does not open");
  COrv_Talvane& book = o.doc.GetTalvane();
  COrv_InfoBundle bundle;
  std::vector<double> move, load;
  bool ok = true;
  unsigned n = kFirst;
  for (auto _ : state) {
    n = n == kFirst ? kSecond : kFirst;
    move.push_back(millisecondsOf([&] { return o.doc.GoToQuote(n, false, true); }, ok));
    load.push_back(millisecondsOf([&] { return loadEchomark(book, bundle, n); }, ok));
  }
  bundle.ClearAll();
  const double moveP95 = p95(move), loadP95 = p95(load);
  const double ratio = loadP95 > 0 ? moveP95 / loadP95 : 0;
  state.counters["move_p95_ms"] = moveP95;
  state.counters["load_p95_ms"] = loadP95;
  state.counters["p95_ratio"] = ratio;
  if (!ok)
    state.SkipWithError("a move or a load failed");
  else if (ratio > 2.0)
    state.SkipWithError("the move's p95 is more than twice the load's");
  else if (moveP95 >= 30.0)
    state.SkipWithError("the 95th percentile of the move is 30 ms or more");
}

BENCHMARK(BM_Move)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveVsLoad)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
