#pragma once
// The Echomark player: keeps the current speed, loads the current
// Echomark's file of that speed from the bundle's wave list and plays it
// whole, as the stored fragment or by segment, in per cents of the wave.
//
// Speed indexes run from -4 (slowest) to 4 (fastest); the bounds count the
// slower and faster files present. When the Echomark lacks the file of the
// current speed, the nearest speed it has is loaded instead (the normal
// side first) and SpeedFellBack() says so.

#include <filesystem>

#include "player/audio/wave_play.h"

class COrv_InfoBundle;
class COrv_WaveOutWnd;

class COrv_QuotePlayer {
 public:
  virtual ~COrv_QuotePlayer() = default;

  void SetBook(COrv_InfoBundle* bundle) { m_book = bundle; }
  // False without a book, or when a file exists and does not load; true
  // when the Echomark has no file at all (nothing to play is no error).
  bool LoadWave();
  bool SelectSpeed(int n);
  bool SetSpeedIndex(int n);
  int GetSpeedIndex() const { return m_speed; }
  int GetMinIndex() const { return m_min; }
  int GetMaxIndex() const { return m_max; }
  bool HasSpeeds() const { return m_max != m_min; }
  // After LoadWave: whether another speed than the current one was loaded,
  // and which.
  bool SpeedFellBack() const { return m_loadedSpeed != m_speed; }
  int GetLoadedSpeed() const { return m_loadedSpeed; }

  bool PlayRange(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify);
  bool PlayFragment(COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify) {
    return PlayRange(m_fragStart, m_fragEnd, engine, notify);
  }
  // The range of segment n (from 1); false for a share of 0 or n outside
  // the table. The last segment ends at 100.
  bool GetSegmentRange(int n, float* start, float* end) const;
  bool SetFragmentToSegment(int n);
  bool PlaySegment(int n, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify);
  bool PlayFile(const std::filesystem::path& path, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify);

  bool Stop() { return m_wave.Stop(); }
  bool Pause() { return m_wave.Pause(); }
  bool Restart() { return m_wave.Restart(); }
  void DetachNotify() { m_wave.DetachNotify(); }
  bool ReloadWave();
  const std::filesystem::path& GetWaveFileName() const { return m_path; }
  double GetDurationMs() const;
  void SetFragment(float start, float end) {
    m_fragStart = start;
    m_fragEnd = end;
  }
  float GetFragmentStart() const { return m_fragStart; }
  float GetFragmentEnd() const { return m_fragEnd; }
  COrv_WavePlay& Wave() { return m_wave; }

 private:
  // The Echomark's own renderings load silently: a missing or broken one
  // leaves nothing to play and no message.
  bool LoadPath(const std::filesystem::path& path, bool showErrors = false);

  COrv_InfoBundle* m_book = nullptr;
  int m_speed = 0;
  int m_loadedSpeed = 0;
  int m_max = 0;
  int m_min = 0;
  std::filesystem::path m_path;
  COrv_WavePlay m_wave;
  float m_fragStart = 0.0f;
  float m_fragEnd = 100.0f;
};
