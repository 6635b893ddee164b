#include "player/audio/wave_data.h"

#include <algorithm>
#include <cmath>
#include <system_error>

bool COrv_WaveData::Open(const std::filesystem::path& path) {
  Clear();
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
  plat::riff::WavInfo info;
  if (plat::riff::readWavFileInfo(path, info)) return false;
  // The reader has checked the format against itself (block align and
  // rate agree), so no count below divides by a lying field.
  // A wave without one whole frame has nothing to show.
  if (info.format.blockAlign == 0 || info.data.size < info.format.blockAlign || info.data.size > kMaxDataBytes)
    return false;
  info_ = std::move(info);
  path_ = path;
  open_ = true;
  return true;
}

bool COrv_WaveData::ReadData() {
  if (!open_) return false;
  if (haveSamples_) return true;
  plat::riff::FileSource src;
  if (src.open(path_)) return false;
  std::string samples;
  if (plat::riff::readBody(src, info_.data, samples) || samples.size() != info_.data.size) return false;
  samples_ = std::move(samples);
  haveSamples_ = true;
  return true;
}

void COrv_WaveData::Clear() {
  open_ = false;
  path_.clear();
  info_ = plat::riff::WavInfo{};
  samples_.clear();
  samples_.shrink_to_fit();
  haveSamples_ = false;
}

uint64_t COrv_WaveData::GetFileSize() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path_, ec);
  return ec ? 0 : size;
}

uint32_t COrv_WaveData::FrameCount() const {
  const uint16_t align = GetBlockAlign();
  return align == 0 ? 0 : GetDataSize() / align;
}

double COrv_WaveData::GetDuration() const {
  const uint32_t rate = GetSamplesPerSec();
  return rate == 0 ? 0.0 : static_cast<double>(FrameCount()) / rate;
}

int64_t COrv_WaveData::PercentToFrame(float percent) const {
  const int64_t frames = FrameCount();
  if (!(percent > 0.0f)) return 0;  // NaN too
  if (percent >= 100.0f) return frames;
  // A float per cent holds about seven digits: a value that misses a whole
  // frame by less than that is the whole frame, so that a frame turned
  // into a per cent and back stays the same frame.
  const double v = static_cast<double>(frames) * (static_cast<double>(percent) / 100.0);
  const double nearest = std::round(v);
  const double tolerance = std::max(1e-3, static_cast<double>(frames) * 2e-7);
  const auto frame = static_cast<int64_t>(std::fabs(v - nearest) <= tolerance ? nearest : v);
  return std::clamp<int64_t>(frame, 0, frames);
}

float COrv_WaveData::FrameToPercent(int64_t frame) const {
  const uint32_t frames = FrameCount();
  if (frames == 0) return 0.0f;
  return static_cast<float>(static_cast<double>(frame) / frames * 100.0);
}

int COrv_WaveData::FrameToColumn(int64_t frame, int64_t first, int64_t length, int width) {
  if (length <= 0 || width <= 0 || frame < first || frame > first + length - 1) return 0;
  return static_cast<int>((frame - first) * width / length);
}

int64_t COrv_WaveData::ColumnToFrame(int column, int64_t first, int64_t length, int width) {
  if (width <= 0 || length <= 0 || column <= 0) return first;
  // With a frame or more per column: the first frame that FrameToColumn
  // puts in `column` (rounded up, so that it does not belong to the column
  // before). Zoomed in further: the frame the column lies in.
  if (length >= width) return first + (length * column + width - 1) / width;
  return first + (length * (column + 1) + width - 1) / width - 1;
}

uint8_t COrv_WaveData::SampleByte(const char* p, int bits) {
  const auto u = [p](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
  switch (bits) {
    case 8:
      return static_cast<uint8_t>(u(0));
    case 16: {
      const auto s = static_cast<int16_t>(u(0) | (u(1) << 8));
      return static_cast<uint8_t>((s / 32768.0 + 1.0) * 128.0);
    }
    case 24: {
      // The top byte carries the sign: shift the 24 bits into the top of a
      // 32-bit word and back.
      const auto s = static_cast<int32_t>((u(0) << 8) | (u(1) << 16) | (u(2) << 24)) >> 8;
      return static_cast<uint8_t>((s / 8388608.0 + 1.0) * 128.0);
    }
    case 32: {
      const auto s = static_cast<int32_t>(u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24));
      return static_cast<uint8_t>((s / 2147483648.0 + 1.0) * 128.0);
    }
    default:
      return 128;
  }
}

bool COrv_WaveData::GetPeaks(int64_t first, int64_t count, int columns, std::vector<uint8_t>& out) {
  out.clear();
  if (columns <= 0 || !ReadData()) return false;
  const int64_t frames = FrameCount();
  if (first < 0 || count < 0 || first > frames) return false;
  count = std::min(count, frames - first);
  const int bits = GetBitsPerSample();
  const int bytesPerSample = bits / 8;
  const int align = GetBlockAlign();
  const int samplesPerFrame = bytesPerSample == 0 ? 0 : align / bytesPerSample;
  out.assign(static_cast<size_t>(columns) * 2, 128);
  if (count == 0 || samplesPerFrame == 0) return true;
  for (int c = 0; c < columns; ++c) {
    // Frames [from, to) of column c: those that FrameToColumn puts there,
    // or, zoomed in further than a frame per column, the frame it lies in.
    const int64_t from = ColumnToFrame(c, 0, count, columns);
    const int64_t to = std::max(ColumnToFrame(c + 1, 0, count, columns), from + 1);
    uint8_t lo = 128, hi = 128;
    const char* p = samples_.data() + (first + from) * align;
    for (int64_t f = from; f < to; ++f, p += align)
      for (int s = 0; s < samplesPerFrame; ++s) {
        const uint8_t b = SampleByte(p + s * bytesPerSample, bits);
        lo = std::min(lo, b);
        hi = std::max(hi, b);
      }
    out[2 * static_cast<size_t>(c)] = lo;
    out[2 * static_cast<size_t>(c) + 1] = hi;
  }
  return true;
}
