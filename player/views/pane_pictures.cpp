#include "player/views/pane_pictures.h"

#include <QPainter>
#include <QPainterPath>

#include "shared/language/orv_language.h"

namespace orv::views {

namespace {

constexpr int kSize = 24;

// The symbol of each button picture.
QString symbolFor(int id) {
  switch (id) {
    case 168: return QStringLiteral("D");       // dictionary mode
    case 164: return QStringLiteral("G");       // grammar mode
    case 172: return QStringLiteral("L");       // lazy mode
    case 174: return QStringLiteral("a_c");     // letter by letter
    case 180: return QStringLiteral("abc");     // spelling
    case 155: return QStringLiteral("C");       // comment
    case 160: return QStringLiteral("I");       // introduction
    case 218: return QStringLiteral("?");       // results
    case 293: return QStringLiteral("\u270e");  // scratch pad
    case 294: return QStringLiteral("\u00b6");  // book text
    case 295: return QStringLiteral("C");       // show comments
    case 296: return QStringLiteral("I");       // show introductions
    default: return QString::number(id % 100);
  }
}

QPixmap drawn(int id, bool pressed) {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath face;
  face.addRoundedRect(QRectF(1, 1, kSize - 2, kSize - 2), 5, 5);
  p.fillPath(face, pressed ? QColor(40, 84, 150) : QColor(236, 240, 248));
  p.setPen(QPen(pressed ? QColor(20, 40, 80) : QColor(110, 120, 140), 1));
  p.drawPath(face);
  const QString symbol = symbolFor(id);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(symbol.size() > 1 ? 8 : 13);
  p.setFont(font);
  p.setPen(pressed ? Qt::white : QColor(30, 40, 60));
  p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, symbol);
  return pm;
}

}  // namespace

QPixmap PanePicture(int id, bool pressed) {
  const COrv_Language language;
  // The language's picture is the unpressed face; pressed faces are drawn.
  if (!pressed) {
    if (auto picture = language.LoadBitmap(id, kSize, kSize)) {
      QPixmap pm;
      if (!picture->file.empty()) pm.load(QString::fromStdString(picture->file.string()));
      else if (picture->image.kind == plat::ui::Image::Kind::Png)
        pm.loadFromData(picture->image.bytes.data(), static_cast<uint>(picture->image.bytes.size()));
      if (!pm.isNull()) return pm.scaled(kSize, kSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
  }
  return drawn(id, pressed);
}

QIcon PaneIcon(int id) {
  QIcon icon;
  icon.addPixmap(PanePicture(id, false), QIcon::Normal, QIcon::Off);
  icon.addPixmap(PanePicture(id, true), QIcon::Normal, QIcon::On);
  return icon;
}

QCursor PaneCursor(int id) {
  if (id == 183) return QCursor(Qt::ArrowCursor);
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // The arrow, hot spot at its tip.
  const QPointF arrow[] = {{1, 1}, {1, 15}, {5, 11}, {8, 17}, {10, 16}, {7, 10}, {12, 10}};
  p.setPen(QPen(Qt::white, 1.2));
  p.setBrush(Qt::black);
  p.drawPolygon(arrow, 7);
  // A badge that says what a click does.
  const QRectF badge(11, 11, 12, 12);
  const QColor colour = id == 182 ? QColor(30, 90, 200)
                        : id == 184 ? QColor(252, 156, 4)
                        : id == 185 ? QColor(40, 150, 60)
                        : id == 186 ? QColor(120, 120, 120)
                                    : QColor(200, 40, 40);
  p.setPen(QPen(Qt::white, 1));
  p.setBrush(colour);
  p.drawEllipse(badge);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(8);
  p.setFont(font);
  p.setPen(Qt::white);
  const QString mark = id == 182 ? QStringLiteral("D")
                       : id == 184 ? QStringLiteral("G")
                       : id == 185 ? QStringLiteral("+")
                       : id == 186 ? QStringLiteral("=")
                                   : QStringLiteral("\u00d7");
  p.drawText(badge, Qt::AlignCenter, mark);
  p.end();
  return QCursor(pm, 1, 1);
}

}  // namespace orv::views
