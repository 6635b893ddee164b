#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "player/env/environment.h"
#include "player/env/tests/env_test_support.h"

namespace {

using namespace plat::registry;
using orv::COrv_Environment;
using orvtest::EnvTest;

void putUserDword(std::string_view name, DWORD value) {
  COrv_Environment env;
  ASSERT_EQ(env.RegistryValue(HKEY_CURRENT_USER, orv::kPlayerKey, name, REG_DWORD, &value, sizeof value, orv::kRegSet),
            1);
}

void putString(HKEY root, std::string_view name, std::string text) {
  COrv_Environment env;
  ASSERT_EQ(env.RegistryValue(root, orv::kPlayerKey, name, REG_SZ, text.data(), static_cast<DWORD>(text.size()),
                              orv::kRegSet),
            1);
}

bool keyExists(HKEY root, std::string_view path) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// What the user's hive holds under the player's key, read without the store:
// a DWORD (or -1 when there is none of that type), a string (or "<none>").
long long storedDword(std::string_view name) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, orv::kPlayerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG rc = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(value) : -1;
}

std::string storedString(std::string_view name) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, orv::kPlayerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  char buffer[256] = {};
  DWORD size = sizeof buffer - 1, type = 0;
  const LONG rc = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(buffer) : "<none>";
}

// --- Numbered settings -------------------------------------------------------------

using SettingsTest = EnvTest;

// Each 4-byte setting lives in the user's hive under its own name, reads
// its default while missing, and reads what another writer stored there.
TEST_F(SettingsTest, NumberedValuesLiveUnderTheirNamesWithTheirDefaults) {
  struct Case {
    int n;
    const char* name;
    DWORD def;
  };
  const Case cases[] = {
      {3, "ShowProlog", 1},         {4, "AltJingle", 0},           {6, "ShowComment", 1},
      {7, "InitEMPlay", 1},         {8, "InitSpeed", 0},           {9, "InitPlayAll", 0},
      {10, "LoadTvStatusQuery", 0}, {11, "SaveTvStatus", 1},       {12, "ShowNonKey", 0},
      {13, "ShowFixed", 1},         {14, "InitPlayLoop", 0},       {15, "InitPlayRecSequence", 0},
      {16, "PlayWaitSeconds", 2},   {17, "ShowHitsProlog", 1},     {18, "ShowHitsComment", 1},
      {19, "ShowSpvu", 0},          {20, "ShowVolume", 0},         {21, "ShowFrgmtSelector", 0},
      {22, "ShowEMIndex", 1},       {23, "ShowStatusbar", 1},      {24, "ShowAudioPanel", 1},
      {25, "ShowCommandPanel", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(COrv_Environment::GetSettingName(c.n), c.name);
    EXPECT_EQ(COrv_Environment::GetSettingDefault(c.n), static_cast<int>(c.def));
    DWORD value = 77, size = sizeof value;
    EXPECT_TRUE(COrv_Environment().GetSetting(c.n, &value, &size));
    EXPECT_EQ(value, c.def);
    EXPECT_EQ(size, 4u);
    DWORD measured = 0;
    EXPECT_TRUE(COrv_Environment().GetSetting(c.n, nullptr, &measured));
    EXPECT_EQ(measured, 4u);

    COrv_Environment().SetSettingValue(c.n, 200 + c.n);
    EXPECT_EQ(storedDword(c.name), 200 + c.n);
    putUserDword(c.name, 100 + c.n);
    EXPECT_EQ(COrv_Environment().GetSettingValue(c.n), static_cast<DWORD>(100 + c.n));
  }
}

TEST_F(SettingsTest, UnstoredNumbersAnswerFalseWithSizeZero) {
  COrv_Environment env;
  for (int n : {-1, 0, 1, 2, 32, 34, 35, 37, 1000}) {
    SCOPED_TRACE(n);
    DWORD value = 0, size = 4;
    EXPECT_FALSE(env.GetSetting(n, &value, &size));
    EXPECT_EQ(size, 0u);
    size = 9;
    EXPECT_FALSE(env.GetSetting(n, nullptr, &size));
    EXPECT_EQ(size, 0u);
  }
  EXPECT_EQ(COrv_Environment::GetSettingName(2), "dummy");
  EXPECT_EQ(COrv_Environment::GetSettingName(16), "PlayWaitSeconds");
  EXPECT_EQ(COrv_Environment::GetSettingName(26), "");
}

TEST_F(SettingsTest, ValuesOfTheWrongSizeAreNeitherStoredNorCopiedIntoShortBuffers) {
  COrv_Environment env;
  std::uint16_t small = 5;
  env.SetSetting(16, &small, sizeof small);
  EXPECT_EQ(storedDword("PlayWaitSeconds"), -1);
  EXPECT_EQ(env.GetSettingValue(16), 2u);
  DWORD value = 0, size = 2;
  EXPECT_FALSE(env.GetSetting(16, &value, &size));
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(size, 4u);
}

TEST_F(SettingsTest, AlternativeJingleNameMeasuresAndReadsItsText) {
  COrv_Environment env;
  DWORD size = 0;
  EXPECT_TRUE(env.GetSetting(5, nullptr, &size));
  EXPECT_EQ(size, 1u);  // just the terminator
  char buffer[32];
  size = sizeof buffer;
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(env.GetSetting(5, buffer, &size));
  EXPECT_STREQ(buffer, "");

  env.SetSettingText(5, "bells.wav");
  EXPECT_EQ(storedString("AltJingleName"), "bells.wav");
  putString(HKEY_CURRENT_USER, "AltJingleName", "gong.wav");
  size = 0;
  EXPECT_TRUE(env.GetSetting(5, nullptr, &size));
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(env.GetSettingText(5), "gong.wav");
  size = 4;
  EXPECT_TRUE(env.GetSetting(5, buffer, &size));
  EXPECT_STREQ(buffer, "gon");
}

// Texts of 33 and 36 are cut to the caller's buffer, never past it, and
// never inside a character.
TEST_F(SettingsTest, DataPathAndUserNameRespectTheBufferSize) {
  plat::fs::ensureFolder(settingsFile().parent_path());
  ASSERT_FALSE(plat::profile::writeString(settingsFile(), "Datapath", "DataPath", "/data/lé"));
  orvtest::StubUserName user;
  orv::setCurrentUserNameProvider(&user);
  user.name = "Zoë Ann";
  COrv_Environment env;

  struct Case {
    int n;
    DWORD capacity;
    const char* expected;
    DWORD fullLength;
  };
  const Case cases[] = {
      {33, 64, "/data/lé", 9}, {33, 9, "/data/l", 9},  {33, 8, "/data/l", 9}, {33, 1, "", 9},
      {36, 64, "Zoë Ann", 8},  {36, 4, "Zo", 8},       {36, 5, "Zoë", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.n << " in " << c.capacity);
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    DWORD size = c.capacity;
    EXPECT_TRUE(env.GetSetting(c.n, buffer, &size));
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(size, c.fullLength);
    EXPECT_EQ(buffer[c.capacity], '#') << "written past the buffer";
    DWORD measured = 0;
    EXPECT_TRUE(env.GetSetting(c.n, nullptr, &measured));
    EXPECT_EQ(measured, c.fullLength);
  }
  char untouched = '#';
  DWORD zero = 0;
  EXPECT_TRUE(env.GetSetting(36, &untouched, &zero));
  EXPECT_EQ(untouched, '#');
}

TEST_F(SettingsTest, CurrentUserNameGoesThroughTheProviderWithDefaultAsEmpty) {
  COrv_Environment env;
  EXPECT_EQ(env.GetSettingText(36), "Default");  // no provider installed
  env.SetSettingText(36, "Ann");                  // and nowhere to store

  orvtest::StubUserName user;
  orv::setCurrentUserNameProvider(&user);
  EXPECT_EQ(env.GetSettingText(36), "Default");
  user.name = "Bea";
  EXPECT_EQ(env.GetSettingText(36), "Bea");
  env.SetSettingText(36, "Ann");
  EXPECT_EQ(user.name, "Ann");
  env.SetSettingText(36, "Default");
  EXPECT_EQ(user.name, "");
}

// --- Registry values ------------------------------------------------------------------

TEST_F(SettingsTest, AppPathComesFromTheMachineTheUserOrTheProgram) {
  COrv_Environment env;
  EXPECT_EQ(env.GetAppPath(), program.string());  // nowhere

  putString(HKEY_CURRENT_USER, "AppPath", "/opt/talvane/  ");
  EXPECT_EQ(env.GetAppPath(), "/opt/talvane");  // only the user's: cleaned and copied
  char copied[64] = {};
  EXPECT_EQ(env.RegistryValue(HKEY_LOCAL_MACHINE, orv::kPlayerKey, "AppPath", REG_SZ, copied, sizeof copied,
                              orv::kRegQuery),
            13);
  EXPECT_STREQ(copied, "/opt/talvane");

  putString(HKEY_LOCAL_MACHINE, "AppPath", "/usr/lib/talvane/");
  EXPECT_EQ(env.GetAppPath(), "/usr/lib/talvane");  // the machine's wins

  putString(HKEY_LOCAL_MACHINE, "AppPath", "");
  EXPECT_EQ(env.GetAppPath(), "/opt/talvane");  // an empty one counts as none
  putString(HKEY_LOCAL_MACHINE, "AppPath", "/usr/lib/talvane \t");
  EXPECT_EQ(env.GetAppPath(), "/usr/lib/talvane");
}

// The languages and folders live under their own names in the user's hive.
TEST_F(SettingsTest, StringValuesAndLanguagesLiveUnderTheirNames) {
  COrv_Environment env;
  EXPECT_EQ(env.GetInterfaceLanguage(), 0);
  EXPECT_EQ(env.GetHelpLanguage(), 0);
  EXPECT_EQ(env.GetStartMenuFolder(), "");
  EXPECT_EQ(env.GetLastInstPath(), "");
  EXPECT_EQ(env.GetInstallMenuFolder(), "");
  env.SetInterfaceLanguage(4);
  env.SetHelpLanguage(7);
  env.SetStartMenuFolder("Talvane");
  env.SetLastInstPath("/media/cd/");
  env.SetInstallMenuFolder("Talvane Books");
  EXPECT_EQ(storedDword("LastInterfaceLanguage"), 4);
  EXPECT_EQ(storedDword("LastHelpLanguage"), 7);
  EXPECT_EQ(storedString("StartMenuFolder"), "Talvane");
  EXPECT_EQ(storedString("LastInstPath"), "/media/cd");  // one trailing separator removed
  EXPECT_EQ(storedString("InstallMenuFolder"), "Talvane Books");

  // And what other writers stored there is what the getters answer.
  putUserDword("LastInterfaceLanguage", 2);
  putUserDword("LastHelpLanguage", 5);
  putString(HKEY_CURRENT_USER, "StartMenuFolder", "Books");
  putString(HKEY_CURRENT_USER, "LastInstPath", "/mnt/usb");
  putString(HKEY_CURRENT_USER, "InstallMenuFolder", "Courses");
  COrv_Environment fresh;
  EXPECT_EQ(fresh.GetInterfaceLanguage(), 2);
  EXPECT_EQ(fresh.GetHelpLanguage(), 5);
  EXPECT_EQ(fresh.GetStartMenuFolder(), "Books");
  EXPECT_EQ(fresh.GetLastInstPath(), "/mnt/usb");
  EXPECT_EQ(fresh.GetInstallMenuFolder(), "Courses");

  EXPECT_TRUE(env.RegisterPacketContentType());
  char type[64] = {};
  EXPECT_EQ(env.RegistryValue(HKEY_CLASSES_ROOT, ".tpk", "Content Type", REG_SZ, type, sizeof type, orv::kRegQuery),
            25);
  EXPECT_STREQ(type, "application/octet-stream");

  env.WriteUninstallEntry("Talvane", "Talvane Player", "orvexu -remove");
  char command[64] = {};
  EXPECT_GT(env.RegistryValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvane",
                              "UninstallString", REG_SZ, command, sizeof command, orv::kRegQuery),
            0);
  EXPECT_STREQ(command, "orvexu -remove");
}

TEST_F(SettingsTest, RegistryValueSetsQueriesAndDeletesTrees) {
  COrv_Environment env;
  std::string text = "hello";
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", REG_SZ, text.data(), 5, orv::kRegSet), 1);
  DWORD dword = 42;
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A\\B", "d", REG_DWORD, &dword, 4, orv::kRegSet), 1);
  std::uint8_t bytes[3] = {1, 0, 2};
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A\\C", "b", REG_BINARY, bytes, 3, orv::kRegSet), 1);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A\\B\\D", "e", REG_SZ, text.data(), 0, orv::kRegSet), 1);

  // Sizes: strings gain their terminator, other types keep their length.
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", 0, nullptr, 0, orv::kRegQuery), 6);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A\\B", "d", 0, nullptr, 0, orv::kRegQuery), 4);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A\\C", "b", 0, nullptr, 0, orv::kRegQuery), 3);
  char buffer[8] = {};
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", 0, buffer, sizeof buffer, orv::kRegQuery), 6);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", 0, buffer, 3, orv::kRegQuery), 0);  // short
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "none", 0, nullptr, 0, orv::kRegQuery), 0);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\Z", "s", 0, nullptr, 0, orv::kRegQuery), 0);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", 0, nullptr, 0, 4), 0);
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "s", 0, nullptr, 0, 0), 0);

  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "", 0, nullptr, 0, orv::kRegDeleteKey), 1);
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\T\\A"));
  EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\T"));
  EXPECT_EQ(env.RegistryValue(HKEY_CURRENT_USER, "Software\\T\\A", "", 0, nullptr, 0, orv::kRegDeleteKey), 0);
}

TEST_F(SettingsTest, KeyDeletesAnswerWhetherTheKeyIsGone) {
  COrv_Environment env;
  putUserDword("ShowProlog", 0);
  DWORD one = 1;
  env.RegistryValue(HKEY_CURRENT_USER, std::string(orv::kPlayerKey) + "\\Sub\\Leaf", "x", REG_DWORD, &one, 4,
                    orv::kRegSet);
  env.RegistryValue(HKEY_LOCAL_MACHINE, "Software\\M\\N", "x", REG_DWORD, &one, 4, orv::kRegSet);

  EXPECT_FALSE(env.DeleteMachineKey(""));
  EXPECT_FALSE(env.DeleteMachineKey("Software\\Missing"));
  EXPECT_TRUE(env.DeleteMachineKey("Software\\M"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\M"));

  {
    // The two subkeys go; the write that would remove the key itself fails.
    plat::fs::FaultScope faults;
    plat::fs::injectFault(plat::fs::FaultOp::Rename, "HKEY_CURRENT_USER.hive", EIO, 1, 2);
    EXPECT_FALSE(env.DeleteUserKey());
  }
  EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, orv::kPlayerKey));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, std::string(orv::kPlayerKey) + "\\Sub"));
  EXPECT_TRUE(env.DeleteUserKey());
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, orv::kPlayerKey));
  EXPECT_FALSE(env.DeleteUserKey());
}

// --- Enablings ------------------------------------------------------------------------

using EnablingsTest = EnvTest;

std::string storedEnablings(const std::filesystem::path& file) {
  return plat::profile::getString(file, "Settings", "Enablings", "<none>", 64);
}

TEST_F(EnablingsTest, DefaultsShortStringsAndSettingNumbers) {
  COrv_Environment env;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(env.IsEnabled(i)) << i;
  EXPECT_FALSE(env.IsEnabled(5));
  EXPECT_FALSE(env.IsEnabled(-1));
  EXPECT_FALSE(env.IsEnabled(6));
  EXPECT_EQ(env.GetSettingValue(30), 1u);
  EXPECT_EQ(env.GetSettingValue(31), 0u);

  plat::fs::ensureFolder(settingsFile().parent_path());
  ASSERT_FALSE(plat::profile::writeString(settingsFile(), "Settings", "Enablings", "11"));
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(env.IsEnabled(i)) << i;

  ASSERT_FALSE(plat::profile::writeString(settingsFile(), "Settings", "Enablings", "0x0x0x0"));
  const bool expected[6] = {false, true, false, true, false, true};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(env.IsEnabled(i), expected[i]) << i;
}

TEST_F(EnablingsTest, SetEnabledWritesOnlyChangesAndPadsShortStrings) {
  COrv_Environment env;
  env.SetEnabled(0, true);  // already on: nothing written
  EXPECT_EQ(storedEnablings(settingsFile()), "<none>");
  env.SetEnabled(1, false);
  EXPECT_EQ(storedEnablings(settingsFile()), "101110");
  env.SetSettingValue(31, 1);
  EXPECT_EQ(storedEnablings(settingsFile()), "101111");
  env.SetSettingValue(27, 7);  // anything but 1 is off
  EXPECT_EQ(storedEnablings(settingsFile()), "101111");

  ASSERT_FALSE(plat::profile::writeString(settingsFile(), "Settings", "Enablings", "11"));
  env.SetEnabled(4, false);
  EXPECT_EQ(storedEnablings(settingsFile()), "11110");
  for (int i : {0, 1, 2, 3}) EXPECT_TRUE(env.IsEnabled(i));
  EXPECT_FALSE(env.IsEnabled(4));
  EXPECT_TRUE(env.IsEnabled(5));
}

// --- Administrator account ---------------------------------------------------------------

using AdminTest = EnvTest;

void storePA(const std::filesystem::path& file, const std::string& value) {
  plat::fs::ensureFolder(file.parent_path());
  ASSERT_FALSE(plat::profile::writeString(file, "Settings", "PA", value));
}

TEST_F(AdminTest, NoAccountUntilOneIsSet) {
  COrv_Environment env;
  std::string name = "x", password = "y";
  EXPECT_TRUE(env.GetAdminAccount(name, password));
  EXPECT_EQ(name, "");
  EXPECT_EQ(password, "");
  EXPECT_FALSE(env.HasAdminAccount());
  EXPECT_TRUE(env.CheckAdminAccount("", ""));

  EXPECT_TRUE(env.SetAdminAccount("Admin", "Secret"));
  std::string pa = plat::profile::getString(settingsFile(), "Settings", "PA", "", 200);
  EXPECT_EQ(pa.size(), 80u);
  EXPECT_EQ(pa.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_TRUE(env.HasAdminAccount());
  EXPECT_TRUE(env.GetAdminAccount(name, password));
  EXPECT_EQ(name, "Admin");
  EXPECT_EQ(password, "Secret");
  EXPECT_TRUE(env.CheckAdminAccount("Admin", "Secret"));
  EXPECT_FALSE(env.CheckAdminAccount("admin", "Secret"));
  EXPECT_FALSE(env.CheckAdminAccount("Admin", "secret"));
  EXPECT_FALSE(env.CheckAdminAccount("Admin", ""));
}

TEST_F(AdminTest, LongCredentialsAreCutOnStoringAndStillMatch) {
  COrv_Environment env;
  const std::string longName(35, 'n');
  EXPECT_TRUE(env.SetAdminAccount(longName, "password-11"));
  std::string name, password;
  EXPECT_TRUE(env.GetAdminAccount(name, password));
  EXPECT_EQ(name, std::string(30, 'n'));
  EXPECT_EQ(password, "password-1");
  EXPECT_TRUE(env.CheckAdminAccount(longName, "password-11"));
  EXPECT_TRUE(env.CheckAdminAccount(std::string(30, 'n'), "password-1"));
}

TEST_F(AdminTest, ValuesThatDoNotDecodeCountAsAnAccount) {
  COrv_Environment env;
  EXPECT_TRUE(env.SetAdminAccount("Admin", "pw"));
  const std::string good = plat::profile::getString(settingsFile(), "Settings", "PA", "", 200);
  for (const std::string& bad : {good.substr(0, 79), good.substr(0, 78), good.substr(0, 79) + "g",
                                 std::string(80, ' ') + "x"}) {
    SCOPED_TRACE(bad);
    storePA(settingsFile(), bad);
    std::string name = "keep", password = "keep";
    EXPECT_FALSE(env.GetAdminAccount(name, password));
    EXPECT_EQ(name, "keep");
    EXPECT_TRUE(env.HasAdminAccount());
    EXPECT_FALSE(env.CheckAdminAccount("", ""));
  }
}


}  // namespace
