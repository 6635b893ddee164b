#pragma once
// COrv_FragSelectorDlg: the floating, fixed-size window around a fragment
// selector strip. The main frame owns two, one for the Echomark audio
// (control id 189) and one for the recording (202); it hands them the
// fragment and the play position, and hears the learner's fragment back
// through its COrv_AudioViewHost with the window's control id.

#include "player/audio/frag_selector_bar.h"
#include "player/audio/view_dialog.h"

class COrv_FragSelectorDlg : public COrv_ViewDialog {
 public:
  static constexpr int kAudioId = 189;
  static constexpr int kRecordingId = 202;
  static constexpr int kCaptionId = 20051;  // "Fragment selection"

  explicit COrv_FragSelectorDlg(COrv_AudioViewHost* host, QWidget* parent = nullptr);

  void SetHost(COrv_AudioViewHost* host) override {
    COrv_ViewDialog::SetHost(host);
    bar_.SetHost(host);
  }
  // Before Create.
  void SetCtrlId(int id) { COrv_ViewDialog::SetCtrlId(id); }
  // Builds the strip inside the window; true when it was made.
  bool Create();

  bool SetFragment(float start, float end) { return bar_.SetFragment(start, end); }
  bool SetPlayPosition(double percent) { return bar_.SetPlayPosition(percent); }
  bool ResetPlayPosition() { return bar_.ResetPlayPosition(); }
  COrv_FragSelectorBar& Bar() { return bar_; }

 private:
  COrv_FragSelectorBar bar_;
};
