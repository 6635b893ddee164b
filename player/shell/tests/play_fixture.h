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
#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/ui/recording_sink.h"
#include "player/shell/panels.h"
#include "player/shell/tests/player_book.h"

namespace playtest {

inline std::filesystem::path writeWave(const std::string& name, uint32_t bytes = 22050, char fill = '\x10') {
  const auto p = tvtest::sandbox().tmp / name;
  plat::riff::writeWavFile(p, plat::riff::WavFormat::pcm(11025, 16, 1), std::string(bytes, fill));
  return p;
}

class StandInBook : public PlayerBook {
 public:
  explicit StandInBook(int count = 10) : m_name("book" + std::to_string(++books()) + "-") {
    for (int n = 1; n <= count; ++n) m_waves[n] = writeWave(m_name + std::to_string(n) + ".wav");
    setCount(count);
    Show(1);
  }

  bool failWaveList = false;
  // Every move asked for, and every Echomark whose waves a run loaded.
  std::vector<int> goTo;
  std::vector<int> loaded;

  // The run's bundle deletes what it is given: it gets a copy.
  bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) override {
    loaded.push_back(n);
    if (failWaveList || !m_waves.count(n)) return false;
    if (m_waves[n].empty()) return true;  // an Echomark without audio
    bundle.Waves().SetWaveFile(0, copyOf(n, "run"));
    bundle.SetQuoteNumber(n);
    return true;
  }
  bool GoToQuote(int n) override {
    goTo.push_back(n);
    if (n < 1 || n > QuoteCount()) return false;
    m_bundle.Waves().Clear();
    m_bundle.Waves().SetWaveFile(0, copyOf(n, "cur"));
    for (int i = 1; i <= 4; ++i) m_bundle.Waves().SetSegmentShare(i, 25.0f);
    return becomeCurrent(n);
  }
  // Moves to n and forgets the moves asked for so far.
  void Show(int n) {
    GoToQuote(n);
    goTo.clear();
  }

  void SetWave(int n, const std::filesystem::path& p) { m_waves[n] = p; }

 private:
  static int& books() {
    static int n = 0;
    return n;
  }
  std::filesystem::path copyOf(int n, const std::string& kind) {
    const auto copy = tvtest::sandbox().tmp / (m_name + kind + std::to_string(n) + "-" + std::to_string(++m_copies) + ".wav");
    std::filesystem::copy_file(m_waves[n], copy);
    return copy;
  }

  std::string m_name;
  int m_copies = 0;
  std::map<int, std::filesystem::path> m_waves;
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

// The virtual audio device on a manual clock, and message boxes recorded.
struct AudioRig {
  plat::audio::ManualDispatcher clock;
  plat::audio::VirtualBackend backend{clock};
  plat::audio::ScopedDispatcher d{clock};
  plat::audio::ScopedBackend b{backend};
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink s{sink};
};

// Whether the button of `id` on `panel` is down; false when it has none.
inline bool buttonDown(const COrv_Panel& panel, int id) {
  const auto& rows = panel.Rows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].kind == COrv_PanelRow::kButton && rows[i].id == id) return panel.Control(static_cast<int>(i))->IsDown();
  return false;
}

}  // namespace playtest
