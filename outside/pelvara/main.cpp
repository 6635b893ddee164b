// pelvara FILE LEFT TOP RIGHT BOTTOM MILLISECONDS: shows a media spot's
// picture; exit 1 on a wrong command line, 2 on a file it cannot read.

#include <QApplication>
#include <QImageReader>

#include <cstdio>

#include "outside/pelvara/spot_viewer.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList args = QApplication::arguments();
  args.removeFirst();
  const auto request = pelvara::parseArguments(args);
  if (!request) {
    std::fprintf(stderr, "usage: pelvara FILE LEFT TOP RIGHT BOTTOM MILLISECONDS\n");
    return pelvara::kBadArguments;
  }
  QImageReader reader(request->file);
  reader.setAutoTransform(true);
  // A hostile file may claim a huge size: the reader's allocation limit
  // (Qt's default, 256 MB) refuses it instead of exhausting memory.
  const QImage picture = reader.read();
  if (picture.isNull()) {
    std::fprintf(stderr, "pelvara: %s: %s\n", qPrintable(request->file), qPrintable(reader.errorString()));
    return pelvara::kUnreadable;
  }
  pelvara::SpotViewer viewer(picture, *request);
  viewer.show();
  return app.exec() == 0 ? pelvara::kShown : pelvara::kUnreadable;
}
