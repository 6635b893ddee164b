#pragma once
// The segment table chunk: the cut of a WAV file's samples into audio
// segments (one per sentence part), stored as the last chunk of the RIFF
// form. Little-endian:
//   "QLON", u32 size = 8 * n + 2, u16 n, n records {u32 start, u32 length}
// Start and length are byte offsets within the body of the "data" chunk.
// The records follow each other without gaps from 0, and their lengths add
// up to the data size exactly. The chunk is 10 + 8 * n bytes (always even,
// so it has no pad byte), and the RIFF size covers it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/riff/riff.h"

namespace orv {

inline constexpr plat::riff::ChunkId kSegmentChunkId = plat::riff::makeId("QLON");
inline constexpr int kMaxSegments = 0xFFFF;

struct Segment {
  uint32_t start = 0;
  uint32_t length = 0;
  bool operator==(const Segment&) const = default;
};

// The segments for `dataSize` sample bytes cut by `shares` (see
// COrv_FileUtil::AppendSegmentChunk): length i = dataSize * share i,
// truncated toward zero, for every segment but the last, which takes what
// remains. When the shares ask for more than there is, each length is cut
// to what remains, so the table still covers the data exactly (later
// segments are then empty). std::errc::invalid_argument for a count outside
// 1..kMaxSegments, a null `shares` with more than one segment, or a share
// that is negative, infinite or not a number.
std::error_code cutSegments(uint32_t dataSize, int count, const float* shares, std::vector<Segment>& out);

// The chunk's body: u16 count and the records.
std::string segmentTableBody(const std::vector<Segment>& segments);

// Reads a segment table body, checking the count against the body's size,
// the records against each other (contiguous from 0) and their sum against
// `dataSize`. std::errc::invalid_argument when any check fails.
std::error_code decodeSegmentTable(std::string_view body, uint32_t dataSize, std::vector<Segment>& out);

// Appends the segment table to the WAV file held in `wavBytes` (the in-memory
// form of COrv_FileUtil::AppendSegmentChunk, for writers that build files in
// memory). Count 0 changes nothing. On failure `wavBytes` is unchanged.
std::error_code appendSegmentChunk(std::string& wavBytes, int count, const float* shares);

// The first index i with i + patternLength <= count at which `pattern`
// occurs in `buffer`, or -1 (also for an empty pattern).
std::ptrdiff_t FindBytes(const void* buffer, const void* pattern, std::size_t count, std::size_t patternLength);

}  // namespace orv
