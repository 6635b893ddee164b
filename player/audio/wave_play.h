#pragma once
// A playable wave: one PCM WAV file in memory (COrv_WaveBlock) and the
// notification interface through which the engine reports a play's
// position and end.
//
// Ranges are float per cents of the whole wave. Every count here is in
// frames (data bytes divided by the block align), so a range always starts
// and ends on a frame boundary, also for stereo data.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "player/audio/wave_file_dialog.h"

namespace plat::riff {
struct Wav;
}
class COrv_WavePlay;
class COrv_WaveOutWnd;

class COrv_WaveNotifyObj {
 public:
  virtual ~COrv_WaveNotifyObj() = default;
  // The device has handed back the buffer of `wave` (played or reset).
  virtual void OnWaveEnd(COrv_WavePlay* wave) = 0;
  // The play position in per cent of the whole wave (0..100).
  virtual void OnWavePosition(double percent) = 0;
};

class COrv_WaveBlock {
 public:
  COrv_WaveBlock() = default;
  ~COrv_WaveBlock() { Free(); }
  COrv_WaveBlock(const COrv_WaveBlock&) = delete;
  COrv_WaveBlock& operator=(const COrv_WaveBlock&) = delete;

  // Takes ownership of a malloc'ed buffer of `bytes` bytes holding
  // `frames` frames of `blockAlign` bytes each; bytes beyond the last whole
  // frame are not used.
  void Attach(char* data, uint32_t bytes, uint32_t blockAlign, uint32_t channels);
  void Free();
  bool IsEmpty() const { return m_data == nullptr; }

  // Byte count of the range; -1 when a bound is not a number in [0, 100] or
  // start > end.
  int64_t BytesForRange(float start, float end) const;
  // (last - first) frames in bytes; 0 when empty; -1 when last < first.
  int64_t BytesBetweenFrames(uint32_t first, uint32_t last) const;
  // The address of the range start; null outside [0, 100] (or NaN).
  const char* DataAtPercent(float percent) const;
  // null when empty or n lies beyond the data.
  const char* DataAtFrame(uint32_t n) const;
  // The frame a per cent falls in (truncated); -1 outside [0, 100].
  int64_t FrameAtPercent(float percent) const;

  const char* Data() const { return m_data; }
  uint32_t Bytes() const { return m_bytes; }
  uint32_t Frames() const { return m_frames; }
  uint32_t BlockAlign() const { return m_blockAlign; }
  uint32_t Channels() const { return m_channels; }

 private:
  char* m_data = nullptr;
  uint32_t m_bytes = 0;  // whole frames only
  uint32_t m_frames = 0;
  uint32_t m_blockAlign = 0;
  uint32_t m_channels = 0;
};

class COrv_WavePlay {
 public:
  // The largest data chunk loaded (a larger size is not trusted).
  static constexpr uint32_t kMaxDataBytes = 256u << 20;

  COrv_WavePlay() = default;
  virtual ~COrv_WavePlay();
  COrv_WavePlay(const COrv_WavePlay&) = delete;
  COrv_WavePlay& operator=(const COrv_WavePlay&) = delete;

  // String ids of the load failures shown with showErrors.
  static constexpr int kStrOpenFailed = 20293;  // "Failed to open file"
  static constexpr int kStrLoadFailed = 20294;  // "Failed to load file"

  // Clears, then loads a PCM WAV file (8 or 16 bits, 1 or 2 channels, a
  // rate above 0, at least one frame of data). False on any failure, with
  // the object left clear. An empty path offers the installed wave file
  // dialog when `browse` is set (false when it is cancelled) and answers
  // false otherwise. With `showErrors`, a file that cannot be opened shows
  // "Failed to open file" and one that opened but does not decode "Failed
  // to load file" in the error box.
  bool LoadFile(const std::filesystem::path& path, bool browse = false, bool showErrors = false);
  // The file types the dialog of LoadFile offers: wave files, then all.
  static const std::vector<COrv_WaveFileDialog::Filter>& BrowseFilters();
  // Loads WAV bytes held in memory.
  bool LoadBytes(const std::string& bytes);

  bool Play(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify, bool wantPosition);
  bool PlayAll(COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify, bool wantPosition) {
    return Play(0.0f, 100.0f, engine, notify, wantPosition);
  }
  bool Stop();
  bool Pause();
  bool Restart();
  void Clear();

  void SetEngine(COrv_WaveOutWnd* engine) { m_engine = engine; }
  COrv_WaveOutWnd* GetEngine() const { return m_engine; }
  void SetNotify(COrv_WaveNotifyObj* notify) { m_notify = notify; }
  void DetachNotify() { m_notify = nullptr; }
  COrv_WaveNotifyObj* GetNotify() const { return m_notify; }
  bool NotifyEnd();
  bool NotifyPosition(double percent);

  // Frames / rate; 0 when empty.
  double GetDurationSeconds() const;
  const plat::audio::WaveFormat& GetFormat() const { return m_format; }
  const COrv_WaveBlock& GetBlock() const { return m_block; }
  uint32_t GetSampleRate() const { return m_format.samplesPerSec; }
  uint32_t GetAvgBytesPerSec() const { return m_format.avgBytesPerSec; }
  bool IsLoaded() const { return m_loaded; }
  bool IsUsable() const { return m_usable; }
  const std::filesystem::path& GetPath() const { return m_path; }
  static bool FormatFromCapsFlag(plat::audio::WaveFormat* format, uint32_t flag);

 private:
  bool TakeWav(const plat::riff::Wav& wav);

  bool m_loaded = false;
  bool m_usable = true;
  std::filesystem::path m_path;
  plat::audio::WaveFormat m_format;
  COrv_WaveBlock m_block;
  COrv_WaveOutWnd* m_engine = nullptr;
  COrv_WaveNotifyObj* m_notify = nullptr;
};
