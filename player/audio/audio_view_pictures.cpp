#include "player/audio/audio_view_pictures.h"

#include <QPainter>

#include "shared/buttons/orv_button.h"

namespace orv::audioviews {
namespace {

QImage makeMarker(QRgb face, QRgb light, QRgb dark, QRgb core) {
  QImage image(kMarkerWidth, kMarkerHeight, QImage::Format_RGB32);
  image.fill(face);
  for (int y = 0; y < kMarkerHeight; ++y) {
    image.setPixel(0, y, light);
    image.setPixel(kMarkerWidth - 1, y, dark);
  }
  for (int x = 0; x < kMarkerWidth; ++x) {
    image.setPixel(x, 0, light);
    image.setPixel(x, kMarkerHeight - 1, dark);
  }
  for (int y = 3; y < kMarkerHeight - 3; ++y) image.setPixel(kMarkerWidth / 2, y, core);
  return image;
}

}  // namespace

const QImage& PositionMarker() {
  static const QImage image = makeMarker(qRgb(220, 0, 0), qRgb(255, 140, 140), qRgb(120, 0, 0), qRgb(255, 255, 0));
  return image;
}

const QImage& FragmentMarker() {
  static const QImage image = makeMarker(qRgb(192, 192, 192), qRgb(255, 255, 255), qRgb(64, 64, 64), qRgb(0, 0, 128));
  return image;
}

const QImage& BackgroundPattern() {
  // The texture of the skinned frames' insides, so that the strip sits on
  // the same ground as the window around it.
  static const QImage image = [] {
    QImage p = tv::buttons::LoadResourceImage(kPatternPicture, false);
    if (p.isNull()) {
      p = QImage(kPatternSize, kPatternSize, QImage::Format_RGB32);
      p.fill(qRgb(255, 244, 214));
    }
    return p;
  }();
  return image;
}

void DrawEdge(QPainter& painter, const QRect& r, QColor topLeft, QColor bottomRight) {
  painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), bottomRight);
  painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 1), bottomRight);
}

}  // namespace orv::audioviews
