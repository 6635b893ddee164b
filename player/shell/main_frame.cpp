#include "player/shell/main_frame.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDockWidget>
#include <QGuiApplication>
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
#include "player/env/help.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {
constexpr int kSettingInitEMPlay = 7;
constexpr int kSettingInitSpeed = 8;
constexpr int kSettingInitPlayAll = 9;
constexpr int kSettingInitPlayLoop = 14;
constexpr int kSettingPlayWait = 16;
constexpr int kSettingStatusBar = 23;
constexpr int kSettingAudioPanel = 24;
constexpr int kSettingSecondaryPanel = 25;
constexpr int kCmdExit = 57665;
}  // namespace

void LogTestEvent(const std::string& name, const std::string& detail) {
  if (!plat::ui::testMode()) return;
  const char* log = std::getenv(plat::ui::kTestLogVariable);
  if (log == nullptr || *log == '\0') return;
  std::string line = "event\t" + name + "\t";
  // Tabs and line breaks would split the line: the details are codes and
  // names, so they are replaced rather than escaped.
  for (char c : detail) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  plat::ui::appendTestLogLine(log, line + "\n");
}

bool PendingDocuments::OpenDocumentFile(const std::string& code) {
  LogTestEvent("open", code);
  std::fprintf(stderr, "orvex: book \"%s\" asked for; this build has no book windows yet\n", code.c_str());
  return false;
}

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
    if (frame_.Help() != nullptr) frame_.Help()->ShowTopic(page);
  }
  bool TranslateAccelerator(QKeyCombination key) override { return frame_.RunShortcut(key.toCombined()); }

 private:
  CMainFrame& frame_;
  double left_ = 1.0, right_ = 1.0;
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
  ddeReady_ = services_.createDdeServer ? services_.createDdeServer() : true;
  if (!ddeReady_) plat::ui::AppMessageBox("Failed to initialize DDE client", plat::ui::MB_OK);
  delayMs_ = state_.GetInt(kSettingPlayWait) * 1000;

  const QRect screen = services_.screen ? services_.screen()
                                        : (QGuiApplication::primaryScreen()
                                               ? QGuiApplication::primaryScreen()->availableGeometry()
                                               : QRect(0, 0, kWidth, kHeight));
  setMinimumSize(kWidth, kHeight);
  setGeometry(InitialGeometry(screen));
  registerCommands();
}

CMainFrame::~CMainFrame() {
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
  statusBar()->setVisible(state_.GetInt(kSettingStatusBar) != 0);
  client_ = new COrv_MDIClientWnd(this);
  setCentralWidget(client_);
  client_->SetBackground(COrv_MDIClientWnd::kCentred, QColor::fromRgb(kBackground),
                         services_.backgroundPicture ? services_.backgroundPicture() : DefaultBackgroundPicture());
  commands_.InstallShortcuts(this, *COrv_Language::GetAccelerators(tv::language::kAcceleratorTable));
  secondaryPanel_.SetBackgroundColor(plat::win::RGB(252, 204, 36));
  audioPanel_.SetBackgroundColor(plat::win::RGB(252, 204, 36));
  secondaryDock_ = dockPanel(secondaryPanel_, COrv_SecondaryPanel::kBarId, Qt::RightDockWidgetArea,
                             kSettingSecondaryPanel);
  audioDock_ = dockPanel(audioPanel_, COrv_AudioPanel::kBarId, Qt::LeftDockWidgetArea, kSettingAudioPanel);
  if (!secondaryDock_ || !audioDock_) return false;
  if (!createAudioViews()) return false;
  RefreshLanguage();
  return true;
}

bool CMainFrame::createAudioViews() {
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
  return fragAudio_ && fragRecording_ && speechAudio_ && speechRecording_;
}

COrv_FragSelectorDlg* CMainFrame::FragSelector(int id) const {
  return id == COrv_FragSelectorDlg::kAudioId ? fragAudio_
         : id == COrv_FragSelectorDlg::kRecordingId ? fragRecording_
                                                    : nullptr;
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
  // A click on a button runs its command as the menu item would.
  panel.SetCommandSink([this](int id) { commands_.Execute(id); });
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

void CMainFrame::registerCommands() {
  commands_.Add(kCmdExit, [this] { close(); });
}

void CMainFrame::RefreshLanguage() {
  const COrv_Language language(state_.GetInterfaceLanguage());
  const bool bookOpen = client_ != nullptr && client_->activeSubWindow() != nullptr;
  const int id = bookOpen ? tv::language::kMenuBook : tv::language::kMenuNoBook;
  plat::ui::Menu menu;
  audioPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  secondaryPanel_.RefreshToolTips(state_.GetInterfaceLanguage());
  for (COrv_ViewDialog* view : audioViews())
    if (view != nullptr) view->UpdateCaption();
  if (language.LoadMenu(id, menu, state_.GetInterfaceLanguage())) {
    commands_.FillMenuBar(menuBar(), menu);
    currentMenu_ = id;
  }
}

void CMainFrame::SetInterfaceLanguage(int index) {
  state_.SetInterfaceLanguage(index);
  RefreshLanguage();
}

void CMainFrame::ApplySetting(int n, const void* value) {
  state_.SetValue(n, value);
  if (value == nullptr) return;
  const int32_t v = *static_cast<const int32_t*>(value);
  switch (n) {
    case kSettingPlayWait:
      delayMs_ = v * 1000;
      break;
    case kSettingStatusBar:
      statusBar()->setVisible(v == 1);
      if (client_ != nullptr) client_->viewport()->update();
      break;
    default:
      break;  // stored only
  }
}

bool CMainFrame::OpenTalvane(const std::string& code) {
  TalvaneDocuments& documents = services_.documents ? *services_.documents : pendingDocuments_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (documents.HasActiveDocument()) documents.CloseActiveDocument();
  const bool opened = documents.OpenDocumentFile(code);
  QApplication::restoreOverrideCursor();
  if (!opened) return false;
  RefreshLanguage();
  if (StartPlay* play = services_.play) {
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
  return true;
}

int CMainFrame::OnInterAppMessage(uint64_t wParam, uint16_t atom) {
  if (wParam != 1) return 0;
  // The whole name: a book name is not cut to a buffer of some fixed size.
  const std::string name = plat::ipc::globalAtomText(atom);
  plat::ipc::GlobalDeleteAtom(atom);
  OpenTalvane(name);
  return 1;
}
