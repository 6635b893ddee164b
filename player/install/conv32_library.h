#pragma once
// The installer's converter for compressed speech: the decoder library
// libconv32.so, loaded by name only while a recording is converted (the
// program's own folder is on its search path) and freed afterwards.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "player/install/book_installer.h"

namespace orv::install {

class COrv_Conv32Library : public AudioConverter {
 public:
  static constexpr const char* kLibraryName = "libconv32.so";
  static constexpr const char* kEntryPoint = "DECOMP_AudioFiles";
  static constexpr int kModeWav = 3;  // PCM WAV, 16-bit

  // `scratchFolder`: where the recording and its WAV are written while the
  // decoder runs (empty: the packet work folder).
  explicit COrv_Conv32Library(std::filesystem::path scratchFolder = {}, std::string libraryName = kLibraryName);

  // The converter every installer uses unless it is given another.
  static COrv_Conv32Library& Shared();

  bool Available() override;
  bool Convert(std::string_view source, std::uint8_t kind, std::string& wav) override;

  // How many times the library was loaded (for checks that a kind never
  // loads it).
  int Loads() const { return m_loads.load(); }

 private:
  // The library, loaded; null when it cannot be.
  void* open() const;
  std::filesystem::path scratchFolder() const;

  std::filesystem::path m_scratch;
  std::string m_name;
  std::atomic<int> m_loads{0};  // installers may convert on several threads
};

}  // namespace orv::install
