#include "platform/testing/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace tvtest {

namespace {
namespace fs = std::filesystem;

Sandbox current;

std::string safeName(std::string s) {
  for (char& c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_')) c = '_';
  if (s.size() > 60) s.resize(60);
  return s;
}

void setVar(const char* name, const fs::path& value) { ::setenv(name, value.c_str(), 1); }

void makeSandbox(const std::string& name) {
  Sandbox s;
  s.base = fs::path(TV_TEST_SANDBOX_BASE) / (safeName(name) + "-" + std::to_string(::getpid()));
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
  writeFile(s.home / ".config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");

  setVar("HOME", s.home);
  setVar("XDG_CONFIG_HOME", s.home / ".config");
  setVar("XDG_DATA_HOME", s.home / ".local" / "share");
  setVar("XDG_CACHE_HOME", s.home / ".cache");
  setVar("XDG_RUNTIME_DIR", s.runtime);
  setVar("TMPDIR", s.tmp);
  setVar("TALVANE_CONFIG_ROOT", s.configRoot);
  current = s;
}

class SandboxListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    makeSandbox(std::string(info.test_suite_name()) + "." + info.name());
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    std::error_code ec;
    if (info.result() != nullptr && info.result()->Failed()) {
      std::cerr << "sandbox kept: " << current.base << "\n";
    } else {
      fs::remove_all(current.base, ec);
    }
  }
};
}  // namespace

const Sandbox& sandbox() { return current; }

void installTestEnvironment(int* argc, char** argv) {
  ::setenv("LANG", "C.UTF-8", 1);
  for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "PUBLIC", "DISPLAY", "WAYLAND_DISPLAY",
                        "DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "SESSION_MANAGER"})
    ::unsetenv(v);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A sandbox exists before the first test too (static set-up, test listing).
  makeSandbox("_setup");
  ::testing::UnitTest::GetInstance()->listeners().Append(new SandboxListener);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write fixture " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace tvtest
