#pragma once
// Where the suite keeps what it writes. The program folder is read-only;
// everything written lives under one configuration root:
//   <root>/                 per-user settings (the HKEY_CURRENT_USER hive, ...)
//   <root>/machine/         machine settings (the HKEY_LOCAL_MACHINE and
//                           HKEY_CLASSES_ROOT hives, Qlonwin.dpl, AUTOINST.TVI,
//                           the demo folder TalvaneDemo)
//   <root>/machine/Windows/ the stand-in of the system's Windows folder: what
//                           other programs leave there for the player (the
//                           load switch's "@@@" files, copied libraries).
//                           A folder of its own, so that naming a file there
//                           can never name one of the suite's settings.
// TALVANE_CONFIG_ROOT redirects the root; otherwise it is
// $XDG_CONFIG_HOME/talvane, or ~/.config/talvane.

#include <filesystem>

namespace plat::fs {

inline constexpr const char* kConfigRootVariable = "TALVANE_CONFIG_ROOT";

// The configuration root, read from the environment at every call (tests
// change it between cases). The folder is not created.
std::filesystem::path configRoot();

// The machine-settings folder under the configuration root (not created).
std::filesystem::path machineSettingsFolder();

// The Windows-folder stand-in under the machine-settings folder (not
// created).
std::filesystem::path windowsFolder();

// Creates `folder` and its parents when missing. False on failure.
bool ensureFolder(const std::filesystem::path& folder);

}  // namespace plat::fs
