#pragma once
// COrv_SpeechViewDlg: the floating, resizable window that shows the
// waveform of the current Echomark's audio (control id 208) or of the
// learner's recording (207). A zoom pane shows the selected range, an
// overview pane the whole wave with the selection marked, and a segment
// bar the audio segments. Selections, segment clicks and play requests go
// to the host with the window's control id.

#include <QRect>
#include <filesystem>
#include <vector>

#include "player/audio/segment_bar.h"
#include "player/audio/view_dialog.h"
#include "player/audio/waveform_view.h"

class COrv_SpeechViewDlg : public COrv_ViewDialog {
 public:
  static constexpr int kAudioId = 208;
  static constexpr int kRecordingId = 207;
  static constexpr int kCaptionId = 20018;  // "SpeechView"
  static constexpr int kMinWidth = 250;
  static constexpr int kMinHeight = 150;

  struct Layout {
    QRect zoom;
    QRect overview;
    QRect segments;  // empty with fewer than two segments
  };
  // Where the three children lie in `inner` (the window inside its frame)
  // for a wave of `segmentCount` segments.
  static Layout ComputeLayout(const QRect& inner, int segmentCount);

  explicit COrv_SpeechViewDlg(COrv_AudioViewHost* host, QWidget* parent = nullptr);

  // Stores the control id; the window is ready afterwards.
  bool Create(int id);
  // Shows a wave with its segment shares (per cent; null or fewer than two:
  // one segment). True when both panes loaded it.
  bool SetWave(const std::filesystem::path& path, const std::vector<float>* shares);
  // Selects a range (per cent) in both panes.
  void SetSelection(float start, float end);

  int SegmentCount() const { return segmentCount_; }
  const std::filesystem::path& Path() const { return path_; }
  COrv_WaveformView& ZoomPane() { return zoom_; }
  COrv_WaveformView& OverviewPane() { return overview_; }
  COrv_SegmentBar& SegmentBar() { return segmentBar_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ApplyLayout();
  void OnPaneSelection(float start, float end);
  void OnSegmentClick(int segment);
  void OnPlayRequest(int request);

  int segmentCount_ = 0;
  std::filesystem::path path_;
  COrv_WaveformView zoom_;
  COrv_WaveformView overview_;
  COrv_SegmentBar segmentBar_;
};
