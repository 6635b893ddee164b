#include "outside/pelvara/spot_viewer.h"

#include <QPainter>
#include <QStringDecoder>

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

std::optional<Page> readPage(const QString& fileName, const QByteArray& bytes) {
  if (bytes.contains('\0')) return std::nullopt;
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8(bytes);
  if (utf8.hasError()) return std::nullopt;
  const QString suffix = fileName.section('.', -1).toLower();
  return Page{text, fileName.contains('.') && (suffix == "htm" || suffix == "html")};
}

SpotViewer::SpotViewer(const QImage& picture, const ViewerRequest& request) : m_picture(picture) { place(request); }

SpotViewer::SpotViewer(const Page& page, const ViewerRequest& request) : m_isPage(true) {
  if (page.html)
    m_page.setHtml(page.text);
  else
    m_page.setPlainText(page.text);
  m_page.setDocumentMargin(12);
  place(request);
  m_page.setTextWidth(width());
}

void SpotViewer::place(const ViewerRequest& request) {
  setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(request.rect);
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &QWidget::close);
  if (request.milliseconds > 0) m_timer.start(request.milliseconds);
}

void SpotViewer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (m_isPage) {
    p.fillRect(rect(), Qt::white);
    m_page.setTextWidth(width());
    m_page.drawContents(&p, rect());
    return;
  }
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
