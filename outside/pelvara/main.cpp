// pelvara FILE LEFT TOP RIGHT BOTTOM MILLISECONDS: shows a media spot's
// picture or page; exit 1 on a wrong command line, 2 on a file it cannot
// read or show.

#include <QApplication>
#include <QImageReader>
#include <QThread>

#include <QFile>

#include <cstdio>
#include <memory>
#include <optional>

#include "outside/pelvara/spot_viewer.h"
#include "platform/ipc/presence.h"
#include "platform/ui/test_mode.h"

namespace {

// A page larger than this is no spot a learner reads.
constexpr qint64 kLargestPage = 4 << 20;

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
  std::optional<pelvara::Page> page;
  if (picture.isNull()) {
    // Not a picture: a page spot is shown as text; any other kind is named
    // once, with why it cannot be shown.
    QFile file(request->file);
    if (file.open(QIODevice::ReadOnly) && file.size() <= kLargestPage) page = pelvara::readPage(request->file, file.readAll());
    if (!page) {
      std::fprintf(stderr, "pelvara: %s: neither a picture nor a page (%s)\n", qPrintable(request->file),
                   qPrintable(reader.errorString()));
      return pelvara::kUnreadable;
    }
  }
  std::unique_ptr<pelvara::SpotViewer> shownViewer =
      page ? std::make_unique<pelvara::SpotViewer>(*page, *request) : std::make_unique<pelvara::SpotViewer>(picture, *request);
  pelvara::SpotViewer& viewer = *shownViewer;
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
