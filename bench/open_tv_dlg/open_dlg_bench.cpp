// The catalogue with 500 and 5,000 installed books, against the plain work
// it cannot avoid, timed in turn in every iteration of one run:
//   BM_OpenVsPlain     opening the dialog (its own code reads the installed
//                      books' information and fills the lists) against
//                      reading the information files once each with the
//                      profile layer plus filling the same rows, with the
//                      same pictures, into a list of the same kind; limit
//                      1.2, at 500 and at 5,000 books
//   BM_ReadVsPlain     the reading alone: the catalogue's reading of the
//                      installed books against the plain read; limit 1.2
//   BM_FilterVsRefill  ticking or unticking a difficulty row (Space on the
//                      filter list) against a plain refill of the rows the
//                      filter then lists; limit 1.2
// Each reports the ratio of the median times as the counter "ratio" with
// its "limit" (and the medians as "ours_ms" and "plain_ms") and fails when
// the ratio is over its limit; the program then exits with 1.
//
// The books are written by the player's own information writer into a
// data path inside a private world (HOME, XDG folders and the
// configuration root in a temporary folder), so nothing of the user's is
// read or written.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/common/ratio_report.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "platform/fs/config_root.h"
#include "platform/fs/program_folder.h"
#include "platform/profile/profile.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"
#include "player/book/book_info.h"
#include "player/views/catalogue_filter.h"
#include "player/views/open_tv_dlg.h"
#include "shared/buttons/orv_button.h"
#include "shared/language/orv_language.h"

namespace {

namespace fs = std::filesystem;
namespace lx = lindra;
namespace pw = plat::win;
using orv::views::CatalogueBook;
using orv::views::COrv_CatalogueFilter;
using orv::views::COrv_OpenTvDlg;

int g_books = 0;  // written so far

int g_anchor;
pw::HINSTANCE module() { return reinterpret_cast<pw::HINSTANCE>(&g_anchor); }

fs::path g_world;
std::string g_dataPath;
bool g_ready = false;

// A private world and its data path.
bool makeWorld() {
  g_world = fs::temp_directory_path() / ("bench_open_tv_dlg_" + std::to_string(getpid()));
  std::error_code ec;
  for (const char* sub : {"home/.config", "home/Documents", "config", "run", "data", "sources"})
    fs::create_directories(g_world / sub, ec);
  fs::permissions(g_world / "run", fs::perms::owner_all, ec);
  const auto put = [](const char* name, const fs::path& p) { ::setenv(name, p.c_str(), 1); };
  put("HOME", g_world / "home");
  put("XDG_CONFIG_HOME", g_world / "home/.config");
  put("XDG_DATA_HOME", g_world / "home/.local/share");
  put("XDG_CACHE_HOME", g_world / "home/.cache");
  put("XDG_RUNTIME_DIR", g_world / "run");
  put(plat::fs::kConfigRootVariable, g_world / "config");
  ::unsetenv("PUBLIC");
  g_dataPath = (g_world / "data").string();
  orv::COrv_Environment env;
  return env.SetDataPath(&g_dataPath, true);
}

// Writes the information of books up to `count` with the installer's
// writer: every category, level and language, local and network sources.
bool writeBooks(int count) {
  for (int& i = g_books; i < count; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "BK%03d", i);
    const std::string source =
        i % 7 == 3 ? "//server/share/" + std::string(code) + ".tvl" : (g_world / "sources" / code).string() + ".tvl";
    orv::COrv_BookInfo info;
    if (!info.BeginBook(code) || !info.Register(code, source, i % 8, true)) return false;
    bool ok = info.SetTvlClass(0);
    ok = info.SetCategory(1 + i % 21) && ok;
    ok = info.SetDifficulty(1 + i % 5) && ok;
    ok = info.SetDescription("The story of book " + std::to_string(i) +
                                 ", told in short passages with their speech, a dictionary of its words and a "
                                 "comment on each passage, for learners who read and listen at once.",
                             -1) &&
         ok;
    ok = info.SetTitle("Talvane number " + std::to_string(i), -1) && ok;
    ok = info.SetNumQuotes(20 + i % 80) && ok;
    ok = info.SetSourceType(source, -1) && ok;
    if (!ok || !info.CommitBook()) return false;
  }
  return true;
}

// The installed books are `count`, or the benchmark says why not.
bool haveBooks(benchmark::State& state, int count) {
  if (!g_ready) return state.SkipWithError("no private world"), false;
  if (g_books > count) return state.SkipWithError("more books written than this case counts"), false;
  if (!writeBooks(count)) return state.SkipWithError("the books could not be written"), false;
  return true;
}

// --- The plain work ----------------------------------------------------------

// Reads every installed book's information file once.
std::vector<CatalogueBook> plainRead() {
  const fs::path talvanes = fs::path(g_dataPath) / "Talvanes";
  const auto index = plat::profile::Snapshot::load(talvanes / "Index.tvk");
  std::vector<CatalogueBook> books;
  for (const std::string& code : index.keyNames("Tv installed")) {
    const auto info = plat::profile::Snapshot::load(talvanes / code / (code + ".ini"));
    CatalogueBook b;
    b.code = code;
    b.title = info.getString("Settings", "Title", "", 200);
    for (int piece = 1; piece <= info.getInt("Settings", "Description", 0); ++piece)
      b.description += info.getString("Settings", "DesTrance" + std::to_string(piece), "", 4096);
    b.category = info.getInt("Settings", "Category", 0);
    b.difficulty = info.getInt("Settings", "Difficult", 0);
    b.language = info.getInt("Settings", "OrigLanguage", -1);
    b.sourceType = info.getInt("Settings", "SourceType", 0);
    b.quotes = info.getInt("Settings", "NumQuotes", 0);
    books.push_back(std::move(b));
  }
  return books;
}

// A list of the dialog's kind with its pictures loaded once.
struct PlainList {
  pw::HWND list = nullptr;
  std::map<int, pw::HBITMAP> pictures;
  PlainList() {
    list = pw::CreateWindow(lx::kListClass, "", pw::WS_POPUP | pw::WS_VSCROLL | lx::LBS_NOTIFY, 0, 0, 340, 220,
                            nullptr, nullptr, nullptr, nullptr);
    LC_SetColumns(list, 5);
    for (int kind = 13; kind <= 16; ++kind)
      for (int entry = 0; entry <= 21; ++entry)
        if (const int id = COrv_Language::GetTableResourceId(kind, entry); id >= 0 && !pictures.count(id))
          pictures[id] = tv::buttons::LoadResourceBitmap(id, true);
  }
  ~PlainList() {
    pw::DestroyWindow(list);
    for (auto& [id, b] : pictures) pw::DeleteObject(b);
  }
  // The fewest calls: the row chosen once, then column and picture.
  void picture(int column, int id) {
    const auto it = pictures.find(id);
    if (it == pictures.end()) return;
    LC_SetCol(list, static_cast<std::int16_t>(column));
    LC_SetPicture(list, 1, 0, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(it->second)), 0);
  }
  // The rows of `books` that `filter` passes, as the dialog lists them.
  void fill(const std::vector<CatalogueBook>& books, const COrv_CatalogueFilter& filter) {
    pw::SendMessage(list, lx::LB_RESETCONTENT, 0, 0);
    int i = 0;
    for (const CatalogueBook& b : books) {
      if (!filter.Passes(b)) continue;
      const std::string text = "\t\t\t\t" + b.title;
      const auto at = pw::SendMessage(list, lx::LB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(text.c_str()));
      const int row = static_cast<int>(at);
      LC_SetListApplyTo(list, 12);
      LC_SetRow(list, row);
      picture(0, COrv_Language::GetTableResourceId(13, b.category));
      picture(1, COrv_Language::GetTableResourceId(14, b.difficulty));
      picture(2, COrv_Language::GetTableResourceId(15, b.language == 32 ? 0 : b.language));
      picture(3, COrv_Language::GetTableResourceId(16, COrv_CatalogueFilter::SourceKind(b.sourceType)));
      pw::SendMessage(list, lx::LB_SETITEMDATA, static_cast<pw::WPARAM>(row), i++);
    }
    pw::SendMessage(list, lx::LB_SETCURSEL, 0, 0);
  }
};

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }
using benchratio::reportMedians;

void BM_OpenVsPlain(benchmark::State& state) {
  const int books = static_cast<int>(state.range(0));
  if (!haveBooks(state, books)) return;
  std::vector<double> ours, base;
  for (auto _ : state) {
    auto t = Clock::now();
    {
      auto dlg = std::make_unique<COrv_OpenTvDlg>();
      ours.push_back(msSince(t));
      if (dlg->ListedCodes().size() != static_cast<size_t>(books))
        return state.SkipWithError("the dialog does not list every book");
    }
    PlainList plain;
    t = Clock::now();
    plain.fill(plainRead(), COrv_CatalogueFilter());
    base.push_back(msSince(t));
    if (pw::SendMessage(plain.list, lx::LB_GETCOUNT, 0, 0) != books) return state.SkipWithError("plain fill");
  }
  reportMedians(state, ours, base, 1.2, "opening takes more than 1.2 times the plain reading and filling");
}

// The reading alone: the catalogue's reading of the installed books'
// information against the plain read of the same files, alternated.
void BM_ReadVsPlain(benchmark::State& state) {
  const int books = static_cast<int>(state.range(0));
  if (!haveBooks(state, books)) return;
  orv::views::InstalledCatalogue catalogue;
  std::vector<double> ours, base;
  for (auto _ : state) {
    auto t = Clock::now();
    const size_t read = catalogue.ReadBooks().size();
    ours.push_back(msSince(t));
    t = Clock::now();
    const size_t plain = plainRead().size();
    base.push_back(msSince(t));
    if (read != static_cast<size_t>(books) || plain != read) return state.SkipWithError("not every book read");
  }
  reportMedians(state, ours, base, 1.2, "reading takes more than 1.2 times the plain read");
}

void BM_FilterVsRefill(benchmark::State& state) {
  if (!haveBooks(state, 500)) return;
  COrv_OpenTvDlg dlg;
  const pw::HWND levels = dlg.FilterList(COrv_CatalogueFilter::kDifficulty);
  pw::SendMessage(levels, lx::LB_SETCURSEL, 1, 0);
  PlainList plain;
  const std::vector<CatalogueBook> books = plainRead();
  COrv_CatalogueFilter filter;
  std::vector<double> ours, base;
  for (auto _ : state) {
    // Space on row 1: ticked (a fifth of the books), then unticked (all).
    auto t = Clock::now();
    pw::SendMessage(levels, pw::WM_KEYDOWN, 32, 0);
    ours.push_back(msSince(t));
    filter.Toggle(COrv_CatalogueFilter::kDifficulty, 1);
    t = Clock::now();
    plain.fill(books, filter);
    base.push_back(msSince(t));
    if (dlg.ListedCodes().size() != static_cast<size_t>(pw::SendMessage(plain.list, lx::LB_GETCOUNT, 0, 0)))
      return state.SkipWithError("the dialog and the plain list differ");
  }
  reportMedians(state, ours, base, 1.2, "a filter change takes more than 1.2 times a plain refill");
}

// In this order: the books written for a case are kept for the next.
BENCHMARK(BM_OpenVsPlain)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadVsPlain)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_FilterVsRefill)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_OpenVsPlain)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadVsPlain)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const bool world = makeWorld();
  QApplication app(argc, argv);
  lx::LibraryEntry(module(), lx::DLL_PROCESS_ATTACH);
  g_ready = world;
  benchmark::Initialize(&argc, argv);
  benchratio::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  lx::LibraryEntry(module(), lx::DLL_PROCESS_DETACH);
  std::error_code ec;
  fs::remove_all(g_world, ec);
  return reporter.failed ? 1 : 0;
}
