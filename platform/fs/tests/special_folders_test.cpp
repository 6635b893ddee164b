#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/fs/fault.h"
#include "platform/fs/special_folders.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

void writeUserDirs(const std::string& text) {
  tvtest::writeFile(tvtest::sandbox().home / ".config" / "user-dirs.dirs", text);
}

TEST(SpecialFolders, DocumentsFromUserDirs) {
  const fs::path home = tvtest::sandbox().home;
  struct Case {
    const char* text;
    fs::path expected;
  };
  const Case cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", home / "Documents"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", {}},  // no entry
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", {}},                  // HOME itself: switched off
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", {}},
      {"XDG_DOCUMENTS_DIR=\"/srv/docs\"\r\n", "/srv/docs"},
      {"XDG_DOCUMENTS_DIR=\"${HOME}/Mes \\\"Docs\\\"\"\n", home / "Mes \"Docs\""},
      {"XDG_DOCUMENTS_DIR=\"Documents\"\n", {}},  // relative: ignored
      {"XDG_DOCUMENTS_DIR=\"$HOMEX/Docs\"\n", {}},
      {"#XDG_DOCUMENTS_DIR=\"/commented\"\n", {}},
      {"XDG_DOCUMENTS_DIR=\"/first\"\n  XDG_DOCUMENTS_DIR = \"$HOME/Last\"", home / "Last"},
      {"XDG_DOCUMENTS_DIRS=\"/other/key\"\n", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    writeUserDirs(c.text);
    EXPECT_EQ(specialFolder(SpecialFolder::Documents), c.expected) << c.text;
  }
  fs::remove(home / ".config" / "user-dirs.dirs");
  EXPECT_TRUE(specialFolder(SpecialFolder::Documents).empty());
}

TEST(SpecialFolders, DocumentsEqualToHomeThroughALink) {
  const fs::path home = tvtest::sandbox().home;
  fs::create_directory_symlink(home, tvtest::sandbox().base / "home_alias");
  writeUserDirs("XDG_DOCUMENTS_DIR=\"" + (tvtest::sandbox().base / "home_alias").string() + "\"\n");
  EXPECT_TRUE(specialFolder(SpecialFolder::Documents).empty());
}

TEST(SpecialFolders, UnreadableUserDirsCountsAsNone) {
  FaultScope scope;
  injectFault(FaultOp::Read, "user-dirs.dirs", EIO);
  EXPECT_TRUE(specialFolder(SpecialFolder::Documents).empty());
  EXPECT_EQ(specialFolder(SpecialFolder::Documents), tvtest::sandbox().home / "Documents");
}

TEST(SpecialFolders, DesktopMenuAndAutostartFollowTheXdgVariables) {
  const fs::path home = tvtest::sandbox().home;
  EXPECT_EQ(specialFolder(SpecialFolder::Desktop), home / "Desktop");  // no entry: the default
  writeUserDirs("XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
  EXPECT_EQ(specialFolder(SpecialFolder::Desktop), home / "Bureau");
  EXPECT_EQ(specialFolder(SpecialFolder::ApplicationsMenu), home / ".local/share/applications");
  EXPECT_EQ(specialFolder(SpecialFolder::Autostart), home / ".config/autostart");

  ::setenv("XDG_DATA_HOME", "/xdg/data", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
  EXPECT_EQ(specialFolder(SpecialFolder::ApplicationsMenu), "/xdg/data/applications");
  EXPECT_EQ(specialFolder(SpecialFolder::Autostart), "/xdg/config/autostart");
  // user-dirs.dirs is read from the config home too: none there.
  EXPECT_TRUE(specialFolder(SpecialFolder::Documents).empty());

  // Relative values and unset variables fall back to the defaults under HOME.
  ::setenv("XDG_DATA_HOME", "data", 1);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(specialFolder(SpecialFolder::ApplicationsMenu), home / ".local/share/applications");
  EXPECT_EQ(specialFolder(SpecialFolder::Autostart), home / ".config/autostart");
  EXPECT_EQ(specialFolder(SpecialFolder::Desktop), home / "Bureau");
}

TEST(SpecialFolders, ClassicFolderNumbers) {
  EXPECT_EQ(specialFolderForCsidl(5), SpecialFolder::Documents);
  EXPECT_EQ(specialFolderForCsidl(16), SpecialFolder::Desktop);
  EXPECT_EQ(specialFolderForCsidl(2), SpecialFolder::ApplicationsMenu);
  EXPECT_EQ(specialFolderForCsidl(7), SpecialFolder::Autostart);
  for (int other : {0, 1, 3, 6, 17, 0x1A, -1}) EXPECT_FALSE(specialFolderForCsidl(other)) << other;
}

}  // namespace
