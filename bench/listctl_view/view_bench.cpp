// The list on screen against Qt's QTableView on the same data, in one run:
//   ListPaint / TablePaint        one full paint of a 400 x 300 view of a
//                                 3-column list with a header, at 100 and
//                                 at 100,000 rows (the cost must not grow
//                                 with the rows: only the visible ones paint)
//   ListScrollToEnd / TableScrollToEnd   a jump to the last rows and the
//                                 one paint that shows them
//   StateSave                     the saved state of 10,000 and 100,000
//                                 rows (the cost must grow linearly)
//   StateLoad / StateSave         a list rebuilt from its saved state, at
//                                 100,000 and 1,000,000 rows: within 1.5
//                                 times the saving of the same rows, and 10
//                                 times the rows within 12 times the time
// The list paints into its window's backing image through WM_PAINT; the
// table renders into an image of the same size. Both run on an offscreen
// QApplication. The program prints each pair's time ratio and limit after
// the table, and fails when a ratio is over its limit.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>
#include <string>

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

void ListPaint(benchmark::State& state) {
  pw::HWND h = makeList(static_cast<int>(state.range(0)));
  for (auto _ : state) paintList(h);
  pw::DestroyWindow(h);
}

void TablePaint(benchmark::State& state) {
  Table t(static_cast<int>(state.range(0)));
  for (auto _ : state) t.paint();
}

// A vertical scroll repaints the list itself before it returns: the jump
// is timed with that one paint.
void ListScrollToEnd(benchmark::State& state) {
  pw::HWND h = makeList(100000);
  for (auto _ : state) {
    state.PauseTiming();
    pw::SendMessage(h, pw::WM_VSCROLL, 6 /* SB_TOP */, 0);
    state.ResumeTiming();
    pw::SendMessage(h, pw::WM_VSCROLL, 7 /* SB_BOTTOM */, 0);
  }
  pw::DestroyWindow(h);
}

void TableScrollToEnd(benchmark::State& state) {
  Table t(100000);
  for (auto _ : state) {
    state.PauseTiming();
    t.view.scrollToTop();
    t.paint();
    state.ResumeTiming();
    t.view.scrollToBottom();
    t.paint();
  }
}

void StateSave(benchmark::State& state) {
  pw::HWND h = makeList(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto blob = reinterpret_cast<pw::HGLOBAL>(pw::SendMessage(h, lx::kMsgSaveState, 0, 0));
    benchmark::DoNotOptimize(blob);
    pw::GlobalFree(blob);
  }
  pw::DestroyWindow(h);
}

// Loads the saved state of `rows` rows into a list (each load replaces
// what the one before built).
void StateLoad(benchmark::State& state) {
  pw::HWND h = makeList(static_cast<int>(state.range(0)));
  auto blob = reinterpret_cast<pw::HGLOBAL>(pw::SendMessage(h, lx::kMsgSaveState, 0, 0));
  pw::HWND target = pw::CreateWindow(lx::kListClass, "", pw::WS_POPUP | pw::WS_VISIBLE | pw::WS_VSCROLL, 0, 0, kWidth,
                                     kHeight, nullptr, nullptr, nullptr, nullptr);
  pw::DestroyWindow(h);
  for (auto _ : state) {
    if (pw::SendMessage(target, lx::kMsgLoadState, 0, reinterpret_cast<pw::LPARAM>(blob)) != 0)
      state.SkipWithError("the state did not load");
  }
  pw::GlobalFree(blob);
  pw::DestroyWindow(target);
}

BENCHMARK(ListPaint)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(TablePaint)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ListScrollToEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(TableScrollToEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(StateSave)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(StateSave)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StateLoad)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lx::LibraryEntry(module(), lx::DLL_PROCESS_ATTACH);
  const int r = benchratio::runWithRatios(
      argc, argv,
      {{"ListPaint/100000", "ListPaint/100", 1.25},
       // Qt's own growth, for reference: ours must be no worse.
       {"TablePaint/100000", "TablePaint/100", 99.0},
       {"ListPaint/100000", "TablePaint/100000", 0.75},
       {"ListScrollToEnd", "TableScrollToEnd", 0.75},
       {"StateSave/100000/iterations:5", "StateSave/10000/iterations:5", 12.0},
       {"StateLoad/1000000/iterations:3", "StateSave/1000000/iterations:3", 1.5},
       {"StateLoad/1000000/iterations:3", "StateLoad/100000/iterations:3", 12.0}});
  lx::LibraryEntry(module(), lx::DLL_PROCESS_DETACH);
  return r;
}
