#pragma once
// What the play and recording commands need of the active book and of the
// audio views, each behind a small interface: the book's side is carried
// out by the Talvane document, the views' side by the fragment selectors
// and speech views. Tests stand in for both.

#include <cstdint>

class COrv_InfoBundle;
class COrv_QuotePlayer;
class COrv_RecordedVoice;

class COrv_PlayBook {
 public:
  virtual ~COrv_PlayBook() = default;

  // Whether a Talvane is active; none of the calls below is made without.
  virtual bool HasBook() const = 0;
  // The current Echomark (from 1) and the number of Echomarks.
  virtual int CurrentQuote() const = 0;
  virtual int QuoteCount() const = 0;
  // The current Echomark's status word (0x40: it has fast and slow files).
  virtual uint32_t QuoteStatus() const = 0;

  // The Echomark player, loaded with the current Echomark's wave.
  virtual COrv_QuotePlayer& QuotePlayer() = 0;
  // The learner's recordings, one slot per Echomark.
  virtual COrv_RecordedVoice& Voice() = 0;

  // The fragment of the book audio and of the recording, in per cent.
  virtual void GetQuoteFragment(float* start, float* end) const = 0;
  virtual bool SetQuoteFragment(float start, float end) = 0;
  virtual bool SetRecordFragment(float start, float end) = 0;
  // Makes segment n (from 1) of the current Echomark the fragment.
  virtual bool SelectQuoteAudio(int segment) = 0;

  // Reads the wave list of Echomark n into `bundle` (a run of several
  // Echomarks uses a bundle of its own, so the current one stays).
  virtual bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) = 0;
  // Makes Echomark n current; false for a number outside the book.
  virtual bool GoToQuote(int n) = 0;
};

// The audio views as the play commands drive them: the fragment selectors
// (189 book audio, 202 recording) and the speech views (208 book audio, 207
// recording). Every call is a no-op by default, so the commands work with
// no views at all.
class COrv_PlayViews {
 public:
  static constexpr int kAudioSelector = 189;
  static constexpr int kRecordSelector = 202;
  static constexpr int kRecordSpeechView = 207;
  static constexpr int kAudioSpeechView = 208;

  virtual ~COrv_PlayViews() = default;
  // Moves the play marker of a fragment selector.
  virtual void SetPlayMarker(int /*selector*/, double /*percent*/) {}
  // Puts both selectors' play markers back to their fragment start.
  virtual void ResetPlayMarkers() {}
  // Tells a view the fragment it shows changed.
  virtual void SetFragment(int /*view*/, float /*start*/, float /*end*/) {}
  // Redraws a speech view from its wave, when it is visible.
  virtual void RefreshSpeechView(int /*view*/) {}
};
