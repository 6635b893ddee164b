// Decodes arbitrary bytes as each compressed speech kind: the first byte
// picks the kind, the rest is the file.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "outside/conv32/conv32.h"
#include "platform/testing/fuzz_work_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const int kinds[] = {CONV32_KIND_FLAC, CONV32_KIND_VORBIS, CONV32_KIND_OPUS};
  const int kind = kinds[data[0] % 3];
  const std::filesystem::path in = tvfuzz::writeInput("conv32_fuzz", "input", data + 1, size - 1);
  const std::filesystem::path out = in.parent_path() / "output.wav";
  DECOMP_AudioFiles(in.c_str(), kind, out.c_str(), CONV32_WAV_PCM16);
  std::error_code ec;
  std::filesystem::remove(out, ec);
  return 0;
}
