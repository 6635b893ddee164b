#pragma once
// COrv_VolumeDlg: the small floating window that shows the playback volume
// as a row of bars rising from left to right, filled up to the level, and
// sets it with a click. The level is one value for both channels; a click
// hands it to the host as left and right volume.

#include <QRect>
#include <vector>

#include "player/audio/view_dialog.h"

class COrv_VolumeDlg : public COrv_ViewDialog {
 public:
  static constexpr int kCaptionId = 20016;  // "Volume"

  explicit COrv_VolumeDlg(COrv_AudioViewHost* host, QWidget* parent = nullptr);

  // The level becomes the larger of the two.
  void SetLevel(double left, double right);
  double Level() const { return level_; }

  // The level area: the window's inner part less 10 pixels on every side.
  QRect LevelArea() const;
  // The bars drawn for `level` in `area` (outer rectangles, each 6 pixels
  // wide, rising to the area's top at the last one).
  static std::vector<QRect> Bars(const QRect& area, double level);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  double level_ = 0.0;
};
