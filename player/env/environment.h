#pragma once
// COrv_Environment: the player's one door to its configuration. It reads and
// writes the registry key Software\Quillon\Kestrelle, the settings file
// Qlonwin.dpl (in the machine-settings folder), the numbered settings, the
// six administrator enablings and the administrator account, and it owns the
// data path and the folders below it.
//
// Callers make an instance around the call that needs it and drop it at
// once. The only state is the data path cached at construction (from
// Qlonwin.dpl, or the standard data path when that holds none); every
// folder getter derives from it. Nothing throws: failed reads give the
// documented empty value, 0 or default.
//
// Paths are native: folders are joined with '/', and a getter's `flag`
// adds a trailing '/'.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace orv {

using plat::registry::DWORD;
using plat::registry::HKEY;

// The key every value of the player lives under.
inline constexpr std::string_view kPlayerKey = "Software\\Quillon\\Kestrelle";

// Operations of COrv_Environment::RegistryValue.
enum RegistryOperation : int { kRegSet = 1, kRegDeleteKey = 2, kRegQuery = 3 };

// Every new data path gets the user "Default" with an empty password. The
// user accounts install the real maker; until then a built-in one writes the
// same entry (the credential block under [Default] with Count, and the
// user's empty General.ini).
class DefaultUserMaker {
 public:
  virtual ~DefaultUserMaker() = default;
  // Adds "Default" to the user index of `dataPath` unless it is there.
  // False when it could not be added.
  virtual bool ensureDefaultUser(const std::string& dataPath) = 0;
  // Gives listed users whose folder is missing a new one; answers the
  // users that could not be repaired.
  virtual std::vector<std::string> repairUsers(const std::string& dataPath) {
    (void)dataPath;
    return {};
  }
};
DefaultUserMaker* defaultUserMaker();  // the installed one, or the built-in one
DefaultUserMaker* setDefaultUserMaker(DefaultUserMaker* maker);  // nullptr: built-in

class COrv_Environment {
 public:
  COrv_Environment();
  virtual ~COrv_Environment() = default;

  // --- Registry and program folder ----------------------------------------
  // The program folder, never ending in a separator: AppPath of the machine
  // hive, else AppPath of the user's hive (copied to the machine hive), else
  // the folder of the running program.
  std::string GetAppPath();
  void SetAppPath(std::string_view folder);

  int GetInterfaceLanguage();
  void SetInterfaceLanguage(int index);
  int GetHelpLanguage();
  void SetHelpLanguage(int index);
  std::string GetStartMenuFolder();
  void SetStartMenuFolder(std::string_view folder);
  std::string GetLastInstPath();
  void SetLastInstPath(std::string_view path);  // one trailing separator removed
  std::string GetInstallMenuFolder();
  void SetInstallMenuFolder(std::string_view folder);

  // The name made safe as one file or folder name (user and book folders),
  // by the file utilities' rule: empty for a name that cannot be one.
  static std::string MakeValidFileName(std::string_view name);

  // HKEY_CLASSES_ROOT\.tpk with "Content Type" = "application/octet-stream".
  bool RegisterPacketContentType();
  // The uninstall entry `keyName` with DisplayName and UninstallString.
  void WriteUninstallEntry(std::string_view keyName, std::string_view displayName, std::string_view command);

  // Delete a key of the user's or the machine's hive with everything below
  // it. False when the key cannot be opened or queried, or when it could not
  // be deleted in the end (a subkey that is left keeps its parent).
  bool DeleteUserKey(std::string_view subKey = kPlayerKey);
  bool DeleteMachineKey(std::string_view subKey);

  // The generic value operation:
  //   kRegSet       creates the key and sets the value; `length` bytes of
  //                 data, one more (the terminator) for REG_SZ, REG_EXPAND_SZ
  //                 and REG_MULTI_SZ, whose data must hold it. 1 or 0.
  //   kRegDeleteKey deletes the key with everything below it. 1 or 0.
  //   kRegQuery     the stored size of the value; with data, `length` is the
  //                 buffer's size and the value is copied into it. 0 when the
  //                 key or value is missing or empty, or the buffer is short.
  // Any other operation answers 0.
  int RegistryValue(HKEY root, std::string_view subKey, std::string_view valueName, DWORD type, void* data,
                    DWORD length, int operation);

  // --- Numbered settings ----------------------------------------------------
  // Setting n into `buffer`, or its size when `buffer` is null. `size` is
  // the buffer's size in bytes in and the setting's size out:
  //   3, 4, 6-25, 26-31  4 bytes (a 32-bit value); a buffer under 4 bytes
  //                      gives false.
  //   5                  the stored text, terminator counted.
  //   33 (data path), 36 (current user name, "Default" when empty): the text
  //                      copied and terminated, cut at a character boundary
  //                      to fit the buffer; size out is the whole text's
  //                      length without terminator, so a caller sees a cut
  //                      when it is not below the buffer's size.
  // Any other n: size 0, false.
  bool GetSetting(int n, void* buffer, DWORD* size);
  // Stores setting n. Numbers of 32-bit values need size 4; texts take the
  // bytes up to the first NUL within `size`.
  void SetSetting(int n, const void* data, DWORD size);
  // Typed forms of the two above (the text forms for 5, 33 and 36 only).
  DWORD GetSettingValue(int n);
  std::string GetSettingText(int n);
  void SetSettingValue(int n, DWORD value);
  void SetSettingText(int n, std::string_view text);

  static std::string GetSettingName(int n);  // "dummy" for 0-2, empty past 25
  static int GetSettingDefault(int n);

  // --- Enablings and administrator account --------------------------------
  bool IsEnabled(int i);           // enabling 0-5; false for other numbers
  void SetEnabled(int i, bool on);  // a short stored string is padded with '1'
  bool GetAdminAccount(std::string& name, std::string& password);
  bool HasAdminAccount();
  bool CheckAdminAccount(std::string_view name, std::string_view password);
  bool SetAdminAccount(std::string_view name, std::string_view password);

  // --- Data path and data folders -------------------------------------------
  std::string ReadDataPath(bool fromFile);
  std::string GetDataPath() const { return dataPath_; }
  std::string GetStandardDataPath();
  bool HasPublicFolder();
  std::string GetDefaultDataPath();
  std::string GetSpecialFolderPath(int csidl);
  // With PUBLIC set, a path other than it (empty: the cached one) is moved
  // to it (move) or refused with a warning box.
  bool CheckPublicDataPath(bool move, std::string_view path);
  // Makes `path` (null: the stored one) the cached data path. With write it
  // must first be a data path or be made one, and is then stored; false,
  // with nothing changed, when that fails or the path is too long to store.
  bool SetDataPath(const std::string* path, bool write);
  bool SetDataPath(std::string_view path, bool write) {
    std::string p(path);
    return SetDataPath(&p, write);
  }

  std::string GetDownloadPath(bool flag = false);
  std::string GetBackUpPath(bool flag = false);
  std::string GetInstallPath(bool flag = false);
  std::string GetTalvanesPath(bool flag = false);
  std::string GetUsersPath(bool flag = false);
  std::string GetDemoPath(bool flag = false);
  // 4 user index, 5 Talvane index, 6 settings file, 7 alternative sources;
  // empty for other kinds.
  std::string GetIndexFilePath(int kind);

  // Build or check the structure in `folder` (null: the standard data path
  // for Create, the cached one for Verify); the cached path is unchanged.
  bool CreateDataPath(const std::string* folder = nullptr);
  bool VerifyDataPath(const std::string* folder = nullptr);
  // Removes the structure of a data path that is neither the standard one
  // nor the one in use; the folder itself and other files stay.
  bool DeleteDataPath(std::string_view folder);
  // Creates (on) or removes (off) the empty mark file in the stored data
  // path; false when it cannot be made or there is none to remove.
  bool MarkDataPathInUse(bool on);

  int ReadAltSources(std::vector<std::string>& list, bool flag);
  bool WriteAltSources(const std::vector<std::string>& list);
  int ReadDataPathHistory(std::vector<std::string>& list);
  std::string GetNamedDataPath(std::string_view name, bool flag);
  bool AddNamedDataPath(std::string_view name, std::string_view folder);

 protected:
  // Derived classes may replace the cached data path (the user accounts
  // bind to a folder that is being built).
  void replaceDataPath(std::string path) { dataPath_ = std::move(path); }

 private:
  std::string readUserString(std::string_view valueName);
  DWORD readUserDword(std::string_view valueName, DWORD def);
  void writeUserString(std::string_view valueName, std::string_view value);
  void writeUserDword(std::string_view valueName, DWORD value);
  std::string readEnablings();
  bool deleteKeyTree(HKEY root, const std::string& subKey);
  std::string dataFolder(std::string_view name, bool flag) const;

  std::string dataPath_;
};

// The Qlonwin.dpl sections and keys.
inline constexpr std::string_view kSecDatapath = "Datapath";
inline constexpr std::string_view kKeyDataPath = "DataPath";
inline constexpr std::string_view kKeyDefaultDatapath = "DefaultDatapath";
inline constexpr std::string_view kSecHistory = "LRUDatapath";
inline constexpr std::string_view kKeyPath = "Path";
inline constexpr std::string_view kSecSettings = "Settings";
inline constexpr std::string_view kKeyEnablings = "Enablings";
inline constexpr std::string_view kKeyAdmin = "PA";
inline constexpr std::string_view kDefaultEnablings = "111110";
inline constexpr std::string_view kDefaultPathName = "@@@Default";
inline constexpr int kMaxNamedPaths = 30;
inline constexpr int kMaxAltSources = 30;

}  // namespace orv
