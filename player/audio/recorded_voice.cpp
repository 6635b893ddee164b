#include "player/audio/recorded_voice.h"

#include "platform/fs/file_io.h"
#include "player/audio/wave_out_wnd.h"

COrv_RecordedVoice::~COrv_RecordedVoice() { DeleteAllSlotFiles(); }

int COrv_RecordedVoice::Resolve(int n) const {
  if (!IsValidSlot(n)) return -1;
  return n == 0 ? m_current : n;
}

void COrv_RecordedVoice::ReleaseWave() {
  if (COrv_WaveOutWnd* engine = m_wave.GetEngine()) {
    engine->Forget(&m_wave);
    m_wave.SetEngine(nullptr);
  }
}

void COrv_RecordedVoice::SetSlotCount(int n) {
  if (n < 0) n = 0;
  for (int i = n + 1; i <= GetSlotCount(); ++i) DeleteSlotFile(i);
  m_files.resize(static_cast<size_t>(n) + 1);
  if (m_current > n) m_current = 0;
}

bool COrv_RecordedVoice::SetCurrentSlot(int n) {
  if (!IsValidSlot(n)) return false;
  m_current = n;
  return true;
}

bool COrv_RecordedVoice::LoadSlot(const std::string& path, int n) {
  if (path.empty() || !IsValidSlot(n)) return false;
  if (n != 0) m_current = n;
  const int slot = m_current;
  // Entry 0 belongs to no Echomark: a file put there would never be
  // deleted.
  if (slot == 0) return false;
  ReleaseWave();
  if (!m_wave.LoadFile(path, false, true)) return false;
  m_files[static_cast<size_t>(slot)] = path;
  return true;
}

bool COrv_RecordedVoice::SelectSlot(int n) {
  if (!IsValidSlot(n)) return false;
  if (n != 0) m_current = n;
  const std::string& file = m_files[static_cast<size_t>(m_current)];
  ReleaseWave();
  if (file.empty()) {
    // Without this the wave would still hold the take of the slot selected
    // before, and play it for this one.
    m_wave.Clear();
    return false;
  }
  return m_wave.LoadFile(file, false, true);
}

std::string COrv_RecordedVoice::GetSlotFile(int n) const {
  const int slot = Resolve(n);
  return slot < 0 ? std::string() : m_files[static_cast<size_t>(slot)];
}

bool COrv_RecordedVoice::PlayRange(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify) {
  return m_wave.Play(start, end, engine, notify, true);
}

bool COrv_RecordedVoice::SetFragment(float start, float end) {
  if (!(start >= 0.0f && start <= end && end <= 100.0f)) return false;  // NaN refused too
  m_fragmentStart = start;
  m_fragmentEnd = end;
  return true;
}

bool COrv_RecordedVoice::DeleteSlotFile(int n) {
  const int slot = Resolve(n);
  if (slot < 0) return false;
  std::string& file = m_files[static_cast<size_t>(slot)];
  if (file.empty()) return true;
  if (m_wave.IsLoaded() && m_wave.GetPath() == file) {
    ReleaseWave();
    m_wave.Clear();
  }
  plat::fs::removeFile(file);
  file.clear();
  return true;
}

bool COrv_RecordedVoice::DeleteAllSlotFiles() {
  bool ok = true;
  for (int i = 1; i <= GetSlotCount(); ++i) ok = DeleteSlotFile(i) && ok;
  return ok;
}

int COrv_RecordedVoice::MessageFor(TakeResult result) {
  switch (result) {
    case TakeResult::NotSaved: return kStrTakeNotSaved;
    case TakeResult::Restored: return kStrTakeRestored;
    case TakeResult::Lost: return kStrTakeLost;
    case TakeResult::Kept: break;
  }
  return 0;
}

COrv_RecordedVoice::TakeResult COrv_RecordedVoice::ReplaceTake(const std::string& newPath, int n) {
  if (newPath.empty()) return TakeResult::NotSaved;
  const int slot = Resolve(n);
  if (slot <= 0) {
    plat::fs::removeFile(newPath);
    return TakeResult::Lost;
  }
  const std::string old = m_files[static_cast<size_t>(slot)];
  if (LoadSlot(newPath, slot)) {
    if (!old.empty() && old != newPath) plat::fs::removeFile(old);
    return TakeResult::Kept;
  }
  // The new take is unusable: it never stays on disk.
  plat::fs::removeFile(newPath);
  if (old.empty()) return TakeResult::Lost;
  if (LoadSlot(old, slot)) return TakeResult::Restored;
  // The old take may be the learner's only copy: it stays on disk and
  // listed, and a later selection of the slot tries it again.
  return TakeResult::Lost;
}
