#pragma once
// Between the audio commands and the audio view windows, both ways.
//
// COrv_PlayViewHost is what the fragment selectors, speech views and the
// Volume window ask of the player: their fragments, segment clicks, play
// requests and volume go to the audio commands; help and shortcut keys to
// the frame's own host.
//
// COrv_WindowPlayViews is what the audio commands tell those windows: the
// play marker, the fragments, a speech view's wave. It is a template over
// the window classes, which the frame names, so that the commands carry no
// dependency on the windows.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "player/audio/audio_view_host.h"
#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/shell/play_book.h"
#include "player/shell/play_commands.h"

class COrv_PlayViewHost : public COrv_AudioViewHost {
 public:
  // `frameHost` (not owned, may be null) shows help and runs shortcuts.
  COrv_PlayViewHost(COrv_PlayCommands& commands, COrv_AudioViewHost* frameHost)
      : m_commands(commands), m_frameHost(frameHost) {}

  void SetFragmentFromView(float start, float end, int id) override {
    m_commands.SetFragmentFromView(start, end, id);
  }
  void SetPositionFromView(int segment, int id) override { m_commands.SetPositionFromView(segment, id); }
  void RequestPlay(int id) override {
    // The recording's views play the learner's take.
    if (id == COrv_PlayViews::kRecordSelector || id == COrv_PlayViews::kRecordSpeechView)
      m_commands.PlayRecordingFromView();
    else
      m_commands.RequestPlay(id);
  }
  void RequestPlayFragment(int id) override { m_commands.RequestPlayFragment(id); }
  void RequestPlayFrom(int segment, int id) override { m_commands.RequestPlayFrom(segment, id); }
  void OnViewClosed(int) override {}
  void SetVolume(double left, double right) override { m_commands.SetVolume(left, right); }
  void GetVolume(double* left, double* right) const override { m_commands.GetVolume(left, right); }
  bool IsAudioPlaying() const override { return m_commands.IsPlaying() || m_commands.IsRecordingPlaying(); }
  void ShowHelp(const std::string& page) override {
    if (m_frameHost) m_frameHost->ShowHelp(page);
  }
  bool TranslateAccelerator(QKeyCombination key) override {
    return m_frameHost != nullptr && m_frameHost->TranslateAccelerator(key);
  }

 private:
  COrv_PlayCommands& m_commands;
  COrv_AudioViewHost* m_frameHost;
};

// The segment shares (per cent) of the Echomark player's wave.
inline std::vector<float> SegmentShares(const COrv_QuotePlayer& player) {
  std::vector<float> shares;
  float start = 0.0f, end = 0.0f;
  for (int n = 1; player.GetSegmentRange(n, &start, &end); ++n) shares.push_back(end - start);
  return shares;
}

template <class Selector, class SpeechView>
class COrv_WindowPlayViews : public COrv_PlayViews {
 public:
  // The windows by their id (null: not made).
  using SelectorById = std::function<Selector*(int id)>;
  using SpeechViewById = std::function<SpeechView*(int id)>;

  COrv_WindowPlayViews(SelectorById selectors, SpeechViewById speechViews, COrv_PlayBook* book)
      : m_selectors(std::move(selectors)), m_speechViews(std::move(speechViews)), m_book(book) {}

  void SetPlayMarker(int selector, double percent) override {
    if (Selector* s = m_selectors(selector)) s->SetPlayPosition(percent);
  }
  void ResetPlayMarkers() override {
    for (int id : {kAudioSelector, kRecordSelector})
      if (Selector* s = m_selectors(id)) s->ResetPlayPosition();
  }
  void SetFragment(int view, float start, float end) override {
    if (view == kAudioSelector || view == kRecordSelector) {
      if (Selector* s = m_selectors(view)) s->SetFragment(start, end);
    } else if (SpeechView* v = m_speechViews(view)) {
      v->SetSelection(start, end);
    }
  }
  void RefreshSpeechView(int view) override {
    SpeechView* v = m_speechViews(view);
    if (v == nullptr || m_book == nullptr || !m_book->HasBook()) return;
    if (view == kAudioSpeechView) {
      const COrv_QuotePlayer& player = m_book->QuotePlayer();
      const std::vector<float> shares = SegmentShares(player);
      v->SetWave(player.GetWaveFileName(), &shares);
      v->SetSelection(player.GetFragmentStart(), player.GetFragmentEnd());
    } else {
      const COrv_RecordedVoice& voice = m_book->Voice();
      v->SetWave(std::filesystem::path(voice.GetSlotFile(m_book->CurrentQuote())), nullptr);
      v->SetSelection(voice.GetFragmentStart(), voice.GetFragmentEnd());
    }
  }

 private:
  SelectorById m_selectors;
  SpeechViewById m_speechViews;
  COrv_PlayBook* m_book;
};
