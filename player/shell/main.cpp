// orvex: the player. The application object runs the start-up (audio
// device, data path, switches, single instance, log-in, main frame) and the
// shut-down around Qt's event loop.

#include <QApplication>
#include <string>
#include <vector>

#include "player/shell/app.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Orvex");
  QApplication::setOrganizationName("Quillon");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  orv::shell::COrv_App app;
  const int code = app.InitInstance(args) ? QApplication::exec() : 0;
  const int exitCode = app.ExitInstance();
  return code != 0 ? code : exitCode;
}
