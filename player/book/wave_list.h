#pragma once
// The wave list of one Echomark: the WAV file of each recorded speed and the
// shares of the audio segments of the normal-speed recording.
//
// Speeds run from -4 (slowest) through 0 (normal) to 4 (fastest). The list
// key of speed n is n for n >= 0 and 100 - n below: 0, 1..4, 101..104. The
// base map holds the pair (0, key) -> position in the path list.
//
// The files are temporary files that the list owns: a file replaced by
// another path, and every file at Clear (and so at destruction), is deleted
// from disk.
//
// Segment share i (from 1) is the length of segment i in percent of the
// normal-speed data.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/info_base.h"

// The format fields of a WAV "fmt " chunk as stored (any format tag).
struct COrv_WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t extraSize = 0;  // 0 for a 16-byte chunk
};

class CQlWaves : public COrv_InfoBase {
 public:
  static constexpr int kMinSpeed = -4;
  static constexpr int kMaxSpeed = 4;
  // Source file name in error reports.
  static constexpr const char* kSourceFile = "QlWaves";

  // Property numbers of GetWaveInfo.
  enum Property {
    kFileSize = 1,
    kChannels = 2,
    kSamplesPerSec = 3,
    kAvgBytesPerSec = 4,
    kBlockAlign = 5,
    kBitsPerSample = 6,
    kExtraSize = 7,
    kDataSize = 8,
    kFrames = 9,
    kDuration = 10,
  };
  // Error codes and the lines they are reported with.
  static constexpr int kErrOpen = 4, kLineOpen = 195;
  static constexpr int kErrHeader = 16, kLineHeader = 204;
  static constexpr int kErrProperty = 18, kLineProperty = 259;

  ~CQlWaves() override { CQlWaves::Clear(); }

  // Deletes every file and empties both lists.
  void Clear() override;

  static std::uint32_t SpeedKey(int speed);

  // Stores the file of a speed (-4..4; others refused). A different file
  // that the speed held is deleted first; storing the path the speed
  // already holds keeps the file. An empty path leaves the speed without a
  // file.
  bool SetWaveFile(int speed, const std::filesystem::path& path);
  // Empty when the speed has no file.
  std::filesystem::path GetWaveFile(int speed) const;
  // Whether the list key (0, 1..4, 101..104) has a non-empty file.
  bool HasWaveKey(std::uint32_t key) const;
  // -1: the slower speeds with a file; +1: the faster ones; 0: 1 when the
  // normal speed has a file. Any other direction: 0.
  int CountSpeeds(int direction) const;

  // Sets share n (from 1), growing the list by one at most: n must lie in
  // 1..count + 1.
  bool SetSegmentShare(int n, float share);
  // Share n; 0.0 outside 1..count.
  float GetSegmentShare(int n) const;
  int GetSegmentCount() const { return static_cast<int>(m_shares.size()); }
  const std::vector<float>& GetSegmentShares() const { return m_shares; }

  // A property of the speed's file (see Property); 0 for an empty path, on
  // failure (reported to the error sink) and for a PCM-only property of a
  // file that is not PCM. Property 10 writes the duration in seconds to
  // `seconds` (0 when it gives none) and answers the data size.
  std::uint64_t GetWaveInfo(int speed, int property, float* seconds = nullptr) const;

  // Reads the format of a WAV file (RIFF "WAVE", its "fmt " chunk and the
  // first "data" chunk after it). Answers the data size; 0 when the file is
  // unreadable or malformed, or its data chunk is empty.
  static std::uint32_t ReadRiffHeader(const std::filesystem::path& path, COrv_WaveFormat* format);

 private:
  std::vector<std::filesystem::path> m_paths;
  std::vector<float> m_shares;
};
