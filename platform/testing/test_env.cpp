#include "platform/testing/test_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace tvtest {

namespace {
namespace fs = std::filesystem;

Sandbox current;
// The sandbox of the set-up before the first test, removed at the end.
fs::path setupBase;
// A death test's child process works in the sandbox of the test that
// started it, inherited through the environment, and makes none of its own:
// it ends without running the listener's clean-up.
bool deathTestChild = false;

Sandbox inheritedSandbox() {
  auto var = [](const char* name) {
    const char* v = std::getenv(name);
    return fs::path(v != nullptr ? v : "");
  };
  Sandbox s;
  s.home = var("HOME");
  s.base = s.home.parent_path();
  s.configRoot = var("TALVANE_CONFIG_ROOT");
  s.tmp = var("TMPDIR");
  s.runtime = var("XDG_RUNTIME_DIR");
  return s;
}

std::string safeName(std::string s) {
  for (char& c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_')) c = '_';
  if (s.size() > 60) s.resize(60);
  return s;
}

void makeSandbox(const std::string& name) {
  current = enterSandbox(fs::path(TV_TEST_SANDBOX_BASE) / (safeName(name) + "-" + std::to_string(::getpid())));
}

// Removes the set-up sandbox. A run that only lists its tests (as CTest's
// discovery does after every build) ends without the listener's end of
// program, so this also runs at exit.
void removeSetupSandbox() {
  std::error_code ec;
  if (!setupBase.empty()) fs::remove_all(setupBase, ec);
  setupBase.clear();
}

class SandboxListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    if (deathTestChild) return;
    makeSandbox(std::string(info.test_suite_name()) + "." + info.name());
  }
  void OnTestProgramEnd(const ::testing::UnitTest&) override { removeSetupSandbox(); }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (deathTestChild) return;
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
  for (int i = 1; i < *argc; ++i)
    if (std::string_view(argv[i]).starts_with("--gtest_internal_run_death_test")) deathTestChild = true;
  setTestProcessVariables();
  ::testing::InitGoogleTest(argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A sandbox exists before the first test too (static set-up, test listing).
  if (deathTestChild) {
    current = inheritedSandbox();
  } else {
    makeSandbox("_setup");
    setupBase = current.base;
    std::atexit(removeSetupSandbox);
  }
  ::testing::UnitTest::GetInstance()->listeners().Append(new SandboxListener);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write fixture " + path.string());
}

constexpr const char* kFolderMark = "<folder>";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::map<std::string, std::string> filesUnder(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().lexically_relative(root).generic_string();
    out[name] = it->is_directory(ec) ? std::string(kFolderMark) : readFile(it->path());
  }
  return out;
}

std::string listing(const std::map<std::string, std::string>& files) {
  std::string out;
  for (const auto& [name, bytes] : files)
    out += "  " + name + (bytes == kFolderMark ? "/" : " (" + std::to_string(bytes.size()) + " bytes)") + "\n";
  return out;
}

}  // namespace tvtest
