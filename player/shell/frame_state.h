#pragma once
// COrv_FrameState: the main frame's record of who is logged in, the
// interface language in use, and a cache of the numbered settings 3 to 25
// that the shell and the views consult while they work. The cache is filled
// once from the environment store and then updated value by value when a
// preference changes, so readers never go back to the registry.
//
// Setting 5 is a text (kept with its terminating zero); every other setting
// is a 4-byte value. Numbers outside 3 to 25 are ignored on writing and
// answer 0 on reading, which callers take as "not present".

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "player/env/current_user.h"
#include "shared/language/language_settings.h"

namespace orv {
class COrv_Environment;
}

// It is also the one holder of the logged-in name that the environment
// store reads and writes as setting 36: the program installs it as the
// current-user provider for as long as the main frame lives.
class COrv_FrameState : public tv::language::FrameState, public orv::CurrentUserNameProvider {
 public:
  static constexpr int kFirstCached = 3;
  static constexpr int kLastCached = 25;
  static constexpr int kTextSetting = 5;
  static constexpr std::size_t kMaxUserNameChars = 30;

  COrv_FrameState() = default;
  ~COrv_FrameState() override = default;

  // Fills the cache from `env`; a setting the store does not deliver is
  // left out.
  void LoadSettings(orv::COrv_Environment& env);
  void LoadSettings();

  // The value's length (the text's length for 5, else 4), copied into
  // `buffer` when one is given (setting 5 with its terminating zero: ask for
  // the length first). 0 for an uncached or out-of-range number.
  std::size_t GetValue(int n, void* buffer) const;
  // Stores a copy: the zero-terminated text for 5, else 4 bytes. Nothing
  // for null data or a number outside 3 to 25.
  void SetValue(int n, const void* data);
  // The 4-byte value of n, or `fallback` when it is not cached.
  int32_t GetInt(int n, int32_t fallback = 0) const;

  // Cut to its first 30 characters.
  void SetUserName(std::string_view name);
  const std::string& GetUserName() const { return m_strUserName; }
  void SetUserNumber(int32_t number) { m_nUserNumber = number; }
  int32_t GetUserNumber() const { return m_nUserNumber; }
  // Set once start-up has completed with its log-in.
  void SetLoggedIn(int32_t flag) { m_nLoggedIn = flag; }
  int32_t GetLoggedIn() const { return m_nLoggedIn; }

  void SetInterfaceLanguage(int32_t index) { m_nInterfaceLanguage = index; }
  int32_t GetInterfaceLanguage() const { return m_nInterfaceLanguage; }
  // The help language lives in the help object; nothing is kept here.
  void SetHelpLanguage(int32_t) {}

  // What the language object asks of the main window.
  int interfaceLanguage() const override { return m_nInterfaceLanguage; }
  // Setting 36 as the store sees it: the held name (empty for the default
  // user), and a name to hold, cut as SetUserName cuts it.
  std::string currentUserName() const override { return m_strUserName; }
  void setCurrentUserName(const std::string& name) override { SetUserName(name); }

  std::size_t CachedCount() const { return m_values.size(); }

 private:
  static bool cached(int n) { return n >= kFirstCached && n <= kLastCached; }

  int32_t m_nUserNumber = 0;
  int32_t m_nLoggedIn = 0;
  std::string m_strUserName;
  int32_t m_nInterfaceLanguage = 0;
  std::map<int, std::vector<unsigned char>> m_values;
};
