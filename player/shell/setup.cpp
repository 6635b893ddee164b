#include "player/shell/setup.h"

#include <algorithm>
#include <functional>
#include <system_error>

#include "platform/fs/config_root.h"
#include "platform/fs/module_names.h"
#include "platform/ui/message_box.h"
#include "player/env/environment.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "player/env/file_util.h"
#include "player/shell/app.h"
#include "player/shell/file_types.h"
#include "player/shell/load_switch.h"
#include "shared/language/orv_language.h"

#ifndef TV_SHIPS_BRINDLE
#define TV_SHIPS_BRINDLE 1
#endif

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

constexpr int kStrInstallationCorrupted = 20066;
constexpr int kStrErrorCaption = 9002;
constexpr int kStrQuestionCaption = 9004;
constexpr int kStrInformationCaption = 9006;
constexpr int kAskOtherFolder = 20462;
constexpr int kAskFileTypes = 20463;
constexpr int kAskDemoPackets = 20465;
constexpr int kStrUninstalled = 20466;

// The file a support name stands for, in `folder`.
fs::path supportPath(const fs::path& folder, const std::string& name) {
  if (const auto m = plat::fs::moduleFile(name)) return folder / m->fileName;
  return folder / name;
}

bool sameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ea, eb;
  const fs::path ca = fs::weakly_canonical(a, ea);
  const fs::path cb = fs::weakly_canonical(b, eb);
  if (ea || eb) return false;
  return ca.lexically_normal() == cb.lexically_normal();
}

}  // namespace

COrv_Setup::COrv_Setup(fs::path programFolder, std::vector<std::string> supportFiles)
    : m_programFolder(std::move(programFolder)),
      m_supportFiles(std::move(supportFiles)),
      m_program(m_programFolder / "orvex"),
      m_nWindowsLanguage(COrv_Language::GetWindowsLanguage()) {}

std::vector<std::string> COrv_Setup::DefaultSupportFiles() {
  // The grammar browser is asked for once the build makes it.
#if TV_SHIPS_BRINDLE
  return {"LINDRA.DLL", "Brindle.exe", "Orv_HLENG.chm"};
#else
  return {"LINDRA.DLL", "Orv_HLENG.chm"};
#endif
}

void COrv_Setup::Register() {
  COrv_Environment env;
  if (env.RegistryValue(plat::registry::HKEY_LOCAL_MACHINE, kPlayerKey, "AppPath", plat::registry::REG_SZ, nullptr, 0,
                        kRegQuery) == 0)
    env.SetInterfaceLanguage(m_nWindowsLanguage);
  env.SetAppPath(m_programFolder.string());
  env.RegisterPacketContentType();
}

void COrv_Setup::Unregister() {
  COrv_Environment env;
  for (const char* key : {"Talvane.document", ".tpk", ".tvl"})
    env.RegistryValue(plat::registry::HKEY_CLASSES_ROOT, key, "", plat::registry::REG_SZ, nullptr, 0, kRegDeleteKey);
  for (const char* key : {"Software\\CLASSES\\.tpk", "Software\\CLASSES\\.tvl", "Software\\CLASSES\\Talvane.document"})
    env.RegistryValue(plat::registry::HKEY_LOCAL_MACHINE, key, "", plat::registry::REG_SZ, nullptr, 0,
                      kRegDeleteKey);
}

int COrv_Setup::ask(int id, const std::string& detail) const {
  const COrv_Language lang;
  std::string text = lang.LoadString(id);
  if (!detail.empty()) text += "\n\n" + detail;
  return plat::ui::MessageBox(text, lang.LoadString(kStrQuestionCaption),
                              plat::ui::MB_YESNOCANCEL | plat::ui::MB_ICONQUESTION);
}

int COrv_Setup::CheckInstallation(int flags) {
  COrv_Environment env;
  char stored[4096] = {};
  const int size = env.RegistryValue(plat::registry::HKEY_LOCAL_MACHINE, kPlayerKey, "AppPath", plat::registry::REG_SZ,
                                     stored, sizeof stored, kRegQuery);
  const std::string storedFolder = size > 0 ? std::string(stored) : std::string();
  const bool reinstall = !storedFolder.empty();
  const COrv_FileTypes types(m_program);
  std::error_code ec;
  const fs::path demo = env.GetDemoPath();
  const bool haveDemo = !demo.empty() && fs::is_directory(demo, ec);

  // Each check: whether it applies, whether a reinstallation asks first,
  // the question and what it does.
  struct Check {
    int bit;
    bool asks;
    int question;
    std::string detail;
    std::function<void()> run;
  };
  const Check checks[] = {
      {kCheckProgramFolder, !sameFolder(storedFolder, m_programFolder), kAskOtherFolder,
       storedFolder + "\n->\n" + m_programFolder.string(), [this] { Register(); }},
      {kCheckFileTypes, types.IsRegistered(), kAskFileTypes, {}, [&] { types.Register(); }},
      // Making a missing data folder or book menu changes nothing that is
      // there. The menu comes before the demo packets, which get entries.
      {kCheckDataFolder, false, 0, {}, [&] { env.CreateDataPath(); }},
      {kCheckDataFolder, false, 0, {}, [] { CreateBookMenu(); }},
      {kCheckDemoPackets, true, kAskDemoPackets, demo.string(), [this] {
         if (m_installer) InstallDemoPackets(*m_installer);
       }},
  };
  for (const Check& c : checks) {
    if (!(flags & c.bit)) continue;
    if (c.bit == kCheckDemoPackets && (!haveDemo || !m_installer)) continue;
    if (reinstall && c.asks) {
      const int answer = ask(c.question, c.detail);
      if (answer == plat::ui::IDCANCEL) return 0;
      if (answer != plat::ui::IDYES) continue;
    }
    c.run();
  }
  return 1;
}

std::string COrv_Setup::BookMenuFolder() {
  const std::string applications = COrv_FileUtil().GetProgramsFolder();
  if (applications.empty()) return {};
  return (fs::path(applications) / kBookMenuName).string();
}

bool COrv_Setup::CreateBookMenu() {
  const std::string folder = BookMenuFolder();
  if (folder.empty() || !plat::fs::ensureFolder(folder)) return false;
  COrv_Environment().SetInstallMenuFolder(folder);
  return true;
}

void COrv_Setup::RemoveBookMenu() {
  COrv_Environment env;
  const std::string folder = env.GetInstallMenuFolder();
  // Only a book menu of the program's own loses its entries (a stored
  // folder of another name may hold other programs' entries), and only the
  // entries go: a folder that holds anything else keeps it and stays.
  std::error_code ec;
  if (!folder.empty() && fs::path(folder).filename() == kBookMenuName && fs::is_directory(folder, ec)) {
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (entry.path().extension() == ".desktop" && entry.is_regular_file(ec)) plat::fs::removeFile(entry.path());
    fs::remove(folder, ec);
  }
  env.SetInstallMenuFolder("");
}

int COrv_Setup::Uninstall() {
  Unregister();
  COrv_FileTypes(m_program).Unregister();
  RemoveBookMenu();
  const std::string startup = COrv_FileUtil().GetStartupFolder();
  if (!startup.empty()) plat::fs::removeFile(fs::path(startup) / kStartupShortcut);
  const COrv_Language lang;
  plat::ui::MessageBox(lang.LoadString(kStrUninstalled) + "\n\n" + m_programFolder.string(),
                       lang.LoadString(kStrInformationCaption), plat::ui::MB_ICONINFORMATION);
  return 1;
}

bool COrv_Setup::CheckSupportFiles() {
  std::error_code ec;
  for (const std::string& name : m_supportFiles) {
    const fs::path file = supportPath(m_programFolder, name);
    if (fs::exists(file, ec)) continue;
    const COrv_Language lang;
    plat::ui::MessageBox(lang.LoadString(kStrInstallationCorrupted) + "\n\n" + file.filename().string(),
                         lang.LoadString(kStrErrorCaption), plat::ui::MB_ICONEXCLAMATION);
    return false;
  }
  return true;
}

void COrv_Setup::InstallDemoPackets(BookInstaller& installer) {
  const fs::path demo(COrv_Environment().GetDemoPath());
  std::error_code ec;
  if (demo.empty() || !fs::is_directory(demo, ec)) return;
  std::vector<fs::path> packets;
  bool setAside = false;
  for (const auto& entry : fs::directory_iterator(demo, ec)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".tpk" && entry.is_regular_file(ec)) packets.push_back(entry.path());
    // A packet set aside at an earlier start keeps the folder.
    if (ext == ".bad") setAside = true;
  }
  std::sort(packets.begin(), packets.end());
  bool all = !setAside;
  for (const fs::path& p : packets) {
    if (installer.InstallFile(p) != 0) {
      // Installed: its book is in the data path now.
      plat::fs::removeFile(p);
      continue;
    }
    // The installer has told why it failed. Renamed, the packet stays for
    // the learner to look at, and the next start's scan (*.tpk) passes it
    // by instead of telling the same failure again.
    all = false;
    plat::fs::moveFile(p, fs::path(p.string() + ".bad"));
  }
  if (all) fs::remove_all(demo, ec);
}

bool CheckSetup(COrv_Setup& setup, const fs::path& programFolder, BookInstaller& installer) {
  COrv_Environment env;
  // GetAppPath copies a folder stored for the user only to the machine; the
  // machine entry is then read directly, since GetAppPath falls back to the
  // running program's folder, which would hide a missing entry.
  env.GetAppPath();
  char stored[4096] = {};
  const int size = env.RegistryValue(plat::registry::HKEY_LOCAL_MACHINE, kPlayerKey, "AppPath", plat::registry::REG_SZ,
                                     stored, sizeof stored, kRegQuery);
  const std::string appPath = size > 0 ? std::string(stored) : std::string();
  const bool bad = appPath.empty() || !sameFolder(appPath, programFolder) || env.GetDataPath().empty();
  if (bad) {
    const COrv_Language lang;
    plat::ui::AppMessageBox(lang.LoadString(kStrInstallationCorrupted), plat::ui::MB_ICONEXCLAMATION);
    return false;
  }
  if (!setup.CheckSupportFiles()) return false;
  setup.InstallDemoPackets(installer);
  return true;
}

}  // namespace orv::shell
