#include "player/shell/program_services.h"

#include "iconlib/client/glyphary_library.h"
#include "player/audio/wave_file_dialog_qt.h"
#include "player/env/registry_language_settings.h"
#include "shared/language/orv_language.h"

namespace orv::shell {

void InstallProgramServices() {
  tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(); });
  orv::InstallRegistryLanguageSettings();
  COrv_QtWaveFileDialog::InstallForProgram();
}

}  // namespace orv::shell
