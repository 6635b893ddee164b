// Writes the icons of a built libglyphary.so as PNG files into its picture
// folder, icon n (in id order, from 0) as "<n>.png", for the desktop entries
// of the player's shortcuts, which name an icon by file:
//
//   glyphary_export_pictures <libglyphary.so> <folder>
//
// Any PNG file left in the folder from an earlier build is removed first.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

#include "iconlib/client/glyphary_library.h"
#include "iconlib/glyphary_ids.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: glyphary_export_pictures <library> <folder>\n");
    return 1;
  }
  std::string error;
  const std::optional<plat::ui::ResourceModule> module = glyphary::loadLibraryResources(argv[1], &error);
  if (!module) {
    std::fprintf(stderr, "glyphary_export_pictures: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  // Text in the pictures needs the font database of a GUI application.
  QGuiApplication app(argc, argv);
  QDir folder(QString::fromLocal8Bit(argv[2]));
  if (!folder.mkpath(".")) {
    std::fprintf(stderr, "glyphary_export_pictures: cannot make %s\n", argv[2]);
    return 1;
  }
  for (const QString& old : folder.entryList({"*.png"}, QDir::Files)) folder.remove(old);

  int number = 0;
  for (const auto& [id, image] : module->images()) {
    if (id >= glyphary::kFirstBitmapId) break;
    if (image.kind != plat::ui::Image::Kind::Svg) {
      std::fprintf(stderr, "glyphary_export_pictures: icon %d is no SVG picture\n", id);
      return 1;
    }
    QSvgRenderer renderer(QByteArray(reinterpret_cast<const char*>(image.bytes.data()),
                                     static_cast<qsizetype>(image.bytes.size())));
    if (!renderer.isValid()) {
      std::fprintf(stderr, "glyphary_export_pictures: icon %d does not draw\n", id);
      return 1;
    }
    QImage picture(glyphary::kPictureSize, glyphary::kPictureSize, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter);
    painter.end();
    const QString file = folder.filePath(QString::number(number) + ".png");
    if (!picture.save(file, "PNG")) {
      std::fprintf(stderr, "glyphary_export_pictures: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
    ++number;
  }
  return 0;
}
