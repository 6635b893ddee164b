#include "platform/fs/config_root.h"

#include <cstdlib>
#include <system_error>

#include "platform/fs/fault.h"

namespace plat::fs {

namespace {
std::filesystem::path fromEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return {};
  return std::filesystem::path(v);
}
}  // namespace

std::filesystem::path configRoot() {
  if (auto root = fromEnv(kConfigRootVariable); !root.empty()) return root;
  if (auto xdg = fromEnv("XDG_CONFIG_HOME"); !xdg.empty() && xdg.is_absolute())
    return xdg / "talvane";
  if (auto home = fromEnv("HOME"); !home.empty()) return home / ".config" / "talvane";
  return std::filesystem::path(".talvane");
}

std::filesystem::path machineSettingsFolder() { return configRoot() / "machine"; }

std::filesystem::path windowsFolder() { return machineSettingsFolder() / "Windows"; }

bool ensureFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  if (takeFault(FaultOp::MakeFolder, folder.string()) != 0) return false;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

}  // namespace plat::fs
