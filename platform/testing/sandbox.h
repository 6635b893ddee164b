#pragma once
// The private world a test process runs in: a folder holding its HOME, XDG
// folders, XDG_RUNTIME_DIR, TMPDIR and the suite's configuration root, and
// the process-wide variables every test starts with. Used by the gtest
// mains (a sandbox per test) and by the fuzz replay programs (one per run).

#include <filesystem>

namespace tvtest {

struct Sandbox {
  std::filesystem::path base;        // the test's own folder
  std::filesystem::path home;        // HOME
  std::filesystem::path configRoot;  // TALVANE_CONFIG_ROOT
  std::filesystem::path tmp;         // TMPDIR
  std::filesystem::path runtime;     // XDG_RUNTIME_DIR (0700)
};

// Makes a fresh sandbox at `base` (anything there before is removed) and
// points the environment variables at it.
Sandbox enterSandbox(const std::filesystem::path& base);

// LANG=C.UTF-8, QT_QPA_PLATFORM=offscreen; PUBLIC, the locale overrides and
// the display, session-bus and sound-server variables unset.
void setTestProcessVariables();

}  // namespace tvtest
