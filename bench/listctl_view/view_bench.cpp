// The list on screen against Qt's QTableView on the same data, and the
// saved state of long lists. Each benchmark times ours and its baseline in
// turn in every iteration of one run and compares the medians:
//   PaintVsTable      one full paint of a 400 x 300 view of a 3-column list
//                     with a header at 100,000 rows, against the table's
//                     render of the same rows; limit 0.75
//   PaintGrowth       that paint at 100,000 rows against 100 rows (only the
//                     visible rows paint: the cost must not grow); limit 1.25
//   ScrollVsTable     a jump to the last rows with the one paint that shows
//                     them (a vertical scroll repaints the list before it
//                     returns), against the table's; limit 0.75
//   SaveGrowth        the saved state of 100,000 rows against 10,000 (the
//                     cost must grow linearly); limit 12
//   LoadVsSave        a list rebuilt from the saved state of 1,000,000 rows
//                     against saving them; limit 1.5
//   LoadGrowth        that load against the load of 100,000 rows; limit 12
// The list paints into its window's backing image through WM_PAINT; the
// table renders into an image of the same size. Both run on an offscreen
// QApplication. Each benchmark reports "ratio", "limit", "ours_ms" and
// "plain_ms" (the baseline's median) and fails the run over its limit.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>
#include <string>
#include <vector>

#include "bench/common/ratio_report.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/state/saved_state.h"
#include "platform/win/window.h"

namespace lx = lindra;
namespace pw = plat::win;

namespace {

constexpr int kWidth = 400, kHeight = 300;

int g_anchor;
pw::HINSTANCE module() { return reinterpret_cast<pw::HINSTANCE>(&g_anchor); }

std::string rowText(int i) {
  return "Title number " + std::to_string(i) + "\tfr\tLevel " + std::to_string(i % 5);
}

// A 3-column list with a header, filled with `rows` rows.
pw::HWND makeList(int rows) {
  pw::HWND h = pw::CreateWindow(lx::kListClass, "", pw::WS_POPUP | pw::WS_VISIBLE | pw::WS_VSCROLL, 0, 0, kWidth, kHeight, nullptr,
                                nullptr, nullptr, nullptr);
  auto prop = [h](int id, pw::LPARAM v) { pw::SendMessage(h, lx::kMsgSetProperty, static_cast<pw::WPARAM>(id), v); };
  prop(71, 1);  // widths in pixels
  prop(32, 3);
  const char* heads[] = {"Title", "Language", "Level"};
  const float widths[] = {200, 90, 90};
  for (int c = 0; c < 3; ++c) {
    prop(28, c);
    prop(65, reinterpret_cast<pw::LPARAM>(heads[c]));
    float w = widths[c];
    prop(73, reinterpret_cast<pw::LPARAM>(&w));
  }
  prop(58, 1);  // HeaderShow
  for (int i = 0; i < rows; ++i) {
    const std::string t = rowText(i);
    pw::SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(t.c_str()));
  }
  pw::SendMessage(h, lx::LB_SETCURSEL, 1, 0);
  pw::pumpMessages();
  return h;
}

struct Table {
  QStandardItemModel model;
  QTableView view;
  QImage image{kWidth, kHeight, QImage::Format_RGB32};
  explicit Table(int rows) : model(rows, 3) {
    model.setHorizontalHeaderLabels({"Title", "Language", "Level"});
    for (int i = 0; i < rows; ++i) {
      model.setItem(i, 0, new QStandardItem(QString("Title number %1").arg(i)));
      model.setItem(i, 1, new QStandardItem("fr"));
      model.setItem(i, 2, new QStandardItem(QString("Level %1").arg(i % 5)));
    }
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.setColumnWidth(0, 200);
    view.setColumnWidth(1, 90);
    view.setColumnWidth(2, 90);
    view.resize(kWidth, kHeight);
    view.selectRow(1);
  }
  void paint() { view.render(&image); }
};

void paintList(pw::HWND h) {
  pw::InvalidateRect(h, nullptr, pw::TRUE);
  pw::UpdateWindow(h);
}

using benchratio::reportMedians;
using benchratio::timedMs;

void PaintVsTable(benchmark::State& state) {
  pw::HWND h = makeList(100000);
  Table t(100000);
  std::vector<double> ours, base;
  for (auto _ : state) {
    ours.push_back(timedMs([&] { paintList(h); }));
    base.push_back(timedMs([&] { t.paint(); }));
  }
  pw::DestroyWindow(h);
  reportMedians(state, ours, base, 0.75, "a paint takes more than 0.75 times the table's");
}

void PaintGrowth(benchmark::State& state) {
  pw::HWND many = makeList(100000), few = makeList(100);
  std::vector<double> ours, base;
  for (auto _ : state) {
    ours.push_back(timedMs([&] { paintList(many); }));
    base.push_back(timedMs([&] { paintList(few); }));
  }
  pw::DestroyWindow(many);
  pw::DestroyWindow(few);
  reportMedians(state, ours, base, 1.25, "a paint of 100,000 rows takes more than 1.25 times one of 100");
}

void ScrollVsTable(benchmark::State& state) {
  pw::HWND h = makeList(100000);
  Table t(100000);
  std::vector<double> ours, base;
  for (auto _ : state) {
    pw::SendMessage(h, pw::WM_VSCROLL, 6 /* SB_TOP */, 0);
    ours.push_back(timedMs([&] { pw::SendMessage(h, pw::WM_VSCROLL, 7 /* SB_BOTTOM */, 0); }));
    t.view.scrollToTop();
    t.paint();
    base.push_back(timedMs([&] {
      t.view.scrollToBottom();
      t.paint();
    }));
  }
  pw::DestroyWindow(h);
  reportMedians(state, ours, base, 0.75, "a scroll to the end takes more than 0.75 times the table's");
}

// Saves the state of list `h`, once.
double saveMs(pw::HWND h) {
  pw::HGLOBAL blob = nullptr;
  const double ms = timedMs([&] { blob = reinterpret_cast<pw::HGLOBAL>(pw::SendMessage(h, lx::kMsgSaveState, 0, 0)); });
  benchmark::DoNotOptimize(blob);
  pw::GlobalFree(blob);
  return ms;
}

// A saved state of `rows` rows and the list it loads into (each load
// replaces what the one before built).
struct Loaded {
  pw::HGLOBAL blob;
  pw::HWND target;
  explicit Loaded(int rows) {
    pw::HWND h = makeList(rows);
    blob = reinterpret_cast<pw::HGLOBAL>(pw::SendMessage(h, lx::kMsgSaveState, 0, 0));
    pw::DestroyWindow(h);
    target = pw::CreateWindow(lx::kListClass, "", pw::WS_POPUP | pw::WS_VISIBLE | pw::WS_VSCROLL, 0, 0, kWidth,
                              kHeight, nullptr, nullptr, nullptr, nullptr);
  }
  ~Loaded() {
    pw::GlobalFree(blob);
    pw::DestroyWindow(target);
  }
  bool ok = true;
  double loadMs() {
    return timedMs([&] {
      ok = pw::SendMessage(target, lx::kMsgLoadState, 0, reinterpret_cast<pw::LPARAM>(blob)) == 0 && ok;
    });
  }
};

void SaveGrowth(benchmark::State& state) {
  pw::HWND many = makeList(100000), few = makeList(10000);
  std::vector<double> ours, base;
  for (auto _ : state) {
    ours.push_back(saveMs(many));
    base.push_back(saveMs(few));
  }
  pw::DestroyWindow(many);
  pw::DestroyWindow(few);
  reportMedians(state, ours, base, 12, "saving 10 times the rows takes more than 12 times as long");
}

void LoadVsSave(benchmark::State& state) {
  Loaded load(1000000);
  pw::HWND h = makeList(1000000);
  std::vector<double> ours, base;
  for (auto _ : state) {
    ours.push_back(load.loadMs());
    base.push_back(saveMs(h));
  }
  pw::DestroyWindow(h);
  if (!load.ok) return state.SkipWithError("the state did not load");
  reportMedians(state, ours, base, 1.5, "loading takes more than 1.5 times saving");
}

void LoadGrowth(benchmark::State& state) {
  Loaded many(1000000), few(100000);
  std::vector<double> ours, base;
  for (auto _ : state) {
    ours.push_back(many.loadMs());
    base.push_back(few.loadMs());
  }
  if (!many.ok || !few.ok) return state.SkipWithError("the state did not load");
  reportMedians(state, ours, base, 12, "loading 10 times the rows takes more than 12 times as long");
}

BENCHMARK(PaintVsTable)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(PaintGrowth)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(ScrollVsTable)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(SaveGrowth)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(LoadVsSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(LoadGrowth)->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lx::LibraryEntry(module(), lx::DLL_PROCESS_ATTACH);
  benchmark::Initialize(&argc, argv);
  benchratio::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  lx::LibraryEntry(module(), lx::DLL_PROCESS_DETACH);
  return reporter.failed ? 1 : 0;
}
