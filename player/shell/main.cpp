// orvex: the player. For now it shows the main frame with its menus and
// client background; the start-up checks, log-in and single-instance
// hand-over of the application object come next.

#include <QApplication>

#include "player/shell/main_frame.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orvex");
  CMainFrame frame;
  if (!frame.OnCreate()) return 1;
  frame.setWindowTitle("Talvane Player");
  frame.show();
  return QApplication::exec();
}
