#include "player/shell/auto_install.h"

#include <cstdio>
#include <string>
#include <system_error>

#include "platform/fs/config_root.h"
#include "platform/profile/profile.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"

namespace orv::shell {
namespace {

constexpr const char* kMasterIndex = "MASTERINDEX";
constexpr std::size_t kPathChars = 261;     // 260 characters and a terminator
constexpr std::size_t kCodeChars = 11;      // 10 characters
constexpr std::size_t kKeyNameChars = 2048;  // all key names of a section
constexpr std::size_t kValueChars = 1024;   // 1023 characters
constexpr int kMaxEntries = 999;             // three digits

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The part after the last separator (either kind: the list comes from an
// installer that may write either).
std::string fileNamePart(const std::string& value) {
  const auto cut = value.find_last_of("/\\");
  return cut == std::string::npos ? value : value.substr(cut + 1);
}

}  // namespace

std::filesystem::path AutoInstallListPath() { return plat::fs::machineSettingsFolder() / "AUTOINST.TVI"; }

void ReadAutoInstallList(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return;

  const std::string path = plat::profile::getString(file, kMasterIndex, "Path", "", kPathChars);
  if (!path.empty()) {
    const std::filesystem::path sourceFolder(path);
    COrv_BookInfo books;
    const std::filesystem::path talvanes(books.GetTalvanesPath());
    for (int n = 1; n <= kMaxEntries; ++n) {
      char key[8];
      std::snprintf(key, sizeof key, "%03d", n);
      const std::string entry = plat::profile::getString(file, kMasterIndex, key, "", kCodeChars);
      if (entry.empty()) break;
      const std::string code = COrv_BookInfo::CanonicalBookCode(entry);
      if (code.empty()) continue;

      const std::filesystem::path folder = talvanes / code;
      std::filesystem::create_directories(folder, ec);
      const std::filesystem::path settings = folder / (code + ".ini");
      const auto keys = plat::profile::keyNames(file, entry, kKeyNameChars);
      if (keys.empty()) continue;
      for (const std::string& k : keys) {
        std::string value = plat::profile::getString(file, entry, k, "", kValueChars);
        if (equalsNoCase(k, "SourceFile") && value.find_first_of("/\\") != std::string::npos)
          value = (sourceFolder / fileNamePart(value)).string();
        plat::profile::writeString(settings, "Settings", k, value);
      }
      books.AddInstalled(code);
    }
  }
  plat::profile::removeIniFile(file);
}

}  // namespace orv::shell
