#include "outside/pelvara/spot_viewer.h"

#include <QPainter>

namespace pelvara {

namespace {
constexpr int kLongestMs = 3600 * 1000;
constexpr int kLargest = 1 << 15;
}  // namespace

std::optional<ViewerRequest> parseArguments(const QStringList& args) {
  if (args.size() != 6 || args[0].isEmpty()) return std::nullopt;
  int v[5];
  for (int i = 0; i < 5; ++i) {
    bool ok = false;
    v[i] = args[i + 1].toInt(&ok);
    if (!ok || v[i] < -kLargest || v[i] > kLargest) return std::nullopt;
  }
  if (v[2] <= v[0] || v[3] <= v[1] || v[4] < 0 || v[4] > kLongestMs) return std::nullopt;
  return ViewerRequest{args[0], QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1)), v[4]};
}

SpotViewer::SpotViewer(const QImage& picture, const ViewerRequest& request) : m_picture(picture) {
  setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(request.rect);
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &QWidget::close);
  if (request.milliseconds > 0) m_timer.start(request.milliseconds);
}

void SpotViewer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (m_picture.isNull()) return;
  const QSize fitted = m_picture.size().scaled(size(), Qt::KeepAspectRatio);
  QRect target(QPoint(0, 0), fitted);
  target.moveCenter(rect().center());
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(target, m_picture);
}

void SpotViewer::mousePressEvent(QMouseEvent*) { close(); }
void SpotViewer::keyPressEvent(QKeyEvent*) { close(); }

}  // namespace pelvara
