// The pool against the C library's malloc on the list library's typical
// load: many blocks of 8 to 64 bytes.
//   *Pairs: one allocation freed at once, sizes cycling through the range.
//   *Many:  10000 blocks allocated, then freed in a shuffled order.
// The library asks for zero-filled blocks, so the pool with flag 1 is set
// against calloc; the plain rows set the pool without flag 1 against malloc.
// The program prints each pair's time ratio after the table (limit 1.5).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/common/ratio_report.h"
#include "listctl/pool/pool.h"

namespace {

constexpr int kBatch = 10000;

std::vector<std::size_t> sizes() {
  std::mt19937 rng(7);
  std::vector<std::size_t> s(4096);
  for (auto& v : s) v = 8 + rng() % 57;
  return s;
}

std::vector<int> order() {
  std::vector<int> o(kBatch);
  for (int i = 0; i < kBatch; ++i) o[i] = i;
  std::shuffle(o.begin(), o.end(), std::mt19937(11));
  return o;
}

template <unsigned Flags>
struct PoolAlloc {
  lindra::MemPool* pool = lindra::PoolCreate(lindra::kPoolLibrary);
  ~PoolAlloc() { lindra::PoolDestroy(pool); }
  void* alloc(std::size_t n) { return lindra::PoolAlloc(pool, n, Flags); }
  void release(void* p) { lindra::PoolFree(p); }
};

struct CallocAlloc {
  void* alloc(std::size_t n) { return std::calloc(1, n); }
  void release(void* p) { std::free(p); }
};

struct MallocAlloc {
  void* alloc(std::size_t n) { return std::malloc(n); }
  void release(void* p) { std::free(p); }
};

template <class A>
void pairs(benchmark::State& state) {
  A a;
  const auto s = sizes();
  std::size_t i = 0;
  for (auto _ : state) {
    void* p = a.alloc(s[i++ & 4095]);
    benchmark::DoNotOptimize(p);
    a.release(p);
  }
  state.SetItemsProcessed(state.iterations());
}

template <class A>
void many(benchmark::State& state) {
  A a;
  const auto s = sizes();
  const auto o = order();
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) blocks[i] = a.alloc(s[i & 4095]);
    benchmark::DoNotOptimize(blocks.data());
    for (int i : o) a.release(blocks[i]);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

using ZeroPool = PoolAlloc<lindra::kAllocZero>;
using PlainPool = PoolAlloc<0>;

void BM_PoolZeroPairs(benchmark::State& s) { pairs<ZeroPool>(s); }
void BM_CallocPairs(benchmark::State& s) { pairs<CallocAlloc>(s); }
void BM_PoolPlainPairs(benchmark::State& s) { pairs<PlainPool>(s); }
void BM_MallocPairs(benchmark::State& s) { pairs<MallocAlloc>(s); }
void BM_PoolZeroMany(benchmark::State& s) { many<ZeroPool>(s); }
void BM_CallocMany(benchmark::State& s) { many<CallocAlloc>(s); }
void BM_PoolPlainMany(benchmark::State& s) { many<PlainPool>(s); }
void BM_MallocMany(benchmark::State& s) { many<MallocAlloc>(s); }

}  // namespace

BENCHMARK(BM_PoolZeroPairs);
BENCHMARK(BM_CallocPairs);
BENCHMARK(BM_PoolPlainPairs);
BENCHMARK(BM_MallocPairs);
BENCHMARK(BM_PoolZeroMany);
BENCHMARK(BM_CallocMany);
BENCHMARK(BM_PoolPlainMany);
BENCHMARK(BM_MallocMany);

int main(int argc, char** argv) {
  return benchratio::runWithRatios(argc, argv,
                                   {{"BM_PoolPlainPairs", "BM_MallocPairs", 1.5},
                                    {"BM_PoolZeroPairs", "BM_CallocPairs", 1.5},
                                    {"BM_PoolPlainMany", "BM_MallocMany", 1.5},
                                    {"BM_PoolZeroMany", "BM_CallocMany", 1.5}});
}
