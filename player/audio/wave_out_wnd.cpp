#include "player/audio/wave_out_wnd.h"

#include <cmath>

#include "platform/ui/message_box.h"
#include "player/audio/wave_play.h"
#include "player/env/msg_box.h"
#include "shared/language/orv_language.h"

using namespace plat::audio;

namespace {

bool unitRange(double v) { return v >= 0.0 && v <= 1.0; }  // false for NaN
uint32_t volumeHalf(double v) { return static_cast<uint32_t>(std::trunc(v * 65535.0)); }

}  // namespace

COrv_WaveOutWnd::COrv_WaveOutWnd() {
  formatFromCapsFlag(WAVE_FORMAT_1M16, m_defaultFormat);
  ReadDevCaps();
  double l = 1.0, r = 1.0;
  if (ReadVolume(&l, &r)) {
    m_savedLeft = l;
    m_savedRight = r;
  }
  // A device without volume control keeps full volume.
  m_userLeft = m_savedLeft;
  m_userRight = m_savedRight;
}

COrv_WaveOutWnd::~COrv_WaveOutWnd() {
  Close();
  for (COrv_WavePlay* wave : m_bound)
    if (wave->GetEngine() == this) wave->SetEngine(nullptr);
}

COrv_WaveOutWnd& COrv_WaveOutWnd::Default() {
  // Kept to the end of the process: waves may still name it at exit.
  static COrv_WaveOutWnd* engine = new COrv_WaveOutWnd;
  return *engine;
}

bool COrv_WaveOutWnd::Open(const WaveFormat* format) {
  if (!format) return false;
  if (m_device) {
    const MMRESULT r = currentBackend().queryWaveOut(WAVE_MAPPER, *format);
    if (r != MMSYSERR_NOERROR) ReportError(r, false);
    return r == MMSYSERR_NOERROR;
  }
  std::unique_ptr<WaveOutDevice> device;
  const MMRESULT r = currentBackend().openWaveOut(
      WAVE_MAPPER, *format,
      [this](WaveHeader* h) {
        if (m_inFlight.empty()) return;
        const uint64_t play = m_inFlight.front();
        m_inFlight.pop_front();
        if (play == m_play) OnWomDone(h);
      },
      device);
  if (r != MMSYSERR_NOERROR || !device) {
    ReportError(r ? r : MMSYSERR_ERROR, true);
    return false;
  }
  m_device = std::move(device);
  m_openFormat = *format;
  return true;
}

bool COrv_WaveOutWnd::Close() {
  if (!m_device) return true;
  RestoreSavedVolume();
  StopTimer();
  m_device->reset();
  m_device->unprepare(&m_header);
  const MMRESULT r = m_device->close();
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  // Dropped even when the device objected: its dones die with it.
  m_device.reset();
  m_inFlight.clear();
  ++m_play;
  m_startPercent = 0.0;
  m_header = WaveHeader{};
  m_wave = nullptr;
  m_volumeSaved = false;
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::QueryFormat(const WaveFormat* format) {
  if (!format) return false;
  const MMRESULT r = currentBackend().queryWaveOut(WAVE_MAPPER, *format);
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::Play(COrv_WavePlay* wave, float start, float end, bool wantPosition) {
  if (wave) m_bound.insert(wave);
  if (!(start >= 0.0f) || !(end <= 100.0f) || !wave || wave->GetBlock().IsEmpty()) return false;
  const int64_t bytes = wave->GetBlock().BytesForRange(start, end);
  const char* data = wave->GetBlock().DataAtPercent(start);
  if (bytes < 0 || !data) {
    Close();
    return false;
  }
  if (m_device) {
    // The buffer of the last play is taken back before it is reused; a
    // device open with another format is reopened for this one.
    StopTimer();
    ++m_play;
    m_device->reset();
    m_device->unprepare(&m_header);
    if (!(m_openFormat == wave->GetFormat())) Close();
  }
  if (!Open(&wave->GetFormat())) return false;
  if (!m_volumeSaved) {
    double l, r;
    if (ReadVolume(&l, &r)) {
      m_savedLeft = l;
      m_savedRight = r;
    }
    m_volumeSaved = true;
  }
  ApplyUserVolume();

  m_header = WaveHeader{};
  m_header.data = const_cast<char*>(data);
  m_header.bufferLength = static_cast<uint32_t>(bytes);
  m_header.user = reinterpret_cast<uintptr_t>(wave);
  m_wave = wave;
  m_startPercent = start;
  MMRESULT r = m_device->prepare(&m_header);
  if (r != MMSYSERR_NOERROR) {
    ReportError(r, false);
    Close();
    return false;
  }
  r = m_device->write(&m_header);
  if (r != MMSYSERR_NOERROR) {
    ReportError(r, true);
    Close();
    return false;
  }
  ++m_play;
  m_inFlight.push_back(m_play);
  if (wantPosition) {
    m_timerOwner = &uiDispatcher();
    m_timer = m_timerOwner->startTimer(kPositionPeriodUs, [this] { OnTimer(); });
  }
  return true;
}

bool COrv_WaveOutWnd::Reset() {
  if (!m_device) return false;
  StopTimer();
  ++m_play;  // the reset buffer ends no play
  const MMRESULT r = m_device->reset();
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::Pause() {
  if (!m_device) return false;
  const MMRESULT r = m_device->pause();
  if (r != MMSYSERR_NOERROR) ReportError(r, true);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::Restart() {
  if (!m_device) return false;
  const MMRESULT r = m_device->restart();
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::UnprepareHeader() {
  if (!m_device) return true;
  const MMRESULT r = m_device->unprepare(&m_header);
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::SetVolume(double left, double right) {
  if (!unitRange(left) || !unitRange(right)) return false;
  m_userLeft = left;
  m_userRight = right;
  if (m_device) ApplyVolume(left, right);
  return true;
}

void COrv_WaveOutWnd::GetVolume(double* left, double* right) const {
  if (left) *left = m_userLeft;
  if (right) *right = m_userRight;
}

bool COrv_WaveOutWnd::ApplyVolume(double left, double right) {
  if (!unitRange(left) || !unitRange(right)) return false;
  if (!m_device) return true;
  const uint32_t low = volumeHalf(left);
  const uint32_t high = HasLRVolume() ? volumeHalf(right) : low;
  const MMRESULT r = m_device->setVolume(low | (high << 16));
  if (r != MMSYSERR_NOERROR) ReportError(r, false);
  return r == MMSYSERR_NOERROR;
}

bool COrv_WaveOutWnd::OpenTemporary(std::unique_ptr<WaveOutDevice>& device) {
  const MMRESULT r = currentBackend().openWaveOut(WAVE_MAPPER, m_defaultFormat, nullptr, device);
  if (r != MMSYSERR_NOERROR || !device) {
    ReportError(r ? r : MMSYSERR_ERROR, false);
    device.reset();
    return false;
  }
  return true;
}

bool COrv_WaveOutWnd::ReadVolume(double* left, double* right) {
  if (!HasVolume() || !left || !right) return false;
  std::unique_ptr<WaveOutDevice> temporary;
  WaveOutDevice* device = m_device.get();
  if (!device) {
    if (!OpenTemporary(temporary)) return false;
    device = temporary.get();
  }
  uint32_t word = 0;
  const MMRESULT r = device->getVolume(&word);
  if (temporary) {
    temporary->reset();
    temporary->close();
  }
  if (r != MMSYSERR_NOERROR) {
    ReportError(r, false);
    return false;
  }
  *left = (word & 0xFFFFu) / 65535.0;
  *right = HasLRVolume() ? (word >> 16) / 65535.0 : *left;
  return true;
}

bool COrv_WaveOutWnd::RestoreSavedVolume() {
  if (!m_volumeSaved) return true;
  return ApplyVolume(m_savedLeft, m_savedRight);
}

bool COrv_WaveOutWnd::ApplyUserVolume() { return ApplyVolume(m_userLeft, m_userRight); }

bool COrv_WaveOutWnd::ReadDevCaps() {
  const MMRESULT r = currentBackend().waveOutCaps(WAVE_MAPPER, &m_caps);
  if (r != MMSYSERR_NOERROR) {
    ReportError(r, false);
    m_caps = WaveOutCaps{};
    return false;
  }
  return true;
}

MMTime COrv_WaveOutWnd::GetPosition() {
  MMTime t;
  t.type = 0x30303030;  // no valid kind: the device answers in its own
  t.value = 0x30303030;
  if (!m_device) return MMTime{TIME_MS, 0};
  const MMRESULT r = m_device->getPosition(&t);
  if (r != MMSYSERR_NOERROR) {
    ReportError(r, false);
    return MMTime{TIME_MS, 0};
  }
  return t;
}

double COrv_WaveOutWnd::GetPositionPercent() {
  if (!m_device || !m_wave) return -1.0;
  const double d = m_wave->GetDurationSeconds();
  const double rate = m_wave->GetSampleRate();
  const double bytesPerSec = m_wave->GetAvgBytesPerSec();
  if (d <= 0.0 || rate <= 0.0 || bytesPerSec <= 0.0) return -1.0;
  const MMTime t = GetPosition();
  double fraction = 0.0;
  switch (t.type) {
    case TIME_MS: fraction = t.value / 1000.0 / d; break;
    case TIME_SAMPLES: fraction = t.value / rate / d; break;
    case TIME_BYTES: fraction = t.value / bytesPerSec / d; break;
    default: break;
  }
  return fraction * 100.0;
}

void COrv_WaveOutWnd::OnTimer() {
  double p = GetPositionPercent();
  if (p < 0.0) p = 0.0;
  if (!m_wave) return;
  p = std::min(p + m_startPercent, 100.0);
  m_wave->NotifyPosition(p);
}

void COrv_WaveOutWnd::OnWomDone(WaveHeader* header) {
  StopTimer();
  auto* wave = reinterpret_cast<COrv_WavePlay*>(header->user);
  if (wave) wave->NotifyEnd();
}

void COrv_WaveOutWnd::StopTimer() {
  if (m_timer && m_timerOwner) m_timerOwner->cancel(m_timer);
  m_timer = 0;
  m_timerOwner = nullptr;
}

std::string COrv_WaveOutWnd::ErrorText(MMRESULT code) {
  int id = 20035;
  switch (code) {
    case MMSYSERR_BADDEVICEID: id = 20031; break;
    case MMSYSERR_ALLOCATED: id = 20030; break;
    case MMSYSERR_INVALHANDLE: id = 20032; break;
    case MMSYSERR_NOMEM: id = 20029; break;
    case MMSYSERR_HANDLEBUSY: id = 20033; break;
    case WAVERR_BADFORMAT: id = 20028; break;
    case WAVERR_UNPREPARED: id = 20034; break;
    // No device at all, or the one open went away with its sound server:
    // the text the player shows when it finds no device.
    case MMSYSERR_NODRIVER: id = 20058; break;
    default: break;
  }
  return COrv_Language().LoadString(id) + "\n";
}

MMRESULT COrv_WaveOutWnd::ReportError(MMRESULT code, bool showBox) {
  m_lastError = ErrorText(code);
  if (showBox)
    plat::ui::MessageBox(m_lastError, COrv_Language().LoadString(orv::kStrErrorCaption), plat::ui::MB_ICONHAND);
  return code;
}

void COrv_WaveOutWnd::Forget(COrv_WavePlay* wave) {
  m_bound.erase(wave);
  if (m_wave == wave) Close();
}
