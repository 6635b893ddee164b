#pragma once
// COrv_FragSelectorBar: the strip of a fragment selector. The learner drags
// two markers along an 8-pixel track to choose the fragment (start and end
// in per cent of the wave); a third marker shows the play position while
// the Echomark audio or a recording plays.
//
// Geometry: the track is the client area less 10 pixels left and right,
// 8 pixels high in the middle. Per cent p lies at column
// trunc(p * width / 100) + left, column x at (x - left) / width * 100. The
// fragment markers stay at least 5 pixels apart (half of each marker's
// width and one): a fragment narrower than that is drawn pushed apart,
// keeping the end, or the start on the track's left edge.

#include <QRect>
#include <QWidget>

class COrv_AudioViewHost;

class COrv_FragSelectorBar : public QWidget {
 public:
  explicit COrv_FragSelectorBar(QWidget* parent = nullptr);

  // Places the strip on `rect` (of the parent) less 5 pixels left and
  // right and 15 above and below, with the whole wave as the fragment.
  bool Create(QWidget* parent, int id, const QRect& rect, COrv_AudioViewHost* host);
  void SetHost(COrv_AudioViewHost* host) { host_ = host; }
  int CtrlId() const { return id_; }

  // Refused when start > end or either lies outside [0, 100].
  bool SetFragment(float start, float end);
  // Refused outside [0, 100].
  bool SetPlayPosition(double percent);
  // Refused when x lies outside the track.
  bool MovePositionMarker(int x);
  // Puts the position marker back on the start, unless a play runs (false).
  bool ResetPlayPosition();
  void GetFragmentPercent(float* start, float* end) const;
  // Tells the host the fragment the markers show.
  void ReportFragment();

  // The geometry, for the window and its tests.
  QRect TrackRect() const;
  int PercentToPixel(double percent) const;
  float PixelToPercent(int x) const;
  int MinimumGap() const;
  QRect MarkerRect(int x) const;
  int StartX() const { return startX_; }
  int EndX() const { return endX_; }
  int PositionX() const { return positionX_; }
  bool IsDragging() const { return dragging_; }
  // Whether the position marker is drawn now.
  bool PositionMarkerShown() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum Marker { kStart = 0, kEnd = 1 };
  void SetMarkerPixels(int a, int b);
  int ClampDrag(int x) const;

  COrv_AudioViewHost* host_ = nullptr;
  int id_ = 0;
  int positionX_ = 0;
  int startX_ = 0;
  int endX_ = 0;
  QRect dragRect_;  // the drag feedback; empty when none is drawn
  Marker dragged_ = kStart;
  bool dragging_ = false;
};
