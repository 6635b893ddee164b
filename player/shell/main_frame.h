#pragma once
// CMainFrame: the player's multiple-document main window, and
// COrv_MDIClientWnd, the client area that paints the background behind the
// book windows.
//
// The frame keeps the frame state, the language-dependent menus (128 while
// no book window is open, 130 while one is) and the command table, applies
// changed settings, and is 800 x 600, centred on screens that are larger
// and never smaller. It opens books by their code (OpenTalvane), also when
// another instance hands one over. What it needs of the outside (the screen,
// the DDE server, the book windows and the play commands) comes through
// FrameServices so that tests can stand in for it.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QRect>

#include "player/audio/mci_record.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/grammar_link.h"
#include "player/shell/panels.h"
#include "player/shell/status_bar.h"

class C3WaySplitterFrame;
class QDockWidget;
class COrv_TvDocument;
class CDDEServer;
class COrv_HtmlHelp;
namespace orv::shell {
class LoginPrompt;
}
class COrv_PlayBook;
class COrv_PlayCommands;
class COrv_PlayViews;
class COrv_AudioViewHost;
class COrv_FragSelectorDlg;
class COrv_HtmlHelp;
class COrv_SpeechViewDlg;
class COrv_ViewDialog;
class COrv_VolumeDlg;

class COrv_MDIClientWnd : public QMdiArea {
 public:
  enum Mode { kNone = 0, kCentred = 1, kTiled = 2, kTopLeft = 3, kBottomRight = 4 };
  explicit COrv_MDIClientWnd(QWidget* parent = nullptr);

  // Any mode other than 1-4 draws the colour alone; a null picture too.
  void SetBackground(int mode, QColor colour, QImage picture);
  int Mode() const { return mode_; }
  QColor Colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int mode_ = kNone;
  QColor colour_;
  QImage picture_;
};

// The book windows as the frame asks for them: the document template's
// OpenDocumentFile and the active document. The document and its views are
// reached only through here. Without an active document every query
// answers 0 or false and every operation is refused.
class TalvaneDocuments {
 public:
  virtual ~TalvaneDocuments() = default;
  // Opens the book of `code` in a window of its own; false when it cannot.
  virtual bool OpenDocumentFile(const std::string& code) = 0;
  virtual bool HasActiveDocument() const = 0;
  virtual void CloseActiveDocument() = 0;
  // The active book's document; null when none (or when the windows hold
  // no documents of their own).
  virtual COrv_TvDocument* ActiveTvDocument() const { return nullptr; }

  // The active document's Echomarks, numbered 1..count.
  virtual unsigned GetCurrentQuote() const { return 0; }
  virtual unsigned GetQuoteCount() const { return 0; }
  // Makes Echomark n current (see COrv_TvDocument::GoToQuote).
  virtual bool GoToQuote(unsigned n, bool showIntroduction, bool full) {
    (void)n, (void)showIntroduction, (void)full;
    return false;
  }
  // Whether Echomark n was found not to load (a move to it failed).
  virtual bool IsQuoteUnloadable(unsigned n) const {
    (void)n;
    return false;
  }
  // The status word of Echomark n (0: the current one).
  virtual std::uint32_t GetQuoteStatus(unsigned n) const {
    (void)n;
    return 0;
  }
  virtual bool SetQuoteStatus(std::uint32_t status, unsigned n) {
    (void)status, (void)n;
    return false;
  }
  // On the current Echomark, or on every one with `all`.
  virtual bool SetQuoteStatusBits(std::uint32_t bits, bool all) {
    (void)bits, (void)all;
    return false;
  }
  virtual bool ClearQuoteStatusBits(std::uint32_t bits, bool all) {
    (void)bits, (void)all;
    return false;
  }
  virtual bool CheckAllQuotes() { return false; }
  virtual bool RefreshViews(unsigned flags) {
    (void)flags;
    return false;
  }
  virtual bool ResetQuote(bool all) {
    (void)all;
    return false;
  }
  // The words of the current Echomark.
  virtual bool HasWrongWords() const { return false; }
  virtual bool HasCorrectWords() const { return false; }
  virtual bool AnyWordHasFlag(std::uint32_t bits) const {
    (void)bits;
    return false;
  }
  virtual bool CorrectWrongWords() { return false; }
  // Takes the lazy mark off every word and compares the learner's text
  // again (without a new text).
  virtual bool ClearLazyMarks() { return false; }

  // The Echomark index panel of the active book window.
  virtual bool HasActiveChild() const { return HasActiveDocument(); }
  virtual bool IsQuoteIndexShown() const { return false; }
  virtual void ShowQuoteIndex(bool show) { (void)show; }
  virtual void SelectInQuoteIndex(unsigned n) { (void)n; }
};

// What a freshly opened book starts of the play commands, as its start-up
// settings ask.
class StartPlay {
 public:
  virtual ~StartPlay() = default;
  virtual void SetLoopMode(bool on) = 0;
  // -1 slower, 0 normal, 1 faster.
  virtual void SetPlaySpeed(int speed) = 0;
  virtual void PlayAll() = 0;
  // Plays the current Echomark again.
  virtual void RestartPlay() = 0;

  // What moving between Echomarks and closing the frame ask of the play
  // commands: stop whatever plays or records (no question), whether the
  // current Echomark has a recording of the learner's voice, leave the
  // sequence mode, and redraw the shown speech views.
  virtual void StopAll() {}
  virtual bool IsRecordingAvailable() const { return false; }
  virtual void SetSequenceMode(bool on) { (void)on; }
  virtual void RefreshSpeechViews() {}
};

// The four view windows and the Volume window, by their window ids, as the
// panel buttons and HideViewWindows show and hide them.
class ViewWindows {
 public:
  enum Window : int {
    kRecSpeechView = 207,
    kSpeechView = 208,
    kFragmentSelector = 189,
    kRecFragmentSelector = 202,
    kVolume = 218,
  };
  virtual ~ViewWindows() = default;
  virtual bool IsShown(int window) const = 0;
  // Brings the window up to date before it shows: a speech view redraws
  // its wave, a fragment selector takes the fragment (the audio one the
  // document's, the recording one the recording's).
  virtual void Show(int window) = 0;
  virtual void Hide(int window) = 0;
};

// Appends "event <name> <detail>" to the test-mode log (TALVANE_TEST_LOG),
// when the program runs in test mode; nothing otherwise.
void LogTestEvent(const std::string& name, const std::string& detail = {});

struct FrameServices {
  // The screen's available area the frame is placed on.
  std::function<QRect()> screen;
  // Creates the DDE server under the application's name; false when it
  // cannot be made (the frame then works without the grammar browser).
  std::function<bool()> createDdeServer;
  // The client area's picture (bitmap 393).
  std::function<QImage()> backgroundPicture;
  // Not owned; none: the frame's own book windows (COrv_TvDocumentWindows)
  // and no play commands.
  TalvaneDocuments* documents = nullptr;
  // None: the frame's own play commands.
  StartPlay* play = nullptr;
  // What the status bar shows of the active book; none: no book.
  COrv_StatusBar::FactsSource statusFacts;
  // Not owned; none: the frame's own fragment selectors, speech views and
  // Volume window.
  ViewWindows* views = nullptr;
  // The application's help object (not owned); none: one of the frame's.
  COrv_HtmlHelp* help = nullptr;
  // The grammar browser's process and DDE sides (not owned); none: the
  // system's browser and conversations on the frame's DDE server.
  GrammarBrowserHost* grammarBrowser = nullptr;
  GrammarDdeClient* grammarDde = nullptr;
  // The log-in that settings 33 and 35 open again (not owned); none: the
  // log-in dialog.
  orv::shell::LoginPrompt* login = nullptr;
  // The dialogs of Open (the chosen book code, empty when cancelled),
  // Install and Preferences; none: the command is refused with a message.
  std::function<std::string()> openDialog;
  std::function<void()> installDialog;
  std::function<void()> preferencesDialog;
  // The active book as the play commands see it; none: no book to play.
  COrv_PlayBook* playBook = nullptr;
  // What the fragment selectors, speech views and the Volume window ask of
  // the play commands (not owned). None: the frame's own host, which runs
  // the shortcuts and shows help, and logs what it cannot play.
  COrv_AudioViewHost* audioViews = nullptr;
};

class CMainFrame : public QMainWindow {
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;
  static constexpr QRgb kBackground = 0xFFFC'CC24;  // red 252, green 204, blue 36

  explicit CMainFrame(FrameServices services = {});
  ~CMainFrame() override;

  // Builds the window's pieces; false when one of them fails.
  bool OnCreate();

  void RefreshLanguage();
  void SetInterfaceLanguage(int index);
  // Stores the setting and applies what it changes at once.
  void ApplySetting(int n, const void* value);

  // Opens a book by its code, in place of the one open, and starts what its
  // start-up settings ask (loop mode, Play All or the speed and the first
  // play). False when the book could not be opened.
  bool OpenTalvane(const std::string& code);
  // The hand-over of another instance: wParam 1 and an atom naming the book,
  // read whole and deleted; any other wParam is refused (0) and the atom
  // left alone.
  int OnInterAppMessage(uint64_t wParam, uint16_t atom);
  bool BookJustOpened() const { return bookJustOpened_; }
  // The document of the active book window; null when none.
  COrv_TvDocument* GetActiveTvDocument() const { return documents().ActiveTvDocument(); }

  COrv_FrameState& FrameState() { return state_; }
  COrv_CommandTable& Commands() { return commands_; }
  COrv_MDIClientWnd* Client() const { return client_; }
  // The button panels, docked left (audio) and right (secondary), and the
  // dock widgets that hold them (null before OnCreate).
  COrv_AudioPanel& AudioPanel() { return audioPanel_; }
  COrv_SecondaryPanel& SecondaryPanel() { return secondaryPanel_; }
  QDockWidget* AudioDock() const { return audioDock_; }
  QDockWidget* SecondaryDock() const { return secondaryDock_; }
  COrv_StatusBar* StatusBar() const { return statusBar_; }
  // The active book window, or null.
  C3WaySplitterFrame* GetActiveChildFrame() const;
  int PlayDelayMs() const { return delayMs_; }
  bool HasDdeServer() const { return ddeReady_; }
  // The id of the menu in the bar (128 or 130), 0 before RefreshLanguage.
  int CurrentMenuId() const { return currentMenu_; }
  // The frame's copy of the book menu (130) in the interface language,
  // which a book window's document answers as its default menu.
  const plat::ui::Menu& BookMenu() const { return bookMenu_; }

  // The audio commands, the wave-out engine every play goes through and
  // the voice recorder.
  COrv_PlayCommands& PlayCommands() { return *play_; }
  COrv_WaveOutWnd& WaveOut() { return waveOut_; }
  // Stops every play and the recorder (a running take is saved).
  void StopAll(bool askToLoad = false);
  // Both volumes in [0, 1]; false otherwise.
  bool SetVolume(double left, double right);

  // Where the frame opens on `screen`.
  static QRect InitialGeometry(const QRect& screen);

  // --- The non-audio commands (frame_commands.cpp) -----------------------
  // The mask character the so-far pane puts for hidden letters.
  static constexpr char32_t kMaskChar = U'\u2022';
  char32_t GetMaskChar() const { return kMaskChar; }
  // Whether a book window with its document is active.
  bool HasActiveTvDocument() const;
  TalvaneDocuments& Documents();
  // Goes to Echomark n (1..count) for the control `source`: stops every
  // play, selects it in the Echomark index (unless the index asked), has
  // the document make it current, leaves the sequence mode when it has no
  // recording and redraws the speech views. False without a book or for
  // n outside 1..count.
  static constexpr int kSourceQuoteIndex = 209;
  bool GoToQuote(unsigned n, int source);
  // The so-far pane's go-to menu: which entries can be followed now
  // (kGoToIndex: the grammar index; kGoToCurrentPage: the running
  // browser), and following one.
  static constexpr int kGoToIndex = 1;
  static constexpr int kGoToCurrentPage = 2;
  int GoToMenuState();
  bool GoToGrammar(int entry);
  // Hides the view windows and the Volume window (a book closes).
  void HideViewWindows();
  // The help language of this run: the help object takes its folder.
  void SetHelpLanguage(int index);
  COrv_HtmlHelp& Help();
  COrv_GrammarLink& GrammarLink() { return *grammar_; }
  // F1: the topic of the panel button under the mouse or of the menu entry
  // highlighted, else the contents. Shift+F1: the next click on a button
  // or menu entry opens its topic.
  void OnHelp();
  void OnContextHelp();
  bool InContextHelpMode() const { return contextHelp_; }
  // The help context a point of the screen asks for (0 for none).
  std::uint32_t HelpContextAt(QPoint globalPos) const;

  // The audio view windows, made hidden by OnCreate (null before): the
  // fragment selectors by id (189 audio, 202 recording), the speech views
  // by id (208 audio, 207 recording), the Volume window.
  COrv_FragSelectorDlg* FragSelector(int id) const;
  COrv_SpeechViewDlg* SpeechView(int id) const;
  COrv_VolumeDlg* VolumeWindow() const { return volume_; }
  // Any of the five by its window id (218 the Volume window); null for
  // another id.
  QWidget* AudioViewWindow(int id) const;
  // The play commands (the given ones or the frame's own); null without.
  StartPlay* PlayControl() const { return playControl(); }
  // Points the audio view windows at another host (null: the frame's own).
  void SetAudioViewHost(COrv_AudioViewHost* host);
  // Runs the command of the player's shortcut `key`; false when none has it.
  bool RunShortcut(int key);

 protected:
  // Closes the grammar browser and stops every play before the window goes.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void registerCommands();
  // The play commands the frame's commands drive: the given ones, else the
  // frame's own.
  StartPlay* playControl() const;
  // Every panel button and status pane shows the commands' states now.
  void showCommandStates();
  TalvaneDocuments& documents() const { return services_.documents ? *services_.documents : *ownDocuments_; }
  // The commands of the Text, Tools, File and Help menus, the navigation
  // keys, the panel and view buttons and the grammar browser.
  void registerFrameCommands();
  void registerTextCommands();
  void registerViewCommands();
  void registerFileAndHelpCommands();
  // Puts the menu of the active window's kind in the bar (reload: also
  // when it is there already, in the current language).
  void updateMenu(bool reload);
  // Creates the DDE server under the application's name.
  bool InitDDE();
  bool withBook() const { return HasActiveTvDocument(); }
  void onNextQuote(bool skipSolved);
  void onPreviousQuote(bool skipSolved);
  void onClearLazyWords();
  void toggleDock(QDockWidget* dock);
  void toggleView(int window);
  void refuse(int stringId);
  // Docks `panel` in a bar of its own; hidden unless frame-state value
  // `shownSetting` is present and not 0.
  QDockWidget* dockPanel(COrv_Panel& panel, int barId, Qt::DockWidgetArea area, int shownSetting);
  bool createAudioViews();
  std::array<COrv_ViewDialog*, 5> audioViews() const;

  FrameServices services_;
  // The frame's own book windows answering the commands' questions from
  // their active document (when no documents were given).
  std::unique_ptr<TalvaneDocuments> documentCommands_;
  std::unique_ptr<CDDEServer> ddeServer_;
  std::unique_ptr<GrammarDdeClient> ownDde_;
  SystemGrammarBrowser ownBrowser_;
  std::unique_ptr<COrv_GrammarLink> grammar_;
  std::unique_ptr<COrv_HtmlHelp> ownHelp_;
  bool contextHelp_ = false;
  bool closed_ = false;
  COrv_FrameState state_;
  COrv_CommandTable commands_;
  COrv_MDIClientWnd* client_ = nullptr;
  COrv_AudioPanel audioPanel_;
  COrv_SecondaryPanel secondaryPanel_;
  QDockWidget* audioDock_ = nullptr;
  QDockWidget* secondaryDock_ = nullptr;
  COrv_StatusBar* statusBar_ = nullptr;
  int delayMs_ = 0;
  bool ddeReady_ = false;
  int currentMenu_ = 0;
  plat::ui::Menu mainMenu_, bookMenu_;  // 128 and 130, reloaded with the language
  bool bookJustOpened_ = false;
  // The view windows the panel buttons show and hide.
  ViewWindows* viewWindows() const { return services_.views != nullptr ? services_.views : ownViewWindows_.get(); }
  std::unique_ptr<ViewWindows> ownViewWindows_;
  std::unique_ptr<COrv_AudioViewHost> ownViewHost_;
  COrv_AudioViewHost* viewHost_ = nullptr;
  COrv_FragSelectorDlg* fragAudio_ = nullptr;
  COrv_FragSelectorDlg* fragRecording_ = nullptr;
  COrv_SpeechViewDlg* speechAudio_ = nullptr;
  COrv_SpeechViewDlg* speechRecording_ = nullptr;
  COrv_VolumeDlg* volume_ = nullptr;
  // Tells the commands when a view window shows or goes by itself.
  QObject* viewWatcher_ = nullptr;
  COrv_WaveOutWnd waveOut_;
  COrv_MCIRecord recorder_;
  std::unique_ptr<COrv_PlayCommands> play_;
  // The active document as the play commands see it, the play commands as
  // the audio view windows see them, and those windows as the play
  // commands drive them (each made only when no service stands in).
  std::unique_ptr<COrv_PlayBook> ownPlayBook_;
  std::unique_ptr<COrv_AudioViewHost> playViewHost_;
  std::unique_ptr<COrv_PlayViews> playViews_;
  // Last, so that the books close (and keep the learner's progress) while
  // the frame's state is still there.
  std::unique_ptr<TalvaneDocuments> ownDocuments_;
};

// The client area's picture as this program draws it.
QImage DefaultBackgroundPicture();
