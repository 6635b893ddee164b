// Feeds arbitrary bytes to the WAV reader. Whatever it accepts must survive
// a canonical rewrite unchanged, and must take an appended chunk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/riff/wav.h"

using namespace plat::riff;

namespace {
void require(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Every LIST the walker finds is walked too.
  MemorySource src(bytes);
  RiffLayout layout;
  if (!readLayout(src, layout)) {
    for (const Chunk& c : layout.chunks) {
      require(c.paddedEnd() <= layout.riff.bodyEnd() + 1 && c.bodyEnd() <= size);
      std::vector<Chunk> sub;
      if (c.isList() && !listSubChunks(src, c, sub))
        for (const Chunk& s : sub) require(s.offset >= c.bodyOffset() + 4 && s.bodyEnd() <= c.bodyEnd());
    }
    std::string copy(bytes);
    if (!appendChunk(copy, makeId("QLON"), "abc")) {
      RiffLayout grown;
      require(!readLayout(MemorySource(copy), grown));
      require(grown.chunks.size() == layout.chunks.size() + 1);
      require(grown.chunks.back().id == makeId("QLON") && grown.chunks.back().size == 3);
    }
  }

  Wav wav;
  if (readWav(bytes, wav)) return 0;
  require(wav.samples.size() == wav.data.size);
  std::string canonical;
  require(!canonicalWav(bytes, canonical));
  require(canonical.size() == kCanonicalHeaderSize + wav.samples.size() + (wav.samples.size() & 1u));
  Wav again;
  require(!readWav(canonical, again));
  require(again.samples == wav.samples);
  require(again.format.channels == wav.format.channels && again.format.sampleRate == wav.format.sampleRate &&
          again.format.bitsPerSample == wav.format.bitsPerSample && again.format.formatTag == kFormatPcm);
  return 0;
}
