// Runs a fuzz target over every file of the folders (or files) it is given,
// so that the seed corpus and every crash once found stay regression tests
// in builds without libFuzzer. The run has a sandbox of its own, like every
// test, removed when the run ends.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <fstream>
#include <iterator>
#include <vector>

#include <unistd.h>

#include "platform/testing/sandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
void runOne(const std::filesystem::path& p, int& count) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ++count;
}
}  // namespace

int main(int argc, char** argv) {
  tvtest::setTestProcessVariables();
  const std::filesystem::path program(argv[0]);
  const tvtest::Sandbox sandbox = tvtest::enterSandbox(
      std::filesystem::path(TV_TEST_SANDBOX_BASE) /
      (program.filename().string() + ".corpus-" + std::to_string(::getpid())));
  int count = 0;
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(arg))
        if (e.is_regular_file()) runOne(e.path(), count);
    } else if (std::filesystem::is_regular_file(arg)) {
      runOne(arg, count);
    }
  }
  std::printf("replayed %d inputs\n", count);
  std::error_code ec;
  std::filesystem::remove_all(sandbox.base, ec);
  return 0;
}
