#include "player/audio/frag_selector_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "player/audio/audio_view_host.h"
#include "player/audio/audio_view_pictures.h"

using namespace orv::audioviews;

namespace {
constexpr int kTrackMargin = 10;
constexpr int kTrackHeight = 8;
constexpr int kFeedbackHalfWidth = 2;

bool inPercentRange(double p) { return p >= 0.0 && p <= 100.0; }  // false for NaN
}  // namespace

COrv_FragSelectorBar::COrv_FragSelectorBar(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool COrv_FragSelectorBar::Create(QWidget* parent, int id, const QRect& rect, COrv_AudioViewHost* host) {
  setParent(parent);
  id_ = id;
  host_ = host;
  setGeometry(rect.adjusted(5, 15, -5, -15));
  show();
  return SetFragment(0.0f, 100.0f);
}

QRect COrv_FragSelectorBar::TrackRect() const {
  const int top = (height() - kTrackHeight) / 2;
  return QRect(kTrackMargin, top, std::max(0, width() - 2 * kTrackMargin), kTrackHeight);
}

int COrv_FragSelectorBar::PercentToPixel(double percent) const {
  const QRect track = TrackRect();
  return static_cast<int>(percent * track.width() / 100.0) + track.left();
}

float COrv_FragSelectorBar::PixelToPercent(int x) const {
  const QRect track = TrackRect();
  if (track.width() <= 0) return 0.0f;
  return static_cast<float>(x - track.left()) / static_cast<float>(track.width()) * 100.0f;
}

int COrv_FragSelectorBar::MinimumGap() const {
  return FragmentMarker().width() / 2 + FragmentMarker().width() / 2 + 1;
}

QRect COrv_FragSelectorBar::MarkerRect(int x) const {
  const QRect track = TrackRect();
  const QSize size = FragmentMarker().size();
  return QRect(x - size.width() / 2, track.top() + (track.height() - size.height()) / 2, size.width(),
               size.height());
}

bool COrv_FragSelectorBar::SetFragment(float start, float end) {
  if (!inPercentRange(start) || !inPercentRange(end) || start > end) return false;
  SetMarkerPixels(PercentToPixel(start), PercentToPixel(end));
  positionX_ = startX_;
  update();
  return true;
}

void COrv_FragSelectorBar::SetMarkerPixels(int a, int b) {
  const int gap = MinimumGap();
  if (b - a < gap) {
    endX_ = b;
    startX_ = b - gap;
    if (startX_ < TrackRect().left()) {
      startX_ = TrackRect().left();
      endX_ = startX_ + gap;
    }
  } else {
    startX_ = a;
    endX_ = b;
  }
  update();
}

bool COrv_FragSelectorBar::SetPlayPosition(double percent) {
  if (!inPercentRange(percent)) return false;
  return MovePositionMarker(PercentToPixel(percent));
}

bool COrv_FragSelectorBar::MovePositionMarker(int x) {
  const QRect track = TrackRect();
  if (x < track.left() || x > track.left() + track.width()) return false;
  if (x == positionX_) return true;
  // The strip is drawn from its state, so the old marker's place gets the
  // colour of whatever lies under it: the fragment's black or the track's
  // grey when the position runs outside the fragment.
  update(MarkerRect(positionX_));
  positionX_ = x;
  update(MarkerRect(positionX_));
  return true;
}

bool COrv_FragSelectorBar::ResetPlayPosition() {
  if (host_ != nullptr && host_->IsAudioPlaying()) return false;
  positionX_ = startX_;
  update();
  return true;
}

void COrv_FragSelectorBar::GetFragmentPercent(float* start, float* end) const {
  if (start != nullptr) *start = PixelToPercent(startX_);
  if (end != nullptr) *end = PixelToPercent(endX_);
}

void COrv_FragSelectorBar::ReportFragment() {
  float start = 0, end = 0;
  GetFragmentPercent(&start, &end);
  if (host_ != nullptr) host_->SetFragmentFromView(start, end, id_);
}

bool COrv_FragSelectorBar::PositionMarkerShown() const {
  if (host_ == nullptr || !host_->IsAudioPlaying()) return false;
  const QRect position = MarkerRect(positionX_);
  return !position.intersects(MarkerRect(startX_)) && !position.intersects(MarkerRect(endX_));
}

void COrv_FragSelectorBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The pattern lines up with the one the parent paints around the strip.
  painter.setBrushOrigin(-(x() % kPatternSize), -(y() % kPatternSize));
  painter.fillRect(rect(), QBrush(BackgroundPattern()));
  const QRect track = TrackRect();
  painter.fillRect(track, QColor(192, 192, 192));
  painter.fillRect(QRect(startX_, track.top(), endX_ - startX_, track.height()), Qt::black);
  if (PositionMarkerShown()) painter.drawImage(MarkerRect(positionX_).topLeft(), PositionMarker());
  painter.drawImage(MarkerRect(startX_).topLeft(), FragmentMarker());
  painter.drawImage(MarkerRect(endX_).topLeft(), FragmentMarker());
  if (!dragRect_.isEmpty()) {
    QPen pen(Qt::gray, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(dragRect_.adjusted(1, 1, -1, -1));
  }
}

int COrv_FragSelectorBar::ClampDrag(int x) const {
  const QRect track = TrackRect();
  const int gap = MinimumGap();
  if (dragged_ == kEnd) return std::max(std::min(x, track.left() + track.width()), startX_ + gap);
  return std::min(std::max(x, track.left()), endX_ - gap);
}

void COrv_FragSelectorBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (MarkerRect(startX_).contains(p)) {
    dragged_ = kStart;
  } else if (MarkerRect(endX_).contains(p)) {
    dragged_ = kEnd;
  } else {
    return;
  }
  dragging_ = true;
  dragRect_ = QRect();
  setCursor(Qt::SizeHorCursor);
}

void COrv_FragSelectorBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (!dragging_) {
    const bool over = MarkerRect(startX_).contains(p) || MarkerRect(endX_).contains(p);
    setCursor(over ? Qt::SizeHorCursor : Qt::ArrowCursor);
    return;
  }
  const int x = ClampDrag(p.x());
  const QRect track = TrackRect();
  update(dragRect_);
  dragRect_ = QRect(x - kFeedbackHalfWidth, track.top(), 2 * kFeedbackHalfWidth, track.height());
  update(dragRect_);
}

void COrv_FragSelectorBar::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  dragRect_ = QRect();
  setCursor(Qt::ArrowCursor);
  const int x = ClampDrag(event->position().toPoint().x());
  if (dragged_ == kStart)
    SetMarkerPixels(x, endX_);
  else
    SetMarkerPixels(startX_, x);
  update();
  ReportFragment();
}
