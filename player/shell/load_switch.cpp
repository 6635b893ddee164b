#include "player/shell/load_switch.h"

#include <cctype>
#include <fstream>
#include <system_error>

#include "platform/fs/config_root.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "player/shell/command_line.h"

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Whether a and b name the same existing file.
bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// An indirection name is one plain file name in its folder.
bool isPlainFileName(std::string_view name) {
  return !name.empty() && name.find_first_of("/\\") == std::string_view::npos && name != "." &&
         name.find("..") == std::string_view::npos;
}

}  // namespace

bool LoadSwitchServices::IsInstalled(const std::string& code) { return COrv_BookInfo().IsInstalled(code); }

LoadSwitchFolders DefaultLoadSwitchFolders() {
  return {fs::path(COrv_Environment().GetInstallPath()), plat::fs::machineSettingsFolder()};
}

bool LoadFromCommandLine(COrv_CommandLineInfo& cmd, LoadSwitchServices& services, const LoadSwitchFolders& folders) {
  std::error_code ec;

  // 1. A file named with a folder is copied into the install folder first.
  if (cmd.m_strLoadFile.find('/') != std::string::npos) {
    const fs::path source(cmd.m_strLoadFile);
    const std::string name = upper(source.filename().string());
    const fs::path destination = folders.installFolder / name;
    // A file that already lies there is used as it is: deleting the
    // destination first would delete the file itself.
    if (!sameFile(source, destination)) {
      fs::remove(destination, ec);
      if (!fs::copy_file(source, destination, fs::copy_options::overwrite_existing, ec)) return false;
    }
    cmd.m_strLoadFile = destination.string();
    cmd.m_strBook = name;
    cmd.m_bBook = 1;

    if (startsWith(name, "TPK")) {
      const std::string code = name.size() > 7 ? name.substr(3, name.size() - 7) : std::string();
      if (code.empty() || !services.IsInstalled(code)) return false;
      cmd.m_strLoadFile.clear();
      cmd.m_bLoad = 0;
      cmd.m_strBook = code;
      cmd.m_bBook = 1;
      return true;
    }
  }

  // 2. "@@@<name>": the first line of that file names the load file.
  if (startsWith(cmd.m_strLoadFile, "@@@")) {
    const std::string name = cmd.m_strLoadFile.substr(3);
    if (!isPlainFileName(name)) return false;
    const fs::path indirection = folders.indirectionFolder / name;
    if (!fs::is_regular_file(indirection, ec)) return false;
    std::string line;
    {
      std::ifstream in(indirection);
      if (!in || !std::getline(in, line)) return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    cmd.m_strLoadFile = line;
    fs::remove(indirection, ec);
  }

  // 3.
  fs::path load(cmd.m_strLoadFile);
  if (cmd.m_strLoadFile.empty() || !fs::is_regular_file(load, ec)) return false;

  // 4. The book code, by the kind of file.
  const std::string ext = upper(cmd.m_strLoadFile.size() >= 3 ? cmd.m_strLoadFile.substr(cmd.m_strLoadFile.size() - 3)
                                                              : std::string());
  std::string code;
  if (ext == "TPK") {
    if (!services.ReadPacketCode(load, code)) return false;
    cmd.m_strLoadFile = load.string();
  } else if (ext == "TVL") {
    if (!services.ReadLibraryCode(load, code)) return false;
  } else {
    return false;
  }
  if (code.empty()) return false;

  // 5.
  if (!services.IsInstalled(code) && services.InstallFile(load) == 0) return false;

  // 6. With -nopen the start-up opens nothing, not even the file's name.
  if (cmd.m_bNoOpen) {
    cmd.m_strBook.clear();
    cmd.m_bBook = 0;
  } else {
    cmd.m_strBook = code;
    cmd.m_bBook = 1;
  }

  // 7.
  return services.CreateShortcuts(code);
}

}  // namespace orv::shell
