#pragma once
// COrv_InstallDlg: the dialog the learner installs Talvanes from. It lists
// the chosen packet (.tpk) and library (.tvl) files, one row per Talvane of
// a packet and one per library, shows the free space of the Talvanes
// folder's drive against what the rows still to install need, and
// installs them one after the other in the progress window.
//
// The installation runs in steps on the event loop: one Talvane per step,
// and the progress window lets the loop handle input at every step of a
// Talvane, so the windows keep painting and answering. Cancel (the
// progress window's button, Escape, or closing either window) is taken
// after the Talvane being installed: every finished Talvane stays
// installed, and the one under way is either complete or absent (the
// engine writes each content file atomically and removes its scratch
// files on every path).

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/env/file_util.h"
#include "player/install/packet_installer.h"

class COrv_SkinFrame;
class QLabel;
class QListWidget;
class QPushButton;

namespace orv::install {

class InstallRunWindow;

// Asks the learner for the files to install.
class InstallFileChooser {
 public:
  virtual ~InstallFileChooser() = default;
  // The chosen files, starting in `folder`; empty when the learner cancels.
  virtual std::vector<std::filesystem::path> ChooseFiles(QWidget* parent, const std::filesystem::path& folder) = 0;
};

// The system's file dialog, for packets and libraries.
class QtInstallFileChooser : public InstallFileChooser {
 public:
  std::vector<std::filesystem::path> ChooseFiles(QWidget* parent, const std::filesystem::path& folder) override;
};

// One row of the dialog: a Talvane of a packet, or a whole library.
struct InstallItem {
  enum class State { Waiting, Installed, Failed, Declined, Cancelled };
  std::filesystem::path file;
  int slot = 0;  // the packet's directory slot; 0 for a library
  std::string code;
  std::string title;
  std::uint64_t size = 0;  // the packet part, or the library file
  std::vector<std::string> books;  // the codes it installs
  State state = State::Waiting;
  bool IsLibrary() const { return slot == 0; }
};

// The room the rows still to install need on one folder's drive.
struct SpaceNeed {
  std::string folder;
  std::uint64_t needed = 0;     // more than this must be free
  std::uint64_t available = 0;  // free to this user
  int errorNumber = 0;          // of the box when it falls short
  bool Enough() const { return available > needed; }
};

class COrv_InstallDlg : public QDialog {
 public:
  // A step of the installation as the progress window shows it.
  struct ProgressStep {
    int item = 0;  // index in Items()
    std::string line1, line2;
    int percent = 0;
  };
  using ProgressObserver = std::function<void(const ProgressStep&)>;

  // `chooser` (not owned; none: the system's file dialog) and `probe` (none:
  // the drives themselves) are the dialog's seams.
  explicit COrv_InstallDlg(QWidget* parent = nullptr, InstallFileChooser* chooser = nullptr,
                           COrv_FileUtil::SpaceProbe probe = {});
  ~COrv_InstallDlg() override;

  // Asks for files and adds them (the Add button).
  void OnAddFiles();
  // Adds the Talvanes of these files; a file that is no packet or library,
  // or is damaged, is named in a message and left out. Answers the rows
  // added.
  int AddFiles(const std::vector<std::filesystem::path>& files);
  // Removes the selected row (the Remove button and the Delete key).
  void OnRemove();
  // The room the rows still to install need: the Talvanes folder's drive
  // first, then each packet folder's drive.
  std::vector<SpaceNeed> SpaceNeeds() const;
  // Starts installing the rows still to install (the Install button) after
  // the space check: a drive that falls short is told with its figures and
  // nothing is installed. False when nothing was started.
  bool OnInstall();
  // Asks a running installation to stop after the Talvane under way.
  void RequestCancel();

  bool IsInstalling() const { return m_running; }
  const std::vector<InstallItem>& Items() const { return m_items; }
  int CountIn(InstallItem::State state) const;
  // What the closing box of a run says: every row of the run installed, or
  // how many were installed, declined, failed and not reached.
  std::string RunSummary(bool cancelled) const;
  // The texts of the space labels, as shown.
  QString FreeSpaceText() const;
  QString NeededSpaceText() const;
  // The progress window of the running installation, or none.
  QDialog* ProgressWindow() const;

  // Called at every step the progress window shows.
  void SetProgressObserver(ProgressObserver observer) { m_observer = std::move(observer); }
  // Where content files go (default: the data path's Talvanes folder).
  void SetDestinationFolder(std::filesystem::path folder);
  // The converter of compressed speech (default: the decoder library).
  void SetAudioConverter(AudioConverter* converter) { m_installer.SetAudioConverter(converter); }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Progress;
  friend class Progress;
  friend class InstallRunWindow;

  void installNext();
  void finish();
  void refresh();
  void updateButtons();
  void step(const std::string* line1, const std::string* line2, const int* percent);
  std::string destination() const;

  InstallFileChooser* m_chooser;
  std::unique_ptr<InstallFileChooser> m_ownChooser;
  COrv_FileUtil::SpaceProbe m_probe;
  std::filesystem::path m_destination;
  std::filesystem::path m_lastFolder;
  PacketInstaller m_installer;
  std::vector<InstallItem> m_items;
  ProgressObserver m_observer;
  ProgressStep m_step;
  InstallRunWindow* m_window = nullptr;
  bool m_running = false;
  bool m_cancel = false;
  std::size_t m_next = 0;
  int m_runTotal = 0;
  std::vector<std::size_t> m_runRows;  // the rows the last run took on

  QListWidget* m_list;
  QLabel* m_folderLabel;
  QLabel* m_freeLabel;
  QLabel* m_neededLabel;
  QLabel* m_statusLabel;
  QPushButton* m_add;
  QPushButton* m_remove;
  QPushButton* m_install;
  QPushButton* m_close;
  std::unique_ptr<COrv_SkinFrame> m_skin;
};

// Shows the install dialog modally over `parent` (the Install command).
void RunInstallDlg(QWidget* parent);

}  // namespace orv::install
