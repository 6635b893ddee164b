#include "player/shell/round_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

COrv_RoundLabel::COrv_RoundLabel(const std::vector<std::uint32_t>* cells, std::function<void(int)> clicked,
                                 QWidget* parent)
    : QWidget(parent), cells_(cells), clicked_(std::move(clicked)) {}

int COrv_RoundLabel::GetCount() const {
  return cells_ == nullptr || cells_->empty() ? 0 : static_cast<int>(cells_->size()) - 1;
}

void COrv_RoundLabel::SetFirstVisible(int n) {
  const int count = GetCount();
  first_ = count > 0 ? std::clamp(n, 1, count) : 0;
  update();
}

void COrv_RoundLabel::ScrollPrev() {
  --first_;
  update();
}

void COrv_RoundLabel::ScrollNext() {
  ++first_;
  update();
}

int COrv_RoundLabel::pageSize() const { return width() / kCellWidth; }

void COrv_RoundLabel::PagePrev() {
  first_ = std::max(1, first_ - pageSize());
  update();
}

void COrv_RoundLabel::PageNext() {
  first_ = std::min(GetCount(), first_ + pageSize());
  update();
}

QRect COrv_RoundLabel::CellRect(int i) const {
  // The client height less 2 pixels at the top and 1 at the bottom, widened
  // by 2 pixels at each side.
  const int x = (i - first_) * kCellWidth;
  return QRect(x - 2, 2, kCellWidth + 4, std::max(0, height() - 3));
}

int COrv_RoundLabel::CellAt(QPoint point) const {
  if (first_ < 1 || point.x() < 0 || point.x() >= width()) return 0;
  const int cell = first_ + point.x() / kCellWidth;
  // Past the last cell there is no Echomark to go to.
  return cell <= GetCount() ? cell : 0;
}

void COrv_RoundLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor::fromRgb(kCellColour));
  const int count = GetCount();
  if (first_ < 1 || count < 1) return;
  p.setRenderHint(QPainter::Antialiasing);
  QFont font("Verdana");
  font.setPixelSize(16);
  font.setBold(true);
  p.setFont(font);
  for (int i = first_; i <= count; ++i) {
    const QRect r = CellRect(i);
    if (r.left() > width()) break;
    const bool marked = ((*cells_)[static_cast<std::size_t>(i)] & kMarkedBit) != 0;
    const QColor fill = QColor::fromRgb(marked ? kMarkedColour : kCellColour);
    p.setBrush(fill);
    p.setPen(i == current_ ? QPen(Qt::black, 2) : QPen(fill, 1));
    p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), 5, 5);
    p.setPen(Qt::black);
    p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignCenter | Qt::TextSingleLine, QString::number(i));
  }
}

void COrv_RoundLabel::mouseReleaseEvent(QMouseEvent* e) {
  const int cell = CellAt(e->position().toPoint());
  if (cell > 0) {
    current_ = cell;
    repaint();
    if (clicked_) clicked_(cell);
  }
  QWidget::mouseReleaseEvent(e);
}
