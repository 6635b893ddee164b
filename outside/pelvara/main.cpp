// pelvara FILE LEFT TOP RIGHT BOTTOM MILLISECONDS: shows a media spot's
// picture; exit 1 on a wrong command line, 2 on a file it cannot read.

#include <QApplication>
#include <QImageReader>
#include <QThread>

#include <cstdio>

#include "outside/pelvara/spot_viewer.h"
#include "platform/ipc/presence.h"
#include "platform/ui/test_mode.h"

namespace {

// The player starts a viewer and waits until it is ready; it may close it
// by request. A viewer started while another shows a spot takes its place.
class ViewerPresence : public plat::ipc::PresenceHandler {
 public:
  explicit ViewerPresence(QWidget* window) : m_window(window) {}
  void onActivate() override {
    m_window->raise();
    m_window->activateWindow();
  }
  void onClose() override { m_window->close(); }

 private:
  QWidget* m_window;
};

void takeClass(plat::ipc::ClassPresence& presence) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (presence.registerClass() != plat::ipc::ClassPresence::Result::Exists) return;
    plat::ipc::requestClose(pelvara::kWindowClass, 500);
    QThread::msleep(50);
  }
}

}  // namespace

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
  ViewerPresence handler(&viewer);
  plat::ipc::ClassPresence presence(pelvara::kWindowClass, &handler);
  takeClass(presence);
  viewer.show();
  const QRect shown = viewer.geometry();
  plat::ui::logTestEvent("viewer", (QApplication::applicationFilePath() + ' ' + args.join(' ')).toStdString());
  plat::ui::logTestEvent("viewer window", QString("%1 %2 %3 %4 %5")
                                              .arg(QApplication::applicationPid())
                                              .arg(shown.x())
                                              .arg(shown.y())
                                              .arg(shown.width())
                                              .arg(shown.height())
                                              .toStdString());
  presence.announceReady();
  return app.exec() == 0 ? pelvara::kShown : pelvara::kUnreadable;
}
