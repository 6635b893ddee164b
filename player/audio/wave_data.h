#pragma once
// COrv_WaveData: the samples of one WAV file as the speech view draws them.
//
// Open reads the file's format and where its samples lie (through the
// strict WAV reader); ReadData then takes the samples into memory, once,
// so a view keeps drawing what it loaded even after the file is gone.
// A frame is one sample of every channel (data size / block align).
//
// Columns: a picture of `width` columns showing `length` frames puts frame
// f in column trunc(f * width / length); a column's frames are those it
// holds, or, zoomed in further than a frame per column, the frame it lies
// in. Peaks: every sample of every channel in it becomes a byte 0..255 with
// 128 as silence, and the column answers its smallest and largest byte.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/riff/wav.h"

class COrv_WaveData {
 public:
  // The largest data chunk read into memory.
  static constexpr uint32_t kMaxDataBytes = 256u << 20;

  COrv_WaveData() = default;
  virtual ~COrv_WaveData() = default;

  // Clears, then reads the format; false for a file that is missing, not
  // a PCM WAV file the reader accepts, or without samples.
  bool Open(const std::filesystem::path& path);
  // Reads the samples when they are not held yet.
  bool ReadData();
  void Clear();
  bool IsOpen() const { return open_; }
  const std::filesystem::path& GetPath() const { return path_; }

  // The format's fields; 0 without an open PCM file (the channel count
  // answers as stored).
  uint16_t GetChannels() const { return info_.format.channels; }
  uint32_t GetSamplesPerSec() const { return open_ ? info_.format.sampleRate : 0; }
  uint32_t GetAvgBytesPerSec() const { return open_ ? info_.format.avgBytesPerSec : 0; }
  uint16_t GetBlockAlign() const { return open_ ? info_.format.blockAlign : 0; }
  uint16_t GetBitsPerSample() const { return open_ ? info_.format.bitsPerSample : 0; }
  uint16_t GetExtraSize() const { return open_ ? info_.format.extraSize : 0; }
  uint32_t GetDataSize() const { return open_ ? info_.data.size : 0; }
  uint64_t GetFileSize() const;
  uint32_t FrameCount() const;
  // Seconds; 0 without a file.
  double GetDuration() const;

  // trunc(frames * p / 100), within 0..frames; a value within float
  // precision of a whole frame counts as that frame.
  int64_t PercentToFrame(float percent) const;
  // frame / frames * 100; 0 without frames.
  float FrameToPercent(int64_t frame) const;
  // The column of `frame` in a picture of `width` columns showing `length`
  // frames from `first`; 0 outside the range or for an empty picture.
  static int FrameToColumn(int64_t frame, int64_t first, int64_t length, int width);
  // The first frame of `column` (the first one FrameToColumn puts there,
  // or the frame the column lies in when frames are wider than columns);
  // `first` for an empty picture. Column `width` gives first + length.
  static int64_t ColumnToFrame(int column, int64_t first, int64_t length, int width);

  // Two bytes per column (smallest, largest). False without samples, for
  // no columns or a range outside the data.
  bool GetPeaks(int64_t first, int64_t count, int columns, std::vector<uint8_t>& out);

  // One sample of `bits` bits (little-endian, 8-bit unsigned, others
  // signed) as a byte with 128 as silence.
  static uint8_t SampleByte(const char* sample, int bits);

 private:
  bool open_ = false;
  std::filesystem::path path_;
  plat::riff::WavInfo info_;
  std::string samples_;
  bool haveSamples_ = false;
};
