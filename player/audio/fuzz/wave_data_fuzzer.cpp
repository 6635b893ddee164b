// Feeds arbitrary bytes, as a file, to the speech view's wave reader. What
// it opens must give peaks within their bounds for every width, and every
// conversion must stay inside the wave.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "player/audio/wave_data.h"

namespace {
void require(bool ok) {
  if (!ok) std::abort();
}

const std::filesystem::path& scratchFile() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("wave_data_fuzz_" + std::to_string(::getpid()) + ".wav");
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  COrv_WaveData wave;
  if (!wave.Open(scratchFile())) {
    require(wave.FrameCount() == 0 && wave.GetDuration() == 0.0);
    return 0;
  }
  require(wave.ReadData());
  const int64_t frames = wave.FrameCount();
  require(frames > 0);
  for (int columns : {1, 3, 317}) {
    for (int64_t first : {int64_t{0}, frames / 3}) {
      std::vector<uint8_t> peaks;
      require(wave.GetPeaks(first, frames - first, columns, peaks));
      require(peaks.size() == static_cast<size_t>(columns) * 2);
      for (size_t i = 0; i < peaks.size(); i += 2) require(peaks[i] <= 128 && peaks[i + 1] >= 128);
    }
    for (int c = 0; c <= columns; ++c) {
      const int64_t f = COrv_WaveData::ColumnToFrame(c, 0, frames, columns);
      require(f >= 0 && f <= frames);
    }
  }
  for (float p : {0.0f, 33.3f, 100.0f}) require(wave.PercentToFrame(p) <= frames);
  return 0;
}
