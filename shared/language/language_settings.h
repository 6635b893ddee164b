#pragma once
// Where the language object reads the stored interface and help
// languages, and what it knows of the main window.
//
// The program's environment store implements LanguageSettings over its
// registry values; the main frame's state implements FrameState while the
// main window exists. Until they are installed, an in-memory settings
// object stands in (tests use it too) and there is no frame state.

#include <string>
#include <utility>

namespace tv::language {

class LanguageSettings {
 public:
  virtual ~LanguageSettings() = default;
  // The stored interface language index (the last one chosen).
  virtual int lastInterfaceLanguage() const = 0;
  virtual void setLastInterfaceLanguage(int index) = 0;
  // The stored help language index.
  virtual int lastHelpLanguage() const = 0;
  virtual void setLastHelpLanguage(int index) = 0;
  // A three-letter system language code configured for this machine
  // ("FRA", "PTB"), which then stands in for the locale; empty when none
  // is configured.
  virtual std::string systemLanguageCode() const { return {}; }
};

// The main window's state, as far as the language object asks it. (Who is
// logged in is the environment store's concern: player/env/current_user.h.)
class FrameState {
 public:
  virtual ~FrameState() = default;
  // The interface language the main window shows now.
  virtual int interfaceLanguage() const = 0;
};

class InMemoryLanguageSettings : public LanguageSettings {
 public:
  int lastInterfaceLanguage() const override { return interface_; }
  void setLastInterfaceLanguage(int index) override { interface_ = index; }
  int lastHelpLanguage() const override { return help_; }
  void setLastHelpLanguage(int index) override { help_ = index; }
  std::string systemLanguageCode() const override { return systemCode_; }
  void setSystemLanguageCode(std::string code) { systemCode_ = std::move(code); }

 private:
  int interface_ = 0;
  int help_ = 0;
  std::string systemCode_;
};

// The settings in use: the installed object, else a process-wide
// in-memory one. Installing null goes back to the in-memory one. The
// caller keeps an installed object alive while it is installed.
LanguageSettings& languageSettings();
void setLanguageSettings(LanguageSettings* settings);

// The main window's state; null while there is no main window.
FrameState* frameState();
void setFrameState(FrameState* state);

}  // namespace tv::language
