#pragma once
// PrefsHost: what the preferences dialog reads and writes outside itself,
// the settings store and the main frame. EnvironmentPrefsHost is the
// program's: the store is COrv_Environment, the frame's part comes as
// functions (the frame lives above this layer).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv::views {

class PrefsHost {
 public:
  virtual ~PrefsHost() = default;
  // The store.
  virtual int InterfaceLanguage() = 0;
  virtual int HelpLanguage() = 0;
  virtual std::uint32_t Value(int n) = 0;  // 3, 4, 6-31; the default when unset
  virtual std::string Text(int n) = 0;     // 5, 33, 36
  virtual void StoreValue(int n, std::uint32_t value) = 0;
  virtual void StoreText(int n, const std::string& text) = 0;
  virtual void StoreInterfaceLanguage(int index) = 0;
  virtual void StoreHelpLanguage(int index) = 0;
  virtual bool MarkDataPathInUse(bool on) = 0;
  virtual bool HasAdminAccount() = 0;
  // The alternative folders where Talvane sources are looked for.
  virtual std::vector<std::string> AltSources() = 0;
  virtual bool StoreAltSources(const std::vector<std::string>& folders) = 0;
  // The frame.
  virtual void FrameInterfaceLanguage(int index) = 0;
  virtual void FrameHelpLanguage(int index) = 0;
  virtual void ApplySetting(int n, const void* value) = 0;
  virtual std::string CurrentUser() = 0;
  virtual bool IsTalvaneOpen() = 0;
};

struct PrefsFrame {
  std::function<void(int)> setInterfaceLanguage;
  std::function<void(int)> setHelpLanguage;
  std::function<void(int, const void*)> applySetting;
  std::function<std::string()> currentUser;
  std::function<bool()> talvaneOpen;
};

class EnvironmentPrefsHost : public PrefsHost {
 public:
  explicit EnvironmentPrefsHost(PrefsFrame frame) : frame_(std::move(frame)) {}
  int InterfaceLanguage() override;
  int HelpLanguage() override;
  std::uint32_t Value(int n) override;
  std::string Text(int n) override;
  void StoreValue(int n, std::uint32_t value) override;
  void StoreText(int n, const std::string& text) override;
  void StoreInterfaceLanguage(int index) override;
  void StoreHelpLanguage(int index) override;
  bool MarkDataPathInUse(bool on) override;
  bool HasAdminAccount() override;
  std::vector<std::string> AltSources() override;
  bool StoreAltSources(const std::vector<std::string>& folders) override;
  void FrameInterfaceLanguage(int index) override;
  void FrameHelpLanguage(int index) override;
  void ApplySetting(int n, const void* value) override;
  std::string CurrentUser() override;
  bool IsTalvaneOpen() override;

 private:
  PrefsFrame frame_;
};

}  // namespace orv::views
