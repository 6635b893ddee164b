#pragma once
// A private folder for a fuzz target's files: made once per process under
// the temporary folder (TMPDIR), unique to the process, and removed with
// everything in it when the process ends, so that neither long fuzz runs
// nor corpus replays leave folders behind.

#include <stdlib.h>

#include <filesystem>
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

}  // namespace tvfuzz
