#include "player/views/prefs_host.h"

#include "player/env/environment.h"

namespace orv::views {

int EnvironmentPrefsHost::InterfaceLanguage() { return COrv_Environment().GetInterfaceLanguage(); }
int EnvironmentPrefsHost::HelpLanguage() { return COrv_Environment().GetHelpLanguage(); }
std::uint32_t EnvironmentPrefsHost::Value(int n) { return COrv_Environment().GetSettingValue(n); }
std::string EnvironmentPrefsHost::Text(int n) { return COrv_Environment().GetSettingText(n); }
void EnvironmentPrefsHost::StoreValue(int n, std::uint32_t v) { COrv_Environment().SetSettingValue(n, v); }
void EnvironmentPrefsHost::StoreText(int n, const std::string& t) { COrv_Environment().SetSettingText(n, t); }
void EnvironmentPrefsHost::StoreInterfaceLanguage(int i) { COrv_Environment().SetInterfaceLanguage(i); }
void EnvironmentPrefsHost::StoreHelpLanguage(int i) { COrv_Environment().SetHelpLanguage(i); }
bool EnvironmentPrefsHost::MarkDataPathInUse(bool on) { return COrv_Environment().MarkDataPathInUse(on); }
bool EnvironmentPrefsHost::HasAdminAccount() { return COrv_Environment().HasAdminAccount(); }
std::vector<std::string> EnvironmentPrefsHost::AltSources() {
  std::vector<std::string> list;
  COrv_Environment().ReadAltSources(list, false);
  return list;
}
bool EnvironmentPrefsHost::StoreAltSources(const std::vector<std::string>& folders) {
  return COrv_Environment().WriteAltSources(folders);
}
void EnvironmentPrefsHost::FrameInterfaceLanguage(int i) {
  if (frame_.setInterfaceLanguage) frame_.setInterfaceLanguage(i);
}
void EnvironmentPrefsHost::FrameHelpLanguage(int i) {
  if (frame_.setHelpLanguage) frame_.setHelpLanguage(i);
}
void EnvironmentPrefsHost::ApplySetting(int n, const void* v) {
  if (frame_.applySetting) frame_.applySetting(n, v);
}
std::string EnvironmentPrefsHost::CurrentUser() {
  return frame_.currentUser ? frame_.currentUser() : COrv_Environment().GetSettingText(36);
}
bool EnvironmentPrefsHost::IsTalvaneOpen() { return frame_.talvaneOpen && frame_.talvaneOpen(); }

}  // namespace orv::views
