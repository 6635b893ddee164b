#include "player/install/install_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <map>
#include <system_error>

#include "platform/ui/message_box.h"
#include "player/book/book_info.h"
#include "player/book/catalogue.h"
#include "player/book/packet_file.h"
#include "player/env/environment.h"
#include "player/env/msg_box.h"
#include "player/install/packet_folder.h"
#include "player/install/progress_window.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"

namespace orv::install {
namespace fs = std::filesystem;

namespace {

enum : int {
  kStrTitle = 20490,
  kStrAdd = 20491,
  kStrRemove = 20492,
  kStrInstall = 20493,
  kStrClose = 20494,
  kStrFilter = 20495,
  kStrChooseCaption = 20496,
  kStrFolder = 20497,
  kStrFree = 20498,
  kStrNeeded = 20499,
  kStrPacketFolder = 20500,
  kStrWaiting = 20501,
  kStrInstalled = 20502,
  kStrNotInstalled = 20503,
  kStrLibraryOf = 20504,
  kStrCancelled = 20505,
  kStrCancel = 20506,
  kStrStopping = 20507,
  kStrNotAnInstallFile = 20509,
  kStrRunWasCancelled = 20572,
  kStrNotAllInstalled = 20573,
  kStrRunInstalled = 20574,
  kStrRunDeclined = 20575,
  kStrRunFailed = 20576,
  kStrRunNotReached = 20577,
  kStrLibraryOfOne = 20578,
  kMsgAllInstalled = 9304,
  kMsgSomeFailed = 9305,
  kMsgNoRoom = 9117,
};
// The room the engine asks for: the installed book and its working space
// beside the Talvanes folder, the unpacked part beside the packet.
constexpr std::uint64_t kDestinationFactor = 26, kPacketFactor = 2;
constexpr int kErrDestinationDrive = 622, kErrPacketDrive = 645, kErrSpaceSub = 750;

std::string text(int id) { return COrv_Language().LoadString(id); }

// `pattern` with each "%s" or "%d" replaced by the next argument.
std::string fill(std::string pattern, std::initializer_list<std::string> args) {
  std::size_t at = 0;
  for (const std::string& a : args) {
    at = pattern.find('%', at);
    while (at != std::string::npos && (at + 1 >= pattern.size() || (pattern[at + 1] != 's' && pattern[at + 1] != 'd')))
      at = pattern.find('%', at + 1);
    if (at == std::string::npos) break;
    pattern.replace(at, 2, a);
    at += a.size();
  }
  return pattern;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

std::string lowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Digits in groups of three, parted by a narrow no-break space (readable
// in every language).
std::string grouped(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += "\u202F";
    out += digits[i];
  }
  return out;
}

// Kilobytes as the space box counts them: what is free rounded down, what
// is needed rounded up, so that the figures never contradict the refusal.
std::string freeKb(std::uint64_t bytes) { return grouped(bytes / 1024); }
std::string neededKb(std::uint64_t bytes) { return grouped(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0)); }

std::string stateText(InstallItem::State state) {
  switch (state) {
    case InstallItem::State::Waiting: return text(kStrWaiting);
    case InstallItem::State::Installed: return text(kStrInstalled);
    case InstallItem::State::Failed:
    case InstallItem::State::Declined: return text(kStrNotInstalled);
    case InstallItem::State::Cancelled: return text(kStrCancelled);
  }
  return {};
}

// The menu entries that start the installed books (none where the
// desktop has no menu folder).
void makeShortcuts(const std::vector<std::string>& codes) {
  const COrv_FileUtil files;
  for (const std::string& code : codes) {
    COrv_BookInfo book(code);
    if (!book.GetSelectedCode().empty())
      files.CreateBookShortcut(book.GetSelectedCode(), book.GetTitle(-1), book.GetCategory());
  }
}

}  // namespace

std::vector<fs::path> QtInstallFileChooser::ChooseFiles(QWidget* parent, const fs::path& folder) {
  const QStringList names =
      QFileDialog::getOpenFileNames(parent, q(text(kStrChooseCaption)), q(folder.string()), q(text(kStrFilter)));
  std::vector<fs::path> out;
  for (const QString& name : names) out.emplace_back(name.toStdString());
  return out;
}

// The progress window of a run: the engine's two lines and bar, and a
// Cancel button. Escape and the window's close box cancel too; the window
// itself stays until the run ends.
class InstallRunWindow : public COrv_InstallProgressDlg {
 public:
  explicit InstallRunWindow(COrv_InstallDlg* owner) : COrv_InstallProgressDlg(owner), m_owner(owner) {
    m_cancel = new QPushButton(q(text(kStrCancel)), this);
    m_cancel->setAutoDefault(true);
    m_cancel->setDefault(true);
    layout()->addWidget(m_cancel);
    QObject::connect(m_cancel, &QPushButton::clicked, this, [this] { m_owner->RequestCancel(); });
    m_cancel->setFocus();
  }
  // The learner's Cancel is taken: it acts after the Talvane under way.
  void ShowCancelTaken() {
    m_cancel->setEnabled(false);
    m_cancel->setText(q(text(kStrStopping)));
  }
  void reject() override { m_owner->RequestCancel(); }

 protected:
  // The dialog lets the event loop run at every step, input included.
  void pump() override {}
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    m_owner->RequestCancel();
  }

 private:
  COrv_InstallDlg* m_owner;
  QPushButton* m_cancel;
};

// What the engine reports goes to the run's window and the observer, and
// the event loop then handles what waits, input included.
class COrv_InstallDlg::Progress : public InstallProgress {
 public:
  explicit Progress(COrv_InstallDlg& dlg) : m_dlg(dlg) {}
  void SetLine1(const std::string& t) override { m_dlg.step(&t, nullptr, nullptr); }
  void SetLine2(const std::string& t) override { m_dlg.step(nullptr, &t, nullptr); }
  void SetPosition(int percent) override { m_dlg.step(nullptr, nullptr, &percent); }
  // While the speeds render on other threads, input and painting go on.
  void KeepAlive() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

 private:
  COrv_InstallDlg& m_dlg;
};

COrv_InstallDlg::COrv_InstallDlg(QWidget* parent, InstallFileChooser* chooser, COrv_FileUtil::SpaceProbe probe)
    : QDialog(parent),
      m_chooser(chooser),
      m_probe(std::move(probe)),
      m_installer([this] { return std::make_unique<Progress>(*this); }),
      m_list(new QListWidget(this)),
      m_folderLabel(new QLabel(this)),
      m_freeLabel(new QLabel(this)),
      m_neededLabel(new QLabel(this)),
      m_statusLabel(new QLabel(this)),
      m_add(new QPushButton(q(text(kStrAdd)), this)),
      m_remove(new QPushButton(q(text(kStrRemove)), this)),
      m_install(new QPushButton(q(text(kStrInstall)), this)),
      m_close(new QPushButton(q(text(kStrClose)), this)),
      m_skin(std::make_unique<COrv_SkinFrame>()) {
  if (!m_chooser) {
    m_ownChooser = std::make_unique<QtInstallFileChooser>();
    m_chooser = m_ownChooser.get();
  }
  setWindowTitle(q(text(kStrTitle)));
  m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setMinimumSize(460, 180);

  auto* grid = new QGridLayout(this);
  // Room for the skinned frame's caption band and border.
  grid->setContentsMargins(16, COrv_SkinFrame::kCaptionHeight + 11, 16, 16);
  grid->addWidget(m_folderLabel, 0, 0, 1, 2);
  grid->addWidget(m_list, 1, 0, 3, 1);
  grid->addWidget(m_add, 1, 1);
  grid->addWidget(m_remove, 2, 1);
  grid->setRowStretch(3, 1);
  grid->addWidget(m_freeLabel, 4, 0, 1, 2);
  grid->addWidget(m_neededLabel, 5, 0, 1, 2);
  grid->addWidget(m_statusLabel, 6, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_install);
  buttons->addWidget(m_close);
  grid->addLayout(buttons, 7, 0, 1, 2);

  m_install->setDefault(true);
  setTabOrder(m_list, m_add);
  setTabOrder(m_add, m_remove);
  setTabOrder(m_remove, m_install);
  setTabOrder(m_install, m_close);
  connect(m_add, &QPushButton::clicked, this, [this] { OnAddFiles(); });
  connect(m_remove, &QPushButton::clicked, this, [this] { OnRemove(); });
  connect(m_install, &QPushButton::clicked, this, [this] { OnInstall(); });
  connect(m_close, &QPushButton::clicked, this, [this] { reject(); });
  connect(m_list, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
  auto* del = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
  connect(del, &QShortcut::activated, this, [this] { OnRemove(); });
  m_skin->Attach(this);
  m_skin->SetCaption(q(text(kStrTitle)));
  refresh();
  m_add->setFocus();
}

COrv_InstallDlg::~COrv_InstallDlg() {
  // A dialog destroyed mid-run (its parent going) takes its window along;
  // the steps still queued belong to this object and go with it.
  delete m_window;
  if (m_running && qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::restoreOverrideCursor();
}

void COrv_InstallDlg::SetDestinationFolder(fs::path folder) {
  m_destination = folder;
  m_installer.SetDestinationFolder(std::move(folder));
}

std::string COrv_InstallDlg::destination() const {
  return m_destination.empty() ? COrv_Environment().GetTalvanesPath(false) : m_destination.string();
}

void COrv_InstallDlg::OnAddFiles() {
  if (m_running) return;
  fs::path start = m_lastFolder.empty() ? fs::path(QDir::homePath().toStdString()) : m_lastFolder;
  AddFiles(m_chooser->ChooseFiles(this, start));
}

int COrv_InstallDlg::AddFiles(const std::vector<fs::path>& files) {
  if (m_running) return 0;
  int added = 0;
  for (const fs::path& path : files) {
    m_lastFolder = path.parent_path();
    const std::string ext = lowerExtension(path);
    const std::string p = path.string();
    std::vector<InstallItem> rows;
    COrv_PacketFile packet;
    if (ext == ".tpk") {
      // The packet reader names the file and what is wrong with it.
      if (!packet.Validate(p, "", true)) continue;
      const int slotCount = packet.GetSlotCount(p, "");
      std::uint8_t raw[COrv_PacketFile::kSlotSize];
      for (int slot = 1; slot <= slotCount; ++slot) {
        if (!packet.ReadSlot(p, "", raw, slot) || packet.GetSlotSize() < 0) {
          rows.clear();
          break;
        }
        InstallItem item;
        item.file = path;
        item.slot = slot;
        item.code = packet.GetSlotCode();
        item.title = packet.GetSlotTitle();
        item.size = static_cast<std::uint64_t>(packet.GetSlotSize());
        item.books = {item.code};
        rows.push_back(std::move(item));
      }
      if (rows.empty()) {
        ReportInstallError(COrv_BookInstaller::kMsgBadFormat, __LINE__, p);
        continue;
      }
    } else if (ext == ".tvl") {
      if (!packet.Validate(p, "", true)) continue;
      COrv_CatalogueRecord catalogue;
      std::error_code ec;
      const std::uint64_t size = fs::file_size(path, ec);
      if (!packet.GetBookFileFlag() || catalogue.Load(p) < 1 || ec) {
        ReportInstallError(COrv_BookInstaller::kMsgBadFormat, __LINE__, p);
        continue;
      }
      InstallItem item;
      item.file = path;
      item.books = catalogue.GetNames();
      item.code = item.books.front();
      item.title = item.books.size() == 1 ? text(kStrLibraryOfOne)
                                          : fill(text(kStrLibraryOf), {std::to_string(item.books.size())});
      item.size = size;
      rows.push_back(std::move(item));
    } else {
      plat::ui::AppMessageBox(text(kStrNotAnInstallFile) + "\n\n" + p, plat::ui::MB_ICONEXCLAMATION);
      continue;
    }
    for (InstallItem& row : rows) {
      const bool listed = std::any_of(m_items.begin(), m_items.end(), [&](const InstallItem& i) {
        return i.slot == row.slot && fs::path(i.file).lexically_normal() == row.file.lexically_normal();
      });
      if (listed) continue;
      m_items.push_back(std::move(row));
      ++added;
    }
  }
  refresh();
  if (added > 0) {
    m_list->setCurrentRow(static_cast<int>(m_items.size()) - 1);
    // Enter now installs what was chosen.
    m_install->setFocus();
  }
  return added;
}

void COrv_InstallDlg::OnRemove() {
  const int row = m_list->currentRow();
  if (m_running || row < 0 || row >= static_cast<int>(m_items.size())) return;
  m_items.erase(m_items.begin() + row);
  refresh();
}

std::vector<SpaceNeed> COrv_InstallDlg::SpaceNeeds() const {
  const COrv_FileUtil files;
  SpaceNeed target{destination(), 0, 0, kErrDestinationDrive};
  std::map<std::string, std::uint64_t> largestPart;
  for (const InstallItem& item : m_items) {
    if (item.state == InstallItem::State::Installed) continue;
    if (item.IsLibrary()) {
      // A library is kept whole beside the Talvanes (in the BackUp folder).
      target.needed += item.size;
      continue;
    }
    target.needed += kDestinationFactor * item.size;
    std::uint64_t& largest = largestPart[item.file.parent_path().string()];
    largest = std::max(largest, item.size);
  }
  target.available = files.AvailableSpace(target.folder, m_probe);
  std::vector<SpaceNeed> needs{target};
  for (const auto& [folder, part] : largestPart)
    needs.push_back({folder, kPacketFactor * part, files.AvailableSpace(folder, m_probe), kErrPacketDrive});
  return needs;
}

int COrv_InstallDlg::CountIn(InstallItem::State state) const {
  return static_cast<int>(
      std::count_if(m_items.begin(), m_items.end(), [state](const InstallItem& i) { return i.state == state; }));
}

bool COrv_InstallDlg::OnInstall() {
  if (m_running) return false;
  int waiting = 0;
  for (const InstallItem& item : m_items)
    if (item.state != InstallItem::State::Installed) ++waiting;
  if (waiting == 0) return false;
  for (const SpaceNeed& need : SpaceNeeds()) {
    if (need.Enough()) continue;
    COrv_MsgBox box;
    box.m_nMessageId = kMsgNoRoom;
    box.m_nErrorNumber = need.errorNumber;
    box.m_nSubNumber = kErrSpaceSub;
    box.m_nKind = 1;
    box.m_strExtraText = fill(text(need.errorNumber == kErrDestinationDrive ? kStrFolder : kStrPacketFolder),
                              {need.folder}) +
                         "\n" + fill(text(kStrFree), {freeKb(need.available)}) + "\n" +
                         fill(text(kStrNeeded), {neededKb(need.needed)});
    box.Show();
    return false;
  }
  m_runRows.clear();
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].state == InstallItem::State::Installed) continue;
    m_items[i].state = InstallItem::State::Waiting;
    m_runRows.push_back(i);
  }
  m_running = true;
  m_cancel = false;
  m_next = 0;
  m_runTotal = waiting;
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::setOverrideCursor(Qt::BusyCursor);
  m_window = new InstallRunWindow(this);
  refresh();
  QTimer::singleShot(0, this, [this] { installNext(); });
  return true;
}

void COrv_InstallDlg::RequestCancel() {
  if (!m_running || m_cancel) return;
  m_cancel = true;
  if (m_window) m_window->ShowCancelTaken();
  refresh();
}

void COrv_InstallDlg::step(const std::string* line1, const std::string* line2, const int* percent) {
  if (line1) m_step.line1 = *line1;
  if (line2) m_step.line2 = *line2;
  if (percent) m_step.percent = *percent;
  if (m_window) {
    if (line1) m_window->SetLine1(*line1);
    if (line2) m_window->SetLine2(*line2);
    if (percent) m_window->SetPosition(*percent);
  }
  if (m_observer) m_observer(m_step);
  // Input waits no longer than one step of the engine.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void COrv_InstallDlg::installNext() {
  while (m_next < m_items.size() && m_items[m_next].state != InstallItem::State::Waiting) ++m_next;
  if (m_cancel || m_next >= m_items.size()) return finish();

  InstallItem& item = m_items[m_next];
  m_step = {static_cast<int>(m_next), {}, {}, 0};
  const int done = m_runTotal - static_cast<int>(std::count_if(m_items.begin() + static_cast<std::ptrdiff_t>(m_next),
                                                                m_items.end(), [](const InstallItem& i) {
                                                                  return i.state == InstallItem::State::Waiting;
                                                                }));
  m_statusLabel->setText(q(std::to_string(done + 1) + " / " + std::to_string(m_runTotal) + "   " + item.title));

  bool installed = false;
  if (item.IsLibrary()) {
    const std::string line1 =
        " " + text(COrv_BookInstaller::kStrInstalling) + " '" + item.file.filename().string() + "'";
    step(&line1, nullptr, nullptr);
    installed = m_installer.InstallLibrary(item.file) == 1;
    item.state = installed ? InstallItem::State::Installed : InstallItem::State::Failed;
  } else {
    const std::string folder = item.file.parent_path().string(), name = item.file.filename().string();
    COrv_PacketFile packet;
    packet.SetInstalledCheck([](const std::string& code) { return COrv_BookInfo().IsInstalled(code); });
    if (!packet.ConfirmReinstall(folder, name, item.slot, true)) {
      item.state = packet.GetLastError().message == 0 ? InstallItem::State::Declined : InstallItem::State::Failed;
    } else if (!COrv_PacketFolder::CheckSpaceForPacket(destination(), folder, name, item.slot, m_probe)) {
      // The drive filled since the check: the rest would not fit either.
      item.state = InstallItem::State::Failed;
      m_cancel = true;
    } else {
      std::string content;
      installed = m_installer.InstallSlot(item.file, item.slot, content) == 1;
      item.state = installed ? InstallItem::State::Installed : InstallItem::State::Failed;
    }
  }
  if (installed) makeShortcuts(item.books);
  ++m_next;
  refresh();
  QTimer::singleShot(0, this, [this] { installNext(); });
}

void COrv_InstallDlg::finish() {
  for (InstallItem& item : m_items) {
    if (item.state == InstallItem::State::Waiting) item.state = InstallItem::State::Cancelled;
  }
  delete m_window;
  m_window = nullptr;
  m_running = false;
  const bool cancelled = m_cancel;
  m_cancel = false;
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::restoreOverrideCursor();
  refresh();
  m_statusLabel->clear();
  const std::string summary = RunSummary(cancelled);
  const bool failed = std::any_of(m_runRows.begin(), m_runRows.end(), [this](std::size_t i) {
    return i < m_items.size() && m_items[i].state == InstallItem::State::Failed;
  });
  plat::ui::AppMessageBox(summary, failed ? plat::ui::MB_ICONEXCLAMATION : plat::ui::MB_ICONINFORMATION);
  m_close->setFocus();
}

std::string COrv_InstallDlg::RunSummary(bool cancelled) const {
  // The rows of the last run only: rows installed by an earlier run of the
  // dialog are not this run's work.
  int installed = 0, declined = 0, failed = 0, notReached = 0;
  for (std::size_t i : m_runRows) {
    if (i >= m_items.size()) continue;
    switch (m_items[i].state) {
      case InstallItem::State::Installed: ++installed; break;
      case InstallItem::State::Declined: ++declined; break;
      case InstallItem::State::Failed: ++failed; break;
      case InstallItem::State::Waiting:
      case InstallItem::State::Cancelled: ++notReached; break;
    }
  }
  const int total = static_cast<int>(m_runRows.size());
  if (installed == total) return text(kMsgAllInstalled);
  std::string out = text(cancelled && notReached > 0 ? kStrRunWasCancelled
                         : failed > 0               ? kMsgSomeFailed
                                                    : kStrNotAllInstalled);
  out += "\n\n" + fill(text(kStrRunInstalled), {std::to_string(installed), std::to_string(total)});
  const std::pair<int, int> parts[] = {{kStrRunDeclined, declined}, {kStrRunFailed, failed}, {kStrRunNotReached, notReached}};
  for (const auto& [id, count] : parts)
    if (count > 0) out += "\n" + fill(text(id), {std::to_string(count)});
  return out;
}

void COrv_InstallDlg::refresh() {
  {
    const QSignalBlocker quiet(m_list);
    const int row = m_list->currentRow();
    m_list->clear();
    for (const InstallItem& item : m_items) {
      std::string line = item.title;
      if (!item.IsLibrary()) line += " (" + item.code + ")";
      line += "  -  " + item.file.filename().string() + "  -  " + neededKb(item.size) + " Kb  -  " +
              stateText(item.state);
      m_list->addItem(q(line));
    }
    // The row that took the place of a removed last one stays selected.
    if (std::min(row, m_list->count() - 1) >= 0) m_list->setCurrentRow(std::min(row, m_list->count() - 1));
  }

  const std::vector<SpaceNeed> needs = SpaceNeeds();
  const SpaceNeed& target = needs.front();
  m_folderLabel->setText(q(fill(text(kStrFolder), {target.folder})));
  m_freeLabel->setText(q(fill(text(kStrFree), {freeKb(target.available)})));
  m_neededLabel->setText(q(fill(text(kStrNeeded), {neededKb(target.needed)})));
  // A drive that falls short shows in red before Install is pressed.
  const bool enough = std::all_of(needs.begin(), needs.end(), [](const SpaceNeed& n) { return n.Enough(); });
  m_neededLabel->setStyleSheet(enough ? QString() : QStringLiteral("color: #b00000; font-weight: bold;"));

  updateButtons();
}

void COrv_InstallDlg::updateButtons() {
  const bool waiting = std::any_of(m_items.begin(), m_items.end(),
                                   [](const InstallItem& i) { return i.state != InstallItem::State::Installed; });
  m_add->setEnabled(!m_running);
  m_remove->setEnabled(!m_running && m_list->currentRow() >= 0);
  m_install->setEnabled(!m_running && waiting);
  m_close->setText(q(text(m_running ? kStrCancel : kStrClose)));
  m_close->setEnabled(!m_running || !m_cancel);
}

QString COrv_InstallDlg::FreeSpaceText() const { return m_freeLabel->text(); }
QString COrv_InstallDlg::NeededSpaceText() const { return m_neededLabel->text(); }
QDialog* COrv_InstallDlg::ProgressWindow() const { return m_window; }

void COrv_InstallDlg::reject() {
  if (m_running) return RequestCancel();
  QDialog::reject();
}

void COrv_InstallDlg::closeEvent(QCloseEvent* event) {
  if (m_running) {
    event->ignore();
    RequestCancel();
    return;
  }
  QDialog::closeEvent(event);
}

void RunInstallDlg(QWidget* parent) {
  COrv_InstallDlg dlg(parent);
  // The command waits with a busy cursor; the learner chooses with the
  // normal one.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  dlg.exec();
  QApplication::restoreOverrideCursor();
}

}  // namespace orv::install
