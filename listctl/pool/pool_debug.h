// Inspection and fault injection for the pool: used by tests, the library's
// own leak checks and the benchmark. Not exported from liblindra.
#pragma once

#include <cstddef>
#include <string>

#include "listctl/pool/pool.h"

namespace lindra {

struct PoolStats {
  std::size_t bytesInUse = 0;  // committed bytes: header, descriptor blocks, pages
  std::size_t floor = 0;
  std::size_t ceiling = 0;
  std::size_t pages[5] = {};   // pages per PoolPageType
  std::size_t blocksInUse = 0; // over all pages
  std::size_t mediumFreeBlocks = 0;   // free blocks of all medium pages
  std::size_t largestMediumFree = 0;  // bytes, headers included
  std::size_t keptRegions = 0;  // regions of freed large blocks kept mapped
  std::size_t keptBytes = 0;    // their committed bytes (not in bytesInUse)
};

// Statistics of a live pool; false (and error 10) for a dead one.
bool PoolGetStats(MemPool* pool, PoolStats* stats);

// The type of the page a live block lies in, or -1 when the address is none
// of a page of the allocator. Reports nothing.
int PoolBlockPageType(const void* block);

// Walks every page of the pool: small-block class bytes, free lists and their
// counts; medium boundary tags, header bits, merged neighbours, the circular
// free list and the largest-free hints; fixed slots; and the byte count.
// Answers true, or false with the first inconsistency in *fault.
bool PoolCheck(MemPool* pool, std::string* fault);

// Makes the next `count` region mappings fail as if the system had no memory.
void PoolFailNextRegions(int count);

}  // namespace lindra
