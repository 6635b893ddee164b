#pragma once
// A book for the play commands made of small WAV files (one per Echomark,
// 11025 Hz, 16 bits, mono, one second unless said), the recording stand-in
// of the active document, and the audio views that log what they are told.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/book/info_bundle.h"
#include "player/shell/play_book.h"

namespace playtest {

inline std::filesystem::path writeWave(const std::string& name, uint32_t bytes = 22050, char fill = '\x10') {
  const auto p = tvtest::sandbox().tmp / name;
  plat::riff::writeWavFile(p, plat::riff::WavFormat::pcm(11025, 16, 1), std::string(bytes, fill));
  return p;
}

class StandInBook : public COrv_PlayBook {
 public:
  explicit StandInBook(int count = 10) : m_count(count), m_name("book" + std::to_string(++books()) + "-") {
    for (int n = 1; n <= count; ++n) m_waves[n] = writeWave(m_name + std::to_string(n) + ".wav");
    m_player.SetBook(&m_bundle);
    m_voice.SetSlotCount(count);
    GoToQuote(1);
    goTo.clear();
  }

  bool open = true;
  uint32_t status = 0x41;
  bool failWaveList = false;
  std::vector<int> goTo;

  bool HasBook() const override { return open; }
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

  // The run's bundle deletes what it is given: it gets a copy.
  bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) override {
    loaded.push_back(n);
    if (failWaveList || !m_waves.count(n)) return false;
    if (m_waves[n].empty()) return true;  // an Echomark without audio
    const auto copy = tvtest::sandbox().tmp / (m_name + "run" + std::to_string(n) + "-" + std::to_string(++m_copies) + ".wav");
    std::filesystem::copy_file(m_waves[n], copy);
    bundle.Waves().SetWaveFile(0, copy);
    bundle.SetQuoteNumber(n);
    return true;
  }
  bool GoToQuote(int n) override {
    goTo.push_back(n);
    if (n < 1 || n > m_count) return false;
    m_current = n;
    m_bundle.Waves().Clear();
    const auto copy = tvtest::sandbox().tmp / (m_name + "cur" + std::to_string(n) + "-" + std::to_string(++m_copies) + ".wav");
    std::filesystem::copy_file(m_waves[n], copy);
    m_bundle.Waves().SetWaveFile(0, copy);
    for (int i = 1; i <= 4; ++i) m_bundle.Waves().SetSegmentShare(i, 25.0f);
    m_player.LoadWave();
    m_voice.SetCurrentSlot(n);
    m_voice.SelectSlot(n);
    return true;
  }

  void SetWave(int n, const std::filesystem::path& p) { m_waves[n] = p; }
  COrv_InfoBundle& Bundle() { return m_bundle; }
  std::vector<int> loaded;

 private:
  static int& books() {
    static int n = 0;
    return n;
  }
  int m_count;
  std::string m_name;
  int m_current = 0;
  int m_copies = 0;
  std::map<int, std::filesystem::path> m_waves;
  COrv_InfoBundle m_bundle;
  COrv_QuotePlayer m_player;
  COrv_RecordedVoice m_voice;
};

class LoggingViews : public COrv_PlayViews {
 public:
  struct Fragment {
    int view;
    float start, end;
    bool operator==(const Fragment&) const = default;
  };
  void SetPlayMarker(int selector, double percent) override { markers.push_back({selector, percent}); }
  void ResetPlayMarkers() override { ++resets; }
  void SetFragment(int view, float start, float end) override { fragments.push_back({view, start, end}); }
  void RefreshSpeechView(int view) override { refreshed.push_back(view); }
  std::vector<std::pair<int, double>> markers;
  std::vector<Fragment> fragments;
  std::vector<int> refreshed;
  int resets = 0;
};

}  // namespace playtest
