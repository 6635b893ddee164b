// Lindra's memory pool. See pool.h for the shape of the allocator.
//
// This file manages AddressSanitizer's shadow itself in the sanitizer build
// (free slots, block headers and page headers are poisoned), so it is compiled
// without address instrumentation, like any allocator.
#include "listctl/pool/pool.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "listctl/pool/pool_debug.h"

#if defined(TV_SANITIZE)
#include <sanitizer/asan_interface.h>
// ASAN_POISON_MEMORY_REGION expands to nothing in a file built without
// address instrumentation, so the functions behind it are called directly.
#define POOL_POISON(p, n) __asan_poison_memory_region((p), (n))
#define POOL_UNPOISON(p, n) __asan_unpoison_memory_region((p), (n))
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace lindra {

namespace {

constexpr uint16_t kPoolSignature = 0xBEAD;
constexpr uint16_t kPageSignature = 0xCAD0;
constexpr uint16_t kDescInUse = 0x8000;
constexpr uint16_t kDescFree = 5 << 12;
constexpr int kClasses = 64;
constexpr uint8_t kSmallFreeBit = 0x80;
constexpr uint8_t kSmallBadBits = 0x40;
constexpr int kMaxHandlerThreads = 25;

constexpr std::size_t roundUp(std::size_t v, std::size_t unit) { return (v + unit - 1) / unit * unit; }

uint16_t rd16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
void wr16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// ---------------------------------------------------------------------------
// Regions: 64 KB-aligned reservations of address space, committed from the
// start in 4096-byte units.

std::atomic<int> g_failRegions{0};

void* mapFreshRegion(std::size_t reserved, std::size_t committed);

// Whether a failure injected by PoolFailNextRegions is due now (and uses it).
bool injectedFailure() {
  int left = g_failRegions.load();
  while (left > 0) {
    if (g_failRegions.compare_exchange_weak(left, left - 1)) return true;
  }
  return false;
}

void* mapRegion(std::size_t reserved, std::size_t committed) {
  if (injectedFailure()) return nullptr;
  return mapFreshRegion(reserved, committed);
}

void* mapFreshRegion(std::size_t reserved, std::size_t committed) {
  const std::size_t span = reserved + kPoolRegionAlign - kPoolCommitUnit;
  void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t base = roundUp(start, kPoolRegionAlign);
  if (base > start) munmap(raw, base - start);
  const uintptr_t tail = base + reserved;
  if (start + span > tail) munmap(reinterpret_cast<void*>(tail), start + span - tail);
  if (committed && mprotect(reinterpret_cast<void*>(base), committed, PROT_READ | PROT_WRITE) != 0) {
    munmap(reinterpret_cast<void*>(base), reserved);
    return nullptr;
  }
  return reinterpret_cast<void*>(base);
}

bool commitRange(uint8_t* from, std::size_t bytes) {
  return bytes == 0 || mprotect(from, bytes, PROT_READ | PROT_WRITE) == 0;
}

// Gives the pages back; touching them again reads zeros once recommitted.
void decommitRange(uint8_t* from, std::size_t bytes) {
  if (bytes == 0) return;
  POOL_UNPOISON(from, bytes);
  mmap(from, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
}

void unmapRegion(void* base, std::size_t reserved) {
  // Other code may get this address range next: leave no poison behind.
  POOL_UNPOISON(base, reserved);
  munmap(base, reserved);
}

// ---------------------------------------------------------------------------
// Registry of live regions, indexed by address / 64 KB. An entry holds the
// committed size of the region that starts there and what it is.

enum RegionKind : uint64_t { kRegionPool = 1, kRegionPage = 2 };

constexpr int kTopBits = 16;  // address bits 32..47
constexpr std::size_t kLeafEntries = std::size_t(1) << 16;  // address bits 16..31
std::atomic<std::atomic<uint64_t>*> g_regTop[std::size_t(1) << kTopBits];
std::mutex g_regLock;

[[gnu::always_inline]] inline uint64_t regLookup(uintptr_t base) {
  if (base >> 48) return 0;
  std::atomic<uint64_t>* leaf = g_regTop[base >> 32].load(std::memory_order_acquire);
  if (!leaf) return 0;
  return leaf[(base >> 16) & (kLeafEntries - 1)].load(std::memory_order_acquire);
}

bool regSet(uintptr_t base, uint64_t value) {
  if (base >> 48) return false;
  std::lock_guard<std::mutex> g(g_regLock);
  std::atomic<uint64_t>* leaf = g_regTop[base >> 32].load(std::memory_order_relaxed);
  if (!leaf) {
    // Leaves live as long as the process; mapped lazily, so mostly untouched.
    void* m = mmap(nullptr, kLeafEntries * sizeof(uint64_t), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED) return false;
    leaf = static_cast<std::atomic<uint64_t>*>(m);
    g_regTop[base >> 32].store(leaf, std::memory_order_release);
  }
  leaf[(base >> 16) & (kLeafEntries - 1)].store(value, std::memory_order_release);
  return true;
}

void regClear(uintptr_t base) {
  if (base >> 48) return;
  std::lock_guard<std::mutex> g(g_regLock);
  std::atomic<uint64_t>* leaf = g_regTop[base >> 32].load(std::memory_order_relaxed);
  if (leaf) leaf[(base >> 16) & (kLeafEntries - 1)].store(0, std::memory_order_release);
}

}  // namespace

// ---------------------------------------------------------------------------
// Records.

struct MemPageDesc;
struct MemPage;
using PageFreeFn = void (*)(MemPool*, MemPage*, uint8_t*);

struct MemPageDesc {
  uint16_t hint;   // largest free block known (small, fixed: non-zero = room)
  uint16_t flags;  // bits 12-14 page type (5 = on the free list), bit 15 in use
  MemPage* page;
  MemPageDesc* next;
  MemPageDesc* prev;
};

// The common start of every page.
struct MemPage {
  MemPool* pool;
  MemPageDesc* desc;
  PageFreeFn freeFn;
  std::size_t committed;
  std::size_t reserved;
  uint16_t inUse;
  uint16_t signature;  // kPageSignature | type
};

// Small-block page. Free blocks of a class are chained within their page by
// 16-bit offsets; the pages holding free blocks of a class form a list of
// their own, headed in the pool.
struct SmallPage : MemPage {
  uint32_t carve;  // offset of the next block to carve
  uint32_t end;
  MemPage* nextWithFree[kClasses];
  uint16_t freeHead[kClasses];
};

// Medium page: blocks with u16 headers, a circular doubly linked free list
// through the sentinel block at the end, 16-bit offsets throughout.
struct MediumPage : MemPage {
  uint16_t rover;
  uint16_t sentinel;
  uint16_t minRemainder;
};

// Fixed-size page: slots chained by 16-bit offsets, one bit per slot in use.
struct FixedPage : MemPage {
  uint16_t freeHead;
  uint16_t first;
  uint16_t stride;
  uint16_t count;
  uint64_t used[32];
};

struct LargePage : MemPage {};

// The start of a freed large block's region while the pool keeps it.
struct KeptRegion {
  KeptRegion* next;
  std::size_t committed;
  std::size_t reserved;
};

namespace {
struct GlobalAllocator;
}  // namespace

struct MemPool {
  MemPageDesc* heads[5] = {};
  MemPageDesc* freeDescs = nullptr;
  MemPageDesc* curSmall = nullptr;
  void* descBlocks = nullptr;  // chained through their first word
  uint16_t signature = kPoolSignature;
  uint16_t flags = 0;
  uint16_t fixedSize = 16;
  uint16_t mediumPageSize = kPoolMediumPageSize;
  uint16_t largeThreshold = kPoolLargeThreshold;
  std::size_t bytesInUse = kPoolCommitUnit;
  std::size_t floor = 0;
  std::size_t ceiling = kPoolNoCeiling;
  MemPool* next = nullptr;
  GlobalAllocator* global = nullptr;
  std::recursive_mutex lock;
  unsigned nesting = 0;
  SmallPage* smallFree[kClasses] = {};
  // Regions of freed large blocks kept mapped for the next large request of
  // the same reservation (see keepRegion).
  KeptRegion* kept = nullptr;
  std::size_t keptBytes = 0;
};

namespace {

constexpr std::size_t kSmallFirst = roundUp(sizeof(SmallPage) + 1, 8);
constexpr std::size_t kMediumFirst = roundUp(sizeof(MediumPage) + 2, 8) - 2;  // header of the first block
constexpr std::size_t kLargeHeader = 64;
static_assert(sizeof(LargePage) <= kLargeHeader);
constexpr std::size_t kFixedFirst = roundUp(sizeof(FixedPage), 8);
constexpr std::size_t kSentinelSize = 10;
static_assert(kSmallFirst < 1024 && kMediumFirst % 8 == 6);

// Clears a block's bytes. Block sizes are bounded (4096 at most on these
// paths), so the compiler would expand memset inline as `rep stos`, whose
// start-up costs several times the clearing of a small block; hiding the
// bound keeps the call to the C library's memset.
inline void clearBytes(void* p, std::size_t n) {
  asm("" : "+r"(n));
  std::memset(p, 0, n);
}

inline uint8_t* bytes(MemPage* p) { return reinterpret_cast<uint8_t*>(p); }
inline int pageType(const MemPage* p) { return p->signature & 7; }
inline std::size_t smallSlot(unsigned c) { return roundUp(4 * c + 4, 8); }
inline std::size_t smallUsable(unsigned c) { return 4 * c + 3; }

struct GlobalAllocator {
  PoolErrorHandler handler = PoolMessageBoxHandler;
  MemPool* pools = nullptr;
  int users = 0;
  struct Slot {
    std::thread::id id;
    int depth = 0;
  } threads[kMaxHandlerThreads];
  std::recursive_mutex listLock;
  std::recursive_mutex createLock;
  std::mutex errorLock;
};

GlobalAllocator& global() {
  static GlobalAllocator g;
  return g;
}

void notice(const char* text) { std::fprintf(stderr, "Lindra memory pool: %s\n", text); }

// Calls the handler for one error. `held` is the serialized pool whose lock
// the caller holds (released around the call), or null.
int report(MemPool* shown, int code, MemPool* held) {
  GlobalAllocator& g = global();
  const std::thread::id me = std::this_thread::get_id();
  GlobalAllocator::Slot* slot = nullptr;
  PoolErrorHandler handler;
  {
    std::lock_guard<std::mutex> lk(g.errorLock);
    for (auto& s : g.threads) {
      if (s.depth > 0 && s.id == me) {
        notice("the error handler was re-entered recursively.");
        return 0;
      }
    }
    for (auto& s : g.threads) {
      if (s.depth == 0) {
        slot = &s;
        break;
      }
    }
    if (!slot) {
      notice("\n\rMemory errors in too many threads concurrently.\n\r");
      return 0;
    }
    slot->id = me;
    slot->depth = 1;
    handler = g.handler;
  }
  unsigned nesting = 0;
  if (held) {
    nesting = held->nesting;
    held->nesting = 0;
    for (unsigned i = 0; i < nesting; ++i) held->lock.unlock();
  }
  PoolErrorRecord rec{code, shown};
  const int answer = handler(&rec);
  if (held) {
    for (unsigned i = 0; i < nesting; ++i) held->lock.lock();
    held->nesting = nesting;
  }
  {
    std::lock_guard<std::mutex> lk(g.errorLock);
    slot->depth = 0;
  }
  return answer;
}

// A pool passes when it is a registered, live pool header.
[[gnu::always_inline]] inline bool poolAlive(const MemPool* pool) {
  const auto base = reinterpret_cast<uintptr_t>(pool);
  if (!pool || base % kPoolRegionAlign) return false;
  const uint64_t e = regLookup(base);
  return (e & 3) == kRegionPool && pool->signature == kPoolSignature;
}

// Holds a serialized pool's lock for the length of a public operation.
class Guard {
 public:
  explicit Guard(MemPool* p) : pool_((p->flags & kPoolSerialized) ? p : nullptr) {
    if (pool_) {
      pool_->lock.lock();
      ++pool_->nesting;
    }
  }
  ~Guard() {
    if (pool_) {
      --pool_->nesting;
      pool_->lock.unlock();
    }
  }
  MemPool* held() const { return pool_; }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  MemPool* pool_;
};

// The page a block address lies in, or null when it lies in none.
[[gnu::always_inline]] inline MemPage* pageOf(const void* block) {
  const auto addr = reinterpret_cast<uintptr_t>(block);
  const uintptr_t base = addr & ~(uintptr_t(kPoolRegionAlign) - 1);
  const uint64_t e = regLookup(base);
  if ((e & 3) != kRegionPage || addr - base >= (e & ~uint64_t(3))) return nullptr;
  auto* page = reinterpret_cast<MemPage*>(base);
  if ((page->signature & ~7u) != kPageSignature || pageType(page) > kPageSmall) return nullptr;
  return page;
}

// ---------------------------------------------------------------------------
// Descriptors and pages.

void listInsertHead(MemPool* pool, int type, MemPageDesc* d) {
  MemPageDesc*& head = pool->heads[type];
  if (!head) {
    d->next = d->prev = d;
  } else {
    d->next = head;
    d->prev = head->prev;
    head->prev->next = d;
    head->prev = d;
  }
  head = d;
}

void listRemove(MemPool* pool, int type, MemPageDesc* d) {
  MemPageDesc*& head = pool->heads[type];
  if (d->next == d) {
    head = nullptr;
  } else {
    d->prev->next = d->next;
    d->next->prev = d->prev;
    if (head == d) head = d->next;
  }
  d->next = d->prev = nullptr;
}

void carveDescs(MemPool* pool, uint8_t* from, uint8_t* end) {
  for (uint8_t* p = from; p + sizeof(MemPageDesc) <= end; p += sizeof(MemPageDesc)) {
    auto* d = new (p) MemPageDesc{0, kDescFree, nullptr, pool->freeDescs, nullptr};
    pool->freeDescs = d;
  }
}

enum class TakeFail { None, Ceiling, System };

MemPageDesc* takeDesc(MemPool* pool, TakeFail* why, MemPool* held) {
  while (!pool->freeDescs) {
    if (pool->bytesInUse + kPoolCommitUnit > pool->ceiling) {
      report(pool, MEM_EXCEEDED_CEILING, held);
      *why = TakeFail::Ceiling;
      return nullptr;
    }
    void* block = mapRegion(kPoolRegionAlign, kPoolCommitUnit);
    if (!block) {
      if (report(pool, MEM_OUT_OF_MEMORY, held)) continue;
      *why = TakeFail::System;
      return nullptr;
    }
    pool->bytesInUse += kPoolCommitUnit;
    *static_cast<void**>(block) = pool->descBlocks;
    pool->descBlocks = block;
    auto* b = static_cast<uint8_t*>(block);
    carveDescs(pool, b + 16, b + kPoolCommitUnit);
  }
  MemPageDesc* d = pool->freeDescs;
  pool->freeDescs = d->next;
  return d;
}

void freeSmallBlock(MemPool*, MemPage*, uint8_t*);
void freeMediumBlock(MemPool*, MemPage*, uint8_t*);
void freeFixedBlock(MemPool*, MemPage*, uint8_t*);
void freeLargeBlock(MemPool*, MemPage*, uint8_t*);

void initMediumPage(MediumPage* pg, int type, MemPageDesc* d);
void initFixedPage(MemPool* pool, FixedPage* pg, MemPageDesc* d);

// Takes a page of `type` with `size` bytes committed (rounded up to 4096) and
// links it at the head of its type's list. Reports the ceiling (7); a system
// refusal is left to the caller.
void* takeLargeRegion(MemPool* pool, std::size_t reserved, std::size_t committed);

MemPageDesc* takePage(MemPool* pool, int type, std::size_t size, TakeFail* why, MemPool* held) {
  *why = TakeFail::None;
  const std::size_t committed = roundUp(size, kPoolCommitUnit);
  const std::size_t reserved = roundUp(committed, kPoolRegionAlign);
  if (committed > pool->ceiling || pool->bytesInUse > pool->ceiling - committed) {
    report(pool, MEM_EXCEEDED_CEILING, held);
    *why = TakeFail::Ceiling;
    return nullptr;
  }
  MemPageDesc* d = takeDesc(pool, why, held);
  if (!d) return nullptr;
  void* region = type == kPageLarge ? takeLargeRegion(pool, reserved, committed) : mapRegion(reserved, committed);
  if (!region || !regSet(reinterpret_cast<uintptr_t>(region), committed | kRegionPage)) {
    if (region) unmapRegion(region, reserved);
    d->next = pool->freeDescs;
    pool->freeDescs = d;
    *why = TakeFail::System;
    return nullptr;
  }
  static constexpr PageFreeFn kFree[5] = {freeMediumBlock, freeFixedBlock, freeMediumBlock, freeLargeBlock,
                                          freeSmallBlock};
  auto* pg = static_cast<MemPage*>(region);
  pg->pool = pool;
  pg->desc = d;
  pg->freeFn = kFree[type];
  pg->committed = committed;
  pg->reserved = reserved;
  pg->inUse = 0;
  pg->signature = uint16_t(kPageSignature | type);
  d->page = pg;
  d->flags = uint16_t(kDescInUse | (type << 12));
  d->hint = 0;
  listInsertHead(pool, type, d);
  pool->bytesInUse += committed;
  switch (type) {
    case kPageSmall: {
      auto* sp = static_cast<SmallPage*>(pg);
      sp->carve = kSmallFirst;
      sp->end = uint32_t(committed);
      std::fill(std::begin(sp->nextWithFree), std::end(sp->nextWithFree), nullptr);
      std::fill(std::begin(sp->freeHead), std::end(sp->freeHead), 0);
      d->hint = 1;
      POOL_POISON(bytes(pg), committed);
      break;
    }
    case kPageMedium:
    case kPageKept:
      initMediumPage(static_cast<MediumPage*>(pg), type, d);
      POOL_POISON(bytes(pg), committed);
      break;
    case kPageFixed:
      initFixedPage(pool, static_cast<FixedPage*>(pg), d);
      POOL_POISON(bytes(pg), committed);
      break;
    case kPageLarge:
      POOL_POISON(bytes(pg), kLargeHeader);
      break;
  }
  return d;
}

bool keepRegion(MemPool* pool, MemPage* pg);

// Returns a page to the system; with `mayKeep` (a large block being freed)
// its region may stay mapped for the next large request instead.
void releasePage(MemPool* pool, MemPageDesc* d, bool mayKeep = false) {
  MemPage* pg = d->page;
  const int type = pageType(pg);
  listRemove(pool, type, d);
  if (pool->curSmall == d) pool->curSmall = nullptr;
  pool->bytesInUse -= pg->committed;
  const std::size_t reserved = pg->reserved;
  pg->signature = 0;
  regClear(reinterpret_cast<uintptr_t>(pg));
  if (!mayKeep || !keepRegion(pool, pg)) unmapRegion(pg, reserved);
  d->page = nullptr;
  d->flags = kDescFree;
  d->hint = 0;
  d->next = pool->freeDescs;
  pool->freeDescs = d;
}

// An empty medium or fixed page goes back unless the floor keeps it.
void releaseIfAllowed(MemPool* pool, MemPage* pg) {
  if (pool->bytesInUse - pg->committed < pool->floor) return;
  releasePage(pool, pg->desc);
}

// ---------------------------------------------------------------------------
// Medium blocks. Header: size (multiple of 8) | 1 in use | 2 block before in
// use. A free block holds next and previous free offsets after its header and
// a copy of its size in its last two bytes.

struct Med {
  uint8_t* b;
  explicit Med(MemPage* p) : b(bytes(p)) {}
  uint16_t hdr(uint16_t h) const { return rd16(b + h); }
  uint16_t size(uint16_t h) const { return hdr(h) & 0x7FF8; }
  void setHdr(uint16_t h, uint16_t v) { wr16(b + h, v); }
  uint16_t next(uint16_t h) const { return rd16(b + h + 2); }
  uint16_t prev(uint16_t h) const { return rd16(b + h + 4); }
  void setNext(uint16_t h, uint16_t v) { wr16(b + h + 2, v); }
  void setPrev(uint16_t h, uint16_t v) { wr16(b + h + 4, v); }
  void setTag(uint16_t h, uint16_t size) { wr16(b + h + size - 2, size); }
  void insertBefore(uint16_t h, uint16_t at) {
    const uint16_t p = prev(at);
    setNext(h, at);
    setPrev(h, p);
    setNext(p, h);
    setPrev(at, h);
  }
  void unlink(uint16_t h) {
    const uint16_t n = next(h), p = prev(h);
    setNext(p, n);
    setPrev(n, p);
  }
};

void initMediumPage(MediumPage* pg, int type, MemPageDesc* d) {
  Med m(pg);
  const auto sentinel = uint16_t(pg->committed - kSentinelSize);
  const auto first = uint16_t(kMediumFirst);
  const auto size = uint16_t(sentinel - first);
  pg->sentinel = sentinel;
  pg->rover = first;
  pg->minRemainder = type == kPageKept ? 16 : 64;
  m.setHdr(first, uint16_t(size | 2));
  m.setTag(first, size);
  m.setHdr(sentinel, 1);
  m.setNext(sentinel, first);
  m.setPrev(sentinel, first);
  m.setNext(first, sentinel);
  m.setPrev(first, sentinel);
  d->hint = size;
}

inline std::size_t mediumNeed(std::size_t size) { return std::max<std::size_t>(roundUp(size + 2, 8), 16); }

// Marks `h` (of `size`) free, merges it with free neighbours, links it and
// raises the hint. The caller has cleared nothing; `h` is in use.
void mediumRelease(MediumPage* pg, uint16_t h) {
  Med m(pg);
  const uint16_t hdr = m.hdr(h);
  // The header stays behind inside a merged block: marked free, a second
  // free of the same address is recognised.
  m.setHdr(h, uint16_t(hdr & ~1));
  uint16_t start = h;
  uint16_t total = hdr & 0x7FF8;
  bool mergedBack = false;
  if (!(hdr & 2)) {
    const uint16_t prevSize = rd16(m.b + h - 2);
    start = uint16_t(h - prevSize);
    total = uint16_t(total + prevSize);
    mergedBack = true;
  }
  const uint16_t after = uint16_t(h + (hdr & 0x7FF8));
  if (after != pg->sentinel && !(m.hdr(after) & 1)) {
    if (pg->rover == after) pg->rover = m.next(after);
    m.unlink(after);
    total = uint16_t(total + m.size(after));
  }
  m.setHdr(start, uint16_t(total | (m.hdr(start) & 2)));
  m.setTag(start, total);
  const uint16_t follow = uint16_t(start + total);
  m.setHdr(follow, uint16_t(m.hdr(follow) & ~2));
  if (!mergedBack) m.insertBefore(start, pg->rover);
  if (total > pg->desc->hint) pg->desc->hint = total;
  POOL_POISON(m.b + start, total);
}

// First fit in one page; null when nothing fits (the hint is then lowered).
uint8_t* mediumTakeFromPage(MediumPage* pg, uint16_t need, unsigned flags) {
  Med m(pg);
  const uint16_t start = pg->rover;
  uint16_t h = start;
  uint16_t largest = 0;
  bool found = false;
  do {
    if (h != pg->sentinel) {
      const uint16_t s = m.size(h);
      if (s >= need) {
        found = true;
        break;
      }
      largest = std::max(largest, s);
    }
    h = m.next(h);
  } while (h != start);
  if (!found) {
    pg->desc->hint = largest;
    return nullptr;
  }
  const uint16_t s = m.size(h);
  const uint16_t rest = uint16_t(s - need);
  const uint16_t minRest = (flags & kAllocMinSplit) ? 16 : pg->minRemainder;
  uint16_t block;
  if (rest >= minRest) {
    if (flags & (kAllocPreallocated | kAllocFront)) {
      block = h;
      const uint16_t r = uint16_t(h + need);
      const uint16_t nextFree = m.next(h);
      m.unlink(h);
      m.setHdr(block, uint16_t(need | 1 | (m.hdr(h) & 2)));
      m.setHdr(r, uint16_t(rest | 2));
      m.setTag(r, rest);
      m.insertBefore(r, pg->sentinel);
      pg->rover = nextFree == pg->sentinel ? r : nextFree;
    } else {
      m.setHdr(h, uint16_t(rest | (m.hdr(h) & 2)));
      m.setTag(h, rest);
      block = uint16_t(h + rest);
      m.setHdr(block, uint16_t(need | 1));
      const uint16_t follow = uint16_t(block + need);
      m.setHdr(follow, uint16_t(m.hdr(follow) | 2));
      pg->rover = m.next(h);
    }
  } else {
    block = h;
    pg->rover = m.next(h);
    m.unlink(h);
    m.setHdr(h, uint16_t(m.hdr(h) | 1));
    const uint16_t follow = uint16_t(h + s);
    m.setHdr(follow, uint16_t(m.hdr(follow) | 2));
  }
  if (m.next(pg->sentinel) == pg->sentinel) pg->desc->hint = 0;
  ++pg->inUse;
  uint8_t* data = m.b + block + 2;
  const std::size_t usable = m.size(block) - 2;
  POOL_UNPOISON(data, usable);
  if (flags & kAllocZero) clearBytes(data, usable);
  return data;
}

uint8_t* mediumSearch(MemPool* pool, int type, uint16_t need, unsigned flags) {
  MemPageDesc* head = pool->heads[type];
  if (!head) return nullptr;
  MemPageDesc* d = head;
  do {
    if (d->hint >= need) {
      if (uint8_t* p = mediumTakeFromPage(static_cast<MediumPage*>(d->page), need, flags)) {
        pool->heads[type] = d;
        return p;
      }
    }
    d = d->next;
  } while (d != head);
  return nullptr;
}

uint8_t* largeAlloc(MemPool* pool, std::size_t size, unsigned flags, MemPool* held);

uint8_t* mediumAlloc(MemPool* pool, std::size_t size, unsigned flags, MemPool* held) {
  const auto need = uint16_t(mediumNeed(size));
  if (flags & kAllocPreallocated) {
    if (uint8_t* p = mediumSearch(pool, kPageKept, need, flags)) return p;
    flags &= ~kAllocPreallocated;
  }
  for (;;) {
    if (uint8_t* p = mediumSearch(pool, kPageMedium, need, flags)) return p;
    TakeFail why;
    if (!takePage(pool, kPageMedium, pool->mediumPageSize, &why, held)) {
      if ((flags & kAllocNoLarge) || why == TakeFail::Ceiling) return nullptr;
      return largeAlloc(pool, size, flags, held);
    }
  }
}

void freeMediumBlock(MemPool* pool, MemPage* page, uint8_t* data) {
  auto* pg = static_cast<MediumPage*>(page);
  mediumRelease(pg, uint16_t(data - 2 - bytes(page)));
  if (--pg->inUse == 0) releaseIfAllowed(pool, pg);
}

// Resizes a medium block where it lies; false when it cannot.
bool mediumResize(MediumPage* pg, uint8_t* data, std::size_t newSize, unsigned flags) {
  Med m(pg);
  const auto h = uint16_t(data - 2 - m.b);
  const uint16_t s = m.size(h);
  const auto need = uint16_t(mediumNeed(newSize));
  const uint16_t minRest = (flags & kAllocMinSplit) ? 16 : pg->minRemainder;
  if (need <= s) {
    const uint16_t rest = uint16_t(s - need);
    if (rest < minRest) return true;
    // Split the tail off as a block in use, then free it so it merges.
    m.setHdr(h, uint16_t(need | 1 | (m.hdr(h) & 2)));
    const uint16_t r = uint16_t(h + need);
    m.setHdr(r, uint16_t(rest | 1 | 2));
    mediumRelease(pg, r);
    return true;
  }
  const uint16_t after = uint16_t(h + s);
  if (after == pg->sentinel || (m.hdr(after) & 1)) return false;
  const uint16_t afterSize = m.size(after);
  if (s + afterSize < need) return false;
  if (pg->rover == after) pg->rover = m.next(after);
  m.unlink(after);
  const uint16_t combined = uint16_t(s + afterSize);
  const uint16_t rest = uint16_t(combined - need);
  uint16_t mine = combined;
  if (rest >= minRest) {
    mine = need;
    const uint16_t r = uint16_t(h + need);
    m.setHdr(r, uint16_t(rest | 2));
    m.setTag(r, rest);
    m.insertBefore(r, pg->rover);
  } else {
    const uint16_t follow = uint16_t(h + combined);
    m.setHdr(follow, uint16_t(m.hdr(follow) | 2));
  }
  m.setHdr(h, uint16_t(mine | 1 | (m.hdr(h) & 2)));
  POOL_UNPOISON(data, mine - 2u);
  if (flags & kAllocZero) clearBytes(data + (s - 2), mine - s);
  return true;
}

// ---------------------------------------------------------------------------
// Small blocks.

inline uint8_t* smallTakeFree(MemPool* pool, unsigned c, unsigned flags) {
  SmallPage* pg = pool->smallFree[c];
  if (!pg) return nullptr;
  uint8_t* b = bytes(pg);
  const uint16_t off = pg->freeHead[c];
  uint8_t* block = b + off;
  POOL_UNPOISON(block, 2);
  const uint16_t link = rd16(block);
  pg->freeHead[c] = link;
  if (!link) pool->smallFree[c] = static_cast<SmallPage*>(pg->nextWithFree[c]);
  block[-1] = uint8_t(c);
  ++pg->inUse;
  POOL_UNPOISON(block, smallUsable(c));
  if (flags & kAllocZero) clearBytes(block, smallUsable(c));
  return block;
}

void smallPushFree(MemPool* pool, SmallPage* pg, uint8_t* block, unsigned c) {
  block[-1] = uint8_t(c | kSmallFreeBit);
  const auto off = uint16_t(block - bytes(pg));
  if (!pg->freeHead[c]) {
    pg->nextWithFree[c] = pool->smallFree[c];
    pool->smallFree[c] = pg;
  }
  POOL_UNPOISON(block, 2);
  wr16(block, pg->freeHead[c]);
  pg->freeHead[c] = off;
  POOL_POISON(block - 1, smallSlot(c));
}

uint8_t* smallAlloc(MemPool* pool, std::size_t size, unsigned flags, MemPool* held) {
  const unsigned c = unsigned(std::max<std::size_t>(size, 4) / 4);
  if (uint8_t* p = smallTakeFree(pool, c, flags)) return p;
  const std::size_t slot = smallSlot(c);
  for (;;) {
    if (MemPageDesc* d = pool->curSmall) {
      auto* pg = static_cast<SmallPage*>(d->page);
      const std::size_t room = pg->end - pg->carve;
      if (room >= slot) {
        uint8_t* block = bytes(pg) + pg->carve;
        pg->carve += uint32_t(slot);
        block[-1] = uint8_t(c);
        ++pg->inUse;
        POOL_UNPOISON(block, smallUsable(c));
        if (flags & kAllocZero) clearBytes(block, smallUsable(c));
        return block;
      }
      if (room >= 8) {
        uint8_t* block = bytes(pg) + pg->carve;
        pg->carve = pg->end;
        smallPushFree(pool, pg, block, unsigned((room - 4) / 4));
      }
      d->hint = 0;
      pool->curSmall = nullptr;
    }
    if (flags & kAllocNoSmallPage) break;
    TakeFail why;
    MemPageDesc* d = takePage(pool, kPageSmall, kPoolSmallPageSize, &why, held);
    if (!d) break;
    pool->curSmall = d;
  }
  return mediumAlloc(pool, size, flags & ~kAllocPreallocated, held);
}

inline void freeSmallBlock(MemPool* pool, MemPage* page, uint8_t* block) {
  auto* pg = static_cast<SmallPage*>(page);
  const unsigned c = block[-1] & 0x3F;
  smallPushFree(pool, pg, block, c);
  --pg->inUse;
}

// ---------------------------------------------------------------------------
// Fixed-size blocks.

void initFixedPage(MemPool* pool, FixedPage* pg, MemPageDesc* d) {
  pg->first = uint16_t(kFixedFirst);
  pg->stride = uint16_t(roundUp(pool->fixedSize, 8));
  pg->count = uint16_t((pg->committed - kFixedFirst) / pg->stride);
  std::fill(std::begin(pg->used), std::end(pg->used), 0);
  uint16_t head = 0;
  for (int i = pg->count - 1; i >= 0; --i) {
    const auto off = uint16_t(pg->first + i * pg->stride);
    wr16(bytes(pg) + off, head);
    head = off;
  }
  pg->freeHead = head;
  d->hint = 1;
}

void freeFixedBlock(MemPool* pool, MemPage* page, uint8_t* block) {
  auto* pg = static_cast<FixedPage*>(page);
  const auto off = uint16_t(block - bytes(pg));
  const unsigned i = (off - pg->first) / pg->stride;
  pg->used[i / 64] &= ~(uint64_t(1) << (i % 64));
  POOL_UNPOISON(block, 2);
  wr16(block, pg->freeHead);
  pg->freeHead = off;
  POOL_POISON(block, pg->stride);
  pg->desc->hint = 1;
  if (--pg->inUse == 0) releaseIfAllowed(pool, pg);
}

// ---------------------------------------------------------------------------
// Large blocks.

std::size_t shrinkPool(MemPool* pool);
std::size_t dropKeptRegions(MemPool* pool);

uint8_t* largeAlloc(MemPool* pool, std::size_t size, unsigned flags, MemPool* held) {
  if (size > SIZE_MAX / 2) {
    report(pool, MEM_BLOCK_TOO_BIG, held);
    return nullptr;
  }
  for (;;) {
    TakeFail why;
    if (MemPageDesc* d = takePage(pool, kPageLarge, size + kLargeHeader, &why, held)) {
      MemPage* pg = d->page;
      pg->inUse = 1;
      uint8_t* block = bytes(pg) + kLargeHeader;
      // Fresh mappings and kept regions read as zeros, so flag 1 needs no clearing.
      (void)flags;
      return block;
    }
    if (why == TakeFail::Ceiling) return nullptr;
    if (shrinkPool(pool) > 0) continue;
    // Kept regions of other sizes go back too, though the handler is asked
    // all the same: they rarely decide whether the system has room.
    dropKeptRegions(pool);
    if (!report(pool, MEM_OUT_OF_MEMORY, held)) return nullptr;
  }
}

void freeLargeBlock(MemPool* pool, MemPage* page, uint8_t*) { releasePage(pool, page->desc, true); }

// Kept regions. A list that is emptied and filled again (or a page that
// grows past its reservation) frees and takes large regions of the same few
// sizes over and over; mapping each afresh costs a system call, a page fault
// per 4096 bytes touched and an unmapping with its TLB flush. So a freed
// large block's region stays mapped, up to kKeptLimit bytes per pool, off
// the registry (its address is no block any more) and out of the bytes in
// use, and the next large request of the same reservation takes it, cleared
// so that it reads as zeros like a fresh mapping. PoolShrink, a failing
// mapping and PoolDestroy unmap them.
constexpr std::size_t kKeptLimit = std::size_t(4) << 20;

bool keepRegion(MemPool* pool, MemPage* pg) {
  const std::size_t committed = pg->committed, reserved = pg->reserved;
  if (pool->keptBytes + committed > kKeptLimit) return false;
  POOL_UNPOISON(bytes(pg), sizeof(KeptRegion));
  auto* k = new (pg) KeptRegion{pool->kept, committed, reserved};
  POOL_POISON(bytes(pg), committed);
  pool->kept = k;
  pool->keptBytes += committed;
  return true;
}

void* takeLargeRegion(MemPool* pool, std::size_t reserved, std::size_t committed) {
  if (injectedFailure()) return nullptr;
  for (KeptRegion** at = &pool->kept; *at; at = &(*at)->next) {
    KeptRegion* k = *at;
    if (k->reserved != reserved) continue;
    const std::size_t had = k->committed;
    auto* b = reinterpret_cast<uint8_t*>(k);
    if (had < committed && !commitRange(b + had, committed - had)) return mapFreshRegion(reserved, committed);
    *at = k->next;
    pool->keptBytes -= had;
    if (had > committed) decommitRange(b + committed, had - committed);
    // Pages committed afresh read as zeros; the rest held the old block.
    const std::size_t old = std::min(had, committed);
    POOL_UNPOISON(b, old);
    std::memset(b, 0, old);
    return b;
  }
  return mapFreshRegion(reserved, committed);
}

// Unmaps every kept region; the bytes they held.
std::size_t dropKeptRegions(MemPool* pool) {
  std::size_t freed = 0;
  while (KeptRegion* k = pool->kept) {
    pool->kept = k->next;
    freed += k->committed;
    unmapRegion(k, k->reserved);
  }
  pool->keptBytes = 0;
  return freed;
}

bool largeResize(MemPool* pool, MemPage* pg, std::size_t newSize, unsigned flags) {
  if (newSize <= pool->largeThreshold || newSize > SIZE_MAX / 2) return false;
  const std::size_t want = roundUp(newSize + kLargeHeader, kPoolCommitUnit);
  if (want > pg->reserved) return false;
  uint8_t* b = bytes(pg);
  if (want > pg->committed) {
    const std::size_t grow = want - pg->committed;
    if (pool->bytesInUse + grow > pool->ceiling) return false;
    if (!commitRange(b + pg->committed, grow)) return false;
    (void)flags;  // recommitted pages read as zeros
    pool->bytesInUse += grow;
  } else if (want < pg->committed) {
    decommitRange(b + want, pg->committed - want);
    pool->bytesInUse -= pg->committed - want;
  }
  pg->committed = want;
  regSet(reinterpret_cast<uintptr_t>(pg), want | kRegionPage);
  return true;
}

// ---------------------------------------------------------------------------

std::size_t shrinkPool(MemPool* pool) {
  std::size_t freed = 0;
  for (int type : {kPageMedium, kPageFixed, kPageKept}) {
    bool again = true;
    while (again && pool->heads[type]) {
      again = false;
      MemPageDesc* d = pool->heads[type];
      do {
        if (d->page->inUse == 0) {
          freed += d->page->committed;
          releasePage(pool, d);
          again = true;
          break;
        }
        d = d->next;
      } while (d != pool->heads[type]);
    }
  }
  return freed;
}

enum class BlockCheck { Ok, NotOurs, Bad, AlreadyFree };

// Validates a block address against the page it lies in.
[[gnu::always_inline]] inline BlockCheck checkInPage(MemPage* pg, const void* block) {
  const auto off = std::size_t(static_cast<const uint8_t*>(block) - bytes(pg));
  switch (pageType(pg)) {
    case kPageSmall: {
      auto* sp = static_cast<SmallPage*>(pg);
      if (off < kSmallFirst || off >= sp->carve || (off - kSmallFirst) % 8) return BlockCheck::Bad;
      const uint8_t cb = bytes(pg)[off - 1];
      if (cb & kSmallBadBits) return BlockCheck::Bad;
      if (off + smallSlot(cb & 0x3F) > sp->carve) return BlockCheck::Bad;
      return (cb & kSmallFreeBit) ? BlockCheck::AlreadyFree : BlockCheck::Ok;
    }
    case kPageMedium:
    case kPageKept: {
      auto* mp = static_cast<MediumPage*>(pg);
      if (off < kMediumFirst + 2 || off >= mp->sentinel || (off - 2 - kMediumFirst) % 8) return BlockCheck::Bad;
      Med m(pg);
      const auto h = uint16_t(off - 2);
      const uint16_t hdr = m.hdr(h);
      const uint16_t s = hdr & 0x7FF8;
      if ((hdr & 0x8004) || s < 16 || h + s > mp->sentinel) return BlockCheck::Bad;
      if (!(hdr & 1)) return BlockCheck::AlreadyFree;
      if (!(m.hdr(uint16_t(h + s)) & 2)) return BlockCheck::Bad;
      return BlockCheck::Ok;
    }
    case kPageFixed: {
      auto* fp = static_cast<FixedPage*>(pg);
      if (off < fp->first || (off - fp->first) % fp->stride) return BlockCheck::Bad;
      const std::size_t i = (off - fp->first) / fp->stride;
      if (i >= fp->count) return BlockCheck::Bad;
      return (fp->used[i / 64] >> (i % 64) & 1) ? BlockCheck::Ok : BlockCheck::AlreadyFree;
    }
    case kPageLarge:
      return off == kLargeHeader ? BlockCheck::Ok : BlockCheck::Bad;
  }
  return BlockCheck::Bad;
}

// Validates a block address; sets *page when it lies in a page.
BlockCheck checkBlock(const void* block, MemPage** page) {
  MemPage* pg = pageOf(block);
  if (!pg) return BlockCheck::NotOurs;
  *page = pg;
  return checkInPage(pg, block);
}

int blockError(BlockCheck c) {
  switch (c) {
    case BlockCheck::NotOurs: return MEM_BAD_POINTER;
    case BlockCheck::Bad: return MEM_BAD_BLOCK;
    case BlockCheck::AlreadyFree: return MEM_BAD_FREE_BLOCK;
    case BlockCheck::Ok: break;
  }
  return 0;
}

std::size_t usableSize(MemPage* pg, const uint8_t* block) {
  switch (pageType(pg)) {
    case kPageSmall: return smallUsable(block[-1] & 0x3F);
    case kPageFixed: return pg->pool->fixedSize;
    case kPageLarge: return pg->committed - kLargeHeader;
    default: return (rd16(block - 2) & 0x7FF8) - 2;
  }
}

void destroyPool(MemPool* pool) {
  GlobalAllocator& g = global();
  {
    std::lock_guard<std::recursive_mutex> lk(g.listLock);
    for (MemPool** p = &g.pools; *p; p = &(*p)->next) {
      if (*p == pool) {
        *p = pool->next;
        break;
      }
    }
  }
  pool->signature = 0;
  for (int t = 0; t < 5; ++t) {
    while (pool->heads[t]) releasePage(pool, pool->heads[t]);
  }
  dropKeptRegions(pool);
  while (pool->descBlocks) {
    void* b = pool->descBlocks;
    pool->descBlocks = *static_cast<void**>(b);
    unmapRegion(b, kPoolRegionAlign);
  }
  regClear(reinterpret_cast<uintptr_t>(pool));
}

}  // namespace

// ---------------------------------------------------------------------------
// Public operations.

const char* PoolErrorText(int code) {
  static const char* const kNames[] = {
      "MEM_INTERNAL_ERROR",   "Out of memory.  Please free some memory, then choose retry.",
      "MEM_BLOCK_TOO_BIG",    "MEM_ALLOC_ZERO",
      "MEM_RESIZE_FAILED",    "MEM_LOCK_ERROR",
      "MEM_EXCEEDED_CEILING", "MEM_TOO_MANY_PAGES",
      "MEM_TOO_MANY_TASKS",   "MEM_BAD_MEM_POOL",
      "MEM_BAD_BLOCK",        "MEM_BAD_FREE_BLOCK",
      "MEM_BAD_HANDLE",       "MEM_BAD_POINTER",
  };
  if (code < 1 || code > 14) return kNames[0];
  return kNames[code - 1];
}

int PoolFailHandler(const PoolErrorRecord*) { return 0; }

MemPool* PoolCreate(unsigned poolFlags) {
  GlobalAllocator& g = global();
  std::lock_guard<std::recursive_mutex> lk(g.createLock);
  void* region;
  for (;;) {
    region = mapRegion(kPoolRegionAlign, kPoolCommitUnit);
    if (region && !regSet(reinterpret_cast<uintptr_t>(region), kPoolCommitUnit | kRegionPool)) {
      unmapRegion(region, kPoolRegionAlign);
      region = nullptr;
    }
    if (region) break;
    if (!report(nullptr, MEM_OUT_OF_MEMORY, nullptr)) return nullptr;
  }
  auto* pool = new (region) MemPool;
  pool->flags = uint16_t(poolFlags & (kPoolLibrary | kPoolSerialized));
  pool->global = &g;
  auto* b = static_cast<uint8_t*>(region);
  carveDescs(pool, b + roundUp(sizeof(MemPool), 16), b + kPoolCommitUnit);
  std::lock_guard<std::recursive_mutex> lk2(g.listLock);
  pool->next = g.pools;
  g.pools = pool;
  return pool;
}

MemPool* PoolCreateEx(std::size_t fixedSize, std::size_t fixedCount, unsigned poolFlags) {
  MemPool* pool = PoolCreate(poolFlags);
  if (!pool) return nullptr;
  if (!PoolSetFixedSize(pool, fixedSize)) {
    PoolDestroy(pool);
    return nullptr;
  }
  if (fixedCount) PoolPreallocate(pool, fixedCount * roundUp(pool->fixedSize, 8), kPreallocFixed);
  return pool;
}

int PoolDestroy(MemPool* pool) {
  GlobalAllocator& g = global();
  std::lock_guard<std::recursive_mutex> lk(g.createLock);
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  const bool serialized = pool->flags & kPoolSerialized;
  if (serialized) pool->lock.lock();
  destroyPool(pool);
  if (serialized) pool->lock.unlock();
  pool->~MemPool();
  unmapRegion(pool, kPoolRegionAlign);
  return 1;
}

void* PoolAlloc(MemPool* pool, std::size_t size, unsigned flags) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return nullptr;
  }
  Guard guard(pool);
  if (size == 0) {
    report(pool, MEM_ALLOC_ZERO, guard.held());
    return nullptr;
  }
  if (size < kPoolSmallLimit) [[likely]] {
    // The common case first: a free block of the exact class.
    if (uint8_t* p = smallTakeFree(pool, unsigned(std::max<std::size_t>(size, 4) / 4), flags)) return p;
    return smallAlloc(pool, size, flags, guard.held());
  }
  if (size <= pool->largeThreshold) return mediumAlloc(pool, size, flags, guard.held());
  return largeAlloc(pool, size, flags & ~kAllocPreallocated, guard.held());
}

int PoolFree(void* block) {
  MemPage* pg = pageOf(block);
  if (!pg) {
    report(nullptr, MEM_BAD_POINTER, nullptr);
    return 0;
  }
  MemPool* pool = pg->pool;
  Guard guard(pool);
  const BlockCheck c = checkInPage(pg, block);
  if (c != BlockCheck::Ok) {
    report(pool, blockError(c), guard.held());
    return 0;
  }
  if (pageType(pg) == kPageSmall) {
    freeSmallBlock(pool, pg, static_cast<uint8_t*>(block));
  } else {
    pg->freeFn(pool, pg, static_cast<uint8_t*>(block));
  }
  return 1;
}

std::ptrdiff_t PoolSize(const void* block) {
  MemPage* pg = pageOf(block);
  if (!pg) {
    report(nullptr, MEM_BAD_POINTER, nullptr);
    return -1;
  }
  Guard guard(pg->pool);
  const BlockCheck c = checkInPage(pg, block);
  if (c != BlockCheck::Ok) {
    report(pg->pool, blockError(c), guard.held());
    return -1;
  }
  return std::ptrdiff_t(usableSize(pg, static_cast<const uint8_t*>(block)));
}

void* PoolRealloc(void* block, std::size_t size, unsigned flags) {
  MemPage* pg = pageOf(block);
  if (!pg) {
    report(nullptr, MEM_BAD_POINTER, nullptr);
    return nullptr;
  }
  MemPool* pool = pg->pool;
  Guard guard(pool);
  const BlockCheck c = checkInPage(pg, block);
  if (c != BlockCheck::Ok) {
    report(pool, blockError(c), guard.held());
    return nullptr;
  }
  if (size == 0) {
    report(pool, MEM_ALLOC_ZERO, guard.held());
    return nullptr;
  }
  auto* b = static_cast<uint8_t*>(block);
  bool inPlace = false;
  switch (pageType(pg)) {
    case kPageSmall:
      inPlace = size < kPoolSmallLimit && std::max<std::size_t>(size, 4) / 4 == (b[-1] & 0x3Fu);
      break;
    case kPageFixed:
      inPlace = size <= pool->fixedSize;
      break;
    case kPageMedium:
    case kPageKept:
      inPlace = size <= pool->largeThreshold && mediumResize(static_cast<MediumPage*>(pg), b, size, flags);
      break;
    case kPageLarge:
      inPlace = largeResize(pool, pg, size, flags);
      break;
  }
  if (inPlace) return block;
  if (flags & kReallocInPlace) {
    report(pool, MEM_RESIZE_FAILED, guard.held());
    return nullptr;
  }
  const std::size_t oldUsable = usableSize(pg, b);
  void* moved = PoolAlloc(pool, size, flags);
  if (!moved) return nullptr;
  std::memcpy(moved, block, std::min(oldUsable, size));
  pg->freeFn(pool, pg, b);
  return moved;
}

void* PoolAllocFixed(MemPool* pool) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return nullptr;
  }
  Guard guard(pool);
  for (;;) {
    if (MemPageDesc* head = pool->heads[kPageFixed]) {
      MemPageDesc* d = head;
      do {
        auto* pg = static_cast<FixedPage*>(d->page);
        if (d->hint && pg->freeHead) {
          uint8_t* slot = bytes(pg) + pg->freeHead;
          POOL_UNPOISON(slot, pool->fixedSize);
          pg->freeHead = rd16(slot);
          if (!pg->freeHead) d->hint = 0;
          const unsigned i = (unsigned(slot - bytes(pg)) - pg->first) / pg->stride;
          pg->used[i / 64] |= uint64_t(1) << (i % 64);
          ++pg->inUse;
          clearBytes(slot, pool->fixedSize);
          pool->heads[kPageFixed] = d;
          return slot;
        }
        d = d->next;
      } while (d != head);
    }
    TakeFail why;
    if (takePage(pool, kPageFixed, pool->mediumPageSize, &why, guard.held())) continue;
    if (why == TakeFail::Ceiling) return nullptr;
    if (!report(pool, MEM_OUT_OF_MEMORY, guard.held())) return nullptr;
  }
}

int PoolSetFixedSize(MemPool* pool, std::size_t size) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  Guard guard(pool);
  if (pool->heads[kPageFixed]) return 0;
  const std::size_t rounded = roundUp(std::max<std::size_t>(size, 4), 4);
  if (rounded > pool->mediumPageSize - kFixedFirst) {
    report(pool, MEM_BLOCK_TOO_BIG, guard.held());
    return 0;
  }
  pool->fixedSize = uint16_t(rounded);
  return 1;
}

std::size_t PoolPreallocate(MemPool* pool, std::size_t bytesWanted, unsigned kind) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  Guard guard(pool);
  int type;
  switch (kind) {
    case kPreallocFixed: type = kPageFixed; break;
    case kPreallocKept: type = kPageKept; break;
    case kPreallocMedium: type = kPageMedium; break;
    default: return 0;
  }
  std::size_t got = 0;
  while (got < bytesWanted) {
    TakeFail why;
    if (!takePage(pool, type, pool->mediumPageSize, &why, guard.held())) break;
    got += pool->mediumPageSize;
  }
  return got;
}

std::size_t PoolShrink(MemPool* pool) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  Guard guard(pool);
  const std::size_t pages = shrinkPool(pool);
  return pages + dropKeptRegions(pool);
}

std::size_t PoolSetFloor(MemPool* pool, std::size_t value) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return kPoolFailed;
  }
  Guard guard(pool);
  if (value == kPoolNone) value = 0;
  if (value > pool->ceiling) return kPoolFailed;
  return std::exchange(pool->floor, value);
}

std::size_t PoolSetCeiling(MemPool* pool, std::size_t value) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return kPoolFailed;
  }
  Guard guard(pool);
  if (value == kPoolNone) value = kPoolNoCeiling;
  if (value < pool->floor || value < pool->bytesInUse) return kPoolFailed;
  return std::exchange(pool->ceiling, value);
}

int PoolLock(MemPool* pool) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  if (!(pool->flags & kPoolSerialized)) return 0;
  pool->lock.lock();
  ++pool->nesting;
  return 1;
}

int PoolUnlock(MemPool* pool) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return 0;
  }
  if (!(pool->flags & kPoolSerialized) || pool->nesting == 0) {
    report(pool, MEM_LOCK_ERROR, nullptr);
    return 0;
  }
  --pool->nesting;
  pool->lock.unlock();
  return 1;
}

int PoolRegisterUser() {
  GlobalAllocator& g = global();
  std::lock_guard<std::recursive_mutex> lk(g.createLock);
  ++g.users;
  return 1;
}

int PoolUnregisterUser() {
  GlobalAllocator& g = global();
  std::lock_guard<std::recursive_mutex> lk(g.createLock);
  if (g.users > 0 && --g.users == 0) {
    while (g.pools) {
      MemPool* p = g.pools;
      if (!poolAlive(p)) {
        g.pools = p->next;
        continue;
      }
      PoolDestroy(p);
    }
  }
  return 1;
}

namespace {

bool pointsToCode(const void* fn) {
  Dl_info info;
  if (!dladdr(fn, &info) || !info.dli_fbase) return false;
  struct Ctx {
    uintptr_t addr;
    bool found;
  } ctx{reinterpret_cast<uintptr_t>(fn), false};
  dl_iterate_phdr(
      [](dl_phdr_info* i, std::size_t, void* data) -> int {
        auto* c = static_cast<Ctx*>(data);
        for (int k = 0; k < i->dlpi_phnum; ++k) {
          const ElfW(Phdr)& ph = i->dlpi_phdr[k];
          if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X)) continue;
          const uintptr_t start = i->dlpi_addr + ph.p_vaddr;
          if (c->addr >= start && c->addr < start + ph.p_memsz) {
            c->found = true;
            return 1;
          }
        }
        return 0;
      },
      &ctx);
  return ctx.found;
}

}  // namespace

PoolErrorHandler PoolSetErrorHandler(PoolErrorHandler handler) {
  if (!handler) handler = PoolFailHandler;
  if (!pointsToCode(reinterpret_cast<const void*>(handler))) return nullptr;
  GlobalAllocator& g = global();
  std::lock_guard<std::mutex> lk(g.errorLock);
  return std::exchange(g.handler, handler);
}

// ---------------------------------------------------------------------------
// Inspection.

bool PoolGetStats(MemPool* pool, PoolStats* stats) {
  if (!poolAlive(pool)) {
    report(pool, MEM_BAD_MEM_POOL, nullptr);
    return false;
  }
  Guard guard(pool);
  *stats = PoolStats{};
  stats->bytesInUse = pool->bytesInUse;
  stats->floor = pool->floor;
  stats->ceiling = pool->ceiling;
  for (const KeptRegion* k = pool->kept; k; k = k->next) {
    ++stats->keptRegions;
    stats->keptBytes += k->committed;
  }
  for (int t = 0; t < 5; ++t) {
    MemPageDesc* head = pool->heads[t];
    if (!head) continue;
    MemPageDesc* d = head;
    do {
      ++stats->pages[t];
      stats->blocksInUse += d->page->inUse;
      if (t == kPageMedium || t == kPageKept) {
        auto* pg = static_cast<MediumPage*>(d->page);
        Med m(pg);
        for (uint16_t f = m.next(pg->sentinel); f != pg->sentinel; f = m.next(f)) {
          ++stats->mediumFreeBlocks;
          stats->largestMediumFree = std::max<std::size_t>(stats->largestMediumFree, m.size(f));
        }
      }
      d = d->next;
    } while (d != head);
  }
  return true;
}

int PoolBlockPageType(const void* block) {
  MemPage* pg = nullptr;
  return checkBlock(block, &pg) == BlockCheck::Ok ? pageType(pg) : -1;
}

void PoolFailNextRegions(int count) { g_failRegions.store(count); }

namespace {

std::string fmt(const char* what, std::size_t a, std::size_t b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s (%zu, %zu)", what, a, b);
  return buf;
}

bool checkSmallPages(MemPool* pool, std::string* fault) {
  std::size_t freeCount[kClasses] = {};
  MemPageDesc* head = pool->heads[kPageSmall];
  if (!head) return true;
  MemPageDesc* d = head;
  do {
    auto* pg = static_cast<SmallPage*>(d->page);
    uint8_t* b = bytes(pg);
    std::size_t used = 0, freeHere[kClasses] = {};
    for (std::size_t off = kSmallFirst; off < pg->carve;) {
      const uint8_t cb = b[off - 1];
      if (cb & kSmallBadBits) return *fault = fmt("small: bad class byte at", off), false;
      const unsigned c = cb & 0x3F;
      if (cb & kSmallFreeBit) ++freeHere[c]; else ++used;
      off += smallSlot(c);
      if (off > pg->carve) return *fault = fmt("small: slot runs past carve", off), false;
    }
    if (used != pg->inUse) return *fault = fmt("small: blocks in use", used, pg->inUse), false;
    for (unsigned c = 0; c < kClasses; ++c) {
      std::size_t n = 0;
      for (uint16_t off = pg->freeHead[c]; off; off = rd16(b + off)) {
        if (off < kSmallFirst || off >= pg->carve || (b[off - 1] != (c | kSmallFreeBit)))
          return *fault = fmt("small: free list entry", off, c), false;
        if (++n > freeHere[c]) return *fault = fmt("small: free list too long", c), false;
      }
      if (n != freeHere[c]) return *fault = fmt("small: free blocks off the list", c, freeHere[c] - n), false;
      freeCount[c] += n;
    }
    d = d->next;
  } while (d != head);
  // Every page with free blocks of a class is on that class's page list once.
  for (unsigned c = 0; c < kClasses; ++c) {
    std::size_t n = 0;
    for (SmallPage* p = pool->smallFree[c]; p; p = static_cast<SmallPage*>(p->nextWithFree[c])) {
      if (!p->freeHead[c]) return *fault = fmt("small: empty page on class list", c), false;
      for (uint16_t off = p->freeHead[c]; off; off = rd16(bytes(p) + off)) ++n;
      if (n > freeCount[c]) return *fault = fmt("small: class page list loops", c), false;
    }
    if (n != freeCount[c]) return *fault = fmt("small: pages missing from class list", c), false;
  }
  return true;
}

bool checkMediumPage(MediumPage* pg, std::string* fault) {
  Med m(pg);
  std::size_t used = 0, freeBlocks = 0;
  uint16_t largest = 0;
  bool prevInUse = true;
  uint16_t h = uint16_t(kMediumFirst);
  while (h != pg->sentinel) {
    const uint16_t hdr = m.hdr(h);
    const uint16_t s = hdr & 0x7FF8;
    if (s < 16 || h + s > pg->sentinel || (hdr & 0x8004)) return *fault = fmt("medium: bad header at", h, hdr), false;
    if (bool(hdr & 2) != prevInUse) return *fault = fmt("medium: previous-in-use bit at", h), false;
    if (hdr & 1) {
      ++used;
      prevInUse = true;
    } else {
      if (!prevInUse) return *fault = fmt("medium: two free blocks side by side at", h), false;
      if (rd16(m.b + h + s - 2) != s) return *fault = fmt("medium: boundary tag at", h, s), false;
      ++freeBlocks;
      largest = std::max(largest, s);
      prevInUse = false;
    }
    h = uint16_t(h + s);
  }
  if (bool(m.hdr(h) & 2) != prevInUse || !(m.hdr(h) & 1)) return *fault = fmt("medium: sentinel header", h), false;
  if (used != pg->inUse) return *fault = fmt("medium: blocks in use", used, pg->inUse), false;
  std::size_t n = 0;
  bool roverSeen = pg->rover == pg->sentinel;
  for (uint16_t f = m.next(pg->sentinel); f != pg->sentinel; f = m.next(f)) {
    if (m.hdr(f) & 1) return *fault = fmt("medium: block in use on the free list", f), false;
    if (m.prev(m.next(f)) != f) return *fault = fmt("medium: broken back link at", f), false;
    if (f == pg->rover) roverSeen = true;
    if (++n > freeBlocks) return *fault = fmt("medium: free list loops", n), false;
  }
  if (n != freeBlocks) return *fault = fmt("medium: free blocks off the list", freeBlocks, n), false;
  if (!roverSeen) return *fault = fmt("medium: rover off the free list", pg->rover), false;
  if (pg->desc->hint < largest) return *fault = fmt("medium: hint below largest free block", pg->desc->hint, largest), false;
  return true;
}

}  // namespace

bool PoolCheck(MemPool* pool, std::string* fault) {
  std::string dummy;
  if (!fault) fault = &dummy;
  if (!poolAlive(pool)) return *fault = "pool is not alive", false;
  Guard guard(pool);
  std::size_t committed = kPoolCommitUnit;
  for (void* b = pool->descBlocks; b; b = *static_cast<void**>(b)) committed += kPoolCommitUnit;
  for (int t = 0; t < 5; ++t) {
    MemPageDesc* head = pool->heads[t];
    if (!head) continue;
    MemPageDesc* d = head;
    do {
      MemPage* pg = d->page;
      if (d->next->prev != d) return *fault = fmt("descriptor list broken, type", t), false;
      if (pg->desc != d || pg->pool != pool || pageType(pg) != t || d->flags != (kDescInUse | (t << 12)))
        return *fault = fmt("page and descriptor disagree, type", t), false;
      if (regLookup(reinterpret_cast<uintptr_t>(pg)) != (pg->committed | kRegionPage))
        return *fault = fmt("page missing from the registry, type", t), false;
      committed += pg->committed;
      if ((t == kPageMedium || t == kPageKept) && !checkMediumPage(static_cast<MediumPage*>(pg), fault)) return false;
      if (t == kPageFixed) {
        auto* fp = static_cast<FixedPage*>(pg);
        std::size_t freeSlots = 0;
        for (uint16_t off = fp->freeHead; off; off = rd16(bytes(fp) + off))
          if (++freeSlots > fp->count) return *fault = "fixed: free list loops", false;
        if (freeSlots + fp->inUse != fp->count) return *fault = fmt("fixed: slot count", freeSlots, fp->inUse), false;
      }
      if (t == kPageLarge && pg->inUse != 1) return *fault = "large: page without its block", false;
      d = d->next;
    } while (d != head);
  }
  if (committed != pool->bytesInUse) return *fault = fmt("bytes in use", pool->bytesInUse, committed), false;
  std::size_t kept = 0;
  for (const KeptRegion* k = pool->kept; k; k = k->next) {
    if (regLookup(reinterpret_cast<uintptr_t>(k)) != 0) return *fault = "kept region still in the registry", false;
    kept += k->committed;
  }
  if (kept != pool->keptBytes || kept > kKeptLimit) return *fault = fmt("kept bytes", pool->keptBytes, kept), false;
  return checkSmallPages(pool, fault);
}

}  // namespace lindra
