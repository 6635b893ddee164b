#include "platform/riff/wav.h"

#include <cstring>

#include "platform/fs/file_io.h"

namespace plat::riff {

namespace {

// The sub-format GUID of extensible PCM: 00000001-0000-0010-8000-00AA00389B71,
// as stored (first three fields little-endian).
constexpr unsigned char kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                             0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The largest "fmt " body a consistent chunk can need: 18 bytes and the
// largest extra size. Anything longer is refused before it is read.
constexpr uint32_t kMaxFmtBody = 18 + 0xFFFF;

}  // namespace

WavFormat WavFormat::pcm(uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels) {
  WavFormat f;
  f.formatTag = kFormatPcm;
  f.channels = channels;
  f.sampleRate = sampleRate;
  f.bitsPerSample = bitsPerSample;
  f.blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
  f.avgBytesPerSec = static_cast<uint32_t>(uint64_t{sampleRate} * f.blockAlign);
  return f;
}

std::error_code checkFormat(const WavFormat& f) {
  if (f.formatTag != kFormatPcm && f.formatTag != kFormatExtensible) return Error::Unsupported;
  if (f.channels == 0 || f.bitsPerSample == 0 || f.sampleRate == 0) return Error::BadFormat;
  if (f.channels > 2) return Error::Unsupported;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24 && f.bitsPerSample != 32)
    return Error::Unsupported;
  if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return Error::BadFormat;
  if (uint64_t{f.sampleRate} * f.blockAlign != f.avgBytesPerSec) return Error::BadFormat;
  if (f.formatTag == kFormatExtensible && f.validBits > f.bitsPerSample) return Error::BadFormat;
  return {};
}

std::error_code decodeFormat(std::string_view b, WavFormat& out) {
  out = WavFormat{};
  if (b.size() < 16) return Error::BadFormat;
  WavFormat f;
  f.formatTag = getU16(b.data());
  f.channels = getU16(b.data() + 2);
  f.sampleRate = getU32(b.data() + 4);
  f.avgBytesPerSec = getU32(b.data() + 8);
  f.blockAlign = getU16(b.data() + 12);
  f.bitsPerSample = getU16(b.data() + 14);
  if (b.size() >= 18) {
    f.extraSize = getU16(b.data() + 16);
    if (f.extraSize > b.size() - 18) return Error::BadFormat;
  }
  if (f.formatTag == kFormatExtensible) {
    if (f.extraSize < 22) return Error::BadFormat;
    f.validBits = getU16(b.data() + 18);
    f.channelMask = getU32(b.data() + 20);
    if (std::memcmp(b.data() + 24, kPcmSubFormat, 16) != 0) return Error::Unsupported;
  }
  if (auto ec = checkFormat(f)) return ec;
  out = f;
  return {};
}

std::error_code readWavInfo(const Source& src, WavInfo& out) {
  out = WavInfo{};
  WavInfo info;
  if (auto ec = readLayout(src, kWaveForm, info.layout)) return ec;
  const Chunk* fmt = info.layout.find(kFmtId);
  if (!fmt) return Error::NoFormat;
  if (fmt->size > kMaxFmtBody) return Error::BadFormat;
  if (auto ec = readBody(src, *fmt, info.fmtChunk)) return ec;
  if (auto ec = decodeFormat(info.fmtChunk, info.format)) return ec;
  const Chunk* data = info.layout.find(kDataId);
  if (!data) return Error::NoData;
  info.data = *data;
  out = std::move(info);
  return {};
}

std::error_code readWav(const Source& src, Wav& out) {
  out = Wav{};
  Wav wav;
  if (auto ec = readWavInfo(src, wav)) return ec;
  if (auto ec = readBody(src, wav.data, wav.samples)) return ec;
  out = std::move(wav);
  return {};
}

std::error_code readWav(std::string_view bytes, Wav& out) { return readWav(MemorySource(bytes), out); }

std::error_code readWavFile(const std::filesystem::path& path, Wav& out) {
  out = Wav{};
  FileSource src;
  if (auto ec = src.open(path)) return ec;
  return readWav(src, out);
}

std::error_code readWavFileInfo(const std::filesystem::path& path, WavInfo& out) {
  out = WavInfo{};
  FileSource src;
  if (auto ec = src.open(path)) return ec;
  return readWavInfo(src, out);
}

std::string canonicalHeader(const WavFormat& f, uint32_t dataSize, uint32_t trailingBytes) {
  std::string h;
  h.reserve(kCanonicalHeaderSize);
  h += "RIFF";
  const uint64_t riffSize = 36 + uint64_t{dataSize} + (dataSize & 1u) + trailingBytes;
  appendU32(h, static_cast<uint32_t>(riffSize));  // callers keep it within 32 bits
  h += "WAVEfmt ";
  appendU32(h, 16);
  appendU16(h, kFormatPcm);
  appendU16(h, f.channels);
  appendU32(h, f.sampleRate);
  appendU32(h, f.avgBytesPerSec);
  appendU16(h, f.blockAlign);
  appendU16(h, f.bitsPerSample);
  h += "data";
  appendU32(h, dataSize);
  return h;
}

std::error_code writeWav(const WavFormat& format, std::string_view samples, std::string& out) {
  out.clear();
  if (auto ec = checkFormat(format)) return ec;
  // 36 header bytes after the RIFF size, the samples and their pad byte.
  if (samples.size() > 0xFFFFFFFFull - 37) return Error::TooLarge;
  std::string bytes = canonicalHeader(format, static_cast<uint32_t>(samples.size()));
  bytes.reserve(kCanonicalHeaderSize + samples.size() + 1);
  bytes.append(samples);
  if (samples.size() & 1u) bytes += '\0';
  out = std::move(bytes);
  return {};
}

std::error_code writeWavFile(const std::filesystem::path& path, const WavFormat& format, std::string_view samples) {
  std::string bytes;
  if (auto ec = writeWav(format, samples, bytes)) return ec;
  return plat::fs::writeFileAtomic(path, bytes);
}

std::error_code canonicalWav(std::string_view wavBytes, std::string& out) {
  out.clear();
  Wav wav;
  if (auto ec = readWav(wavBytes, wav)) return ec;
  return writeWav(wav.format, wav.samples, out);
}

std::error_code canonicaliseWavFile(const std::filesystem::path& path) {
  Wav wav;
  if (auto ec = readWavFile(path, wav)) return ec;
  return writeWavFile(path, wav.format, wav.samples);
}

}  // namespace plat::riff
