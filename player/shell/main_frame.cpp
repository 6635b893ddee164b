#include "player/shell/main_frame.h"

#include "player/shell/document_commands.h"

#include "player/shell/tv_document_windows.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>

#include "platform/ipc/atoms.h"
#include "platform/ui/message_box.h"
#include "platform/ui/test_mode.h"
#include "player/audio/audio_view_host.h"
#include "player/audio/frag_selector_dlg.h"
#include "player/audio/speech_view_dlg.h"
#include "player/audio/volume_dlg.h"
#include "player/env/environment.h"
#include "player/shell/three_way_splitter_frame.h"
#include "player/env/help.h"
#include "player/shell/login_dlg.h"
#include "shared/dde/dde_server.h"
#include "player/shell/document_play_book.h"
#include "player/shell/play_commands.h"
#include "player/shell/play_view_host.h"
#include "player/shell/speed_popup.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {
constexpr int kSettingInitEMPlay = 7;
constexpr int kSettingInitSpeed = 8;
constexpr int kSettingInitPlayAll = 9;
constexpr int kSettingInitPlayLoop = 14;
constexpr int kSettingPlayWait = 16;
constexpr int kSettingIndexPanel = 22;
constexpr int kSettingStatusBar = 23;
constexpr int kSettingAudioPanel = 24;
constexpr int kSettingSecondaryPanel = 25;
constexpr int kCmdExit = 57665;
constexpr int kSettingDataPath = 33;
constexpr int kSettingCurrentUser = 35;
// The book panes a new interface language redraws (so-far, scratch pad and
// book text).
constexpr unsigned kRefreshLanguageViews = 14;
// The DDE server's name: the application's.
constexpr const char* kDdeServiceName = "Orvex";
}  // namespace

void LogTestEvent(const std::string& name, const std::string& detail) { plat::ui::logTestEvent(name, detail); }

namespace {
// The frame's own host of the audio view windows until the play commands
// provide theirs: shortcuts and help work; what only the play commands can
// do is logged in test mode.
class FrameViewHost : public COrv_AudioViewHost {
 public:
  explicit FrameViewHost(CMainFrame& frame) : frame_(frame) {}
  void SetFragmentFromView(float start, float end, int id) override {
    LogTestEvent("fragment", std::to_string(id) + " " + std::to_string(start) + " " + std::to_string(end));
  }
  void SetPositionFromView(int segment, int id) override {
    LogTestEvent("segment", std::to_string(id) + " " + std::to_string(segment));
  }
  void RequestPlay(int id) override { LogTestEvent("play", std::to_string(id)); }
  void RequestPlayFragment(int id) override { LogTestEvent("playFragment", std::to_string(id)); }
  void RequestPlayFrom(int segment, int id) override {
    LogTestEvent("playFrom", std::to_string(id) + " " + std::to_string(segment));
  }
  void OnViewClosed(int) override {}
  void SetVolume(double left, double right) override {
    left_ = left;
    right_ = right;
  }
  void GetVolume(double* left, double* right) const override {
    *left = left_;
    *right = right_;
  }
  bool IsAudioPlaying() const override { return false; }
  void ShowHelp(const std::string& page) override {
    frame_.Help().ShowTopic(page);
  }
  bool TranslateAccelerator(QKeyCombination key) override { return frame_.RunShortcut(key.toCombined()); }

 private:
  CMainFrame& frame_;
  double left_ = 1.0, right_ = 1.0;
};
// The frame's own view windows as the panel buttons show and hide them. A
// speech view that shows is redrawn by the play commands, which know the
// wave of the current Echomark and of the recording.
class FrameViewWindows : public ViewWindows {
 public:
  explicit FrameViewWindows(CMainFrame& frame) : frame_(frame) {}
  bool IsShown(int window) const override {
    const QWidget* w = frame_.AudioViewWindow(window);
    return w != nullptr && w->isVisible();
  }
  void Show(int window) override {
    QWidget* w = frame_.AudioViewWindow(window);
    if (w == nullptr) return;
    w->show();
    w->raise();
    if ((window == kSpeechView || window == kRecSpeechView) && frame_.PlayControl() != nullptr)
      frame_.PlayControl()->RefreshSpeechViews();
  }
  void Hide(int window) override {
    if (QWidget* w = frame_.AudioViewWindow(window)) w->hide();
  }

 private:
  CMainFrame& frame_;
};

// A view window that shows or goes by its own doing (its close button,
// Escape) changes what its panel button shows.
class ShownWatcher : public QObject {
 public:
  ShownWatcher(QObject* parent, std::function<void()> changed) : QObject(parent), changed_(std::move(changed)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) changed_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> changed_;
};

}  // namespace

COrv_MDIClientWnd::COrv_MDIClientWnd(QWidget* parent) : QMdiArea(parent) {}

void COrv_MDIClientWnd::SetBackground(int mode, QColor colour, QImage picture) {
  mode_ = mode;
  colour_ = colour;
  picture_ = std::move(picture);
  viewport()->update();
}

void COrv_MDIClientWnd::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect r = viewport()->rect();
  painter.fillRect(r, colour_);
  if (mode_ < kCentred || mode_ > kBottomRight || picture_.isNull()) return;
  const int w = picture_.width();
  const int h = picture_.height();
  switch (mode_) {
    case kTopLeft:
      painter.drawImage(r.topLeft(), picture_);
      break;
    case kBottomRight:
      painter.drawImage(QPoint(r.right() + 1 - w, r.bottom() + 1 - h), picture_);
      break;
    case kCentred:
      painter.drawImage(QPoint(std::max(0, (r.left() + r.right() + 1 - w) / 2),
                               std::max(0, (r.top() + r.bottom() + 1 - h) / 2)),
                        picture_);
      break;
    case kTiled:
      // Row by row from the top-left corner while a tile still meets the area.
      for (int y = r.top(); y <= r.bottom(); y += h) {
        for (int x = r.left(); x <= r.right(); x += w) painter.drawImage(QPoint(x, y), picture_);
      }
      break;
  }
}

QImage DefaultBackgroundPicture() {
  // An open book with a sound wave above it, in the warm tones of the
  // client area's colour.
  QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 70, 10), 3));
  p.setBrush(QColor(255, 244, 214));
  p.drawRoundedRect(QRectF(12, 60, 66, 46), 6, 6);
  p.drawRoundedRect(QRectF(82, 60, 66, 46), 6, 6);
  p.setPen(QPen(QColor(120, 70, 10), 2));
  for (int i = 0; i < 3; ++i) {
    p.drawLine(22, 72 + i * 10, 68, 72 + i * 10);
    p.drawLine(92, 72 + i * 10, 138, 72 + i * 10);
  }
  p.setPen(QPen(QColor(180, 40, 20), 4, Qt::SolidLine, Qt::RoundCap));
  const int bars[] = {10, 22, 34, 18, 40, 26, 14, 30, 20, 8};
  for (int i = 0; i < 10; ++i) {
    const int x = 35 + i * 10;
    p.drawLine(x, 34 - bars[i] / 2, x, 34 + bars[i] / 2);
  }
  return image;
}

CMainFrame::CMainFrame(FrameServices services) : services_(std::move(services)) {
  state_.LoadSettings();
  {
    orv::COrv_Environment env;
    state_.SetInterfaceLanguage(env.GetInterfaceLanguage());
    state_.SetHelpLanguage(env.GetHelpLanguage());
  }
  tv::language::setFrameState(&state_);
  // The DDE server of the grammar-browser link; without it the frame
  // works on, without the browser.
  ddeReady_ = InitDDE();
  if (!ddeReady_) plat::ui::AppMessageBox("Failed to initialize DDE client", plat::ui::MB_OK);
  GrammarDdeClient* dde = services_.grammarDde;
  if (dde == nullptr && ddeServer_) {
    ownDde_ = std::make_unique<ServerDdeClient>(*ddeServer_);
    dde = ownDde_.get();
  }
  grammar_ = std::make_unique<COrv_GrammarLink>(services_.grammarBrowser ? *services_.grammarBrowser : ownBrowser_,
                                                dde, [this] { return state_.GetInterfaceLanguage(); });
  delayMs_ = state_.GetInt(kSettingPlayWait) * 1000;

  const QRect screen = services_.screen ? services_.screen()
                                        : (QGuiApplication::primaryScreen()
                                               ? QGuiApplication::primaryScreen()->availableGeometry()
                                               : QRect(0, 0, kWidth, kHeight));
  setMinimumSize(kWidth, kHeight);
  setGeometry(InitialGeometry(screen));
  play_ = std::make_unique<COrv_PlayCommands>(waveOut_, recorder_, audioPanel_, secondaryPanel_, state_);
  play_->SetBook(services_.playBook);
  play_->SetDelayMs(delayMs_);
  // An end of play or a repetition changes what the menus show.
  play_->SetStateListener([this] {
    commands_.UpdateActions();
    commands_.NotifyStateChanged();
  });
  registerCommands();
  if (!services_.documents) {
    auto* windows = new COrv_TvDocumentWindows(*this, playControl());
    ownDocuments_.reset(windows);
    documentCommands_ = std::make_unique<DocumentCommands<COrv_TvDocument>>(
        *windows, [windows] { return windows->ActiveTvDocument(); });
  }
  if (!services_.playBook) {
    ownPlayBook_ = std::make_unique<COrv_DocumentPlayBook<COrv_TvDocument>>(
        [this] { return documents().ActiveTvDocument(); },
        [this](int n) { return n > 0 && GoToQuote(static_cast<unsigned>(n), 0); });
    play_->SetBook(ownPlayBook_.get());
  }
}

CMainFrame::~CMainFrame() {
  // A frame that goes updates no menus: the books' closing below stops the
  // audio, and the predicates would ask documents that are half gone.
  play_->SetStateListener({});
  delete viewWatcher_;
  // A frame that goes without being closed (the program ends on a signal)
  // still takes the grammar browser with it.
  if (!closed_) grammar_->CloseGrammarBrowser();
  // The book windows close with the client area: nothing is told any more.
  if (client_ != nullptr) QObject::disconnect(client_, nullptr, this, nullptr);
  // The books close first, while the frame and its state are whole.
  documentCommands_.reset();
  ownDocuments_.reset();
  // Then nothing plays into a frame that goes, and the view windows, which
  // go last, ask the frame's own host from here on.
  if (playViewHost_) SetAudioViewHost(nullptr);
  play_->SetViews(nullptr);
  play_.reset();
  // The docks hold the panels' windows: they go before the panels do.
  delete audioDock_;
  delete secondaryDock_;
  // The view windows hold the view host, which goes with the members.
  for (COrv_ViewDialog* view : audioViews()) delete view;
  if (tv::language::frameState() == &state_) tv::language::setFrameState(nullptr);
}

QRect CMainFrame::InitialGeometry(const QRect& screen) {
  const int left = screen.width() > kWidth ? (screen.width() - kWidth) / 2 : 0;
  const int top = screen.height() > kHeight ? (screen.height() - kHeight) / 2 : 0;
  return QRect(screen.x() + left, screen.y() + top, kWidth, kHeight);
}

bool CMainFrame::OnCreate() {
  // Without a source of its own the status bar shows the active book.
  if (!services_.statusFacts)
    services_.statusFacts = [this]() -> std::optional<COrv_StatusFacts> {
      const COrv_TvDocument* doc = GetActiveTvDocument();
      if (doc == nullptr) return std::nullopt;
      return COrv_StatusFacts{doc->GetTitle(),         doc->GetOrigLanguage(), doc->GetDifficulty(),
                              doc->GetCategory(),      doc->GetQuoteCount(),   doc->GetCurrentQuote()};
    };
  statusBar_ = new COrv_StatusBar(&state_, services_.statusFacts, this);
  statusBar_->setObjectName(QString::number(COrv_StatusBar::kBarId));
  // 24-pixel icons, and a bar at least 32 pixels high.
  statusBar_->SetIconSize(1);
  if (!statusBar_->OnCreate()) return false;
  setStatusBar(statusBar_);
  statusBar_->setVisible(state_.GetInt(kSettingStatusBar) != 0);
  client_ = new COrv_MDIClientWnd(this);
  setCentralWidget(client_);
  // Another book window in front changes what the commands can do.
  connect(client_, &QMdiArea::subWindowActivated, this, [this] { commands_.NotifyStateChanged(); });
  // The document menu while a book window is active, the main menu when
  // none is.
  connect(client_, &QMdiArea::subWindowActivated, this, [this] { updateMenu(false); });
  client_->SetBackground(COrv_MDIClientWnd::kCentred, QColor::fromRgb(kBackground),
                         services_.backgroundPicture ? services_.backgroundPicture() : DefaultBackgroundPicture());
  commands_.InstallShortcuts(this, *COrv_Language::GetAccelerators(tv::language::kAcceleratorTable));
  secondaryPanel_.SetBackgroundColor(plat::win::RGB(252, 204, 36));
  audioPanel_.SetBackgroundColor(plat::win::RGB(252, 204, 36));
  secondaryDock_ = dockPanel(secondaryPanel_, COrv_SecondaryPanel::kBarId, Qt::RightDockWidgetArea,
                             kSettingSecondaryPanel);
  audioDock_ = dockPanel(audioPanel_, COrv_AudioPanel::kBarId, Qt::LeftDockWidgetArea, kSettingAudioPanel);
  if (!secondaryDock_ || !audioDock_) return false;
  commands_.AddStateListener([this] { showCommandStates(); });
  play_->SetSpeedPopup([this](const std::vector<COrv_SpeedMenuItem>& items) {
    return ShowSpeedPopup(audioDock_->widget(), audioPanel_, items);
  });
  if (!createAudioViews()) return false;
  if (services_.audioViews == nullptr) {
    // The audio view windows ask the play commands, and the play commands
    // move their markers, fragments and waves.
    playViewHost_ = std::make_unique<COrv_PlayViewHost>(*play_, ownViewHost_.get());
    SetAudioViewHost(playViewHost_.get());
    playViews_ = std::make_unique<COrv_WindowPlayViews<COrv_FragSelectorDlg, COrv_SpeechViewDlg>>(
        [this](int id) { return FragSelector(id); }, [this](int id) { return SpeechView(id); }, play_->Book());
    play_->SetViews(playViews_.get());
  }
  RefreshLanguage();
  showCommandStates();
  return true;
}

void CMainFrame::showCommandStates() {
  audioPanel_.UpdateFromCommands(commands_);
  secondaryPanel_.UpdateFromCommands(commands_);
  if (statusBar_ != nullptr) statusBar_->UpdatePanes();
}

C3WaySplitterFrame* CMainFrame::GetActiveChildFrame() const {
  return client_ != nullptr ? dynamic_cast<C3WaySplitterFrame*>(client_->activeSubWindow()) : nullptr;
}

bool CMainFrame::createAudioViews() {
  ownViewWindows_ = std::make_unique<FrameViewWindows>(*this);
  ownViewHost_ = std::make_unique<FrameViewHost>(*this);
  viewHost_ = services_.audioViews != nullptr ? services_.audioViews : ownViewHost_.get();
  const auto selector = [this](int id, int titleId) {
    auto* dlg = new COrv_FragSelectorDlg(viewHost_, this);
    dlg->SetCtrlId(id);
    dlg->SetTitleId(titleId);
    return dlg->Create() ? dlg : nullptr;
  };
  const auto speechView = [this](int id, int titleId) {
    auto* dlg = new COrv_SpeechViewDlg(viewHost_, this);
    dlg->SetTitleId(titleId);
    return dlg->Create(id) ? dlg : nullptr;
  };
  fragAudio_ = selector(COrv_FragSelectorDlg::kAudioId, 39);
  fragRecording_ = selector(COrv_FragSelectorDlg::kRecordingId, 40);
  speechAudio_ = speechView(COrv_SpeechViewDlg::kAudioId, 41);
  speechRecording_ = speechView(COrv_SpeechViewDlg::kRecordingId, 42);
  volume_ = new COrv_VolumeDlg(viewHost_, this);
  volume_->SetTitleId(43);
  double left = 1.0, right = 1.0;
  viewHost_->GetVolume(&left, &right);
  volume_->SetLevel(left, right);
  viewWatcher_ = new ShownWatcher(this, [this] { commands_.NotifyStateChanged(); });
  for (COrv_ViewDialog* view : audioViews())
    if (view != nullptr) view->installEventFilter(viewWatcher_);
  return fragAudio_ && fragRecording_ && speechAudio_ && speechRecording_;
}

COrv_FragSelectorDlg* CMainFrame::FragSelector(int id) const {
  return id == COrv_FragSelectorDlg::kAudioId ? fragAudio_
         : id == COrv_FragSelectorDlg::kRecordingId ? fragRecording_
                                                    : nullptr;
}

QWidget* CMainFrame::AudioViewWindow(int id) const {
  if (id == ViewWindows::kVolume) return volume_;
  if (COrv_FragSelectorDlg* selector = FragSelector(id)) return selector;
  return SpeechView(id);
}

COrv_SpeechViewDlg* CMainFrame::SpeechView(int id) const {
  return id == COrv_SpeechViewDlg::kAudioId ? speechAudio_
         : id == COrv_SpeechViewDlg::kRecordingId ? speechRecording_
                                                  : nullptr;
}

void CMainFrame::SetAudioViewHost(COrv_AudioViewHost* host) {
  viewHost_ = host != nullptr ? host : ownViewHost_.get();
  for (COrv_ViewDialog* view : audioViews())
    if (view != nullptr) view->SetHost(viewHost_);
}

std::array<COrv_ViewDialog*, 5> CMainFrame::audioViews() const {
  return {fragAudio_, fragRecording_, speechAudio_, speechRecording_, volume_};
}

bool CMainFrame::RunShortcut(int key) {
  const auto* table = COrv_Language::GetAccelerators(tv::language::kAcceleratorTable);
  if (table == nullptr) return false;
  const QKeySequence pressed(key);
  for (const plat::ui::Accelerator& accel : *table)
    if (QKeySequence(QString::fromStdString(accel.key)) == pressed) return commands_.Execute(accel.command);
  return false;
}

QDockWidget* CMainFrame::dockPanel(COrv_Panel& panel, int barId, Qt::DockWidgetArea area, int shownSetting) {
  auto* host = new PanelHost(panel);
  if (!panel.Create(host->hostWindow(), barId)) {
    delete host;
    return nullptr;
  }
  // A click on a button runs its command as the menu item would; a refused
  // one puts the buttons back as the commands' states say.
  panel.SetCommandSink([this](int id) {
    if (!commands_.Execute(id)) commands_.NotifyStateChanged();
  });
  auto* dock = new QDockWidget(this);
  dock->setObjectName(QString("panel%1").arg(barId));
  dock->setTitleBarWidget(new QWidget(dock));
  dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  dock->setAllowedAreas(area);
  dock->setWidget(host);
  addDockWidget(area, dock);
  dock->setVisible(state_.GetInt(shownSetting) != 0);
  return dock;
}

bool CMainFrame::InitDDE() {
  if (services_.createDdeServer) return services_.createDdeServer();
  auto server = std::make_unique<CDDEServer>();
  if (!server->Create(kDdeServiceName)) return false;
  ddeServer_ = std::move(server);
  return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  closed_ = true;
  grammar_->CloseGrammarBrowser();
  if (StartPlay* play = playControl()) play->StopAll();
  QMainWindow::closeEvent(event);
}

StartPlay* CMainFrame::playControl() const {
  return services_.play != nullptr ? services_.play : static_cast<StartPlay*>(play_.get());
}

void CMainFrame::registerCommands() {
  commands_.Add(kCmdExit, [this] { close(); });
  play_->Register(commands_);
  registerFrameCommands();
}

void CMainFrame::updateMenu(bool reload) {
  const bool bookOpen = client_ != nullptr && client_->activeSubWindow() != nullptr;
  const int id = bookOpen ? tv::language::kMenuBook : tv::language::kMenuNoBook;
  if (!reload && id == currentMenu_) return;
  const COrv_Language language(state_.GetInterfaceLanguage());
  audioPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  secondaryPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  // The book windows' index panels speak the new language too.
  if (client_ != nullptr) {
    for (QMdiSubWindow* sub : client_->subWindowList())
      if (auto* child = dynamic_cast<C3WaySplitterFrame*>(sub))
        child->IndexPanel().RefreshToolTips(state_.GetInterfaceLanguage());
  }
  for (COrv_ViewDialog* view : audioViews())
    if (view != nullptr) view->UpdateCaption();
  if (reload || currentMenu_ == 0) {
    mainMenu_ = bookMenu_ = {};
    language.LoadMenu(tv::language::kMenuNoBook, mainMenu_, state_.GetInterfaceLanguage());
    language.LoadMenu(tv::language::kMenuBook, bookMenu_, state_.GetInterfaceLanguage());
  }
  // With a book, the menu its document answers (the frame's own copy).
  const COrv_TvDocument* doc = bookOpen ? GetActiveTvDocument() : nullptr;
  const plat::ui::Menu* bookMenu = doc != nullptr ? doc->GetDefaultMenu() : nullptr;
  const plat::ui::Menu& shown = bookOpen ? (bookMenu != nullptr ? *bookMenu : bookMenu_) : mainMenu_;
  if (!shown.items.empty()) {
    commands_.FillMenuBar(menuBar(), shown);
    currentMenu_ = id;
  }
}

void CMainFrame::RefreshLanguage() {
  audioPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  secondaryPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  updateMenu(true);
  if (HasActiveTvDocument()) Documents().RefreshViews(kRefreshLanguageViews);
  // A running grammar browser follows the interface language.
  if (grammar_->IsGrammarBrowserRunning())
    grammar_->SendGrammarLanguage(static_cast<unsigned>(std::max(0, state_.GetInterfaceLanguage())));
}

void CMainFrame::SetInterfaceLanguage(int index) {
  state_.SetInterfaceLanguage(index);
  RefreshLanguage();
}

void CMainFrame::ApplySetting(int n, const void* value) {
  state_.SetValue(n, value);
  if (n == kSettingDataPath || n == kSettingCurrentUser) {
    // A new data path or user: the learner logs in again, starting from
    // no user.
    orv::shell::LoginDialogPrompt dialog;
    orv::shell::LoginPrompt& prompt = services_.login ? *services_.login : dialog;
    state_.SetUserName(prompt.Run());
    return;
  }
  if (value == nullptr) return;
  const int32_t v = *static_cast<const int32_t*>(value);
  switch (n) {
    case kSettingPlayWait:
      delayMs_ = v * 1000;
      play_->SetDelayMs(delayMs_);
      break;
    case kSettingIndexPanel:
      if (C3WaySplitterFrame* child = GetActiveChildFrame()) child->ShowIndexPanel(v == 1);
      break;
    case kSettingStatusBar:
      statusBar()->setVisible(v == 1);
      if (client_ != nullptr) client_->viewport()->update();
      break;
    case kSettingAudioPanel:
    case kSettingSecondaryPanel:
      if (QDockWidget* dock = n == kSettingAudioPanel ? audioDock_ : secondaryDock_) dock->setVisible(v == 1);
      if (client_ != nullptr) client_->viewport()->update();
      break;
    default:
      break;  // stored only
  }
}

bool CMainFrame::OpenTalvane(const std::string& code) {
  TalvaneDocuments& documents = this->documents();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (documents.HasActiveDocument()) documents.CloseActiveDocument();
  const bool opened = documents.OpenDocumentFile(code);
  QApplication::restoreOverrideCursor();
  // The book closed, and perhaps another opened: the buttons show it.
  commands_.NotifyStateChanged();
  if (!opened) return false;
  RefreshLanguage();
  if (StartPlay* play = playControl()) {
    play->SetLoopMode(state_.GetInt(kSettingInitPlayLoop) == 1);
    if (state_.GetInt(kSettingInitPlayAll) == 1) {
      play->SetPlaySpeed(0);
      play->PlayAll();
    } else {
      const int speed = state_.GetInt(kSettingInitSpeed);
      play->SetPlaySpeed(speed == -1 || speed == 1 ? speed : 0);
      if (state_.GetInt(kSettingInitEMPlay) == 1) play->RestartPlay();
    }
  }
  bookJustOpened_ = true;
  commands_.NotifyStateChanged();
  play_->SetBookJustOpened(true);
  return true;
}

void CMainFrame::StopAll(bool askToLoad) { play_->StopAll(askToLoad); }

bool CMainFrame::SetVolume(double left, double right) { return play_->SetVolume(left, right); }

int CMainFrame::OnInterAppMessage(uint64_t wParam, uint16_t atom) {
  if (wParam != 1) return 0;
  // The whole name: a book name is not cut to a buffer of some fixed size.
  const std::string name = plat::ipc::globalAtomText(atom);
  plat::ipc::GlobalDeleteAtom(atom);
  OpenTalvane(name);
  return 1;
}
