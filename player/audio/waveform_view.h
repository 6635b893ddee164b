#pragma once
// COrv_WaveformView: one pane of a speech view. It draws the waveform of a
// range of a WAV file (one black line per column from its smallest to its
// largest sample, larger values lower), the segment boundaries that fall in
// it as green lines, and, outside zoom mode, the selection inverted.
//
// In normal mode the pane shows the whole wave; in zoom mode it shows
// exactly the selection it is given. Dragging over the pane selects a
// range; a double-click asks for a play. The pane reports both through
// callbacks in per cent of the whole wave.
//
// The samples are read once when the file is loaded, and the peaks and the
// picture of the last range and size drawn are kept, so a repaint walks no
// samples and draws no waveform anew.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "player/audio/wave_data.h"

class COrv_WaveformView : public QWidget {
 public:
  // A play request: -1 the whole wave, 0 the fragment.
  using SelectionCallback = std::function<void(float start, float end)>;
  using PlayCallback = std::function<void(int request)>;

  explicit COrv_WaveformView(QWidget* parent = nullptr);

  // Loads the file with the segment shares (per cent; a single share of
  // 100 without more than one); false when it is no PCM WAV file with
  // samples, which leaves the pane empty.
  bool LoadWave(const std::filesystem::path& path, int count, const float* shares);
  // Per cent of the whole wave. In zoom mode the range is displayed
  // instead. Ignored without a file.
  void SetSelection(float start, float end);
  // Selects segment n (1-based); false without a file or for no such
  // segment.
  bool SelectSegment(int n);
  void SetZoom(bool zoom);
  void OnSelection(SelectionCallback cb) { onSelection_ = std::move(cb); }
  void OnPlayRequest(PlayCallback cb) { onPlay_ = std::move(cb); }

  bool HasWave() const { return !path_.empty(); }
  bool IsZoom() const { return zoom_; }
  int64_t SelectionStart() const { return selStart_; }
  int64_t SelectionLength() const { return selLength_; }
  int64_t DisplayedFirst() const { return displayFirst_; }
  int64_t DisplayedLength() const { return displayLength_; }
  const COrv_WaveData& Data() const { return data_; }
  // The peaks have been taken this many times (a repaint of the same
  // range and width takes none).
  int PeakReads() const { return peakReads_; }

  // The waveform's picture area: the client area inside its 1-pixel edge.
  int Columns() const { return width(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const std::vector<uint8_t>* Peaks();
  // The waveform and the boundaries of the displayed range at the pane's
  // size, drawn when either has changed.
  const QImage& Picture();
  int ClampColumn(int x) const;
  void InvertColumns(class QPainter& painter, int from, int to);

  COrv_WaveData data_;
  std::filesystem::path path_;
  std::vector<float> boundaries_{100.0f};
  int64_t selStart_ = 0;
  int64_t selLength_ = 0;
  int64_t displayFirst_ = 0;
  int64_t displayLength_ = 0;
  bool zoom_ = false;

  // Mouse selection: the column pressed, the column the mouse is over.
  bool pressed_ = false;
  bool moved_ = false;
  bool doubleClick_ = false;
  int anchor_ = 0;
  int lastX_ = 0;

  // The peaks of the last range and width drawn.
  struct PeakCache {
    int64_t first = -1;
    int64_t length = -1;
    int width = -1;
    std::vector<uint8_t> peaks;
  } cache_;
  QImage picture_;  // null when it must be drawn again
  QImage inverted_;      // the picture's columns in invertedBand_, inverted
  QRect invertedBand_;
  int peakReads_ = 0;

  SelectionCallback onSelection_;
  PlayCallback onPlay_;
};
