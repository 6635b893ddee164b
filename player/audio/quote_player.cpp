#include "player/audio/quote_player.h"

#include "player/book/info_bundle.h"

bool COrv_QuotePlayer::LoadPath(const std::filesystem::path& path, bool showErrors) {
  m_path = path;
  if (path.empty()) {
    m_wave.Clear();
    return true;
  }
  return m_wave.LoadFile(path, false, showErrors);
}

bool COrv_QuotePlayer::LoadWave() {
  if (!m_book) return false;
  const CQlWaves& waves = m_book->Waves();
  m_min = -waves.CountSpeeds(-1);
  m_max = waves.CountSpeeds(+1);
  // The current speed, else the nearest one present, the normal side first.
  m_loadedSpeed = m_speed;
  const int towardNormal = m_speed > 0 ? -1 : 1;
  for (int d = 0; d <= 8; ++d) {
    for (int candidate : {m_speed + towardNormal * d, m_speed - towardNormal * d}) {
      if (candidate < CQlWaves::kMinSpeed || candidate > CQlWaves::kMaxSpeed) continue;
      if (!waves.GetWaveFile(candidate).empty()) {
        m_loadedSpeed = candidate;
        return LoadPath(waves.GetWaveFile(candidate));
      }
    }
  }
  return LoadPath({});
}

bool COrv_QuotePlayer::SetSpeedIndex(int n) {
  if (n > m_max || n < m_min) return false;
  m_speed = n;
  return true;
}

bool COrv_QuotePlayer::SelectSpeed(int n) { return SetSpeedIndex(n) && LoadWave(); }

bool COrv_QuotePlayer::PlayRange(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify) {
  if (m_wave.GetBlock().IsEmpty()) return false;
  return m_wave.Play(start, end, engine, notify, true);
}

bool COrv_QuotePlayer::GetSegmentRange(int n, float* start, float* end) const {
  if (!m_book) return false;
  const CQlWaves& waves = m_book->Waves();
  const float share = waves.GetSegmentShare(n);
  if (share == 0.0f) return false;
  // Summed in double and the last segment closed at 100, so rounding of
  // the stored shares never pushes the end past the wave.
  double s = 0.0;
  for (int i = 1; i < n; ++i) s += waves.GetSegmentShare(i);
  double e = n == waves.GetSegmentCount() ? 100.0 : s + share;
  if (s > 100.0) s = 100.0;
  if (e > 100.0) e = 100.0;
  if (start) *start = static_cast<float>(s);
  if (end) *end = static_cast<float>(e);
  return true;
}

bool COrv_QuotePlayer::SetFragmentToSegment(int n) {
  float s, e;
  if (!GetSegmentRange(n, &s, &e)) return false;
  SetFragment(s, e);
  return true;
}

bool COrv_QuotePlayer::PlaySegment(int n, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify) {
  float s, e;
  return GetSegmentRange(n, &s, &e) && PlayRange(s, e, engine, notify);
}

bool COrv_QuotePlayer::PlayFile(const std::filesystem::path& path, COrv_WaveOutWnd* engine,
                                COrv_WaveNotifyObj* notify) {
  // A file the caller names is not the Echomark's own rendering: its
  // failure to load is told.
  if (!LoadPath(path, true) || path.empty()) return false;
  return PlayRange(0.0f, 100.0f, engine, notify);
}

bool COrv_QuotePlayer::ReloadWave() { return !m_path.empty() && m_wave.LoadFile(m_path); }

double COrv_QuotePlayer::GetDurationMs() const {
  if (!m_book) return 0.0;
  float seconds = 0.0f;
  m_book->Waves().GetWaveInfo(m_loadedSpeed, CQlWaves::kDuration, &seconds);
  return seconds * 1000.0;
}
