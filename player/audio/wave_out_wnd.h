#pragma once
// The wave-out engine: plays one per-cent range of a COrv_WavePlay at a time
// on the default wave-out device, reports the position every 50 ms and the
// end of the play to the wave's notification object, both on the UI thread
// through the plat::audio dispatcher.
//
// The device is opened by a play and stays open until Close; a play with
// another format reopens it. One buffer is in flight at a time; a new play
// first resets the old one, and a done that a reset left behind never ends
// a later play. After Reset or Close no end is reported for the play.
// Volumes are left/right doubles in [0, 1]; the learner's volume is applied
// for each play and the device volume found before it is put back at close.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"

class COrv_WavePlay;

class COrv_WaveOutWnd {
 public:
  static constexpr int64_t kPositionPeriodUs = 50'000;

  // Reads the device capabilities and volume (opens and closes the device).
  COrv_WaveOutWnd();
  virtual ~COrv_WaveOutWnd();
  COrv_WaveOutWnd(const COrv_WaveOutWnd&) = delete;
  COrv_WaveOutWnd& operator=(const COrv_WaveOutWnd&) = delete;

  // The engine of waves given none; made at its first use, never before.
  static COrv_WaveOutWnd& Default();

  bool Open(const plat::audio::WaveFormat* format);
  // Always leaves the engine closed; false when the device refused to close
  // (it is then dropped all the same).
  bool Close();
  bool IsOpen() const { return m_device != nullptr; }
  bool QueryFormat(const plat::audio::WaveFormat* format);

  bool Play(COrv_WavePlay* wave, float start, float end, bool wantPosition);
  bool PlayAll(COrv_WavePlay* wave, bool wantPosition) { return Play(wave, 0.0f, 100.0f, wantPosition); }
  bool Reset();
  bool Pause();
  bool Restart();
  // False when the device refused (the buffer is still queued).
  bool UnprepareHeader();

  bool SetVolume(double left, double right);
  void GetVolume(double* left, double* right) const;
  bool ApplyVolume(double left, double right);
  bool ReadVolume(double* left, double* right);
  bool RestoreSavedVolume();
  bool ApplyUserVolume();
  bool ReadDevCaps();
  bool HasVolume() const { return (m_caps.support & plat::audio::WAVECAPS_VOLUME) != 0; }
  bool HasLRVolume() const { return (m_caps.support & plat::audio::WAVECAPS_LRVOLUME) != 0; }

  plat::audio::MMTime GetPosition();
  // Per cent of the whole wave played since the play began; -1 when no
  // device is open or no play is under way.
  double GetPositionPercent();
  double GetStartPercent() const { return m_startPercent; }

  // Timer 1 and the device's done, as the dispatcher delivers them.
  void OnTimer();
  void OnWomDone(plat::audio::WaveHeader* header);

  // Shows (with showBox) or only answers the text of a device error.
  plat::audio::MMRESULT ReportError(plat::audio::MMRESULT code, bool showBox);
  static std::string ErrorText(plat::audio::MMRESULT code);
  const std::string& LastErrorText() const { return m_lastError; }

  // A wave that goes away: its play is stopped so no buffer outlives it.
  void Forget(COrv_WavePlay* wave);

 private:
  bool OpenTemporary(std::unique_ptr<plat::audio::WaveOutDevice>& device);
  void StopTimer();

  std::unique_ptr<plat::audio::WaveOutDevice> m_device;
  plat::audio::WaveFormat m_defaultFormat;
  plat::audio::WaveFormat m_openFormat;
  plat::audio::WaveHeader m_header;
  COrv_WavePlay* m_wave = nullptr;  // the wave of the header
  // Every wave that was asked to play here and still points at this
  // engine: an engine that goes first unbinds them, so no wave is left
  // with a dangling engine.
  std::unordered_set<COrv_WavePlay*> m_bound;
  plat::audio::WaveOutCaps m_caps;
  // Plays written and not yet handed back, by play number; a done counts
  // only for the current play.
  std::deque<uint64_t> m_inFlight;
  uint64_t m_play = 0;
  double m_savedLeft = 1.0, m_savedRight = 1.0;
  bool m_volumeSaved = false;
  double m_userLeft = 1.0, m_userRight = 1.0;
  double m_startPercent = 0.0;
  plat::audio::Dispatcher* m_timerOwner = nullptr;
  plat::audio::Dispatcher::Id m_timer = 0;
  std::string m_lastError;
};
