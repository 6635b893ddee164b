#pragma once
// COrv_Setup: the start-up's installation checks and registrations, and
// CheckSetup, the check that ends the start with string 20066 when the
// installation beside the program is inconsistent.

#include <filesystem>
#include <string>
#include <vector>

namespace orv::install {
class FileInstaller;
}

namespace orv::shell {

using BookInstaller = orv::install::FileInstaller;

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

  // Bits of CheckInstallation's flags.
  enum : int {
    kCheckProgramFolder = 1,  // store this program's folder (Register)
    kCheckFileTypes = 2,      // register .tpk/.tvl with the desktop
    kCheckDataFolder = 4,     // make the data folder and the book menu
    kCheckDemoPackets = 8,    // install the demo packets
    kCheckAll = 15,
  };

  // The -instal switch; the start ends afterwards. At first run (no program
  // folder stored) every check that `flags` selects is done without a
  // question; at a reinstallation each one that would change what is there
  // is asked first (Yes does it, No skips it, Cancel stops). 1 when done,
  // 0 when cancelled.
  virtual int CheckInstallation(int flags);
  // The -uninstal switch: removes the registrations, the file types, the
  // book menu with its entries and the autostart entry, and tells that the program folder itself is removed by
  // the system's package tools; the start ends afterwards. 1.
  virtual int Uninstall();

  // The menu folder of the book entries: a folder of the program's own in
  // the desktop's applications menu, so that an entry's desktop-file ID is
  // "talvane-books-<title>.desktop". Empty when there is no such menu.
  static constexpr const char* kBookMenuName = "talvane-books";
  static std::string BookMenuFolder();
  // Makes that folder and stores it as the install-menu folder, where
  // installed books get their entries; false when it cannot be made.
  static bool CreateBookMenu();
  // Removes the entries of the stored install-menu folder when it is a
  // book menu of this program's name, the folder when nothing else is in
  // it, and the stored value.
  static void RemoveBookMenu();

  // The installer CheckInstallation installs the demo packets with (not
  // owned; none: they are left for the first start).
  void SetInstaller(BookInstaller* installer) { m_installer = installer; }
  // The program the file types open (default: orvex in the program folder).
  void SetProgram(std::filesystem::path program) { m_program = std::move(program); }

  // True when every support file lies beside the program; else shows one
  // box naming the file that is missing and answers false.
  virtual bool CheckSupportFiles();
  // Installs every packet of the demo folder through `installer`. Each one
  // installed is removed; one that did not install is renamed "<name>.bad"
  // (kept, and not tried again at the next start). When every packet
  // installed the folder goes.
  virtual void InstallDemoPackets(BookInstaller& installer);

 private:
  std::filesystem::path m_programFolder;
  // Yes/No/Cancel question `id` (with `detail` below): IDYES, IDNO or
  // IDCANCEL.
  int ask(int id, const std::string& detail = {}) const;

  std::vector<std::string> m_supportFiles;
  std::filesystem::path m_program;
  BookInstaller* m_installer = nullptr;
  int m_nWindowsLanguage;
};

// The installation check of the start-up: string 20066 (exclamation icon)
// and false when the stored program folder is empty or is not the running
// program's folder (canonical paths compared exactly), the data path is
// empty; a missing support file is told by CheckSupportFiles's own box
// alone. Otherwise the demo packets are
// installed and the answer is true.
bool CheckSetup(COrv_Setup& setup, const std::filesystem::path& programFolder, BookInstaller& installer);

}  // namespace orv::shell
