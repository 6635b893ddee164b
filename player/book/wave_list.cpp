#include "player/book/wave_list.h"

#include "platform/fs/file.h"
#include "platform/fs/file_io.h"
#include "platform/riff/riff.h"

void CQlWaves::Clear() {
  for (int speed = kMinSpeed; speed <= kMaxSpeed; ++speed) {
    const std::filesystem::path path = GetWaveFile(speed);
    if (!path.empty()) plat::fs::removeFile(path);
  }
  m_paths.clear();
  m_shares.clear();
  COrv_InfoBase::Clear();
}

std::uint32_t CQlWaves::SpeedKey(int speed) {
  return speed >= 0 ? static_cast<std::uint32_t>(speed) : static_cast<std::uint32_t>(100 - speed);
}

bool CQlWaves::SetWaveFile(int speed, const std::filesystem::path& path) {
  if (speed < kMinSpeed || speed > kMaxSpeed) return false;
  const std::uint32_t key = SpeedKey(speed);
  const int index = FindKeyPair(0, key);
  if (index >= 0 && static_cast<size_t>(index) < m_paths.size()) {
    std::filesystem::path& held = m_paths[static_cast<size_t>(index)];
    if (!held.empty() && held != path) plat::fs::removeFile(held);
    held = path;
    return true;
  }
  m_paths.push_back(path);
  AddKeyPair(static_cast<int>(m_paths.size() - 1), 0, key);
  return true;
}

std::filesystem::path CQlWaves::GetWaveFile(int speed) const {
  if (speed < kMinSpeed || speed > kMaxSpeed) return {};
  const int index = FindKeyPair(0, SpeedKey(speed));
  if (index < 0 || static_cast<size_t>(index) >= m_paths.size()) return {};
  return m_paths[static_cast<size_t>(index)];
}

bool CQlWaves::HasWaveKey(std::uint32_t key) const {
  const int index = FindKeyPair(0, key);
  return index >= 0 && static_cast<size_t>(index) < m_paths.size() &&
         !m_paths[static_cast<size_t>(index)].empty();
}

int CQlWaves::CountSpeeds(int direction) const {
  if (direction != -1 && direction != 0 && direction != 1) return 0;
  if (direction == 0) return GetWaveFile(0).empty() ? 0 : 1;
  int count = 0;
  for (int k = 1; k <= kMaxSpeed; ++k)
    if (!GetWaveFile(direction * k).empty()) ++count;
  return count;
}

bool CQlWaves::SetSegmentShare(int n, float share) {
  if (n < 1 || static_cast<size_t>(n) > m_shares.size() + 1) return false;
  if (static_cast<size_t>(n) == m_shares.size() + 1)
    m_shares.push_back(share);
  else
    m_shares[static_cast<size_t>(n - 1)] = share;
  return true;
}

float CQlWaves::GetSegmentShare(int n) const {
  if (n < 1 || static_cast<size_t>(n) > m_shares.size()) return 0.0f;
  return m_shares[static_cast<size_t>(n - 1)];
}

std::uint32_t CQlWaves::ReadRiffHeader(const std::filesystem::path& path, COrv_WaveFormat* format) {
  plat::riff::FileSource src;
  if (src.open(path)) return 0;
  plat::riff::RiffLayout layout;
  if (plat::riff::readLayout(src, plat::riff::kWaveForm, layout)) return 0;

  size_t fmtAt = layout.chunks.size();
  for (size_t i = 0; i < layout.chunks.size(); ++i) {
    if (layout.chunks[i].id == plat::riff::kFmtId) {
      fmtAt = i;
      break;
    }
  }
  if (fmtAt == layout.chunks.size()) return 0;
  std::string body;
  if (plat::riff::readBody(src, layout.chunks[fmtAt], body) || body.size() < 16) return 0;

  // The data chunk is looked for after the format, as a reader that walks
  // the file forwards finds it.
  const plat::riff::Chunk* data = nullptr;
  for (size_t i = fmtAt + 1; i < layout.chunks.size() && !data; ++i)
    if (layout.chunks[i].id == plat::riff::kDataId) data = &layout.chunks[i];
  if (!data || data->size == 0) return 0;

  if (format) {
    const char* p = body.data();
    format->formatTag = plat::riff::getU16(p);
    format->channels = plat::riff::getU16(p + 2);
    format->samplesPerSec = plat::riff::getU32(p + 4);
    format->avgBytesPerSec = plat::riff::getU32(p + 8);
    format->blockAlign = plat::riff::getU16(p + 12);
    format->bitsPerSample = plat::riff::getU16(p + 14);
    format->extraSize = body.size() >= 18 ? plat::riff::getU16(p + 16) : 0;
  }
  return data->size;
}

std::uint64_t CQlWaves::GetWaveInfo(int speed, int property, float* seconds) const {
  if (seconds && property == kDuration) *seconds = 0.0f;
  const std::filesystem::path path = GetWaveFile(speed);
  if (path.empty()) return 0;

  std::uint64_t fileSize = 0;
  {
    plat::fs::File file;
    if (file.open(path, plat::fs::File::Mode::Read) || file.size(fileSize)) {
      ReportError(kLineOpen, kSourceFile, kErrOpen, 0);
      return 0;
    }
  }
  COrv_WaveFormat f;
  const std::uint32_t dataSize = ReadRiffHeader(path, &f);
  if (dataSize == 0) {
    ReportError(kLineHeader, kSourceFile, kErrHeader, 0);
    return 0;
  }

  const bool pcm = f.formatTag == 1;
  // Bytes per frame as the fields give it; 0 (no frames) for fields that
  // give none, so that no property divides by zero.
  const std::uint64_t frameBytes = std::uint64_t{f.channels} * f.bitsPerSample / 8;
  const std::uint64_t frames = frameBytes ? dataSize / frameBytes : 0;
  switch (property) {
    case kFileSize: return fileSize;
    case kChannels: return f.channels;
    case kSamplesPerSec: return pcm ? f.samplesPerSec : 0;
    case kAvgBytesPerSec: return pcm ? f.avgBytesPerSec : 0;
    case kBlockAlign: return pcm ? f.blockAlign : 0;
    case kBitsPerSample: return pcm ? f.bitsPerSample : 0;
    case kExtraSize: return pcm ? f.extraSize : 0;
    case kDataSize: return dataSize;
    case kFrames: return pcm ? frames : 0;
    case kDuration:
      if (!pcm) return 0;
      if (seconds && f.samplesPerSec)
        *seconds = static_cast<float>(static_cast<double>(frames) / f.samplesPerSec);
      return dataSize;
    default:
      ReportError(kLineProperty, kSourceFile, kErrProperty, 0);
      return 0;
  }
}
