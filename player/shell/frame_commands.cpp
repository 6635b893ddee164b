// The main frame's commands that are not audio commands: moving between
// Echomarks, the Text menu on the current Echomark's status word, the
// panel and view toggles, the File and Help menus, and the grammar
// browser's keys. Each command has its update predicate beside its
// handler; the command table refuses a command whose predicate says no,
// from the menu, the keys and the panel buttons alike.

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDockWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

#include "platform/ui/message_box.h"
#include "player/env/environment.h"
#include "player/env/help.h"
#include "player/env/msg_box.h"
#include "player/shell/app_help.h"
#include "player/shell/main_frame.h"
#include "player/shell/panels.h"
#include "player/shell/status_bar.h"
#include "player/shell/three_way_splitter_frame.h"
#include "shared/language/orv_language.h"

namespace {

using State = COrv_CommandTable::State;

// Status bits of an Echomark that the Text menu reads and writes.
constexpr std::uint32_t kSolved = 0x2;
constexpr std::uint32_t kSomeWordCorrect = 0x4;
constexpr std::uint32_t kHasNonKeywords = 0x400;
constexpr std::uint32_t kHasFixedWords = 0x800;
constexpr std::uint32_t kNonKeywordsShown = 0x1000;
constexpr std::uint32_t kFixedWordsShown = 0x2000;
constexpr std::uint32_t kLazyChecked = 0x4000;
constexpr std::uint32_t kLazyMark = 0x10000;
// Refresh flags of the document's views.
constexpr unsigned kRefreshSoFar = 0x2;
constexpr unsigned kRefreshTexts = 0x38;

enum Command : int {
  kPreviousQuote = 124,
  kNextQuote = 125,
  kSpeechViewButton = 119,
  kFragmentButton = 120,
  kNothingWithBook1 = 123,
  kNothingWithBook2 = 132,
  kVolumeButton = 126,
  kRecSpeechViewButton = 197,
  kRecFragmentButton = 198,
  kNothing1 = 219,
  kNothing2 = 220,
  kNothing3 = 221,
  kActivateGrammar = 228,
  kGrammarIndex = 229,
  kNextUnsolved = 230,
  kPreviousUnsolved = 231,
  kAudioPanel = 32776,
  kShowNonKeywords = 32780,
  kShowFixedWords = 32781,
  kSecondaryPanel = 32782,
  kApplyToAll = 32783,
  kClearLazy = 32784,
  kClearWords = 32785,
  kClearAllQuotes = 32786,
  kQuoteIndexPanel = 32787,
  kSpelling = 32790,
  kInstall = 32814,
  kPreferences = 32815,
  kHelpSearch = 32900,
  kOpen = 57601,
  kClose = 57602,
  kHelpIndex = 57666,
  kHelpContents = 57667,
  kContextHelp = 57669,
  kHelp = 57670,
  kHelpContents2 = 57671,
  kStatusBar = 59393,
};

constexpr int kStrNoOpenDialog = 20270;
constexpr int kStrNoInstallDialog = 20271;
constexpr int kStrNoPreferencesDialog = 20272;
constexpr int kStrQuoteError = 20047;
constexpr int kEnableInstall = 0;

}  // namespace

bool CMainFrame::HasActiveTvDocument() const { return documents().HasActiveDocument(); }

TalvaneDocuments& CMainFrame::Documents() { return services_.documents ? *services_.documents : *documentCommands_; }

COrv_HtmlHelp& CMainFrame::Help() {
  if (services_.help != nullptr) return *services_.help;
  if (!ownHelp_) ownHelp_ = std::make_unique<COrv_HtmlHelp>();
  return *ownHelp_;
}

void CMainFrame::SetHelpLanguage(int index) {
  state_.SetHelpLanguage(index);
  const COrv_Language language(index);
  Help().SetHelpFile(language.GetHelpFilePath(index).string());
}

bool CMainFrame::GoToQuote(unsigned n, int source) {
  if (StartPlay* play = playControl()) play->StopAll();
  TalvaneDocuments& doc = Documents();
  if (!HasActiveTvDocument() || n == 0 || n > doc.GetQuoteCount()) return false;
  if (source != kSourceQuoteIndex) doc.SelectInQuoteIndex(n);
  if (!doc.GoToQuote(n, true, true)) {
    // The Echomark cannot be loaded: the learner stays where they were, and
    // the index goes back to it.
    plat::ui::MessageBox(COrv_Language().LoadString(kStrQuoteError), COrv_Language().LoadString(orv::kStrErrorCaption),
                         plat::ui::MB_ICONEXCLAMATION);
    doc.SelectInQuoteIndex(doc.GetCurrentQuote());
    return false;
  }
  if (StartPlay* play = playControl()) {
    if (!play->IsRecordingAvailable()) play->SetSequenceMode(false);
    play->RefreshSpeechViews();
  }
  return true;
}

void CMainFrame::onNextQuote(bool skipSolved) {
  if (!HasActiveTvDocument()) return;
  TalvaneDocuments& doc = Documents();
  const unsigned count = doc.GetQuoteCount();
  for (unsigned n = doc.GetCurrentQuote() + 1; n <= count; ++n) {
    if (!skipSolved || (doc.GetQuoteStatus(n) & kSolved) == 0) {
      GoToQuote(n, kNextQuote);
      return;
    }
  }
}

void CMainFrame::onPreviousQuote(bool skipSolved) {
  if (!HasActiveTvDocument()) return;
  TalvaneDocuments& doc = Documents();
  for (unsigned n = doc.GetCurrentQuote(); n > 1; --n) {
    if (!skipSolved || (doc.GetQuoteStatus(n - 1) & kSolved) == 0) {
      GoToQuote(n - 1, kPreviousQuote);
      return;
    }
  }
}

int CMainFrame::GoToMenuState() {
  // The index can always be asked for (the browser starts for it); the
  // page shown last only while the browser runs.
  return kGoToIndex | (grammar_->IsGrammarBrowserRunning() ? kGoToCurrentPage : 0);
}

bool CMainFrame::GoToGrammar(int entry) {
  if (entry == kGoToIndex) return commands_.Execute(kGrammarIndex);
  if (entry == kGoToCurrentPage) return commands_.Execute(kActivateGrammar);
  return false;
}

void CMainFrame::HideViewWindows() {
  if (ViewWindows* views = viewWindows()) {
    for (int w : {ViewWindows::kSpeechView, ViewWindows::kFragmentSelector, ViewWindows::kRecSpeechView,
                  ViewWindows::kRecFragmentSelector, ViewWindows::kVolume})
      views->Hide(w);
  }
  for (int id : {kSpeechViewButton, kFragmentButton, kRecSpeechViewButton, kRecFragmentButton})
    audioPanel_.SetButtonState(id, false);
  secondaryPanel_.SetButtonState(kVolumeButton, false);
}

void CMainFrame::refuse(int stringId) {
  plat::ui::AppMessageBox(COrv_Language().LoadString(stringId), plat::ui::MB_ICONINFORMATION);
}

void CMainFrame::toggleDock(QDockWidget* dock) {
  if (dock != nullptr) dock->setVisible(!dock->isVisible());
}

void CMainFrame::toggleView(int window) {
  ViewWindows* views = viewWindows();
  if (views == nullptr) return;
  if (views->IsShown(window))
    views->Hide(window);
  else
    views->Show(window);
}

void CMainFrame::onClearLazyWords() {
  TalvaneDocuments& doc = Documents();
  doc.ClearLazyMarks();
  std::uint32_t status = doc.GetQuoteStatus(0) & ~kLazyChecked;
  const bool wasSolved = (status & kSolved) != 0;
  status &= ~kSolved;
  if (!doc.HasCorrectWords()) status &= ~kSomeWordCorrect;
  doc.SetQuoteStatus(status, 0);
  doc.RefreshViews(kRefreshSoFar);
  if (wasSolved) doc.RefreshViews(kRefreshTexts);
}

void CMainFrame::registerFrameCommands() {
  const auto withBook = [this] { return State{HasActiveTvDocument(), false}; };
  const auto always = [] { return State{true, false}; };

  // Moving between Echomarks.
  commands_.Add(kNextQuote, [this] { onNextQuote(false); },
                [this] {
                  const TalvaneDocuments& doc = Documents();
                  const unsigned next = doc.GetCurrentQuote() + 1;
                  return State{HasActiveTvDocument() && next <= doc.GetQuoteCount() && !doc.IsQuoteUnloadable(next),
                               false};
                });
  commands_.Add(kPreviousQuote,
                [this] {
                  // Stops the play first, also on Echomark 1.
                  if (StartPlay* play = playControl()) play->StopAll();
                  onPreviousQuote(false);
                },
                // Enabled on Echomark 1 as well, so that the key still stops
                // the play there.
                withBook);
  commands_.Add(kNextUnsolved, [this] { onNextQuote(true); }, always);
  commands_.Add(kPreviousUnsolved, [this] { onPreviousQuote(true); }, always);

  // Buttons that are accepted and do nothing.
  for (int id : {kNothingWithBook1, kNothingWithBook2}) commands_.Add(id, [] {}, withBook);
  for (int id : {kNothing1, kNothing2, kNothing3}) commands_.Add(id, [] {}, always);

  // The grammar browser.
  commands_.Add(kGrammarIndex, [this] { grammar_->OnShowGrammarPage(); }, always);
  commands_.Add(kActivateGrammar, [this] { grammar_->OnActivateGrammarBrowser(); }, always);

  registerTextCommands();
  registerViewCommands();
  registerFileAndHelpCommands();
}

void CMainFrame::registerTextCommands() {
  // Show non-keywords and Show fixed words flip their bit on the current
  // Echomark; each is there only when the Echomark has such words.
  struct Toggle {
    int id;
    std::uint32_t has;
    std::uint32_t shown;
  };
  for (const Toggle t : {Toggle{kShowNonKeywords, kHasNonKeywords, kNonKeywordsShown},
                         Toggle{kShowFixedWords, kHasFixedWords, kFixedWordsShown}}) {
    commands_.Add(t.id,
                  [this, t] {
                    TalvaneDocuments& doc = Documents();
                    if (doc.GetQuoteStatus(0) & t.shown)
                      doc.ClearQuoteStatusBits(t.shown, false);
                    else
                      doc.SetQuoteStatusBits(t.shown, false);
                  },
                  [this, t] {
                    if (!HasActiveTvDocument()) return State{false, false};
                    const std::uint32_t status = Documents().GetQuoteStatus(0);
                    if ((status & t.has) == 0) return State{false, false};
                    return State{true, (status & t.shown) != 0};
                  });
  }
  // Apply to all: each of the two display commands as it stands now on the
  // current Echomark goes to every Echomark.
  commands_.Add(kApplyToAll,
                [this] {
                  TalvaneDocuments& doc = Documents();
                  for (const auto& [id, bit] : {std::pair{kShowNonKeywords, kNonKeywordsShown},
                                                std::pair{kShowFixedWords, kFixedWordsShown}}) {
                    const State s = commands_.Query(id);
                    if (!s.enabled) continue;
                    if (s.checked)
                      doc.SetQuoteStatusBits(bit, true);
                    else
                      doc.ClearQuoteStatusBits(bit, true);
                  }
                  doc.CheckAllQuotes();
                  doc.RefreshViews(kRefreshTexts);
                },
                [this] {
                  return State{commands_.Query(kShowNonKeywords).enabled || commands_.Query(kShowFixedWords).enabled,
                               false};
                });
  commands_.Add(kClearLazy, [this] { onClearLazyWords(); },
                [this] { return State{HasActiveTvDocument() && Documents().AnyWordHasFlag(kLazyMark), false}; });
  commands_.Add(kClearWords, [this] { Documents().ResetQuote(false); },
                [this] {
                  return State{HasActiveTvDocument() && (Documents().GetQuoteStatus(0) & kSomeWordCorrect) != 0,
                               false};
                });
  commands_.Add(kClearAllQuotes, [this] { Documents().ResetQuote(true); },
                [this] {
                  if (!HasActiveTvDocument()) return State{false, false};
                  const TalvaneDocuments& doc = Documents();
                  for (unsigned n = 1; n <= doc.GetQuoteCount(); ++n)
                    if (doc.GetQuoteStatus(n) & kSomeWordCorrect) return State{true, false};
                  return State{false, false};
                });
  commands_.Add(kSpelling, [this] { Documents().CorrectWrongWords(); },
                [this] { return State{HasActiveTvDocument() && Documents().HasWrongWords(), false}; });
}

void CMainFrame::registerViewCommands() {
  // The panels and the status bar: shown or hidden, checked when shown.
  struct Bar {
    int id;
    QDockWidget* CMainFrame::*dock;
  };
  for (const Bar b : {Bar{kAudioPanel, &CMainFrame::audioDock_}, Bar{kSecondaryPanel, &CMainFrame::secondaryDock_}}) {
    commands_.Add(b.id, [this, b] { toggleDock(this->*b.dock); },
                  [this, b] {
                    QDockWidget* dock = this->*b.dock;
                    return State{true, dock != nullptr && dock->isVisible()};
                  });
  }
  commands_.Add(kStatusBar, [this] { statusBar()->setVisible(statusBar()->isHidden()); },
                [this] { return State{true, !statusBar()->isHidden()}; });
  commands_.Add(kQuoteIndexPanel,
                [this] {
                  TalvaneDocuments& doc = Documents();
                  doc.ShowQuoteIndex(!doc.IsQuoteIndexShown());
                },
                [this] {
                  const TalvaneDocuments& doc = Documents();
                  return doc.HasActiveChild() ? State{true, doc.IsQuoteIndexShown()} : State{false, false};
                });

  // The view windows behind the panel buttons: their button stays pressed
  // (checked) while the window is shown. The recording's windows need a
  // recording; without one a shown window goes.
  struct View {
    int id;
    int window;
    bool recording;
  };
  for (const View v : {View{kSpeechViewButton, ViewWindows::kSpeechView, false},
                       View{kFragmentButton, ViewWindows::kFragmentSelector, false},
                       View{kVolumeButton, ViewWindows::kVolume, false},
                       View{kRecSpeechViewButton, ViewWindows::kRecSpeechView, true},
                       View{kRecFragmentButton, ViewWindows::kRecFragmentSelector, true}}) {
    commands_.Add(v.id, [this, v] { toggleView(v.window); },
                  [this, v] {
                    ViewWindows* views = viewWindows();
                    const bool shown = views != nullptr && views->IsShown(v.window);
                    if (!HasActiveTvDocument()) return State{false, shown};
                    if (v.recording && (playControl() == nullptr || !playControl()->IsRecordingAvailable())) {
                      if (shown) {
                        views->Hide(v.window);
                        audioPanel_.SetButtonState(v.id, false);
                      }
                      return State{false, false};
                    }
                    return State{true, shown};
                  });
  }
}

void CMainFrame::registerFileAndHelpCommands() {
  const auto always = [] { return State{true, false}; };

  commands_.Add(kOpen,
                [this] {
                  if (!services_.openDialog) return refuse(kStrNoOpenDialog);
                  QApplication::setOverrideCursor(Qt::WaitCursor);
                  const std::string code = services_.openDialog();
                  QApplication::restoreOverrideCursor();
                  if (!code.empty()) OpenTalvane(code);
                },
                always);
  commands_.Add(kClose, [this] { Documents().CloseActiveDocument(); },
                [this] { return State{HasActiveTvDocument(), false}; });
  commands_.Add(kInstall,
                [this] {
                  if (!services_.installDialog) return refuse(kStrNoInstallDialog);
                  QApplication::setOverrideCursor(Qt::WaitCursor);
                  services_.installDialog();
                  QApplication::restoreOverrideCursor();
                },
                [] { return State{orv::COrv_Environment().IsEnabled(kEnableInstall), false}; });
  commands_.Add(kPreferences,
                [this] {
                  if (!services_.preferencesDialog) return refuse(kStrNoPreferencesDialog);
                  services_.preferencesDialog();
                },
                always);

  for (int id : {kHelpContents, kHelpContents2}) commands_.Add(id, [this] { Help().ShowContents(); }, always);
  commands_.Add(kHelpIndex, [this] { Help().ShowIndex(); }, always);
  commands_.Add(kHelpSearch, [this] { Help().ShowSearch(std::string()); }, always);
  commands_.Add(kHelp, [this] { OnHelp(); }, always);
  commands_.Add(kContextHelp, [this] { OnContextHelp(); }, always);
  // F1 on a highlighted menu entry opens that entry's topic.
  commands_.SetMenuHelp([this](int id) {
    orv::shell::WinHelp(Help(), orv::shell::kHelpContextBase + static_cast<std::uint32_t>(id),
                        orv::shell::kHelpContext);
  });
}

std::uint32_t CMainFrame::HelpContextAt(QPoint globalPos) const {
  QWidget* widget = QApplication::widgetAt(globalPos);
  if (widget == nullptr) return 0;
  if (auto* menu = qobject_cast<QMenu*>(widget)) {
    const int id = commands_.IdOf(menu->actionAt(menu->mapFromGlobal(globalPos)));
    return id > 0 ? orv::shell::kHelpContextBase + static_cast<std::uint32_t>(id) : 0;
  }
  const std::pair<QDockWidget*, const COrv_Panel*> panels[] = {{audioDock_, &audioPanel_},
                                                               {secondaryDock_, &secondaryPanel_}};
  for (const auto& [dock, panel] : panels) {
    QWidget* host = dock != nullptr ? dock->widget() : nullptr;
    if (host == nullptr || (widget != host && !host->isAncestorOf(widget))) continue;
    const QPoint p = host->mapFromGlobal(globalPos);
    return static_cast<std::uint32_t>(panel->HelpHitTest(plat::win::POINT{p.x(), p.y()}));
  }
  // A book window's index panel, and the status bar's panes, answer for
  // their own points.
  const auto within = [widget](const QWidget* host) {
    return host != nullptr && (widget == host || host->isAncestorOf(widget));
  };
  if (client_ != nullptr)
    for (QMdiSubWindow* sub : client_->subWindowList()) {
      auto* window = dynamic_cast<C3WaySplitterFrame*>(sub);
      QWidget* host = window != nullptr ? window->IndexHost() : nullptr;
      if (!within(host)) continue;
      const QPoint p = host->mapFromGlobal(globalPos);
      return static_cast<std::uint32_t>(window->IndexPanel().HelpHitTest(plat::win::POINT{p.x(), p.y()}));
    }
  if (statusBar_ != nullptr && within(statusBar_))
    return static_cast<std::uint32_t>(statusBar_->HelpHitTest(statusBar_->mapFromGlobal(globalPos)));
  return 0;
}

void CMainFrame::OnHelp() {
  const std::uint32_t context = HelpContextAt(QCursor::pos());
  orv::shell::WinHelp(Help(), context, orv::shell::kHelpContext);
}

void CMainFrame::OnContextHelp() {
  if (contextHelp_) return;
  contextHelp_ = true;
  QApplication::setOverrideCursor(Qt::WhatsThisCursor);
  qApp->installEventFilter(this);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (!contextHelp_) return QMainWindow::eventFilter(watched, event);
  const QEvent::Type type = event->type();
  const bool escape = type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
  if (type != QEvent::MouseButtonPress && !escape) return QMainWindow::eventFilter(watched, event);
  // One click (or Escape) ends the mode; the click shows the topic of what
  // it hit and goes no further.
  contextHelp_ = false;
  qApp->removeEventFilter(this);
  QApplication::restoreOverrideCursor();
  if (type == QEvent::MouseButtonPress) {
    const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    orv::shell::WinHelp(Help(), HelpContextAt(at), orv::shell::kHelpContext);
  }
  return true;
}
