#include "platform/testing/sandbox.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tvtest {

namespace {
namespace fs = std::filesystem;

void setVar(const char* name, const fs::path& value) { ::setenv(name, value.c_str(), 1); }
}  // namespace

Sandbox enterSandbox(const fs::path& base) {
  Sandbox s;
  s.base = base;
  std::error_code ec;
  fs::remove_all(s.base, ec);
  s.home = s.base / "home";
  s.configRoot = s.base / "root";
  s.tmp = s.base / "tmp";
  s.runtime = s.base / "run";
  for (const fs::path& p : {s.home / ".config", s.home / ".local" / "share", s.home / ".cache",
                            s.home / "Documents", s.configRoot, s.tmp, s.runtime})
    fs::create_directories(p);
  ::chmod(s.runtime.c_str(), 0700);
  // A documents folder of its own, so that nothing falls back to HOME.
  {
    std::ofstream dirs(s.home / ".config" / "user-dirs.dirs", std::ios::binary | std::ios::trunc);
    dirs << "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n";
    if (!dirs) throw std::runtime_error("cannot write the sandbox's user-dirs.dirs");
  }

  setVar("HOME", s.home);
  setVar("XDG_CONFIG_HOME", s.home / ".config");
  setVar("XDG_DATA_HOME", s.home / ".local" / "share");
  setVar("XDG_CACHE_HOME", s.home / ".cache");
  setVar("XDG_RUNTIME_DIR", s.runtime);
  setVar("TMPDIR", s.tmp);
  setVar("TALVANE_CONFIG_ROOT", s.configRoot);
  return s;
}

void setTestProcessVariables() {
  ::setenv("LANG", "C.UTF-8", 1);
  for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "PUBLIC", "DISPLAY", "WAYLAND_DISPLAY",
                        "DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "SESSION_MANAGER"})
    ::unsetenv(v);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace tvtest
