#include "player/audio/wave_play.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "player/audio/sound_resources.h"
#include "player/audio/wave_out_wnd.h"
#include "player/env/msg_box.h"

namespace {

// The player's wave resources are there from the start of any program that
// plays waves (registering them touches no device).
[[maybe_unused]] const bool soundsRegistered = orv::audio::RegisterPlayerSounds();

bool inPercentRange(float p) { return p >= 0.0f && p <= 100.0f; }  // false for NaN

}  // namespace

// --- COrv_WaveBlock ------------------------------------------------------------

void COrv_WaveBlock::Attach(char* data, uint32_t bytes, uint32_t blockAlign, uint32_t channels) {
  Free();
  if (!data || blockAlign == 0) {
    std::free(data);
    return;
  }
  m_data = data;
  m_blockAlign = blockAlign;
  m_frames = bytes / blockAlign;
  m_bytes = m_frames * blockAlign;
  m_channels = channels;
}

void COrv_WaveBlock::Free() {
  std::free(m_data);
  m_data = nullptr;
  m_bytes = m_frames = m_blockAlign = m_channels = 0;
}

int64_t COrv_WaveBlock::FrameAtPercent(float percent) const {
  if (!inPercentRange(percent)) return -1;
  return static_cast<int64_t>(std::trunc(static_cast<double>(percent) / 100.0 * m_frames));
}

int64_t COrv_WaveBlock::BytesBetweenFrames(uint32_t first, uint32_t last) const {
  if (IsEmpty()) return 0;
  if (last < first) return -1;
  return int64_t{last - first} * m_blockAlign;
}

int64_t COrv_WaveBlock::BytesForRange(float start, float end) const {
  if (!inPercentRange(start) || !inPercentRange(end) || start > end) return -1;
  if (start == 0.0f && end == 100.0f) return m_bytes;
  return BytesBetweenFrames(static_cast<uint32_t>(FrameAtPercent(start)), static_cast<uint32_t>(FrameAtPercent(end)));
}

const char* COrv_WaveBlock::DataAtFrame(uint32_t n) const {
  if (IsEmpty() || m_frames == 0 || n > m_frames) return nullptr;
  return m_data + size_t{n} * m_blockAlign;
}

const char* COrv_WaveBlock::DataAtPercent(float percent) const {
  const int64_t frame = FrameAtPercent(percent);
  if (frame < 0) return nullptr;
  return DataAtFrame(static_cast<uint32_t>(frame));
}

// --- COrv_WavePlay ----------------------------------------------------------------

COrv_WavePlay::~COrv_WavePlay() {
  if (m_engine) m_engine->Forget(this);
}

void COrv_WavePlay::Clear() {
  // The device may still read this wave's data: end its play first.
  if (m_engine) {
    m_engine->Forget(this);
    m_engine = nullptr;
  }
  m_block.Free();
  m_format = plat::audio::WaveFormat{};
  m_loaded = false;
  m_usable = true;
  m_path.clear();
}

bool COrv_WavePlay::TakeWav(const plat::riff::Wav& wav) {
  const auto& f = wav.format;
  plat::audio::WaveFormat format{f.formatTag, f.channels, f.sampleRate, f.avgBytesPerSec,
                                 f.blockAlign, f.bitsPerSample, f.extraSize};
  // Only what every device plays: PCM as stored, 8 or 16 bits, 1 or 2
  // channels, and at least one whole frame of data.
  if (!format.isPlayablePcm()) return false;
  if (wav.samples.size() < format.blockAlign || wav.samples.size() > kMaxDataBytes) return false;
  char* data = static_cast<char*>(std::malloc(wav.samples.size()));
  if (!data) {
    m_usable = false;
    return false;
  }
  std::memcpy(data, wav.samples.data(), wav.samples.size());
  m_format = format;
  m_block.Attach(data, static_cast<uint32_t>(wav.samples.size()), format.blockAlign, format.channels);
  m_loaded = true;
  return true;
}

bool COrv_WavePlay::LoadBytes(const std::string& bytes) {
  Clear();
  plat::riff::Wav wav;
  return !plat::riff::readWav(bytes, wav) && TakeWav(wav);
}

const std::vector<COrv_WaveFileDialog::Filter>& COrv_WavePlay::BrowseFilters() {
  static const std::vector<COrv_WaveFileDialog::Filter> filters = {{"Wave files", "*.WAV"}, {"All files", "*.*"}};
  return filters;
}

bool COrv_WavePlay::LoadFile(const std::filesystem::path& path, bool browse, bool showErrors) {
  Clear();
  std::filesystem::path file = path;
  if (file.empty()) {
    COrv_WaveFileDialog* dialog = COrv_WaveFileDialog::Current();
    if (!browse || !dialog) return false;
    file = dialog->ChooseFile(BrowseFilters());
    if (file.empty()) return false;  // cancelled
  }
  auto tell = [showErrors](int message) {
    if (!showErrors) return;
    COrv_MsgBox box;
    box.m_nKind = 3;  // the message alone
    box.m_nMessageId = message;
    box.Show();
  };
  // A file that does not open, and one that opens but cannot be read or
  // decoded, are told apart.
  plat::riff::FileSource source;
  if (source.open(file)) {
    tell(kStrOpenFailed);
    return false;
  }
  plat::riff::Wav wav;
  if (plat::riff::readWav(source, wav) || !TakeWav(wav)) {
    tell(kStrLoadFailed);
    const bool usable = m_usable;
    Clear();
    m_usable = usable;
    return false;
  }
  m_path = file;
  return true;
}

bool COrv_WavePlay::Play(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify,
                         bool wantPosition) {
  if (m_engine && m_engine != engine && engine) m_engine->Forget(this);
  m_engine = engine ? engine : &COrv_WaveOutWnd::Default();
  m_notify = notify;
  return m_engine->Play(this, start, end, wantPosition);
}

bool COrv_WavePlay::Stop() {
  if (!m_engine) return true;
  const bool ok = m_engine->Reset();
  m_notify = nullptr;
  return ok;
}

bool COrv_WavePlay::Pause() { return m_engine && m_engine->Pause(); }
bool COrv_WavePlay::Restart() { return m_engine && m_engine->Restart(); }

bool COrv_WavePlay::NotifyEnd() {
  if (!m_notify) return false;
  m_notify->OnWaveEnd(this);
  return true;
}

bool COrv_WavePlay::NotifyPosition(double percent) {
  if (!m_notify) return false;
  m_notify->OnWavePosition(percent);
  return true;
}

double COrv_WavePlay::GetDurationSeconds() const {
  if (m_block.IsEmpty() || m_format.samplesPerSec == 0) return 0.0;
  return static_cast<double>(m_block.Frames()) / m_format.samplesPerSec;
}

bool COrv_WavePlay::FormatFromCapsFlag(plat::audio::WaveFormat* format, uint32_t flag) {
  return format && plat::audio::formatFromCapsFlag(flag, *format);
}
