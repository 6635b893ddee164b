#include "player/env/registry_language_settings.h"

#include <filesystem>

#include "platform/profile/profile.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"

namespace orv {

int COrv_RegistryLanguageSettings::lastInterfaceLanguage() const { return COrv_Environment().GetInterfaceLanguage(); }

void COrv_RegistryLanguageSettings::setLastInterfaceLanguage(int index) {
  COrv_Environment().SetInterfaceLanguage(index);
}

int COrv_RegistryLanguageSettings::lastHelpLanguage() const { return COrv_Environment().GetHelpLanguage(); }

void COrv_RegistryLanguageSettings::setLastHelpLanguage(int index) { COrv_Environment().SetHelpLanguage(index); }

std::string COrv_RegistryLanguageSettings::systemLanguageCode() const {
  const std::filesystem::path winIni = std::filesystem::path(fileUtilServices().windowsFolder()) / "win.ini";
  // Three letters, as the value is read into a four-byte buffer.
  return plat::profile::getString(winIni, "Intl", "sLanguage", "", 4);
}

void InstallRegistryLanguageSettings() {
  static COrv_RegistryLanguageSettings settings;
  tv::language::setLanguageSettings(&settings);
}

}  // namespace orv
