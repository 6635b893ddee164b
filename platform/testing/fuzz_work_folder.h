#pragma once
// A private folder for a fuzz target's files: made once per process under
// the temporary folder (TMPDIR), unique to the process, and removed with
// everything in it when the process ends, so that neither long fuzz runs
// nor corpus replays leave folders behind.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace tvfuzz {

inline const std::filesystem::path& workFolder(const char* prefix) {
  struct Folder {
    std::filesystem::path path;
    explicit Folder(const char* prefix) {
      std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
      if (::mkdtemp(tmpl.data()) == nullptr) ::abort();
      path = tmpl;
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder(prefix);
  return folder.path;
}

// Writes the fuzzer's input as the file `name` of the work folder and
// answers its path.
inline std::filesystem::path writeInput(const char* prefix, const char* name, const uint8_t* data, size_t size) {
  const std::filesystem::path file = workFolder(prefix) / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return file;
}

}  // namespace tvfuzz
