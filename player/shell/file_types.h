#pragma once
// COrv_FileTypes: the user's registration of packet (.tpk) and library
// (.tvl) files with the desktop: a shared-mime-info package under
// $XDG_DATA_HOME/mime, a menu entry for the player under
// $XDG_DATA_HOME/applications that opens such files with the load switch,
// and the player as their default application in $XDG_CONFIG_HOME's
// mimeapps.list. The desktop's caches are refreshed with
// update-mime-database and update-desktop-database where they are
// installed.

#include <filesystem>
#include <string>

namespace orv::shell {

class COrv_FileTypes {
 public:
  static constexpr const char* kPacketType = "application/x-talvane-packet";
  static constexpr const char* kLibraryType = "application/x-talvane-library";
  static constexpr const char* kDesktopFile = "talvane-player.desktop";
  static constexpr const char* kMimePackage = "talvane-player.xml";

  // `program`: the player program the entry starts.
  explicit COrv_FileTypes(std::filesystem::path program);

  // Whether this program's entry is registered now.
  bool IsRegistered() const;
  // Writes the three registrations (each atomically) and refreshes the
  // caches. False when one could not be written.
  bool Register() const;
  // Removes them; other applications' defaults are kept. False when a file
  // stayed.
  bool Unregister() const;

  static std::filesystem::path MimePackagePath();
  static std::filesystem::path DesktopEntryPath();
  static std::filesystem::path DefaultsListPath();

 private:
  std::filesystem::path m_program;
};

}  // namespace orv::shell
