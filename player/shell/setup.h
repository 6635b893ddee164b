#pragma once
// COrv_Setup: the start-up's installation checks and registrations, and
// CheckSetup, the check that ends the start with string 20066 when the
// installation beside the program is inconsistent.

#include <filesystem>
#include <string>
#include <vector>

namespace orv::shell {

class BookInstaller;

class COrv_Setup {
 public:
  // `programFolder` is the folder of the running program; `supportFiles`
  // the names (module names such as "LINDRA.DLL", or plain file names)
  // that must lie in it. The default list is the list library, the grammar
  // browser (when the build makes it) and the English help folder.
  explicit COrv_Setup(std::filesystem::path programFolder, std::vector<std::string> supportFiles = DefaultSupportFiles());
  virtual ~COrv_Setup() = default;

  static std::vector<std::string> DefaultSupportFiles();

  int GetWindowsLanguage() const { return m_nWindowsLanguage; }

  // Stores the system's language as the interface language when no program
  // folder is stored yet, stores the program folder and registers the
  // .tpk content type.
  void Register();
  // Removes the shell classes of the document type and both extensions from
  // the classes root and from Software\CLASSES of the machine.
  void Unregister();

  // The -instal switch: the first-run registration (Register); the start
  // ends afterwards. `flags` selects the checks (15: all); the questions of
  // a reinstallation come with the installer. 1 when done, 0 when cancelled.
  virtual int CheckInstallation(int flags);
  // The -uninstal switch: removes the registrations (Unregister); the start
  // ends afterwards. 1.
  virtual int Uninstall();

  // True when every support file lies beside the program; else shows a
  // box naming the first missing one and answers false.
  virtual bool CheckSupportFiles();
  // Installs every packet of the demo folder through `installer` and
  // removes the folder; a folder holding a packet that did not install is
  // kept for the next start rather than lose the packet.
  virtual void InstallDemoPackets(BookInstaller& installer);

 private:
  std::filesystem::path m_programFolder;
  std::vector<std::string> m_supportFiles;
  int m_nWindowsLanguage;
};

// The installation check of the start-up: string 20066 (exclamation icon)
// and false when the stored program folder is empty or is not the running
// program's folder (canonical paths compared exactly), the data path is
// empty, or a support file is missing. Otherwise the demo packets are
// installed and the answer is true.
bool CheckSetup(COrv_Setup& setup, const std::filesystem::path& programFolder, BookInstaller& installer);

}  // namespace orv::shell
