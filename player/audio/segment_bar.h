#pragma once
// COrv_SegmentBar: the audio segments of a wave as a row of coloured cells
// under the speech view's panes, one cell per segment, wide as its share;
// the colours run from the first colour (yellow) to the last (black). A
// click on a cell picks its segment, a double-click asks to play it.

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

class COrv_SegmentBar : public QWidget {
 public:
  using SegmentCallback = std::function<void(int segment)>;

  explicit COrv_SegmentBar(QWidget* parent = nullptr);

  // Per cent shares; fewer than two store nothing (the bar is empty).
  void SetShares(const std::vector<float>& shares);
  void SetShares(int count, const float* shares);
  void SetColours(QColor first, QColor last);
  void OnClick(SegmentCallback cb) { onClick_ = std::move(cb); }
  void OnPlayRequest(SegmentCallback cb) { onPlay_ = std::move(cb); }

  int Count() const { return static_cast<int>(shares_.size()); }
  // The colour of cell i (1-based) of `count` cells.
  QColor CellColour(int i) const;
  // The columns of cell i: [first, last).
  std::pair<int, int> CellColumns(int i) const;
  // The segment at column x: the first cell that holds it, Count() + 1
  // right of every cell.
  int SegmentAt(int x) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Start and end of cell i in per cent, both at most 100.
  std::pair<float, float> CellRange(int i) const;
  int InnerWidth() const { return width() - 1; }

  QColor first_{255, 255, 0};
  QColor last_{0, 0, 0};
  std::vector<float> shares_;
  QPoint down_;
  bool pressed_ = false;
  bool doubleClick_ = false;
  SegmentCallback onClick_;
  SegmentCallback onPlay_;
};
