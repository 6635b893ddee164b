// Runs a fuzz target over every file of the folders (or files) it is given,
// so that the seed corpus and every crash once found stay regression tests
// in builds without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

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
  return 0;
}
