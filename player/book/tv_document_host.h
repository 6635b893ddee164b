#pragma once
// What the Talvane document needs of the program around it: the main
// window's settings, user and audio windows (TvDocumentHost), the sounds of
// the checks (TvDocumentSound) and the modal text dialog (TvTextDialog).
// The document reaches them only through these interfaces, so that it runs
// headless; tests put recording stand-ins here. Message boxes go through
// plat::ui::MessageBox, whose sink tests replace the same way.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/text_format.h"
#include "platform/ui/resources/resource_module.h"

class TvDocumentHost {
 public:
  virtual ~TvDocumentHost() = default;

  // The numbered setting n as the main window caches it (0 when it is not
  // there). GetSettingText answers the text setting 5.
  virtual int GetSetting(int n) const = 0;
  virtual std::string GetSettingText(int n) const = 0;
  // The user who is logged in; empty for the anonymous user.
  virtual std::string GetUserName() const = 0;
  // The placeholder of hidden letters (U+2022).
  virtual char32_t GetMaskChar() const = 0;
  // The character format the document's text formats start from.
  virtual COrv_CharFormat GetDefaultCharFormat() const = 0;

  // Busy indicator around the long operations (open, Echomark moves);
  // calls nest.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Stops every play and recording.
  virtual void StopAll() = 0;
  // Hides the fragment selectors, speech views and volume window.
  virtual void HideViewWindows() = 0;
  // Turns the audio panel's speed button back to normal speed.
  virtual void ResetSpeedButton() = 0;
  // Whether the current Echomark has a recording of the learner's voice
  // (the current recorded-voice slot loaded).
  virtual void SetRecordingAvailable(bool available) = 0;
  // The audio fragment selector: shown with the fragment as its marks, or
  // hidden.
  virtual void ShowFragmentSelector(bool show, float start, float end) = 0;
  // The audio speech view: shown with the Echomark's wave file, the shares
  // of its segments (per cent) and the fragment as selection, or hidden.
  virtual void ShowSpeechView(bool show, const std::filesystem::path& wave, const std::vector<float>& shares,
                              float start, float end) = 0;
  virtual void ShowVolumeWindow(bool show) = 0;
  // Selects the play speed: -1 slower, 0 normal, 1 faster.
  virtual void SelectPlaySpeed(int speed) = 0;
  // Plays the current Echomark from its start.
  virtual void PlayCurrentQuote() = 0;
  // The main window's copy of the book menu in the interface language;
  // null when it has none.
  virtual const plat::ui::Menu* GetDefaultMenu() const { return nullptr; }
};

// The sounds of a check: the jingle of a solved Echomark and the beep of a
// broken one. Every play returns at once.
class TvDocumentSound {
 public:
  virtual ~TvDocumentSound() = default;
  // Plays a WAV file; false when it cannot be played.
  virtual bool PlayFile(const std::string& path) = 0;
  // Plays one of the program's wave resources ("WAVE_TADA").
  virtual bool PlayResource(const std::string& name) = 0;
  // The exclamation beep.
  virtual void Beep() = 0;
};

// Through the platform's sound calls (asynchronous PlaySound, MessageBeep).
class PlatformDocumentSound : public TvDocumentSound {
 public:
  bool PlayFile(const std::string& path) override;
  bool PlayResource(const std::string& name) override;
  void Beep() override;
};

// One text shown in the modal text dialog.
struct TvTextDialogRequest {
  COrv_TextFormat format;
  // Spans in [square brackets] shown bold red, in <angle brackets> bold
  // green.
  bool markup = false;
  std::string caption;
  std::string text;
  int dialogNumber = 0;  // 133 introduction, 132 comment, 147 dictionary
};

class TvTextDialog {
 public:
  virtual ~TvTextDialog() = default;
  // Shows the text modally; returns when the learner closes it.
  virtual void ShowText(const TvTextDialogRequest& request) = 0;
};
