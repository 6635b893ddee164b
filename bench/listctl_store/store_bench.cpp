// The item store against its plain equivalents, in one run:
//   Store*  / Vector*: the list operations on the store and on a
//           std::vector<std::string> (append, insert in the middle, delete
//           from the middle, read every text);
//   Store*  / Model*: 100k sorted inserts and a re-sort of 100k titles on the
//           store and on a QStandardItemModel (binary search + insertRow with
//           the same case-insensitive order; sort(0)).
// The program prints each pair's time ratio after the table.
//
// Like for like: a vector element is a std::string (32 bytes, its text in a
// heap block of its own), a store item a 26-byte record with its text in a
// pool block of its own. Both copy every text in, free every text on delete
// and copy it out into one reused std::string. The vector copies from strings
// whose length it knows; the store measures each text it is given, as
// LB_ADDSTRING does.
#include <benchmark/benchmark.h>

#include <QStandardItemModel>

#include <random>
#include <string>
#include <vector>

#include "bench/common/ratio_report.h"
#include "listctl/core/instance.h"
#include "listctl/core/library.h"
#include "listctl/store/store.h"

namespace lx = lindra;

namespace {

constexpr int kItems = 100000;
constexpr int kEdits = 10000;

// Titles made of syllables from several languages, accents included, 16 to
// 35 bytes long as book titles are (past the short-string buffer of
// std::string, so both sides hold their texts in the heap).
const std::vector<std::string>& titles() {
  static const std::vector<std::string> t = [] {
    const char* syl[] = {"ka", "Lé", "mo", "ür", "ßa", "Ωn", "ri", "Ço", "ne", "tä", "Bo", "ję", "su", "Ér", "pi", "ån"};
    std::mt19937 rng(5);
    std::vector<std::string> v(kItems);
    for (auto& s : v) {
      const int n = 6 + static_cast<int>(rng() % 6);
      for (int k = 0; k < n; ++k) s += syl[rng() % 16];
      s += ' ';
      s += std::to_string(rng() % 1000);
    }
    return v;
  }();
  return t;
}

// The library pool lives while any list does: one user for the whole run,
// as in a dialog that keeps its lists, so each iteration's list takes its
// pages from a warm pool as the vector takes them from a warm heap.
struct PoolUser {
  PoolUser() { lx::acquirePool(); }
  ~PoolUser() { lx::releasePool(); }
};
PoolUser g_poolUser;

struct Store {
  lx::LbxInstance* inst;
  explicit Store(std::uint32_t style = 0) {
    lx::acquirePool();
    inst = lx::allocRecord();
    inst->curSel = inst->anchor = -1;
    inst->store.lastAdded = -1;
    inst->style = style;
  }
  ~Store() {
    lx::lbxResetContent(inst);
    for (auto*& a : inst->attrs) lx::PoolFree(a);
    lx::PoolFree(inst);
    lx::releasePool();
  }
};

void StoreAppend(benchmark::State& state) {
  for (auto _ : state) {
    Store s;
    for (const auto& t : titles()) lx::lbxAddString(s.inst, t.c_str());
    benchmark::DoNotOptimize(s.inst->itemCount);
  }
}
void VectorAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> v;
    for (const auto& t : titles()) v.push_back(t);
    benchmark::DoNotOptimize(v.data());
  }
}

void StoreInsertDelete(benchmark::State& state) {
  Store s;
  for (int i = 0; i < kEdits; ++i) lx::lbxAddString(s.inst, titles()[i].c_str());
  for (auto _ : state) {
    for (int i = 0; i < kEdits; ++i) lx::lbxInsertString(s.inst, s.inst->itemCount / 2, titles()[i].c_str());
    for (int i = 0; i < kEdits; ++i) lx::lbxDeleteString(s.inst, s.inst->itemCount / 2);
  }
}
void VectorInsertDelete(benchmark::State& state) {
  std::vector<std::string> v(titles().begin(), titles().begin() + kEdits);
  for (auto _ : state) {
    for (int i = 0; i < kEdits; ++i) v.insert(v.begin() + v.size() / 2, titles()[i]);
    for (int i = 0; i < kEdits; ++i) v.erase(v.begin() + v.size() / 2);
    benchmark::DoNotOptimize(v.data());
  }
}

void StoreReadAll(benchmark::State& state) {
  Store s;
  for (const auto& t : titles()) lx::lbxAddString(s.inst, t.c_str());
  std::string out;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (int i = 0; i < kItems; ++i) {
      lx::lbxItemText(s.inst, i, -1, &out);
      sum += out.size();
    }
    benchmark::DoNotOptimize(sum);
  }
}
void VectorReadAll(benchmark::State& state) {
  std::vector<std::string> v(titles());
  std::string out;
  for (auto _ : state) {
    std::size_t sum = 0;
    for (int i = 0; i < kItems; ++i) {
      out.assign(v[i]);
      sum += out.size();
    }
    benchmark::DoNotOptimize(sum);
  }
}

void StoreSortedInserts(benchmark::State& state) {
  for (auto _ : state) {
    Store s(lx::LBS_SORT);
    for (const auto& t : titles()) lx::lbxAddString(s.inst, t.c_str());
    benchmark::DoNotOptimize(s.inst->itemCount);
  }
}
void ModelSortedInserts(benchmark::State& state) {
  std::vector<QString> q;
  for (const auto& t : titles()) q.push_back(QString::fromStdString(t));
  for (auto _ : state) {
    QStandardItemModel m;
    for (const QString& t : q) {
      int lo = 0, hi = m.rowCount();
      while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (QString::compare(t, m.item(mid)->text(), Qt::CaseInsensitive) < 0) hi = mid;
        else lo = mid + 1;
      }
      m.insertRow(lo, new QStandardItem(t));
    }
    benchmark::DoNotOptimize(m.rowCount());
  }
}

void StoreResort(benchmark::State& state) {
  Store s;
  for (const auto& t : titles()) lx::lbxAddString(s.inst, t.c_str());
  for (auto _ : state) {
    state.PauseTiming();
    s.inst->store.sorted = 0;
    const lx::LbxSortKey byNumber{-1, 2, 1};  // scramble the order again: descending with case
    lx::lbxSetSortKeys(s.inst, &byNumber, 1);
    lx::lbxResort(s.inst);
    const lx::LbxSortKey key{-1, 1, 0};
    lx::lbxSetSortKeys(s.inst, &key, 1);
    state.ResumeTiming();
    lx::lbxResort(s.inst);
  }
}
void ModelResort(benchmark::State& state) {
  QStandardItemModel m;
  for (const auto& t : titles()) m.appendRow(new QStandardItem(QString::fromStdString(t)));
  for (auto _ : state) {
    state.PauseTiming();
    m.sort(0, Qt::DescendingOrder);
    state.ResumeTiming();
    m.sort(0, Qt::AscendingOrder);
  }
}

BENCHMARK(StoreAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(VectorAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreInsertDelete)->Unit(benchmark::kMillisecond);
BENCHMARK(VectorInsertDelete)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreReadAll)->Unit(benchmark::kMillisecond);
BENCHMARK(VectorReadAll)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreSortedInserts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ModelSortedInserts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StoreResort)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ModelResort)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  return benchratio::runWithRatios(argc, argv,
                                   {{"StoreAppend", "VectorAppend", 1.5},
                                    {"StoreInsertDelete", "VectorInsertDelete", 1.5},
                                    {"StoreReadAll", "VectorReadAll", 1.5},
                                    {"StoreSortedInserts/iterations:3", "ModelSortedInserts/iterations:3", 2.0},
                                    {"StoreResort/iterations:5", "ModelResort/iterations:5", 2.0}});
}
