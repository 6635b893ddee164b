#pragma once
// The interface and help languages as the program stores them: the
// LastInterfaceLanguage and LastHelpLanguage values of the environment
// store's registry key, and the machine's three-letter system language code,
// the "sLanguage" value of the [Intl] section of "win.ini" in the Windows
// folder (none set: the locale decides). The program installs one of these
// for the language object at start-up, so that messages shown before the
// main window exists come in the learner's language.

#include <string>

#include "shared/language/language_settings.h"

namespace orv {

class COrv_RegistryLanguageSettings : public tv::language::LanguageSettings {
 public:
  int lastInterfaceLanguage() const override;
  void setLastInterfaceLanguage(int index) override;
  int lastHelpLanguage() const override;
  void setLastHelpLanguage(int index) override;
  std::string systemLanguageCode() const override;
};

// Installs the program's settings object for the language object (once;
// it lives as long as the process).
void InstallRegistryLanguageSettings();

}  // namespace orv
