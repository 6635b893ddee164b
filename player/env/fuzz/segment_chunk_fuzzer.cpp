// Feeds arbitrary bytes to the segment table writer: the first byte picks the
// segment count, the next 4 * (count - 1) bytes are the shares, the rest is
// the file. Whatever the writer accepts must still be a RIFF form whose last
// chunk is a table that covers the "data" chunk exactly; whatever it refuses
// must be left unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/riff/riff.h"
#include "player/env/segment_chunk.h"

namespace riff = plat::riff;

namespace {
void require(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int count = data[0] % 9;
  size_t at = 1;
  std::vector<float> shares(static_cast<size_t>(count > 0 ? count : 1), 0.0f);
  for (int i = 0; i + 1 < count && at + 4 <= size; ++i, at += 4) std::memcpy(&shares[i], data + at, 4);
  const std::string original(reinterpret_cast<const char*>(data) + at, size - at);

  std::string bytes = original;
  if (orv::appendSegmentChunk(bytes, count, shares.data())) {
    require(bytes == original);
    return 0;
  }
  if (count == 0) {
    require(bytes == original);
    return 0;
  }
  require(bytes.size() >= original.size() + 10 + 8 * static_cast<size_t>(count));
  riff::MemorySource src(bytes);
  riff::RiffLayout layout;
  require(!riff::readLayout(src, layout));
  require(layout.riff.paddedEnd() == bytes.size());
  const riff::Chunk* data_chunk = layout.find(riff::kDataId);
  require(data_chunk != nullptr && !layout.chunks.empty());
  const riff::Chunk& last = layout.chunks.back();
  require(last.id == orv::kSegmentChunkId && last.paddedEnd() == bytes.size());
  std::string body;
  require(!riff::readBody(src, last, body));
  std::vector<orv::Segment> segments;
  require(!orv::decodeSegmentTable(body, data_chunk->size, segments));
  require(segments.size() == static_cast<size_t>(count));
  return 0;
}
