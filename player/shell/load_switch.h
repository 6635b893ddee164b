#pragma once
// The load switch: installs the packet (.tpk) or library (.tvl) file named
// on the command line before the main window exists, and arranges for the
// start-up to open the book unless -nopen was given.
//
// What the installer and the container readers do is reached through
// LoadSwitchServices, so that the start-up stays a thin caller and tests can
// stand in for the installer.

#include <filesystem>
#include <string>

#include "player/install/file_installer.h"

class COrv_CommandLineInfo;

namespace orv::shell {

// The installer, shaped like the install dialog's silent entry.
using BookInstaller = orv::install::FileInstaller;

class LoadSwitchServices : public BookInstaller {
 public:
  // Whether the code is registered on the current data path (the default
  // asks the installed-book information).
  virtual bool IsInstalled(const std::string& code);
  // Whether the named file has the layout of a packet or a library, checked
  // where it lies before anything is copied (its own boxes tell what is
  // wrong). The default accepts every file.
  virtual bool CheckFormat(const std::filesystem::path& path);
  // A packet: validates it; a book content file is first made a library
  // copy that is moved into the install folder, and `path` becomes that
  // copy. Then `code` is the book code of its directory slot. False on any
  // failure.
  virtual bool ReadPacketCode(std::filesystem::path& path, std::string& code) = 0;
  // A library: the first name of its catalogue. False when it has none.
  virtual bool ReadLibraryCode(const std::filesystem::path& path, std::string& code) = 0;
  // The per-book shortcuts of an installed code; false when the book has
  // no source file.
  virtual bool CreateShortcuts(const std::string& code) = 0;
  // FailureReason() also tells why the last ReadPacketCode or
  // ReadLibraryCode answered false.
};

struct LoadSwitchFolders {
  std::filesystem::path installFolder;      // the data path's Install folder
  std::filesystem::path indirectionFolder;  // where "@@@<name>" files lie
};
// The data path's Install folder and the machine-settings folder.
LoadSwitchFolders DefaultLoadSwitchFolders();

// Serves the load switch; may change the book name, book flag, load file
// and load flag of `cmd`. False ends the start: every refusal is told in
// one line "orvex: <file>: <reason>" on standard error (the services show
// their own boxes; none is shown here).
bool LoadFromCommandLine(COrv_CommandLineInfo& cmd, LoadSwitchServices& services,
                         const LoadSwitchFolders& folders = DefaultLoadSwitchFolders());

}  // namespace orv::shell
