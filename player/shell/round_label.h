#pragma once
// COrv_RoundLabel: the strip of the second Echomark bar (COrv_LabelPanel).
// It draws one rounded, numbered cell per Echomark, 34 pixels wide, from the
// first visible one on: orange when the Echomark's status word has bit 2
// set, yellow otherwise, the current one framed in black. A click on a cell
// makes it current and tells the bar. The cells and their status words are
// the bar's.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class COrv_RoundLabel : public QWidget {
 public:
  static constexpr int kCellWidth = 34;
  static constexpr QRgb kCellColour = 0xFFFCCC24;   // red 252, green 204, blue 36
  static constexpr QRgb kMarkedColour = 0xFFFC9C04;  // red 252, green 156, blue 4
  static constexpr std::uint32_t kMarkedBit = 2;

  // `cells` is the bar's status array (entry 0 belongs to no Echomark);
  // `clicked` hears the cell clicked.
  COrv_RoundLabel(const std::vector<std::uint32_t>* cells, std::function<void(int)> clicked, QWidget* parent);

  int GetCount() const;
  int GetFirstVisible() const { return first_; }
  int GetCurrent() const { return current_; }
  // With cells, n clamped to 1 .. the number of cells (n <= 0 gives 1);
  // without, 0 (nothing drawn). Repaints.
  void SetFirstVisible(int n);
  void ScrollPrev();
  void ScrollNext();
  // A strip's width of cells earlier or later, not before the first cell
  // and not past the last.
  void PagePrev();
  void PageNext();
  // The cell under a point; 0 when none.
  int CellAt(QPoint point) const;
  // The rectangle of cell i (from the first visible one).
  QRect CellRect(int i) const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  int pageSize() const;
  const std::vector<std::uint32_t>* cells_;
  std::function<void(int)> clicked_;
  int first_ = 0;
  int current_ = 0;
};
