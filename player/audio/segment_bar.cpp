#include "player/audio/segment_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/audio/audio_view_pictures.h"

COrv_SegmentBar::COrv_SegmentBar(QWidget* parent) : QWidget(parent) {}

void COrv_SegmentBar::SetShares(const std::vector<float>& shares) {
  SetShares(static_cast<int>(shares.size()), shares.data());
}

void COrv_SegmentBar::SetShares(int count, const float* shares) {
  if (count >= 2 && shares != nullptr)
    shares_.assign(shares, shares + count);
  else
    shares_.clear();
  update();
}

void COrv_SegmentBar::SetColours(QColor first, QColor last) {
  first_ = first;
  last_ = last;
  update();
}

QColor COrv_SegmentBar::CellColour(int i) const {
  const int n = Count();
  if (i <= 1 || n < 2) return first_;
  if (i >= n) return last_;
  const auto channel = [i, n](int first, int last) { return first - (i - 1) * (first - last) / (n - 1); };
  return QColor(channel(first_.red(), last_.red()), channel(first_.green(), last_.green()),
                channel(first_.blue(), last_.blue()));
}

std::pair<float, float> COrv_SegmentBar::CellRange(int i) const {
  float start = 0.0f;
  for (int k = 0; k < i - 1; ++k) start += shares_[static_cast<size_t>(k)];
  const float end = start + shares_[static_cast<size_t>(i - 1)];
  return {std::min(start, 100.0f), std::min(end, 100.0f)};
}

std::pair<int, int> COrv_SegmentBar::CellColumns(int i) const {
  const auto [start, end] = CellRange(i);
  const double perCent = InnerWidth() / 100.0;
  return {static_cast<int>(perCent * start) + 1, static_cast<int>(perCent * end) + 1};
}

int COrv_SegmentBar::SegmentAt(int x) const {
  if (InnerWidth() <= 0) return Count() + 1;
  const float p = static_cast<float>(x - 1) / static_cast<float>(InnerWidth()) * 100.0f;
  for (int i = 1; i <= Count(); ++i) {
    const auto [start, end] = CellRange(i);
    if (start <= p && p <= end) return i;
  }
  return Count() + 1;
}

void COrv_SegmentBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  for (int i = 1; i <= Count(); ++i) {
    const auto [from, to] = CellColumns(i);
    painter.fillRect(QRect(from, 1, to - from, height() - 2), CellColour(i));
  }
  orv::audioviews::DrawSunkenEdge(painter, rect());
}

void COrv_SegmentBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || Count() == 0) return;
  pressed_ = true;
  down_ = event->position().toPoint();
}

void COrv_SegmentBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || Count() == 0) return;
  doubleClick_ = true;
  pressed_ = true;
  down_ = event->position().toPoint();
}

void COrv_SegmentBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  const int segment = SegmentAt(down_.x());
  if (doubleClick_) {
    doubleClick_ = false;
    if (onPlay_) onPlay_(segment);
  } else if (onClick_) {
    onClick_(segment);
  }
}
