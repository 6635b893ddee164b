#include "player/audio/waveform_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/audio/audio_view_pictures.h"

namespace {
const QColor kBoundary(0, 255, 0);

bool isPercent(float p) { return p >= 0.0f && p <= 100.0f; }  // false for NaN
}  // namespace

COrv_WaveformView::COrv_WaveformView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool COrv_WaveformView::LoadWave(const std::filesystem::path& path, int count, const float* shares) {
  displayFirst_ = 0;
  selStart_ = 0;
  selLength_ = 0;
  pressed_ = false;
  boundaries_.assign(1, 100.0f);
  cache_ = PeakCache{};
  picture_ = QImage();
  path_ = path;
  bool ok = data_.Open(path) && data_.ReadData() && data_.FrameCount() > 0;
  if (!ok) {
    // Nothing is drawn for a file that is no PCM WAV file with samples.
    data_.Clear();
    path_.clear();
  }
  displayLength_ = data_.FrameCount();
  if (count > 1 && shares != nullptr) boundaries_.assign(shares, shares + count);
  update();
  return ok;
}

void COrv_WaveformView::SetSelection(float start, float end) {
  if (!HasWave()) return;
  if (!isPercent(start) || !isPercent(end) || start > end) return;
  const int64_t first = data_.PercentToFrame(start);
  const int64_t last = data_.PercentToFrame(end);
  selStart_ = first;
  selLength_ = last - first;
  if (zoom_) {
    picture_ = QImage();
    displayFirst_ = selStart_;
    displayLength_ = selLength_;
    selStart_ = 0;
    selLength_ = 0;
  }
  update();
}

bool COrv_WaveformView::SelectSegment(int n) {
  if (!HasWave() || n < 1 || n > static_cast<int>(boundaries_.size())) return false;
  float start = 0.0f;
  for (int i = 0; i < n - 1; ++i) start += boundaries_[static_cast<size_t>(i)];
  const float end = start + boundaries_[static_cast<size_t>(n - 1)];
  SetSelection(std::min(start, 100.0f), std::min(end, 100.0f));
  return true;
}

void COrv_WaveformView::SetZoom(bool zoom) {
  zoom_ = zoom;
  update();
}

const std::vector<uint8_t>* COrv_WaveformView::Peaks() {
  if (cache_.first != displayFirst_ || cache_.length != displayLength_ || cache_.width != Columns()) {
    cache_.first = displayFirst_;
    cache_.length = displayLength_;
    cache_.width = Columns();
    ++peakReads_;
    picture_ = QImage();
    if (!data_.GetPeaks(displayFirst_, displayLength_, Columns(), cache_.peaks)) cache_.peaks.clear();
  }
  return cache_.peaks.empty() ? nullptr : &cache_.peaks;
}

void COrv_WaveformView::InvertColumns(QPainter& painter, int from, int to) {
  if (to < from) std::swap(from, to);
  const QRect band = QRect(from, 0, to - from + 1, height()).intersected(picture_.rect());
  if (band.isEmpty()) return;
  // The band shows the kept picture inverted; the inverted copy is kept
  // while the band stays where it is.
  if (band != invertedBand_ || inverted_.isNull()) {
    inverted_ = picture_.copy(band);
    inverted_.invertPixels();
    invertedBand_ = band;
  }
  painter.drawImage(band.topLeft(), inverted_);
}

const QImage& COrv_WaveformView::Picture() {
  const std::vector<uint8_t>* peaks = Peaks();
  if (!picture_.isNull() && picture_.size() == size()) return picture_;
  picture_ = QImage(size(), QImage::Format_RGB32);
  picture_.fill(Qt::white);
  QPainter painter(&picture_);
  const int bottom = height() - 1;
  if (peaks != nullptr) {
    for (int x = 0; x < Columns(); ++x) {
      const int top = (*peaks)[2 * static_cast<size_t>(x)] * bottom / 256;
      const int low = (*peaks)[2 * static_cast<size_t>(x) + 1] * bottom / 256;
      painter.fillRect(QRect(x, top, 1, low - top + 1), Qt::black);
    }
  }
  float sum = 0.0f;
  for (size_t k = 0; k + 1 < boundaries_.size(); ++k) {
    sum += boundaries_[k];
    const int64_t frame = data_.PercentToFrame(std::min(sum, 100.0f));
    if (frame < displayFirst_ || frame >= displayFirst_ + displayLength_) continue;
    const int x = COrv_WaveData::FrameToColumn(frame, displayFirst_, displayLength_, Columns());
    painter.fillRect(QRect(x, 0, 1, height()), kBoundary);
  }
  painter.end();
  inverted_ = QImage();
  return picture_;
}

void COrv_WaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (HasWave() && displayLength_ > 0 && Columns() > 0) {
    painter.drawImage(0, 0, Picture());
    if (pressed_ && moved_) {
      if (lastX_ != anchor_) InvertColumns(painter, anchor_, lastX_);
    } else if (!zoom_ && selLength_ > 0) {
      const int from = COrv_WaveData::FrameToColumn(selStart_, displayFirst_, displayLength_, Columns());
      const int to = COrv_WaveData::FrameToColumn(selStart_ + selLength_ - 1, displayFirst_, displayLength_, Columns());
      InvertColumns(painter, from, to);
    }
  } else {
    painter.fillRect(rect(), Qt::white);
  }
  orv::audioviews::DrawSunkenEdge(painter, rect());
}

int COrv_WaveformView::ClampColumn(int x) const { return std::clamp(x, 0, std::max(0, Columns() - 1)); }

void COrv_WaveformView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() != Qt::LeftButton || !HasWave()) return;
  // The pane's active area starts one pixel in from the left and ends one
  // above the bottom.
  if (p.x() < 1 || p.x() >= width() || p.y() < 0 || p.y() >= height() - 1) return;
  pressed_ = true;
  moved_ = false;
  anchor_ = lastX_ = ClampColumn(p.x());
}

void COrv_WaveformView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return;
  moved_ = true;
  lastX_ = ClampColumn(event->position().toPoint().x());
  update();
}

void COrv_WaveformView::mouseDoubleClickEvent(QMouseEvent* event) {
  // Takes the place of the second press: no new band is started.
  if (event->button() == Qt::LeftButton) doubleClick_ = true;
}

void COrv_WaveformView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (doubleClick_) {
    doubleClick_ = false;
    pressed_ = false;
    if (onPlay_ && HasWave()) onPlay_(zoom_ || selLength_ > 0 ? 0 : -1);
    update();
    return;
  }
  if (!pressed_) return;
  pressed_ = false;
  const int x = ClampColumn(event->position().toPoint().x());
  const int lo = std::min(anchor_, x), hi = std::max(anchor_, x);
  update();
  if (hi == lo) return;
  // The band covers columns lo..hi whole: it ends where column hi + 1
  // would begin, which is the range's end for the last column.
  const int64_t first = COrv_WaveData::ColumnToFrame(lo, displayFirst_, displayLength_, Columns());
  const int64_t end = std::min(COrv_WaveData::ColumnToFrame(hi + 1, displayFirst_, displayLength_, Columns()),
                               displayFirst_ + displayLength_);
  if (onSelection_) onSelection_(data_.FrameToPercent(first), data_.FrameToPercent(end));
}
