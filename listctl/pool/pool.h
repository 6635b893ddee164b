// Lindra's memory pool: the allocator every record of the list library comes from.
//
// A pool hands out blocks from pages that it maps itself. Every page starts on
// a 64 KB boundary, so a block's page (and through it the pool) is found by
// masking the block's address; no per-block pointer to the pool is kept.
//   - requests under 255 bytes: small-block pages (64 KB, bump pointer, 64
//     exact size classes of 4 bytes, one class byte before each block);
//   - requests up to the large-block threshold (4096): medium pages (16 KB,
//     first fit over a boundary-tagged free list, neighbours merged on free);
//   - larger requests: one region per block.
// A registry of live pools and regions is consulted before any pool or block
// is dereferenced, so a destroyed pool or a foreign pointer is reported, never
// read. Errors go to an installable handler (see PoolSetErrorHandler).
//
// Sizes and counters are pointer-width; the size classes, thresholds and page
// sizes are those of the 32-bit design. Blocks are 8-byte aligned so records
// holding pointers can live in them: small slots and medium block sizes are
// rounded up to 8 bytes (the usable size of a small class stays 4c + 3; a
// medium block of n bytes has a usable size of round8(n + 2) - 2).
//
// Choices made here:
//   - Free-list links are 16-bit offsets within their page, so every small
//     class fits its link; each class keeps a list of the pages that hold
//     free blocks of it.
//   - Freeing a free block reports MEM_BAD_FREE_BLOCK (small and medium blocks
//     carry a free mark, fixed pages a bitmap); an address inside a page that
//     is no block start reports MEM_BAD_BLOCK. A large block's region is gone
//     once freed, so a second free of it reports MEM_BAD_POINTER.
//   - kAllocPreallocated on a medium request is served from the pages of
//     PoolPreallocate kind 2 and falls back to ordinary medium pages.
//   - The floor holds back only the release of a page that empties; PoolShrink
//     returns every empty medium and fixed page. kPoolNone as a floor is 0.
//   - Realloc to size 0 reports MEM_ALLOC_ZERO and leaves the block alone.
//   - A freed large block's region stays mapped (up to 4 MB per pool) and
//     serves the next large request of the same reservation, cleared to
//     zeros: emptying and refilling a long list then maps nothing afresh.
//     Kept regions count in no bytes in use; PoolShrink (which counts them in
//     its answer), a failing mapping and PoolDestroy unmap them.
//   - The compaction and per-page hooks and long medium headers are not
//     provided: the library never uses them.
//   - A re-entered handler and too many threads in the handler are written to
//     standard error; the error is not passed on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lindra {

struct MemPool;

// Pool flags (PoolCreate, PoolCreateEx).
inline constexpr unsigned kPoolLibrary = 1;     // passed by the library; no further effect
inline constexpr unsigned kPoolSerialized = 2;  // every operation takes the pool's lock

// Allocation flags (PoolAlloc, PoolRealloc).
inline constexpr unsigned kAllocZero = 1;          // zero-fill (the new part on realloc)
inline constexpr unsigned kAllocPreallocated = 2;  // medium: use the pages of PoolPreallocate kind 2 first
inline constexpr unsigned kAllocFront = 4;         // medium: split free blocks from the front
inline constexpr unsigned kReallocInPlace = 8;     // realloc: never move the block
inline constexpr unsigned kAllocNoSmallPage = 16;  // take no new small-block page
inline constexpr unsigned kAllocNoLarge = 32;      // take no large region
inline constexpr unsigned kAllocMinSplit = 0x4000; // medium: split whenever the rest holds a block

// PoolPreallocate kinds.
inline constexpr unsigned kPreallocFixed = 1;
inline constexpr unsigned kPreallocKept = 2;    // medium pages used by kAllocPreallocated
inline constexpr unsigned kPreallocMedium = 4;

// Page types.
enum PoolPageType : int {
  kPageMedium = 0,
  kPageFixed = 1,
  kPageKept = 2,
  kPageLarge = 3,
  kPageSmall = 4,
};

inline constexpr std::size_t kPoolSmallLimit = 255;       // requests below this are small
inline constexpr std::size_t kPoolLargeThreshold = 4096;  // requests above this are large
inline constexpr std::size_t kPoolMediumPageSize = 16384;
inline constexpr std::size_t kPoolSmallPageSize = 65536;
inline constexpr std::size_t kPoolRegionAlign = 65536;
inline constexpr std::size_t kPoolCommitUnit = 4096;

// "No limit" for PoolSetFloor / PoolSetCeiling, and their failure answer.
inline constexpr std::size_t kPoolNone = SIZE_MAX;
inline constexpr std::size_t kPoolFailed = SIZE_MAX;
// The ceiling of a new pool: none.
inline constexpr std::size_t kPoolNoCeiling = SIZE_MAX - 1;

// Error codes given to the handler.
enum PoolErrorCode : int {
  MEM_INTERNAL_ERROR = 1,
  MEM_OUT_OF_MEMORY = 2,
  MEM_BLOCK_TOO_BIG = 3,
  MEM_ALLOC_ZERO = 4,
  MEM_RESIZE_FAILED = 5,
  MEM_LOCK_ERROR = 6,
  MEM_EXCEEDED_CEILING = 7,
  MEM_TOO_MANY_PAGES = 8,
  MEM_TOO_MANY_TASKS = 9,
  MEM_BAD_MEM_POOL = 10,
  MEM_BAD_BLOCK = 11,       // a pointer into a page that is no block of it
  MEM_BAD_FREE_BLOCK = 12,  // a block that is already free (double free)
  MEM_BAD_HANDLE = 13,
  MEM_BAD_POINTER = 14,     // an address that lies in no page of the allocator
  MEM_WRONG_TASK = 15,
};

// The text an error box shows for a code ("MEM_INTERNAL_ERROR" for unknown
// codes and for 15; the retry message for 2).
const char* PoolErrorText(int code);

struct PoolErrorRecord {
  int code;
  MemPool* pool;  // may be null or dead: never dereference it
};

// Answer non-zero to retry the failed step (meaningful for
// MEM_OUT_OF_MEMORY), 0 to let the operation fail.
using PoolErrorHandler = int (*)(const PoolErrorRecord* error);

// Answers 0 ("fail") to everything: the handler that "none" installs.
int PoolFailHandler(const PoolErrorRecord* error);
// The installed handler at start: a beep and a message box naming the
// error (pool_error_box.cpp). Retry answers 1; OK and Ignore 0; Cancel and
// Abort end the process.
int PoolMessageBoxHandler(const PoolErrorRecord* error);

MemPool* PoolCreate(unsigned poolFlags);
MemPool* PoolCreateEx(std::size_t fixedSize, std::size_t fixedCount, unsigned poolFlags);
int PoolDestroy(MemPool* pool);

void* PoolAlloc(MemPool* pool, std::size_t size, unsigned flags);
int PoolFree(void* block);
void* PoolRealloc(void* block, std::size_t size, unsigned flags);
// Usable size of a block, or -1 (with error 14, 11 or 12).
std::ptrdiff_t PoolSize(const void* block);

void* PoolAllocFixed(MemPool* pool);
int PoolSetFixedSize(MemPool* pool, std::size_t size);
std::size_t PoolPreallocate(MemPool* pool, std::size_t bytes, unsigned kind);
std::size_t PoolShrink(MemPool* pool);

// Answer the previous value, or kPoolFailed when the floor would exceed the
// ceiling, or the ceiling lie below the floor or the bytes in use.
std::size_t PoolSetFloor(MemPool* pool, std::size_t bytes);
std::size_t PoolSetCeiling(MemPool* pool, std::size_t bytes);

int PoolLock(MemPool* pool);
int PoolUnlock(MemPool* pool);

int PoolRegisterUser();
int PoolUnregisterUser();

// Installs a handler (null: the fail handler again) and answers the previous
// one. A handler that does not point into executable code of a loaded object
// is refused: the answer is null and nothing changes.
PoolErrorHandler PoolSetErrorHandler(PoolErrorHandler handler);

}  // namespace lindra
