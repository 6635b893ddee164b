#include "tools/demo/spot_book.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "tools/book/spot_file.h"
#include "tools/packet/packet_writer.h"

namespace tvtools::demo {

std::string spotPicture() {
  QImage image(kSpotWidth, kSpotHeight, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, kSpotHeight);
  sky.setColorAt(0, QColor(30, 90, 170));
  sky.setColorAt(1, QColor(250, 200, 90));
  p.fillRect(image.rect(), sky);
  p.setPen(QPen(Qt::white, 6));
  p.drawRect(image.rect().adjusted(3, 3, -4, -4));
  p.setPen(Qt::white);
  QFont font("DejaVu Sans");
  font.setPixelSize(34);
  font.setBold(true);
  p.setFont(font);
  p.drawText(image.rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, "Willkommen!");
  font.setPixelSize(16);
  font.setBold(false);
  p.setFont(font);
  p.drawText(image.rect().adjusted(0, 60, 0, 0), Qt::AlignCenter, "A picture spot of the book SPOTS");
  p.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png.toStdString();
}

tvtools::book::Book spotBook() {
  tvtools::book::Book b;
  b.version = 2;
  b.code = kSpotBookCode;
  b.title = "Spots";
  b.language = 3;
  b.description = "A book that greets its reader with a picture";
  tvtools::book::Echomark one;
  one.introduction = "The first";
  one.wordText = "guten Morgen";
  one.normalWav = tvtools::book::makeWav(11025, {});
  tvtools::book::Echomark two;
  two.introduction = "The second";
  two.wordText = "guten Abend";
  two.normalWav = tvtools::book::makeWav(11025, {});
  b.echomarks = {one, two};
  tvtools::book::SpotGroup opening;
  opening.items = {{kSpotFileName, static_cast<std::uint16_t>(kSpotWidth), static_cast<std::uint16_t>(kSpotHeight),
                    spotPicture()}};
  opening.trigger = 0;
  b.spots = tvtools::book::spotFile({opening});
  return b;
}

bool writeSpotPacket(const std::filesystem::path& target, std::string& error) {
  tvtools::PacketSpec spec;
  spec.contentVersion = 2;
  spec.books.emplace_back();
  if (!tvtools::book::packetBook(spotBook(), spec.books.back(), error)) return false;
  if (!tvtools::writePacket(target, spec)) {
    error = "cannot write " + target.string();
    return false;
  }
  return true;
}

}  // namespace tvtools::demo
