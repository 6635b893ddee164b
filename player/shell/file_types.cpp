#include "player/shell/file_types.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <sstream>
#include <system_error>
#include <vector>

#include "platform/fs/file_io.h"
#include "platform/fs/special_folders.h"

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

constexpr const char* kDefaultsGroup = "[Default Applications]";

fs::path dataHome() { return plat::fs::specialFolder(plat::fs::SpecialFolder::ApplicationsMenu).parent_path(); }
fs::path configHome() { return plat::fs::specialFolder(plat::fs::SpecialFolder::Autostart).parent_path(); }

std::string mimePackage() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" + std::string(COrv_FileTypes::kPacketType) + "\">\n"
         "    <comment>Talvane packet</comment>\n"
         "    <glob pattern=\"*.tpk\"/>\n"
         "  </mime-type>\n"
         "  <mime-type type=\"" + std::string(COrv_FileTypes::kLibraryType) + "\">\n"
         "    <comment>Talvane library</comment>\n"
         "    <glob pattern=\"*.tvl\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

// A desktop entry's Exec argument, quoted as the entry specification asks.
std::string quoted(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string desktopEntry(const fs::path& program) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Talvane Player\n"
         "Comment=Learn a language from spoken books\n"
         "Exec=" + quoted(program.string()) + " -load %f\n"
         "Terminal=false\n"
         "NoDisplay=false\n"
         "Categories=Education;Languages;\n"
         "MimeType=" + std::string(COrv_FileTypes::kPacketType) + ";" + COrv_FileTypes::kLibraryType + ";\n";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

bool ourKey(const std::string& line) {
  for (const char* type : {COrv_FileTypes::kPacketType, COrv_FileTypes::kLibraryType})
    if (line.rfind(std::string(type) + "=", 0) == 0) return true;
  return false;
}

// The defaults list with our two types set to the player (`add`) or
// removed where they name the player; every other line is kept as it was.
std::string editDefaults(const std::string& text, bool add) {
  std::vector<std::string> out;
  bool inDefaults = false, seenGroup = false;
  auto addOurs = [&] {
    for (const char* type : {COrv_FileTypes::kPacketType, COrv_FileTypes::kLibraryType})
      out.push_back(std::string(type) + "=" + COrv_FileTypes::kDesktopFile);
  };
  for (const std::string& l : lines(text)) {
    if (!l.empty() && l[0] == '[') {
      inDefaults = l == kDefaultsGroup;
      out.push_back(l);
      if (inDefaults) {
        seenGroup = true;
        if (add) addOurs();
      }
      continue;
    }
    if (inDefaults && ourKey(l) && (add || l.find(COrv_FileTypes::kDesktopFile) != std::string::npos)) continue;
    out.push_back(l);
  }
  if (add && !seenGroup) {
    out.push_back(kDefaultsGroup);
    addOurs();
  }
  std::string joined;
  for (const std::string& l : out) joined += l + "\n";
  return joined;
}

void refresh(const char* tool, const fs::path& folder) {
  const QString exe = QStandardPaths::findExecutable(tool);
  if (exe.isEmpty()) return;
  QProcess p;
  p.start(exe, {QString::fromStdString(folder.string())});
  if (!p.waitForFinished(20000)) p.kill();
  p.waitForFinished(1000);
}

bool write(const fs::path& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  return !plat::fs::writeFileAtomic(path, bytes);
}

}  // namespace

COrv_FileTypes::COrv_FileTypes(fs::path program) : m_program(std::move(program)) {}

fs::path COrv_FileTypes::MimePackagePath() { return dataHome() / "mime" / "packages" / kMimePackage; }
fs::path COrv_FileTypes::DesktopEntryPath() { return dataHome() / "applications" / kDesktopFile; }
fs::path COrv_FileTypes::DefaultsListPath() { return configHome() / "mimeapps.list"; }

bool COrv_FileTypes::IsRegistered() const {
  std::string entry;
  return !plat::fs::readFile(DesktopEntryPath(), entry) && entry == desktopEntry(m_program) &&
         fs::exists(MimePackagePath());
}

bool COrv_FileTypes::Register() const {
  if (dataHome().empty() || configHome().empty()) return false;
  std::string defaults;
  plat::fs::readFile(DefaultsListPath(), defaults);
  const bool ok = write(MimePackagePath(), mimePackage()) && write(DesktopEntryPath(), desktopEntry(m_program)) &&
                  write(DefaultsListPath(), editDefaults(defaults, true));
  refresh("update-mime-database", dataHome() / "mime");
  refresh("update-desktop-database", dataHome() / "applications");
  return ok;
}

bool COrv_FileTypes::Unregister() const {
  if (dataHome().empty()) return false;
  bool ok = !plat::fs::removeFile(MimePackagePath()) && !plat::fs::removeFile(DesktopEntryPath());
  std::string defaults;
  if (!plat::fs::readFile(DefaultsListPath(), defaults)) {
    const std::string edited = editDefaults(defaults, false);
    if (edited != defaults) ok = write(DefaultsListPath(), edited) && ok;
  }
  refresh("update-mime-database", dataHome() / "mime");
  refresh("update-desktop-database", dataHome() / "applications");
  return ok;
}

}  // namespace orv::shell
