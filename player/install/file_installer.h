#pragma once
// What installs a packet (.tpk) or library (.tvl) file as the start-up and
// the setup ask for it: the installer implements it, the load switch and
// the setup call it.

#include <filesystem>
#include <string>

namespace orv::install {

class FileInstaller {
 public:
  virtual ~FileInstaller() = default;
  // Installs a .tpk or .tvl file without showing a dialog: non-zero on
  // success, 0 after its own messages.
  virtual int InstallFile(const std::filesystem::path& path) = 0;
  // Why the last InstallFile answered 0, in one line naming what was
  // refused (the Talvane, its Echomark, the member); empty when nothing
  // more precise than the failure itself is known.
  virtual std::string FailureReason() const { return {}; }
};

}  // namespace orv::install
