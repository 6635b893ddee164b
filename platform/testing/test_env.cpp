#include "platform/testing/test_env.h"

#include <gtest/gtest.h>
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

void makeSandbox(const std::string& name) {
  current = enterSandbox(fs::path(TV_TEST_SANDBOX_BASE) / (safeName(name) + "-" + std::to_string(::getpid())));
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
  setTestProcessVariables();
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
