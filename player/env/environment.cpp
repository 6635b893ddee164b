// The registry values, numbered settings, enablings and the administrator
// account of COrv_Environment. The data path and its folders are in
// data_path.cpp.

#include "player/env/environment.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/file_io.h"
#include "platform/fs/program_folder.h"
#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/text/utf8.h"
#include "player/env/credential_block.h"
#include "player/env/current_user.h"
#include "player/env/file_util.h"
#include "player/env/settings_file.h"

namespace orv {

using namespace plat::registry;

namespace {

constexpr const char* kValAppPath = "AppPath";
constexpr const char* kValInterfaceLanguage = "LastInterfaceLanguage";
constexpr const char* kValHelpLanguage = "LastHelpLanguage";
constexpr const char* kValStartMenuFolder = "StartMenuFolder";
constexpr const char* kValLastInstPath = "LastInstPath";
constexpr const char* kValInstallMenuFolder = "InstallMenuFolder";
constexpr const char* kValAltJingleName = "AltJingleName";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kDefaultUser = "Default";

// Registry names of settings 0-25 (0-2 are not stored under these names).
constexpr const char* kSettingNames[26] = {
    "dummy",          "dummy",          "dummy",          "ShowProlog",       "AltJingle",
    "AltJingleName",  "ShowComment",    "InitEMPlay",     "InitSpeed",        "InitPlayAll",
    "LoadTvStatusQuery", "SaveTvStatus", "ShowNonKey",    "ShowFixed",        "InitPlayLoop",
    "InitPlayRecSequence", "PlayWaitSeconds", "ShowHitsProlog", "ShowHitsComment", "ShowSpvu",
    "ShowVolume",     "ShowFrgmtSelector", "ShowEMIndex", "ShowStatusbar",    "ShowAudioPanel",
    "ShowCommandPanel"};

constexpr int kSettingAltJingleName = 5;
constexpr int kSettingFirstEnabling = 26;
constexpr int kSettingLastEnabling = 31;
constexpr int kSettingDataPath = 33;
constexpr int kSettingUserName = 36;
constexpr int kEnablings = 6;

bool isDwordSetting(int n) { return n == 3 || n == 4 || (n >= 6 && n <= 25); }

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Removes one trailing separator, keeping the root folder "/" as it is.
std::string withoutTrailingSeparator(std::string s) {
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string trimRight(std::string s) {
  while (!s.empty() && plat::profile::text::isBlank(s.back())) s.pop_back();
  return s;
}

// Text of a registry string value: the stored bytes up to the first NUL.
std::string fromStored(const std::vector<char>& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), '\0');
  return std::string(bytes.begin(), end);
}

// Copies `text` into a caller's buffer of `capacity` bytes, terminated and
// cut at a character boundary. A zero capacity copies nothing.
void copyText(std::string_view text, void* buffer, DWORD capacity) {
  if (capacity == 0) return;
  std::string_view cut = plat::text::cutToBytes(text, capacity - 1);
  std::memcpy(buffer, cut.data(), cut.size());
  static_cast<char*>(buffer)[cut.size()] = '\0';
}

// A text handed in as bytes: everything up to the first NUL within `size`.
std::string_view textOf(const void* data, DWORD size) {
  if (data == nullptr) return {};
  const char* p = static_cast<const char*>(data);
  return std::string_view(p, strnlen(p, size));
}

// The built-in maker of the default user (used until the user accounts
// install theirs): the credential block of "Default" with an empty password
// under [Default], Count raised, and the user's folder with an empty
// General.ini.
class BuiltInDefaultUserMaker final : public DefaultUserMaker {
 public:
  bool ensureDefaultUser(const std::string& dataPath) override {
    const std::string index = dataPath + "/Users/Index.usr";
    std::string pwd = trimRight(plat::profile::getString(index, kDefaultUser, "pwd", "", 201));
    if (!pwd.empty()) return true;
    const std::string block = encodeCredentialBlock(kDefaultUser, "");
    // The folder first, the index entry last (its count read under the
    // index's lock): a crash never leaves a listed user without a folder.
    const std::string folder = dataPath + "/Users/" + kDefaultUser;
    if (!plat::fs::ensureFolder(folder)) return false;
    if (plat::fs::writeFileAtomic(folder + "/General.ini", "")) return false;
    return !plat::profile::update(index, [&](const plat::profile::Snapshot& current, plat::profile::Batch& batch) {
      if (!trimRight(current.getString(kDefaultUser, "pwd", "", 201)).empty()) return;
      const int count = current.getInt(kDefaultUser, "Count", 0);
      batch.writeString(kDefaultUser, "pwd", block).writeString(kDefaultUser, "Count", std::to_string(count + 1));
    });
  }
};

BuiltInDefaultUserMaker g_builtInMaker;
std::atomic<DefaultUserMaker*> g_userMaker{nullptr};

}  // namespace

namespace detail {

std::string settingsFile() { return (plat::fs::machineSettingsFolder() / "Qlonwin.dpl").string(); }

bool writeSettingsValue(std::string_view section, std::string_view key, std::string_view value) {
  plat::fs::ensureFolder(plat::fs::machineSettingsFolder());
  return !plat::profile::writeString(settingsFile(), section, key, value);
}

}  // namespace detail

using detail::settingsFile;
using detail::writeSettingsValue;

DefaultUserMaker* defaultUserMaker() {
  DefaultUserMaker* m = g_userMaker.load();
  return m != nullptr ? m : &g_builtInMaker;
}

DefaultUserMaker* setDefaultUserMaker(DefaultUserMaker* maker) { return g_userMaker.exchange(maker); }

COrv_Environment::COrv_Environment() { dataPath_ = ReadDataPath(true); }

// --- Registry ------------------------------------------------------------------

int COrv_Environment::RegistryValue(HKEY root, std::string_view subKey, std::string_view valueName, DWORD type,
                                    void* data, DWORD length, int operation) {
  switch (operation) {
    case kRegSet: {
      HKEY key = nullptr;
      if (RegCreateKeyEx(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                         nullptr) != ERROR_SUCCESS)
        return 0;
      DWORD size = isStringType(type) ? length + 1 : length;
      LONG rc = RegSetValueEx(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
      RegCloseKey(key);
      return rc == ERROR_SUCCESS ? 1 : 0;
    }
    case kRegDeleteKey:
      return deleteKeyTree(root, std::string(subKey)) ? 1 : 0;
    case kRegQuery: {
      HKEY key = nullptr;
      if (RegOpenKeyEx(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
      DWORD size = data != nullptr ? length : 0;
      LONG rc = RegQueryValueEx(key, valueName, nullptr, nullptr, static_cast<BYTE*>(data), &size);
      RegCloseKey(key);
      return rc == ERROR_SUCCESS ? static_cast<int>(size) : 0;
    }
    default:
      return 0;
  }
}

// Depth first: every subkey from the last index down (so the indexes still
// to come stay valid while subkeys disappear), then the key itself. The
// answer is whether the key is gone in the end.
bool COrv_Environment::deleteKeyTree(HKEY root, const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  DWORD subKeys = 0, longest = 0;
  if (RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  std::vector<char> name(longest + 1);
  for (DWORD i = subKeys; i-- > 0;) {
    DWORD size = static_cast<DWORD>(name.size());
    if (RegEnumKeyEx(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    deleteKeyTree(root, subKey + "\\" + std::string(name.data(), size));
  }
  RegCloseKey(key);
  return RegDeleteKey(root, subKey) == ERROR_SUCCESS;
}

bool COrv_Environment::DeleteUserKey(std::string_view subKey) {
  return deleteKeyTree(HKEY_CURRENT_USER, std::string(subKey));
}

bool COrv_Environment::DeleteMachineKey(std::string_view subKey) {
  if (subKey.empty()) return false;
  return deleteKeyTree(HKEY_LOCAL_MACHINE, std::string(subKey));
}

std::string COrv_Environment::readUserString(std::string_view valueName) {
  int size = RegistryValue(HKEY_CURRENT_USER, kPlayerKey, valueName, REG_SZ, nullptr, 0, kRegQuery);
  if (size <= 0) return {};
  std::vector<char> bytes(static_cast<size_t>(size));
  if (RegistryValue(HKEY_CURRENT_USER, kPlayerKey, valueName, REG_SZ, bytes.data(), static_cast<DWORD>(size),
                    kRegQuery) <= 0)
    return {};
  return fromStored(bytes);
}

DWORD COrv_Environment::readUserDword(std::string_view valueName, DWORD def) {
  DWORD value = 0;
  if (RegistryValue(HKEY_CURRENT_USER, kPlayerKey, valueName, REG_DWORD, &value, sizeof value, kRegQuery) !=
      static_cast<int>(sizeof value))
    return def;
  return value;
}

void COrv_Environment::writeUserString(std::string_view valueName, std::string_view value) {
  std::string text(value);
  RegistryValue(HKEY_CURRENT_USER, kPlayerKey, valueName, REG_SZ, text.data(), static_cast<DWORD>(text.size()),
                kRegSet);
}

void COrv_Environment::writeUserDword(std::string_view valueName, DWORD value) {
  RegistryValue(HKEY_CURRENT_USER, kPlayerKey, valueName, REG_DWORD, &value, sizeof value, kRegSet);
}

std::string COrv_Environment::GetAppPath() {
  std::string path;
  auto read = [&](HKEY root) -> bool {
    int size = RegistryValue(root, kPlayerKey, kValAppPath, REG_SZ, nullptr, 0, kRegQuery);
    if (size <= 0) return false;
    std::vector<char> bytes(static_cast<size_t>(size));
    if (RegistryValue(root, kPlayerKey, kValAppPath, REG_SZ, bytes.data(), static_cast<DWORD>(size), kRegQuery) <= 0)
      return false;
    path = withoutTrailingSeparator(trimRight(fromStored(bytes)));
    return !path.empty();  // an empty text names no folder
  };
  if (read(HKEY_LOCAL_MACHINE)) return path;
  if (read(HKEY_CURRENT_USER)) {
    SetAppPath(path);
    return path;
  }
  return withoutTrailingSeparator(trimRight(plat::fs::programFolder().string()));
}

void COrv_Environment::SetAppPath(std::string_view folder) {
  std::string text = withoutTrailingSeparator(std::string(folder));
  RegistryValue(HKEY_LOCAL_MACHINE, kPlayerKey, kValAppPath, REG_SZ, text.data(), static_cast<DWORD>(text.size()),
                kRegSet);
}

int COrv_Environment::GetInterfaceLanguage() { return static_cast<int>(readUserDword(kValInterfaceLanguage, 0)); }
void COrv_Environment::SetInterfaceLanguage(int index) {
  writeUserDword(kValInterfaceLanguage, static_cast<DWORD>(index));
}
int COrv_Environment::GetHelpLanguage() { return static_cast<int>(readUserDword(kValHelpLanguage, 0)); }
void COrv_Environment::SetHelpLanguage(int index) { writeUserDword(kValHelpLanguage, static_cast<DWORD>(index)); }

std::string COrv_Environment::GetStartMenuFolder() { return readUserString(kValStartMenuFolder); }
void COrv_Environment::SetStartMenuFolder(std::string_view folder) { writeUserString(kValStartMenuFolder, folder); }
std::string COrv_Environment::GetLastInstPath() { return readUserString(kValLastInstPath); }
void COrv_Environment::SetLastInstPath(std::string_view path) {
  writeUserString(kValLastInstPath, withoutTrailingSeparator(std::string(path)));
}
std::string COrv_Environment::GetInstallMenuFolder() { return readUserString(kValInstallMenuFolder); }
void COrv_Environment::SetInstallMenuFolder(std::string_view folder) {
  writeUserString(kValInstallMenuFolder, folder);
}

std::string COrv_Environment::MakeValidFileName(std::string_view name) { return orv::MakeValidFileName(name); }

namespace {

// What the file utilities ask of the environment, read afresh on every
// call so that a changed data path or setting is seen at once.
class EnvironmentFileServices final : public FileUtilServices {
 public:
  std::string backUpFolder() const override {
    COrv_Environment env;
    return env.GetDataPath().empty() ? std::string() : env.GetBackUpPath();
  }
  std::string installMenuFolder() const override { return COrv_Environment().GetInstallMenuFolder(); }
  std::string programFolder() const override { return COrv_Environment().GetAppPath(); }
};

}  // namespace

const FileUtilServices& environmentFileUtilServices() {
  static const EnvironmentFileServices services;
  return services;
}

bool COrv_Environment::RegisterPacketContentType() {
  std::string type = "application/octet-stream";
  return RegistryValue(HKEY_CLASSES_ROOT, ".tpk", "Content Type", REG_SZ, type.data(),
                       static_cast<DWORD>(type.size()), kRegSet) == 1;
}

void COrv_Environment::WriteUninstallEntry(std::string_view keyName, std::string_view displayName,
                                           std::string_view command) {
  std::string key = std::string(kUninstallKey) + "\\" + std::string(keyName);
  std::string display(displayName), cmd(command);
  RegistryValue(HKEY_LOCAL_MACHINE, key, "DisplayName", REG_SZ, display.data(), static_cast<DWORD>(display.size()),
                kRegSet);
  RegistryValue(HKEY_LOCAL_MACHINE, key, "UninstallString", REG_SZ, cmd.data(), static_cast<DWORD>(cmd.size()),
                kRegSet);
}

// --- Numbered settings ----------------------------------------------------------

std::string COrv_Environment::GetSettingName(int n) {
  if (n < 0 || n > 25) return {};
  return kSettingNames[n];
}

int COrv_Environment::GetSettingDefault(int n) {
  switch (n) {
    case 3: case 6: case 7: case 11: case 13: case 17: case 18: case 22: case 23: case 24: case 25:
      return 1;
    case 16:
      return 2;
    default:
      return 0;
  }
}

bool COrv_Environment::GetSetting(int n, void* buffer, DWORD* size) {
  DWORD dummy = 0;
  if (size == nullptr) {
    if (buffer != nullptr) return false;  // a buffer of unknown size takes nothing
    size = &dummy;
  }
  auto giveDword = [&](DWORD value) {
    const DWORD capacity = *size;
    *size = sizeof(DWORD);
    if (buffer == nullptr) return true;
    if (capacity < sizeof(DWORD)) return false;
    std::memcpy(buffer, &value, sizeof value);
    return true;
  };
  auto giveText = [&](const std::string& text) {
    if (buffer != nullptr) copyText(text, buffer, *size);
    *size = static_cast<DWORD>(text.size());
    return true;
  };

  if (isDwordSetting(n)) {
    DWORD value = buffer != nullptr
                      ? readUserDword(kSettingNames[n], static_cast<DWORD>(GetSettingDefault(n)))
                      : 0;
    return giveDword(value);
  }
  if (n >= kSettingFirstEnabling && n <= kSettingLastEnabling)
    return giveDword(buffer != nullptr && IsEnabled(n - kSettingFirstEnabling) ? 1 : 0);
  switch (n) {
    case kSettingAltJingleName: {
      int stored = RegistryValue(HKEY_CURRENT_USER, kPlayerKey, kValAltJingleName, REG_SZ, nullptr, 0, kRegQuery);
      if (buffer == nullptr) {
        *size = stored > 0 ? static_cast<DWORD>(stored) : 1;
        return true;
      }
      std::string text = readUserString(kValAltJingleName);
      copyText(text, buffer, *size);
      *size = static_cast<DWORD>(text.size() + 1);
      return true;
    }
    case kSettingDataPath:
      return giveText(ReadDataPath(true));
    case kSettingUserName: {
      CurrentUserNameProvider* provider = currentUserNameProvider();
      std::string name = provider != nullptr ? provider->currentUserName() : std::string();
      return giveText(name.empty() ? std::string(kDefaultUser) : name);
    }
    default:
      *size = 0;
      return false;
  }
}

void COrv_Environment::SetSetting(int n, const void* data, DWORD size) {
  if (data == nullptr) return;
  if (isDwordSetting(n)) {
    if (size != sizeof(DWORD)) return;
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    writeUserDword(kSettingNames[n], value);
    return;
  }
  if (n >= kSettingFirstEnabling && n <= kSettingLastEnabling) {
    if (size != sizeof(DWORD)) return;
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    SetEnabled(n - kSettingFirstEnabling, value == 1);
    return;
  }
  switch (n) {
    case kSettingAltJingleName:
      writeUserString(kValAltJingleName, textOf(data, size));
      return;
    case kSettingDataPath:
      SetDataPath(textOf(data, size), true);
      return;
    case kSettingUserName: {
      CurrentUserNameProvider* provider = currentUserNameProvider();
      if (provider == nullptr) return;
      std::string name(textOf(data, size));
      provider->setCurrentUserName(name == kDefaultUser ? std::string() : name);
      return;
    }
    default:
      return;
  }
}

DWORD COrv_Environment::GetSettingValue(int n) {
  DWORD value = 0, size = sizeof value;
  return GetSetting(n, &value, &size) && size == sizeof value ? value : 0;
}

std::string COrv_Environment::GetSettingText(int n) {
  if (n != kSettingAltJingleName && n != kSettingDataPath && n != kSettingUserName) return {};
  DWORD size = 0;
  if (!GetSetting(n, nullptr, &size)) return {};
  std::vector<char> buffer(size + 1);
  size = static_cast<DWORD>(buffer.size());
  if (!GetSetting(n, buffer.data(), &size)) return {};
  return std::string(buffer.data());
}

void COrv_Environment::SetSettingValue(int n, DWORD value) { SetSetting(n, &value, sizeof value); }

void COrv_Environment::SetSettingText(int n, std::string_view text) {
  std::string copy(text);
  SetSetting(n, copy.c_str(), static_cast<DWORD>(copy.size() + 1));
}

// --- Enablings and administrator account ------------------------------------------

std::string COrv_Environment::readEnablings() {
  return plat::profile::getString(settingsFile(), kSecSettings, kKeyEnablings, kDefaultEnablings, kEnablings + 1);
}

bool COrv_Environment::IsEnabled(int i) {
  if (i < 0 || i >= kEnablings) return false;
  std::string e = readEnablings();
  return static_cast<size_t>(i) >= e.size() || e[static_cast<size_t>(i)] != '0';
}

void COrv_Environment::SetEnabled(int i, bool on) {
  if (i < 0 || i >= kEnablings || IsEnabled(i) == on) return;
  std::string e = readEnablings();
  // Positions missing from a short string read as on: pad them so.
  if (e.size() <= static_cast<size_t>(i)) e.resize(static_cast<size_t>(i) + 1, '1');
  e[static_cast<size_t>(i)] = on ? '1' : '0';
  writeSettingsValue(kSecSettings, kKeyEnablings, e);
}

bool COrv_Environment::GetAdminAccount(std::string& name, std::string& password) {
  std::string pa = plat::profile::getString(settingsFile(), kSecSettings, kKeyAdmin, "", kCredentialDigits + 1);
  if (pa.empty()) {
    name.clear();
    password.clear();
    return true;
  }
  return decodeCredentialBlock(pa, name, password);
}

bool COrv_Environment::HasAdminAccount() {
  std::string name, password;
  if (!GetAdminAccount(name, password)) return true;
  return !(name.empty() && password.empty());
}

// What is typed is compared in the form the block keeps (cut to its field,
// trailing blanks dropped), so a name or password that was cut on storing
// still matches.
bool COrv_Environment::CheckAdminAccount(std::string_view name, std::string_view password) {
  std::string storedName, storedPassword;
  if (!GetAdminAccount(storedName, storedPassword)) return false;
  return credentialName(name) == storedName && credentialPassword(password) == storedPassword;
}

bool COrv_Environment::SetAdminAccount(std::string_view name, std::string_view password) {
  return writeSettingsValue(kSecSettings, kKeyAdmin, encodeCredentialBlock(name, password));
}

}  // namespace orv
