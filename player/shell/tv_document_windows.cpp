#include "player/shell/tv_document_windows.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "platform/ui/test_mode.h"
#include "player/audio/frag_selector_dlg.h"
#include "player/audio/speech_view_dlg.h"
#include "player/shell/frame_state.h"
#include "player/shell/grammar_link.h"
#include "player/shell/main_frame.h"
#include "player/views/dlg_show_text.h"

// --- Host ----------------------------------------------------------------------

int MainFrameDocumentHost::GetSetting(int n) const { return frame_.FrameState().GetInt(n); }

std::string MainFrameDocumentHost::GetSettingText(int n) const {
  const COrv_FrameState& state = frame_.FrameState();
  const std::size_t size = state.GetValue(n, nullptr);
  if (size == 0 || n != COrv_FrameState::kTextSetting) return {};
  std::string text(size + 1, '\0');
  state.GetValue(n, text.data());
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return text;
}

std::string MainFrameDocumentHost::GetUserName() const { return frame_.FrameState().GetUserName(); }

void MainFrameDocumentHost::BeginWaitCursor() {
  if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MainFrameDocumentHost::EndWaitCursor() {
  if (qApp) QApplication::restoreOverrideCursor();
}

void MainFrameDocumentHost::SelectPlaySpeed(int speed) {
  if (play_) play_->SetPlaySpeed(speed);
}

void MainFrameDocumentHost::PlayCurrentQuote() {
  if (play_) play_->RestartPlay();
}

// --- Text dialog and index ------------------------------------------------------------

void DocumentTextDialog::Release() {
  held_ = false;
  std::vector<TvTextDialogRequest> waiting;
  waiting.swap(waiting_);
  for (const TvTextDialogRequest& r : waiting) ShowText(r);
}

void DocumentTextDialog::Discard() {
  held_ = false;
  waiting_.clear();
}

void DocumentTextDialog::ShowText(const TvTextDialogRequest& request) {
  if (held_) {
    waiting_.push_back(request);
    return;
  }
  if (beforeShow_) beforeShow_();
  if (plat::ui::testMode()) {
    LogTestEvent("dialog", std::to_string(request.dialogNumber));
    // A test that answers the dialogs by real input events asks for them.
    const char* show = std::getenv(kShowDialogsVariable);
    if (show == nullptr || *show == '\0') return;
  }
  orv::views::ModalTextDialog().ShowText(request);
}

void SplitterQuoteIndex::SetQuoteIndex(const std::vector<std::uint32_t>& status, unsigned current, bool fill) {
  const int n = static_cast<int>(current);
  if (fill)
    frame_.FillQuoteIndex(status, n);
  else
    frame_.RefillQuoteIndex(status, n);
}

void SplitterQuoteIndex::SelectQuote(unsigned n) { frame_.ShowQuoteInIndex(static_cast<int>(n)); }

// --- Windows ------------------------------------------------------------------------

COrv_TvDocumentWindows::COrv_TvDocumentWindows(CMainFrame& frame, StartPlay* play)
    : frame_(frame),
      host_(frame, play),
      factory_([&frame](int n, int sourceId) { frame.GoToQuote(n, sourceId); },
               // The so-far pane's go-to menu follows the frame's grammar
               // browser.
               [&frame] { return frame.GoToMenuState(); }, [&frame](int entry) { return frame.GoToGrammar(entry); }) {
  dialog_.SetBeforeShow([&frame] { frame.Commands().NotifyStateChanged(); });
}

COrv_TvDocumentWindows::~COrv_TvDocumentWindows() {
  // The frame is going: every book is closed as its window would close it,
  // so that the learner's progress is kept; then the windows (and their
  // panes) go before the documents they show.
  while (!open_.empty()) closeWindow(open_.back().window);
  for (Open& o : closed_) delete o.window.data();
  closed_.clear();
}

bool COrv_TvDocumentWindows::OpenDocumentFile(const std::string& code) {
  purgeClosed();
  LogTestEvent("open", code);
  TvDocumentServices services;
  services.host = &host_;
  services.sound = &sound_;
  services.textDialog = &dialog_;
  services.displayLanguage = frame_.FrameState().GetInterfaceLanguage();
  Open o;
  o.document = std::make_unique<COrv_TvDocument>(services);
  // A word's grammar title opens its page in the frame's grammar browser.
  o.document->GetQuoteInfo().SetPageHost(&frame_.GrammarLink());
  dialog_.Hold();
  if (!o.document->OnOpenDocument(code)) {
    dialog_.Discard();
    return false;
  }

  // The window comes once the book is open, so that its panes show it from
  // the start; its index is then filled.
  auto* window = new C3WaySplitterFrame(&factory_, &frame_.FrameState());
  if (!window->Create(frame_.Client(), CCreateContext{o.document.get()})) {
    delete window;
    dialog_.Discard();
    o.document->OnCloseDocument();
    return false;
  }
  window->setWindowTitle(QString::fromStdString(o.document->GetTitle()));
  window->installEventFilter(this);
  o.window = window;
  o.index = std::make_unique<SplitterQuoteIndex>(*window);
  o.document->SetSplitterFrame(o.index.get());
  o.document->UpdateQuoteIndex(o.document->GetCurrentQuote(), true);
  // The book text scrolls to the current Echomark once the window has its
  // size (it opens maximised).
  COrv_TvDocument* shown = o.document.get();
  QTimer::singleShot(0, window, [shown] { shown->RefreshViews(COrv_TvDocument::kRefreshScroll); });
  if (QMdiArea* client = frame_.Client()) client->setActiveSubWindow(window);
  open_.push_back(std::move(o));

  const COrv_TvDocument& opened = *open_.back().document;
  LogTestEvent("opened", opened.GetBookCode() + " " + std::to_string(opened.GetCurrentQuote()) + "/" +
                             std::to_string(opened.GetQuoteCount()));
  dialog_.Release();
  return true;
}

COrv_TvDocument* COrv_TvDocumentWindows::ActiveTvDocument() const {
  if (open_.empty()) return nullptr;
  // The active window's document; with no window active (a frame not
  // shown), the one opened last.
  const QMdiArea* client = frame_.Client();
  const QMdiSubWindow* active = client ? client->activeSubWindow() : nullptr;
  for (const Open& o : open_)
    if (o.window == active) return o.document.get();
  return open_.back().document.get();
}

C3WaySplitterFrame* COrv_TvDocumentWindows::activeWindow() const {
  if (open_.empty()) return nullptr;
  const QMdiArea* client = frame_.Client();
  const QMdiSubWindow* active = client ? client->activeSubWindow() : nullptr;
  for (const Open& o : open_)
    if (o.window == active) return o.window;
  return open_.back().window;
}

bool COrv_TvDocumentWindows::IsQuoteIndexShown() const {
  const C3WaySplitterFrame* window = activeWindow();
  return window != nullptr && window->IsIndexPanelShown();
}

void COrv_TvDocumentWindows::ShowQuoteIndex(bool show) {
  if (C3WaySplitterFrame* window = activeWindow()) window->ShowIndexPanel(show);
}

void COrv_TvDocumentWindows::CloseActiveDocument() {
  const COrv_TvDocument* active = ActiveTvDocument();
  for (const Open& o : open_)
    if (o.document.get() == active) {
      closeWindow(o.window);
      return;
    }
}

bool COrv_TvDocumentWindows::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close) {
    for (const Open& o : open_)
      if (o.window == watched) {
        closeWindow(o.window);
        break;
      }
  }
  return QObject::eventFilter(watched, event);
}

void COrv_TvDocumentWindows::closeWindow(C3WaySplitterFrame* window) {
  const auto it = std::find_if(open_.begin(), open_.end(), [window](const Open& o) { return o.window == window; });
  if (it == open_.end()) return;
  Open gone = std::move(*it);
  open_.erase(it);
  const std::string code = gone.document->GetBookCode();
  gone.document->SetSplitterFrame(nullptr);
  gone.document->OnCloseDocument();
  LogTestEvent("closed", code);
  if (gone.window) {
    gone.window->removeEventFilter(this);
    gone.window->hide();
    gone.window->deleteLater();
  }
  closed_.push_back(std::move(gone));
  QTimer::singleShot(0, this, [this] { purgeClosed(); });
}

void COrv_TvDocumentWindows::purgeClosed() {
  closed_.erase(std::remove_if(closed_.begin(), closed_.end(), [](const Open& o) { return o.window.isNull(); }),
                closed_.end());
}

void MainFrameDocumentHost::HideViewWindows() { frame_.HideViewWindows(); }

namespace {
void showOrHide(QWidget* window, bool show) {
  if (window == nullptr) return;
  if (show) {
    window->show();
    window->raise();
  } else {
    window->hide();
  }
}
}  // namespace

void MainFrameDocumentHost::ShowFragmentSelector(bool show, float start, float end) {
  COrv_FragSelectorDlg* selector = frame_.FragSelector(COrv_FragSelectorDlg::kAudioId);
  if (selector != nullptr) selector->SetFragment(start, end);
  showOrHide(selector, show);
}

void MainFrameDocumentHost::ShowSpeechView(bool show, const std::filesystem::path& wave,
                                           const std::vector<float>& shares, float start, float end) {
  COrv_SpeechViewDlg* view = frame_.SpeechView(COrv_SpeechViewDlg::kAudioId);
  if (view != nullptr) {
    view->SetWave(wave, &shares);
    view->SetSelection(start, end);
  }
  showOrHide(view, show);
}

void MainFrameDocumentHost::ShowVolumeWindow(bool show) {
  showOrHide(frame_.AudioViewWindow(ViewWindows::kVolume), show);
}
