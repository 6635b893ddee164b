// orvex: the player. The application object runs the start-up (audio
// device, data path, switches, single instance, log-in, main frame) and the
// shut-down around Qt's event loop; SIGTERM and SIGINT end the loop like a
// closed window.

#include <string>
#include <vector>

#include <QApplication>

#include "platform/ui/quit_on_signal.h"
#include "player/shell/app.h"
#include "player/shell/program_services.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Orvex");
  QApplication::setOrganizationName("Quillon");

  plat::ui::quitOnTerminationSignals(qt);

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  // The icon library, the stored interface language and the wave file
  // dialog, before anything is shown.
  orv::shell::InstallProgramServices();

  orv::shell::COrv_App app;
  const bool started = app.InitInstance(args);
  // A file the load switch refused ends the program with 1: the shell or
  // script that asked for the install learns that it did not happen.
  // So does a machine without any audio device, after its box.
  const bool refusedAtStart = !started && (app.EndedAt() == orv::shell::COrv_App::Step::kLoad ||
                                           app.EndedAt() == orv::shell::COrv_App::Step::kAudio);
  // A termination signal during the start-up (a message box open) ends the
  // program as soon as the start-up has returned, without the main loop.
  const int code = started ? plat::ui::runMainLoop(qt) : 0;
  const int exitCode = app.ExitInstance();
  if (refusedAtStart) return 1;
  return code != 0 ? code : exitCode;
}
