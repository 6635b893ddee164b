#pragma once
// WAV files over the strict RIFF reader.
//
// Read: RIFF form "WAVE"; the first "fmt " and the first "data" chunk of the
// form, wherever they stand (found by walking the chunks, never by a byte
// search); every other chunk (LIST, a segment table, ...) is listed in the
// layout and otherwise left alone. Accepted formats: PCM (tag 1), or the
// extensible format (tag 0xFFFE) whose sub-format is PCM; 8, 16, 24 or 32
// bits; one or two channels; any non-zero rate. The block align and byte
// rate must agree with the rest, so that no reader ever divides by a lying
// field.
//
// Written: the canonical 44-byte layout ("RIFF", size, "WAVE", a 16-byte
// "fmt " chunk of tag 1, "data", size, samples, a pad byte after an odd
// number of sample bytes).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/riff/riff.h"

namespace plat::riff {

inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatExtensible = 0xFFFE;
inline constexpr size_t kCanonicalHeaderSize = 44;

struct WavFormat {
  uint16_t formatTag = kFormatPcm;  // as stored: kFormatPcm or kFormatExtensible
  uint16_t channels = 1;
  uint32_t sampleRate = 11025;
  uint32_t avgBytesPerSec = 22050;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 0;    // the stored extra size; 0 for a 16-byte chunk
  uint16_t validBits = 0;    // extensible only
  uint32_t channelMask = 0;  // extensible only

  // A PCM format with block align and byte rate derived from the others.
  static WavFormat pcm(uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels);

  bool operator==(const WavFormat&) const = default;
};

// Decodes and checks the body of a "fmt " chunk.
std::error_code decodeFormat(std::string_view fmtBody, WavFormat& out);
// Whether the format is one this module reads and writes (the checks of
// decodeFormat without the stored bytes).
std::error_code checkFormat(const WavFormat& format);

// A WAV file's format and where its samples lie.
struct WavInfo {
  WavFormat format;
  std::string fmtChunk;  // the "fmt " body as stored
  Chunk data;            // the "data" chunk (its body is the samples)
  RiffLayout layout;     // every chunk of the form
};

struct Wav : WavInfo {
  std::string samples;
};

std::error_code readWavInfo(const Source& src, WavInfo& out);
std::error_code readWav(const Source& src, Wav& out);
std::error_code readWav(std::string_view bytes, Wav& out);
std::error_code readWavFile(const std::filesystem::path& path, Wav& out);
std::error_code readWavFileInfo(const std::filesystem::path& path, WavInfo& out);

// The 44-byte canonical header for `dataSize` sample bytes. The RIFF size
// covers the samples, their pad byte and `trailingBytes` more (chunks that
// the caller puts after the samples, such as a segment table).
std::string canonicalHeader(const WavFormat& format, uint32_t dataSize, uint32_t trailingBytes = 0);

// A whole canonical WAV file. Refuses a format that checkFormat refuses
// and samples that do not fit the 32-bit sizes.
std::error_code writeWav(const WavFormat& format, std::string_view samples, std::string& out);
// The same, written atomically to a file.
std::error_code writeWavFile(const std::filesystem::path& path, const WavFormat& format, std::string_view samples);

// Rewrites a WAV file of any accepted layout in the canonical one: format
// and samples kept (an extensible PCM format becomes tag 1), every other
// chunk dropped.
std::error_code canonicalWav(std::string_view wavBytes, std::string& out);
std::error_code canonicaliseWavFile(const std::filesystem::path& path);

}  // namespace plat::riff
