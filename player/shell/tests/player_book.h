#pragma once
// The part of a book for the play commands that every test book shares:
// the current Echomark's bundle with the Echomark player over it, one
// recording slot per Echomark, the fragments, and the status word.

#include <cstdint>

#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/book/info_bundle.h"
#include "player/shell/play_book.h"

namespace playtest {

class PlayerBook : public COrv_PlayBook {
 public:
  bool open = true;
  uint32_t status = 0x41;

  bool HasBook() const override { return open && m_current > 0; }
  int CurrentQuote() const override { return m_current; }
  int QuoteCount() const override { return m_count; }
  uint32_t QuoteStatus() const override { return status; }
  COrv_QuotePlayer& QuotePlayer() override { return m_player; }
  COrv_RecordedVoice& Voice() override { return m_voice; }
  void GetQuoteFragment(float* start, float* end) const override {
    *start = m_player.GetFragmentStart();
    *end = m_player.GetFragmentEnd();
  }
  bool SetQuoteFragment(float start, float end) override {
    m_player.SetFragment(start, end);
    return true;
  }
  bool SetRecordFragment(float start, float end) override { return m_voice.SetFragment(start, end); }
  bool SelectQuoteAudio(int segment) override { return m_player.SetFragmentToSegment(segment); }

 protected:
  void setCount(int count) {
    m_count = count;
    m_voice.SetSlotCount(count);
    m_player.SetBook(&m_bundle);
  }
  // Once the bundle holds Echomark n's waves: n becomes current, with its
  // wave and its recording slot.
  bool becomeCurrent(int n) {
    if (!m_player.LoadWave()) return false;
    m_current = n;
    m_voice.SetCurrentSlot(n);
    m_voice.SelectSlot(n);
    return true;
  }

  COrv_InfoBundle m_bundle;
  COrv_QuotePlayer m_player;
  COrv_RecordedVoice m_voice;

 private:
  int m_count = 0;
  int m_current = 0;
};

}  // namespace playtest
