#pragma once
// COrv_RecordedVoice: the learner's recorded voice, one temporary WAV file
// per Echomark of the open book, and the wave that plays the current one.
//
// Slots run from 1 to N (the Echomark count); slot 0 in a call stands for
// the current slot. The object owns the files it lists: a file is deleted
// when its slot is emptied, when the slots shrink past it, when the book
// closes (DeleteAllSlotFiles) and, at the latest, with the object.

#include <filesystem>
#include <string>
#include <vector>

#include "player/audio/wave_play.h"

class COrv_WaveOutWnd;

inline constexpr int kStrTakeNotSaved = 20001;
inline constexpr int kStrTakeRestored = 20002;
inline constexpr int kStrTakeLost = 20003;

class COrv_RecordedVoice {
 public:
  COrv_RecordedVoice() = default;
  // Deletes every file still listed.
  virtual ~COrv_RecordedVoice();
  COrv_RecordedVoice(const COrv_RecordedVoice&) = delete;
  COrv_RecordedVoice& operator=(const COrv_RecordedVoice&) = delete;

  // Sizes the slots to 1..N (a negative N counts as 0). Files of slots
  // beyond the new N are deleted; a current slot beyond it becomes 0.
  void SetSlotCount(int n);
  int GetSlotCount() const { return static_cast<int>(m_files.size()) - 1; }
  // False (nothing changes) for a slot outside 0..N.
  bool SetCurrentSlot(int n);
  int GetCurrentSlot() const { return m_current; }

  // Loads the file into the wave and, only when that works, lists it as
  // the slot's file. Refused for an empty path, a slot outside 0..N, or
  // slot 0 while no slot is current; n != 0 becomes the current slot.
  bool LoadSlot(const std::string& path, int n);
  // Makes n (when not 0) the current slot and loads its file; false when
  // n lies outside 0..N, the slot has no file or the load fails. A listed
  // file that fails to open or decode is told, here and in LoadSlot, with
  // the wave's own "Failed to open file" or "Failed to load file".
  bool SelectSlot(int n);
  // "" for a slot outside 0..N; slot 0 answers the current slot's file.
  std::string GetSlotFile(int n) const;

  bool PlayRange(float start, float end, COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify);
  bool PlayFragment(COrv_WaveOutWnd* engine, COrv_WaveNotifyObj* notify) {
    return PlayRange(m_fragmentStart, m_fragmentEnd, engine, notify);
  }
  // The fragment PlayFragment plays; refused unless 0 <= start <= end <= 100.
  bool SetFragment(float start, float end);
  float GetFragmentStart() const { return m_fragmentStart; }
  float GetFragmentEnd() const { return m_fragmentEnd; }
  bool Stop() { return m_wave.Stop(); }
  bool Pause() { return m_wave.Pause(); }
  bool Restart() { return m_wave.Restart(); }

  // False for an invalid slot; when the slot has a file, empties the entry
  // and deletes the file.
  bool DeleteSlotFile(int n);
  // DeleteSlotFile for 1..N.
  bool DeleteAllSlotFiles();
  bool IsValidSlot(int n) const { return n >= 0 && n <= GetSlotCount(); }

  // What a new take did to its slot, and the message the caller shows for
  // it (0: none, else 20001, 20002 or 20003 under the error caption).
  enum class TakeResult { Kept, NotSaved, Restored, Lost };
  static int MessageFor(TakeResult result);
  // Puts a newly saved take (`newPath`, "" when saving failed) into slot n
  // (0: the current one), keeping at most one file per slot, the last good
  // take:
  //   ""                      NotSaved: the slot keeps its take;
  //   loaded                  Kept: the slot's old file is deleted;
  //   not loaded, old file    the new file is deleted and the old one
  //                           loaded again: Restored, or, when that fails
  //                           too, Lost, with the old file kept on disk
  //                           and listed (it is never thrown away);
  //   not loaded, no old file the new file is deleted: Lost.
  // After Kept and Restored the slot's take is loaded.
  TakeResult ReplaceTake(const std::string& newPath, int n);

  const COrv_WavePlay& GetWave() const { return m_wave; }

 private:
  // The slot n stands for; -1 when none.
  int Resolve(int n) const;
  // Stops a play of the wave before its data is replaced or freed (the
  // device reads the wave's own memory).
  void ReleaseWave();

  std::vector<std::string> m_files = std::vector<std::string>(1);
  COrv_WavePlay m_wave;
  int m_current = 0;
  float m_fragmentStart = 0.0f;
  float m_fragmentEnd = 100.0f;
};
