#pragma once
// The load switch's reading of packet and library files and its per-book
// shortcuts, over the container reader, the content dispatcher's catalogue,
// the installed-book information and the file utilities.

#include <filesystem>
#include <string>

#include "player/shell/load_switch.h"

namespace orv::shell {

class BookFileServices : public LoadSwitchServices {
 public:
  // `installer` (not owned) installs what the load switch asks for.
  explicit BookFileServices(BookInstaller& installer) : m_installer(installer) {}

  int InstallFile(const std::filesystem::path& path) override {
    const int r = m_installer.InstallFile(path);
    m_reason = r == 0 ? m_installer.FailureReason() : std::string();
    return r;
  }
  std::string FailureReason() const override { return m_reason; }
  // Validates the packet. A book content file is installed as a library
  // from a copy in the BackUp folder (the file itself is left as it is),
  // and that copy becomes `path`; a book content file in the BackUp folder
  // itself is copied as a library into the install folder and read as one.
  bool ReadPacketCode(std::filesystem::path& path, std::string& code) override;
  bool ReadLibraryCode(const std::filesystem::path& path, std::string& code) override;
  // The container's own check of its sizes (it shows its box).
  bool CheckFormat(const std::filesystem::path& path) override;
  // One menu entry per book of the code's source file that is installed,
  // named by its title with its category's picture. False when the code
  // has no source file.
  bool CreateShortcuts(const std::string& code) override;
  // Copies the library file `source` into the BackUp folder (a name of its
  // own when a different file has its name there) and installs it there;
  // the copy's path, or empty (nothing left behind) when that failed.
  std::filesystem::path InstallLibraryCopy(const std::filesystem::path& source);

 private:
  BookInstaller& m_installer;
  std::string m_reason;
};

}  // namespace orv::shell
