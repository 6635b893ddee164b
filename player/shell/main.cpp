// orvex: the player. The application object runs the start-up (audio
// device, data path, switches, single instance, log-in, main frame) and the
// shut-down around Qt's event loop; SIGTERM and SIGINT end the loop like a
// closed window.

#include <string>
#include <vector>

#include <QApplication>

#include "iconlib/client/glyphary_library.h"
#include "platform/ui/quit_on_signal.h"
#include "player/env/registry_language_settings.h"
#include "player/shell/app.h"
#include "shared/language/orv_language.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Orvex");
  QApplication::setOrganizationName("Quillon");

  plat::ui::quitOnTerminationSignals(qt);

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  // Book levels, categories, languages and sources take their pictures
  // from the icon library beside the program.
  tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(); });
  // Messages shown before the main window exists come in the stored
  // interface language.
  orv::InstallRegistryLanguageSettings();

  orv::shell::COrv_App app;
  const int code = app.InitInstance(args) ? QApplication::exec() : 0;
  const int exitCode = app.ExitInstance();
  return code != 0 ? code : exitCode;
}
