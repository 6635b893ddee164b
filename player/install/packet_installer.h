#pragma once
// The installer the player's start-up and setup use: installs every Talvane
// of a packet (.tpk) with COrv_BookInstaller into the data path's Talvanes
// folder, or takes a library (.tvl, a book content file holding one or more
// books) into the data path's BackUp folder, and registers each book in the
// installed-book information, so that it opens by its code at once. A
// progress window shows a packet's steps while a QApplication runs; silent
// otherwise.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "player/install/book_installer.h"
#include "player/install/file_installer.h"

namespace orv::install {

// Whether book `code` of the content file reads back whole: it opens, and
// every kind of information of every one of its Echomarks (its speech at
// every speed included, as valid WAV files) reads. An install registers
// nothing that fails this. `why` (when given) receives what failed, naming
// the Echomark and, for speech, its member.
bool BookReadsBackWhole(const std::string& contentPath, const std::string& code, std::string* why = nullptr);

class PacketInstaller : public FileInstaller {
 public:
  using ProgressFactory = std::function<std::unique_ptr<InstallProgress>()>;

  // `progress` makes the display of one installation (none: the progress
  // window when a QApplication exists, else nothing is shown).
  explicit PacketInstaller(ProgressFactory progress = {});

  // A packet: every Talvane of it is installed and registered; 1 when all
  // were, 0 otherwise (those installed stay installed). A library: see
  // InstallLibrary. Other files are not installed: 0.
  int InstallFile(const std::filesystem::path& path) override;
  std::string FailureReason() const override { return m_reason; }

  // Checks the library, moves it into the BackUp folder (under a name of
  // its own when a different file of that name is there; a file already
  // in that folder stays where it is) and registers every book of its
  // catalogue with the moved file as its source. A library that does not
  // read back whole (every book, every Echomark, every kind) is refused
  // with a message before anything is moved or registered. 1 when every
  // book was registered; 0 after a message otherwise.
  int InstallLibrary(const std::filesystem::path& path);

  // Where content files go (default: the data path's Talvanes folder).
  void SetDestinationFolder(std::filesystem::path folder) { m_destination = std::move(folder); }
  void SetAudioConverter(AudioConverter* converter) { m_installer.SetAudioConverter(converter); }
  void SetRenderThreads(unsigned threads) { m_installer.SetRenderThreads(threads); }
  // Where libraries go (default: the data path's BackUp folder).
  void SetBackupFolder(std::filesystem::path folder) { m_backup = std::move(folder); }

  // Installs and registers slot `slot` of the packet at `path`; 1 on
  // success. `contentPath` receives the content file.
  int InstallSlot(const std::filesystem::path& path, int slot, std::string& contentPath);

 private:
  ProgressFactory m_progress;
  std::filesystem::path m_destination;
  std::filesystem::path m_backup;
  COrv_BookInstaller m_installer;
  std::string m_reason;
};

}  // namespace orv::install
