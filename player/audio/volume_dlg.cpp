#include "player/audio/volume_dlg.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "player/audio/audio_view_pictures.h"

COrv_VolumeDlg::COrv_VolumeDlg(COrv_AudioViewHost* host, QWidget* parent)
    : COrv_ViewDialog(host, kCaptionId, "volume.htm", parent) {
  setFixedSize(DialogUnitsX(118), DialogUnitsY(50));
  AttachSkin(false);
}

void COrv_VolumeDlg::SetLevel(double left, double right) {
  const double level = std::max(left, right);
  if (!(level >= 0.0)) return;  // NaN
  level_ = std::min(level, 1.0);
  update();
}

QRect COrv_VolumeDlg::LevelArea() const { return InnerRect().adjusted(10, 10, -10, -10); }

std::vector<QRect> COrv_VolumeDlg::Bars(const QRect& area, double level) {
  std::vector<QRect> bars;
  const int w = area.width(), h = area.height();
  if (w <= 0 || h <= 0) return bars;
  const int n = w / 6;
  // n + 1 bars share the height in n + 1 equal steps, so the last one
  // reaches the area's top and none rises above it.
  const double step = static_cast<double>(h) / (n + 1);
  const int levelX = static_cast<int>(w * level) + area.left();
  const int bottom = area.top() + h;
  for (int i = 0; i <= n; ++i) {
    const int left = 6 * i + area.left();
    if (left > levelX) break;
    const int top = area.top() + h - static_cast<int>((i + 1) * step);
    bars.push_back(QRect(left, top, 6, bottom - top));
  }
  return bars;
}

void COrv_VolumeDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor light(192, 192, 192), dark(128, 128, 128);
  for (const QRect& bar : Bars(LevelArea(), level_)) {
    orv::audioviews::DrawEdge(painter, bar, light, dark);
    painter.fillRect(bar.adjusted(1, 1, -1, -1), Qt::black);
  }
}

void COrv_VolumeDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QRect area = LevelArea();
  const QPoint p = event->position().toPoint();
  if (area.width() > 0 && p.x() >= area.left() && p.x() <= area.left() + area.width() && p.y() >= area.top() &&
      p.y() <= area.top() + area.height()) {
    level_ = static_cast<double>(p.x() - area.left()) / area.width();
    update();
  }
  if (Host() != nullptr) Host()->SetVolume(level_, level_);
}
