#include "outside/conv32/conv32.h"

#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// libsndfile's major format for a kind byte, with the sub-format that must
// go with it (0: any).
bool formatOf(int kind, int& major, int& sub) {
  switch (kind) {
    case CONV32_KIND_FLAC: major = SF_FORMAT_FLAC, sub = 0; return true;
    case CONV32_KIND_VORBIS: major = SF_FORMAT_OGG, sub = SF_FORMAT_VORBIS; return true;
    case CONV32_KIND_OPUS: major = SF_FORMAT_OGG, sub = SF_FORMAT_OPUS; return true;
    default: return false;
  }
}

struct File {
  SNDFILE* handle = nullptr;
  ~File() {
    if (handle) sf_close(handle);
  }
};

// A WAV of 32-bit sizes holds at most this many sample bytes.
constexpr sf_count_t kMaxDataBytes = 0xFFFFFFFFll - 64;

bool decode(const char* source, int kind, const char* destination, bool& created) {
  int major = 0, sub = 0;
  if (!formatOf(kind, major, sub)) return false;
  SF_INFO in{};
  File from;
  from.handle = sf_open(source, SFM_READ, &in);
  if (!from.handle) return false;
  if ((in.format & SF_FORMAT_TYPEMASK) != major) return false;
  if (sub != 0 && (in.format & SF_FORMAT_SUBMASK) != sub) return false;
  if (in.channels < 1 || in.channels > 8 || in.samplerate < 1000 || in.samplerate > 384000) return false;
  if (in.frames > kMaxDataBytes / 2 / in.channels) return false;

  SF_INFO out{};
  out.samplerate = in.samplerate;
  out.channels = in.channels;
  out.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  File to;
  to.handle = sf_open(destination, SFM_WRITE, &out);
  if (!to.handle) return false;
  created = true;
  // Decoding to floats and writing 16-bit lets libsndfile round and clip.
  sf_command(to.handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  std::vector<float> block(4096 * static_cast<std::size_t>(in.channels));
  const sf_count_t frames = 4096;
  for (;;) {
    const sf_count_t got = sf_readf_float(from.handle, block.data(), frames);
    if (got < 0) return false;
    if (got == 0) break;
    if (sf_writef_float(to.handle, block.data(), got) != got) return false;
  }
  // A decoder that stopped on damaged data says so here.
  if (sf_error(from.handle) != SF_ERR_NO_ERROR) return false;
  sf_write_sync(to.handle);
  const bool closed = sf_close(to.handle) == 0;
  to.handle = nullptr;
  return closed;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int DECOMP_AudioFiles(const char* source, int kind,
                                                                       const char* destination, int mode) {
  if (!source || !destination || mode != CONV32_WAV_PCM16) return 0;
  bool created = false;
  if (decode(source, kind, destination, created)) return 1;
  // Only a file this call made is removed: nothing half-decoded stays.
  if (created) std::remove(destination);
  return 0;
}
