#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "listctl/tests/pool_test_support.h"
#include "platform/ui/recording_sink.h"

using namespace lindra;
using pooltest::PoolTest;

namespace {

void fill(void* p, std::size_t n, uint8_t v) { std::memset(p, v, n); }
bool filledWith(const void* p, std::size_t n, uint8_t v) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (std::size_t i = 0; i < n; ++i)
    if (b[i] != v) return false;
  return true;
}

}  // namespace

// Which path a request takes and what usable size it gets.
TEST_F(PoolTest, SizeTablePicksPathAndUsableSize) {
  struct Case {
    std::size_t size;
    int type;
    std::ptrdiff_t usable;
  };
  const Case cases[] = {
      {1, kPageSmall, 7},   {3, kPageSmall, 7},      {4, kPageSmall, 7},      {254, kPageSmall, 255},
      {255, kPageMedium, 262}, {4096, kPageMedium, 4102}, {4097, kPageLarge, 8192 - 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    void* p = PoolAlloc(pool_, c.size, kAllocZero);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    EXPECT_EQ(PoolBlockPageType(p), c.type);
    EXPECT_EQ(PoolSize(p), c.usable);
    EXPECT_TRUE(filledWith(p, std::size_t(c.usable), 0));
    fill(p, std::size_t(c.usable), 0xA5);
    EXPECT_EQ(PoolFree(p), 1);
  }
  EXPECT_TRUE(errors().empty());

  EXPECT_EQ(PoolAlloc(pool_, 0, kAllocZero), nullptr);
  EXPECT_EQ(errors(), std::vector<int>{MEM_ALLOC_ZERO});
}

TEST_F(PoolTest, ZeroFillClearsReusedBlocks) {
  for (std::size_t size : {40u, 1000u}) {
    SCOPED_TRACE(size);
    void* keep = PoolAlloc(pool_, size, 0);  // keeps a medium page alive
    void* p = PoolAlloc(pool_, size, 0);
    fill(p, size, 0xEE);
    PoolFree(p);
    void* q = PoolAlloc(pool_, size, kAllocZero);
    EXPECT_EQ(q, p);
    EXPECT_TRUE(filledWith(q, size, 0));
    PoolFree(q);
    PoolFree(keep);
  }
}

TEST_F(PoolTest, SmallPagesAreNeverReleased) {
  std::vector<void*> blocks;
  for (int i = 0; i < 3000; ++i) blocks.push_back(PoolAlloc(pool_, 40, 0));  // 48-byte slots: 3 pages
  const PoolStats full = stats();
  EXPECT_EQ(full.pages[kPageSmall], 3u);
  EXPECT_EQ(full.blocksInUse, 3000u);
  for (void* p : blocks) EXPECT_EQ(PoolFree(p), 1);
  const PoolStats empty = stats();
  EXPECT_EQ(empty.pages[kPageSmall], 3u);
  EXPECT_EQ(empty.bytesInUse, full.bytesInUse);
  EXPECT_EQ(empty.blocksInUse, 0u);
  expectSound();
  // The freed blocks serve the same class again before any carving.
  for (void*& p : blocks) p = PoolAlloc(pool_, 41, 0);
  EXPECT_EQ(stats().pages[kPageSmall], 3u);
  expectSound();
  for (void* p : blocks) PoolFree(p);
}

TEST_F(PoolTest, EndOfSmallPageBecomesFreeBlock) {
  // 256-byte slots do not fill a page exactly: the rest becomes a free block
  // of a smaller class, which a request of that class then gets.
  std::vector<void*> blocks;
  while (stats().pages[kPageSmall] < 2) blocks.push_back(PoolAlloc(pool_, 254, 0));
  expectSound();
  // One class, and only one, is served from the first page's rest.
  const uintptr_t firstPage = reinterpret_cast<uintptr_t>(blocks[0]) >> 16;
  std::vector<void*> probes;
  void* rest = nullptr;
  for (std::size_t size = 4; size < 255; size += 4) {
    void* p = PoolAlloc(pool_, size, 0);
    probes.push_back(p);
    if (reinterpret_cast<uintptr_t>(p) >> 16 == firstPage) {
      EXPECT_EQ(rest, nullptr) << size;
      rest = p;
    }
  }
  EXPECT_NE(rest, nullptr);
  EXPECT_EQ(stats().pages[kPageSmall], 2u);
  for (void* p : probes) PoolFree(p);
  for (void* p : blocks) PoolFree(p);
}

TEST_F(PoolTest, NoNewSmallPageFallsBackToMedium) {
  void* p = PoolAlloc(pool_, 10, kAllocNoSmallPage);
  EXPECT_EQ(PoolBlockPageType(p), kPageMedium);
  EXPECT_EQ(stats().pages[kPageSmall], 0u);
  PoolFree(p);
}

// Three neighbouring medium blocks A, B, C freed in different orders end as
// one free block; the free-block count after each step shows every merge.
TEST_F(PoolTest, MediumFreesMergeNeighbours) {
  struct Case {
    const char* order;
    std::size_t freeBlocks[3];
  };
  // Blocks are cut from the back of the free space, so from the top of the
  // page down: A, B, C, then D (kept) and the rest of the page below D.
  const Case cases[] = {
      {"ACB", {2, 3, 2}},
      {"CAB", {2, 3, 2}},
      {"ABC", {2, 2, 2}},
      {"CBA", {2, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    void* blocks[3];
    for (auto& b : blocks) b = PoolAlloc(pool_, 1000, 0);
    void* d = PoolAlloc(pool_, 1000, 0);
    const std::ptrdiff_t blockBytes = PoolSize(blocks[0]) + 2;
    ASSERT_EQ(static_cast<char*>(blocks[0]) - static_cast<char*>(blocks[1]), blockBytes);
    ASSERT_EQ(static_cast<char*>(blocks[1]) - static_cast<char*>(blocks[2]), blockBytes);
    ASSERT_EQ(static_cast<char*>(blocks[2]) - static_cast<char*>(d), blockBytes);
    EXPECT_EQ(stats().mediumFreeBlocks, 1u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(PoolFree(blocks[c.order[i] - 'A']), 1);
      EXPECT_EQ(stats().mediumFreeBlocks, c.freeBlocks[i]) << "after step " << i;
      expectSound();
    }
    // D grows in place over all three only if they are one block now.
    EXPECT_EQ(PoolRealloc(d, std::size_t(1000 + 3 * blockBytes), kReallocInPlace), d);
    expectSound();
    PoolFree(d);
    EXPECT_EQ(stats().pages[kPageMedium], 0u);
  }
  EXPECT_TRUE(errors().empty());
}

TEST_F(PoolTest, EmptyMediumPageIsReleasedUnlessFloorKeepsIt) {
  for (bool floor : {false, true}) {
    SCOPED_TRACE(floor);
    PoolSetFloor(pool_, floor ? 1 << 20 : 0);
    void* p = PoolAlloc(pool_, 500, 0);
    const std::size_t with = stats().bytesInUse;
    PoolFree(p);
    EXPECT_EQ(stats().pages[kPageMedium], floor ? 1u : 0u);
    EXPECT_EQ(stats().bytesInUse, floor ? with : with - kPoolMediumPageSize);
    // Shrinking gives back empty pages whatever the floor.
    EXPECT_EQ(PoolShrink(pool_), floor ? kPoolMediumPageSize : 0u);
    EXPECT_EQ(stats().pages[kPageMedium], 0u);
  }
}

TEST_F(PoolTest, ReallocInPlaceOrMoved) {
  enum Above { kNone, kFreeAbove, kUsedAbove };
  struct Case {
    const char* what;
    std::size_t from, to;
    Above above;  // a medium block right after the one resized
    bool inPlace;
  };
  const Case cases[] = {
      {"small within its class", 5, 7, kNone, true},
      {"small to the next class", 5, 8, kNone, false},
      {"small to medium", 100, 300, kNone, false},
      {"medium shrinks", 2000, 300, kNone, true},
      {"medium grows into a free block", 300, 2000, kFreeAbove, true},
      {"medium grows over a block in use", 300, 2000, kUsedAbove, false},
      {"medium at the page end", 300, 2000, kNone, false},
      {"medium to large", 3000, 5000, kNone, false},
      {"large grows within its reservation", 5000, 60000, kNone, true},
      {"large shrinks", 60000, 5000, kNone, true},
      {"large past its reservation", 5000, 70000, kNone, false},
      {"large to medium", 5000, 4000, kNone, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Medium blocks are cut from the back: the one taken first lies above.
    void* above = c.above != kNone ? PoolAlloc(pool_, 2000, 0) : nullptr;
    void* p = PoolAlloc(pool_, c.from, 0);
    if (c.above == kFreeAbove) PoolFree(std::exchange(above, nullptr));
    fill(p, c.from, 0x5C);
    void* q = PoolRealloc(p, c.to, kAllocZero);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q == p, c.inPlace);
    EXPECT_GE(PoolSize(q), std::ptrdiff_t(c.to));
    EXPECT_TRUE(filledWith(q, std::min(c.from, c.to), 0x5C));
    // Bytes past the old usable size (at most 7 past the old request) are new.
    if (c.to > c.from + 8) {
      EXPECT_TRUE(filledWith(static_cast<char*>(q) + c.from + 8, c.to - c.from - 8, 0));
    }
    expectSound();
    PoolFree(q);
    if (above) PoolFree(above);
  }
  EXPECT_TRUE(errors().empty());
}

TEST_F(PoolTest, ReallocInPlaceOnlyRefusesAndKeepsBlock) {
  struct Case {
    std::size_t from, to;
  };
  for (const Case c : {Case{5, 100}, Case{300, 5000}, Case{5000, 200000}}) {
    SCOPED_TRACE(c.from);
    errors().clear();
    void* blocker = PoolAlloc(pool_, 300, 0);  // keeps medium space after the block in use
    void* p = PoolAlloc(pool_, c.from, 0);
    fill(p, c.from, 0x33);
    const std::ptrdiff_t size = PoolSize(p);
    EXPECT_EQ(PoolRealloc(p, c.to, kReallocInPlace), nullptr);
    EXPECT_EQ(errors(), std::vector<int>{MEM_RESIZE_FAILED});
    EXPECT_EQ(PoolSize(p), size);
    EXPECT_TRUE(filledWith(p, c.from, 0x33));
    PoolFree(p);
    PoolFree(blocker);
  }
}

// A freed large block's region stays mapped and serves the next large
// request of the same reservation, reading as zeros like a fresh one.
TEST_F(PoolTest, FreedLargeRegionsServeTheNextRequestOfTheirSize) {
  const std::size_t base = stats().bytesInUse;
  void* p = PoolAlloc(pool_, 20000, 0);
  ASSERT_NE(p, nullptr);
  fill(p, 20000, 0x77);
  ASSERT_EQ(PoolFree(p), 1);
  EXPECT_EQ(stats().bytesInUse, base);
  EXPECT_EQ(stats().keptRegions, 1u);
  EXPECT_EQ(stats().keptBytes, 20480u);
  // The kept region is no block: it is refused, not freed twice.
  EXPECT_EQ(PoolBlockPageType(p), -1);
  EXPECT_EQ(PoolFree(p), 0);
  EXPECT_EQ(errors(), std::vector<int>{MEM_BAD_POINTER});
  errors().clear();

  // Requests of the same reservation (64 KB) take it, whatever they commit.
  struct Case {
    std::size_t size;
    std::ptrdiff_t usable;
  };
  for (const Case c : {Case{20000, 20480 - 64}, Case{40000, 40960 - 64}, Case{5000, 8192 - 64}}) {
    SCOPED_TRACE(c.size);
    void* q = PoolAlloc(pool_, c.size, 0);
    EXPECT_EQ(q, p);
    EXPECT_EQ(PoolSize(q), c.usable);
    EXPECT_TRUE(filledWith(q, std::size_t(c.usable), 0));
    EXPECT_EQ(stats().keptRegions, 0u);
    EXPECT_EQ(stats().bytesInUse, base + std::size_t(c.usable) + 64);
    fill(q, std::size_t(c.usable), 0x5A);
    if (c.size == 5000) {
      // Grown in place, the pages it had given back read as zeros again.
      ASSERT_EQ(PoolRealloc(q, 60000, kReallocInPlace), q);
      EXPECT_TRUE(filledWith(static_cast<char*>(q) + c.usable, 60000 - std::size_t(c.usable), 0));
    }
    expectSound();
    PoolFree(q);
  }
  // Another reservation maps a region of its own.
  void* big = PoolAlloc(pool_, 100000, 0);
  EXPECT_NE(big, p);
  EXPECT_EQ(stats().keptRegions, 1u);
  PoolFree(big);
  EXPECT_EQ(stats().keptRegions, 2u);

  // The ceiling still counts a kept region as a page taken.
  ASSERT_NE(PoolSetCeiling(pool_, stats().bytesInUse), kPoolFailed);
  EXPECT_EQ(PoolAlloc(pool_, 20000, 0), nullptr);
  EXPECT_EQ(errors(), std::vector<int>{MEM_EXCEEDED_CEILING});
  PoolSetCeiling(pool_, kPoolNone);

  // Shrinking unmaps them and counts their bytes.
  const std::size_t kept = stats().keptBytes;
  EXPECT_EQ(PoolShrink(pool_), kept);
  EXPECT_EQ(stats().keptRegions, 0u);

  // At most 4 MB stay kept; the rest is unmapped at once.
  std::vector<void*> blocks(80);
  for (void*& b : blocks) b = PoolAlloc(pool_, 60000, 0);
  for (void* b : blocks) PoolFree(b);
  EXPECT_EQ(stats().keptRegions, (std::size_t(4) << 20) / 61440);
  expectSound();
}

TEST_F(PoolTest, BadPointersAreRefusedWithoutTouchingThem) {
  void* small = PoolAlloc(pool_, 16, 0);
  void* medium = PoolAlloc(pool_, 600, 0);
  void* large = PoolAlloc(pool_, 9000, 0);
  void* heap = std::malloc(32);
  int local = 0;
  struct Case {
    const char* what;
    void* p;
    int error;
  };
  const Case cases[] = {
      {"null", nullptr, MEM_BAD_POINTER},
      {"heap block", heap, MEM_BAD_POINTER},
      {"stack", &local, MEM_BAD_POINTER},
      {"unmapped address", reinterpret_cast<void*>(uintptr_t(0x10000)), MEM_BAD_POINTER},
      {"past a medium page's commit", static_cast<char*>(medium) + 40000, MEM_BAD_POINTER},
      {"inside a small block", static_cast<char*>(small) + 4, MEM_BAD_BLOCK},
      {"inside a medium block", static_cast<char*>(medium) + 3, MEM_BAD_BLOCK},
      {"inside a large block", static_cast<char*>(large) + 64, MEM_BAD_BLOCK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    errors().clear();
    EXPECT_EQ(PoolFree(c.p), 0);
    EXPECT_EQ(PoolSize(c.p), -1);
    EXPECT_EQ(PoolRealloc(c.p, 8, 0), nullptr);
    EXPECT_EQ(errors(), (std::vector<int>{c.error, c.error, c.error}));
  }
  std::free(heap);
  PoolFree(small);
  PoolFree(medium);
  PoolFree(large);
  expectSound();
}

TEST_F(PoolTest, DoubleFreeIsDetected) {
  ASSERT_EQ(PoolSetFixedSize(pool_, 24), 1);
  struct Case {
    const char* what;
    void* (*alloc)(MemPool*);
    int error;
  };
  const Case cases[] = {
      {"small", [](MemPool* p) { return PoolAlloc(p, 30, 0); }, MEM_BAD_FREE_BLOCK},
      {"medium", [](MemPool* p) { return PoolAlloc(p, 900, 0); }, MEM_BAD_FREE_BLOCK},
      {"fixed", [](MemPool* p) { return PoolAllocFixed(p); }, MEM_BAD_FREE_BLOCK},
      // A large block's region is gone once freed.
      {"large", [](MemPool* p) { return PoolAlloc(p, 20000, 0); }, MEM_BAD_POINTER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    errors().clear();
    void* keep = c.alloc(pool_);  // keeps the page alive
    void* p = c.alloc(pool_);
    ASSERT_EQ(PoolFree(p), 1);
    EXPECT_EQ(PoolFree(p), 0);
    EXPECT_EQ(errors(), std::vector<int>{c.error});
    expectSound();
    PoolFree(keep);
  }
}

TEST_F(PoolTest, DestroyedPoolIsReportedOnEveryCall) {
  EXPECT_EQ(PoolDestroy(pool_), 1);
  MemPool* dead = std::exchange(pool_, nullptr);
  EXPECT_EQ(PoolAlloc(dead, 10, 0), nullptr);
  EXPECT_EQ(PoolAllocFixed(dead), nullptr);
  EXPECT_EQ(PoolShrink(dead), 0u);
  EXPECT_EQ(PoolSetCeiling(dead, 1 << 20), kPoolFailed);
  EXPECT_EQ(PoolDestroy(dead), 0);
  EXPECT_EQ(errors(), std::vector<int>(5, MEM_BAD_MEM_POOL));
  // A pointer that was never a pool, however aligned, is refused the same way.
  errors().clear();
  alignas(65536) static char fake[65536];
  EXPECT_EQ(PoolAlloc(reinterpret_cast<MemPool*>(fake), 10, 0), nullptr);
  EXPECT_EQ(PoolAlloc(nullptr, 10, 0), nullptr);
  EXPECT_EQ(errors(), std::vector<int>(2, MEM_BAD_MEM_POOL));
}

TEST_F(PoolTest, CeilingRefusesPages) {
  const std::size_t base = stats().bytesInUse;
  EXPECT_EQ(PoolSetCeiling(pool_, base - 1), kPoolFailed);  // below the bytes in use
  ASSERT_EQ(PoolSetCeiling(pool_, base + kPoolMediumPageSize), kPoolNoCeiling);
  EXPECT_EQ(PoolSetFloor(pool_, base + 2 * kPoolMediumPageSize), kPoolFailed);  // above the ceiling

  EXPECT_EQ(PoolAlloc(pool_, 20000, 0), nullptr);
  EXPECT_EQ(errors(), std::vector<int>{MEM_EXCEEDED_CEILING});
  // A small request cannot have a 64 KB page and is served from a medium page.
  errors().clear();
  void* p = PoolAlloc(pool_, 20, 0);
  EXPECT_EQ(PoolBlockPageType(p), kPageMedium);
  EXPECT_EQ(errors(), std::vector<int>{MEM_EXCEEDED_CEILING});
  EXPECT_EQ(stats().bytesInUse, base + kPoolMediumPageSize);
  // Once the one page is full, nothing more is taken.
  errors().clear();
  std::vector<void*> blocks;
  while (void* b = PoolAlloc(pool_, 4000, 0)) blocks.push_back(b);
  EXPECT_EQ(blocks.size(), 4u);
  EXPECT_EQ(errors(), std::vector<int>{MEM_EXCEEDED_CEILING});
  EXPECT_EQ(stats().bytesInUse, base + kPoolMediumPageSize);
  for (void* b : blocks) PoolFree(b);
  PoolFree(p);
  EXPECT_EQ(PoolSetCeiling(pool_, kPoolNone), base + kPoolMediumPageSize);
}

// Exhaustion asks the handler; each retry repeats the attempt.
TEST_F(PoolTest, OutOfMemoryRetriesWhileHandlerSaysRetry) {
  struct Case {
    int failures;
    std::deque<int> answers;
    bool served;
    std::size_t asked;
  };
  const Case cases[] = {
      {2, {1, 1}, true, 2},   // retry twice, the third attempt succeeds
      {3, {1, 1, 0}, false, 3},
      {1, {0}, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    pooltest::log().codes.clear();
    pooltest::log().answers = c.answers;
    PoolFailNextRegions(c.failures);
    void* p = PoolAlloc(pool_, 10000, 0);
    EXPECT_EQ(p != nullptr, c.served);
    EXPECT_EQ(errors(), std::vector<int>(c.asked, MEM_OUT_OF_MEMORY));
    if (p) PoolFree(p);
    PoolFailNextRegions(0);
  }
  // Pool creation asks the same way.
  pooltest::log().codes.clear();
  pooltest::log().answers = {1, 1};
  PoolFailNextRegions(2);
  MemPool* second = PoolCreate(0);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(errors(), std::vector<int>(2, MEM_OUT_OF_MEMORY));
  PoolDestroy(second);
}

TEST_F(PoolTest, HandlerReenteredIsNotCalledAgain) {
  static MemPool* pool;
  pool = pool_;
  pooltest::log().during = [](const PoolErrorRecord*) { PoolAlloc(pool, 0, 0); };
  EXPECT_EQ(PoolAlloc(pool_, 0, 0), nullptr);
  EXPECT_EQ(errors(), std::vector<int>{MEM_ALLOC_ZERO});
}

TEST_F(PoolTest, HandlerMustPointToCode) {
  static int notCode;
  EXPECT_EQ(PoolSetErrorHandler(reinterpret_cast<PoolErrorHandler>(&notCode)), nullptr);
  void* heap = std::malloc(64);
  EXPECT_EQ(PoolSetErrorHandler(reinterpret_cast<PoolErrorHandler>(heap)), nullptr);
  std::free(heap);
  // The recording handler is still installed.
  PoolAlloc(pool_, 0, 0);
  EXPECT_EQ(errors(), std::vector<int>{MEM_ALLOC_ZERO});
  EXPECT_EQ(PoolSetErrorHandler(nullptr), &pooltest::recordingHandler);
  EXPECT_EQ(PoolSetErrorHandler(pooltest::recordingHandler), &PoolFailHandler);
}

TEST_F(PoolTest, FixedSizeBlocks) {
  EXPECT_EQ(PoolSetFixedSize(pool_, 15000), 1);
  EXPECT_EQ(PoolSetFixedSize(pool_, 20000), 0);
  EXPECT_EQ(errors(), std::vector<int>{MEM_BLOCK_TOO_BIG});
  ASSERT_EQ(PoolSetFixedSize(pool_, 21), 1);
  std::vector<void*> slots;
  for (int i = 0; i < 1000; ++i) {
    void* p = PoolAllocFixed(pool_);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(PoolSize(p), 24);
    EXPECT_TRUE(filledWith(p, 24, 0));
    fill(p, 24, 0x77);
    slots.push_back(p);
  }
  EXPECT_EQ(stats().pages[kPageFixed], 2u);
  EXPECT_EQ(PoolSetFixedSize(pool_, 32), 0);  // pages exist
  void* p = slots.back();
  EXPECT_EQ(PoolRealloc(p, 20, kReallocInPlace), p);
  EXPECT_EQ(PoolRealloc(p, 30, kReallocInPlace), nullptr);
  expectSound();
  for (void* s : slots) EXPECT_EQ(PoolFree(s), 1);
  EXPECT_EQ(stats().pages[kPageFixed], 0u);
}

TEST_F(PoolTest, PreallocatedPages) {
  EXPECT_EQ(PoolPreallocate(pool_, 20000, kPreallocKept), 2 * kPoolMediumPageSize);
  EXPECT_EQ(PoolPreallocate(pool_, 1, kPreallocMedium), kPoolMediumPageSize);
  EXPECT_EQ(PoolPreallocate(pool_, 1, 99), 0u);
  void* kept = PoolAlloc(pool_, 1000, kAllocPreallocated);
  EXPECT_EQ(PoolBlockPageType(kept), kPageKept);
  void* plain = PoolAlloc(pool_, 1000, 0);
  EXPECT_EQ(PoolBlockPageType(plain), kPageMedium);
  expectSound();
  PoolFree(kept);
  PoolFree(plain);
  EXPECT_EQ(stats().pages[kPageKept], 1u);  // the untouched one stays until shrunk
  EXPECT_EQ(PoolShrink(pool_), kPoolMediumPageSize);

  MemPool* fixed = PoolCreateEx(16, 2000, 0);
  ASSERT_NE(fixed, nullptr);
  PoolStats s;
  PoolGetStats(fixed, &s);
  EXPECT_EQ(s.pages[kPageFixed], 2u);
  PoolDestroy(fixed);
}

TEST_F(PoolTest, SerializedPoolAcrossThreads) {
  MemPool* shared = PoolCreate(kPoolSerialized);
  ASSERT_NE(shared, nullptr);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::vector<void*> mine;
      for (int i = 0; i < 20000; ++i) {
        const std::size_t size = 1 + std::size_t((i * 7919 + t * 104729) % 3000);
        void* p = PoolAlloc(shared, size, kAllocZero);
        if (!p) ++failures;
        mine.push_back(p);
        if (mine.size() > 50) {
          if (PoolFree(mine.front()) != 1) ++failures;
          mine.erase(mine.begin());
        }
      }
      for (void* p : mine) PoolFree(p);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(PoolLock(shared), 1);
  EXPECT_EQ(PoolUnlock(shared), 1);
  EXPECT_EQ(PoolUnlock(shared), 0);
  EXPECT_EQ(errors(), std::vector<int>{MEM_LOCK_ERROR});
  std::string fault;
  EXPECT_TRUE(PoolCheck(shared, &fault)) << fault;
  PoolStats s;
  PoolGetStats(shared, &s);
  EXPECT_EQ(s.blocksInUse, 0u);
  PoolDestroy(shared);
}

TEST_F(PoolTest, LastUserDestroysRemainingPools) {
  PoolRegisterUser();
  PoolRegisterUser();
  MemPool* left = PoolCreate(kPoolLibrary);
  PoolAlloc(left, 100, 0);
  PoolUnregisterUser();
  PoolStats s;
  EXPECT_TRUE(PoolGetStats(left, &s));
  PoolUnregisterUser();
  errors().clear();
  EXPECT_FALSE(PoolGetStats(left, &s));
  EXPECT_FALSE(PoolGetStats(pool_, &s));
  EXPECT_EQ(errors(), std::vector<int>(2, MEM_BAD_MEM_POOL));
  pool_ = nullptr;
}

#if defined(TV_SANITIZE)
// In the sanitizer build free blocks and block headers are poisoned, so the
// faults a caller makes with pool memory are caught where they happen.
TEST_F(PoolTest, PoisonCatchesMisuseOfPoolMemory) {
  struct Case {
    const char* what;
    std::size_t size;
    bool afterFree;  // else: one byte past the usable size
  };
  const Case cases[] = {
      {"small block used after free", 24, true},
      {"medium block used after free", 700, true},
      {"small block overrun into the next header", 27, false},
      {"medium block overrun into the next header", 702, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_DEATH(
        {
          void* keep = PoolAlloc(pool_, c.size, 0);
          auto* p = static_cast<volatile char*>(PoolAlloc(pool_, c.size, 0));
          const std::ptrdiff_t usable = PoolSize(const_cast<char*>(p));
          if (c.afterFree) {
            PoolFree(const_cast<char*>(p));
            p[8] = 1;
          } else {
            p[usable] = 1;
          }
          PoolFree(keep);
        },
        // A header in the last bytes of an 8-byte granule shows as unknown-crash.
        "AddressSanitizer: (use-after-poison|unknown-crash)");
  }
}
#endif

namespace {

// The allocator's own handler, against a recording message sink.
TEST(PoolErrorBox, BeepsThenAsksAndAnswersByTheButton) {
  using plat::ui::RecordingSink;
  struct Case {
    int code;
    std::vector<int> answers;  // the sink's script
    int result;
    const char* text;
    plat::ui::Buttons buttons;
  } cases[] = {
      {MEM_OUT_OF_MEMORY, {plat::ui::IDRETRY}, 1, "Out of memory.  Please free some memory, then choose retry.",
       plat::ui::Buttons::AbortRetryIgnore},
      {MEM_OUT_OF_MEMORY, {plat::ui::IDIGNORE}, 0, "Out of memory.  Please free some memory, then choose retry.",
       plat::ui::Buttons::AbortRetryIgnore},
      {MEM_BAD_POINTER, {plat::ui::IDOK}, 0, "MEM_BAD_POINTER", plat::ui::Buttons::OkCancel},
      {99, {plat::ui::IDOK}, 0, "MEM_INTERNAL_ERROR", plat::ui::Buttons::OkCancel},
      {MEM_WRONG_TASK, {plat::ui::IDOK}, 0, "MEM_INTERNAL_ERROR", plat::ui::Buttons::OkCancel},
      // A box that cannot be shown is tried once more, system-modal.
      {MEM_OUT_OF_MEMORY, {0, plat::ui::IDRETRY}, 1, "Out of memory.  Please free some memory, then choose retry.",
       plat::ui::Buttons::AbortRetryIgnore},
      {MEM_BAD_BLOCK, {0, 0}, 0, "MEM_BAD_BLOCK", plat::ui::Buttons::OkCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " first answer " << c.answers[0]);
    RecordingSink sink(c.answers);
    plat::ui::ScopedSink scoped(sink);
    const PoolErrorRecord rec{c.code, nullptr};
    EXPECT_EQ(PoolMessageBoxHandler(&rec), c.result);
    EXPECT_EQ(sink.beeps(), std::vector<std::uint32_t>{plat::ui::MB_SIMPLEBEEP});
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), c.answers.size());
    const plat::ui::MessageBoxRequest& box = boxes[0].request;
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.buttons, c.buttons);
    EXPECT_FALSE(box.caption.empty());
    if (c.code == MEM_OUT_OF_MEMORY) {
      EXPECT_EQ(box.defaultAnswer(), plat::ui::IDRETRY);
      EXPECT_EQ(box.icon, plat::ui::Icon::Error);
      EXPECT_EQ(box.modality, plat::ui::Modality::Task);
    }
    if (boxes.size() == 2) {
      EXPECT_EQ(boxes[1].request.modality, plat::ui::Modality::System);
    }
  }
}

// Ends the process with the box's answer `answer`.
void answerBox(int answer, int code) {
  plat::ui::RecordingSink sink({answer});
  plat::ui::ScopedSink scoped(sink);
  const PoolErrorRecord rec{code, nullptr};
  PoolMessageBoxHandler(&rec);
}

TEST(PoolErrorBoxDeathTest, AbortAndCancelEndTheProcess) {
  EXPECT_DEATH(answerBox(plat::ui::IDABORT, MEM_OUT_OF_MEMORY), "");
  EXPECT_DEATH(answerBox(plat::ui::IDCANCEL, MEM_BAD_POINTER), "");
}

}  // namespace
