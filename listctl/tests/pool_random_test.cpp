// A seeded random mix of allocations, frees and reallocations against a
// shadow model of every live block's size and contents, with the pool's own
// consistency walk (tags, links, byte counts) at regular intervals.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "listctl/tests/pool_test_support.h"

using namespace lindra;
using pooltest::PoolTest;

namespace {

// About 2.5 s in the sanitizer build, under 1 s otherwise.
constexpr int kOperations = 1'000'000;
constexpr int kCheckEvery = 25'000;
constexpr std::size_t kMaxLive = 2000;

struct Shadow {
  uint8_t* p;
  std::size_t size;
  uint8_t pattern;
  bool fixed;
};

bool holds(const uint8_t* p, std::size_t n, uint8_t v) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != v) return false;
  return true;
}

}  // namespace

TEST_F(PoolTest, RandomOperationsMatchShadowModel) {
  std::mt19937_64 rng(20261210);
  auto pick = [&](std::size_t n) { return std::size_t(rng() % n); };
  auto randomSize = [&]() -> std::size_t {
    const std::size_t r = pick(1000);
    if (r < 700) return 1 + pick(254);     // small
    if (r < 995) return 255 + pick(3842);  // medium
    return 4097 + pick(20000);             // large
  };
  std::vector<Shadow> live;
  uint8_t nextPattern = 1;
  std::size_t counts[6] = {};  // alloc, fixed, free, realloc moved, in place, refused
  for (int op = 1; op <= kOperations; ++op) {
    const std::size_t r = pick(100);
    if ((r < 45 && live.size() < kMaxLive) || live.empty()) {
      const bool fixed = pick(20) == 0;
      const std::size_t size = fixed ? 16 : randomSize();
      const unsigned flags = pick(2) ? kAllocZero : 0;
      auto* p = static_cast<uint8_t*>(fixed ? PoolAllocFixed(pool_) : PoolAlloc(pool_, size, flags));
      ASSERT_NE(p, nullptr) << "op " << op;
      ASSERT_GE(PoolSize(p), std::ptrdiff_t(size));
      if ((flags & kAllocZero) || fixed) {
        ASSERT_TRUE(holds(p, size, 0)) << "op " << op;
      }
      const uint8_t v = nextPattern++;
      std::memset(p, v, size);
      live.push_back({p, size, v, fixed});
      ++counts[fixed ? 1 : 0];
    } else if (r < 80) {
      const std::size_t i = pick(live.size());
      const Shadow s = live[i];
      ASSERT_TRUE(holds(s.p, s.size, s.pattern)) << "op " << op;
      ASSERT_EQ(PoolFree(s.p), 1) << "op " << op;
      live[i] = live.back();
      live.pop_back();
      ++counts[2];
    } else {
      const std::size_t i = pick(live.size());
      Shadow& s = live[i];
      if (s.fixed) continue;
      const std::size_t size = pick(4) ? randomSize() : s.size + pick(64);
      const unsigned flags = (pick(2) ? kAllocZero : 0) | (pick(10) == 0 ? kReallocInPlace : 0);
      const auto oldUsable = std::size_t(PoolSize(s.p));
      pooltest::log().codes.clear();
      auto* q = static_cast<uint8_t*>(PoolRealloc(s.p, size, flags));
      if (!q) {
        ASSERT_TRUE(flags & kReallocInPlace) << "op " << op;
        ASSERT_EQ(errors(), std::vector<int>{MEM_RESIZE_FAILED});
        ASSERT_TRUE(holds(s.p, s.size, s.pattern));
        ++counts[5];
        continue;
      }
      ++counts[q == s.p ? 4 : 3];
      ASSERT_TRUE(holds(q, std::min(s.size, size), s.pattern)) << "op " << op;
      if ((flags & kAllocZero) && size > oldUsable) {
        ASSERT_TRUE(holds(q + oldUsable, size - oldUsable, 0)) << "op " << op;
      }
      s.p = q;
      s.size = size;
      s.pattern = nextPattern++;
      std::memset(q, s.pattern, size);
    }
    if (op % kCheckEvery == 0) {
      std::string fault;
      ASSERT_TRUE(PoolCheck(pool_, &fault)) << "op " << op << ": " << fault;
      ASSERT_EQ(stats().blocksInUse, live.size());
    }
  }
  // Every path was exercised.
  for (std::size_t c : counts) EXPECT_GT(c, 0u);
  for (const Shadow& s : live) {
    ASSERT_TRUE(holds(s.p, s.size, s.pattern));
    ASSERT_EQ(PoolFree(s.p), 1);
  }
  const PoolStats end = stats();
  EXPECT_EQ(end.blocksInUse, 0u);
  EXPECT_EQ(end.pages[kPageMedium] + end.pages[kPageLarge] + end.pages[kPageFixed], 0u);
  EXPECT_TRUE(errors().empty() || errors() == std::vector<int>{MEM_RESIZE_FAILED});
}
