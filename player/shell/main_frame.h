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

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QRect>

#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "player/shell/status_bar.h"

class C3WaySplitterFrame;
class QDockWidget;
class COrv_TvDocument;

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
// reached only through here.
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
  StartPlay* play = nullptr;
  // What the status bar shows of the active book; none: no book.
  COrv_StatusBar::FactsSource statusFacts;
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
  bool HasActiveTvDocument() const { return GetActiveTvDocument() != nullptr; }

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

  // Where the frame opens on `screen`.
  static QRect InitialGeometry(const QRect& screen);

 private:
  void registerCommands();
  // Every panel button and status pane shows the commands' states now.
  void showCommandStates();
  TalvaneDocuments& documents() const { return services_.documents ? *services_.documents : *ownDocuments_; }
  // Docks `panel` in a bar of its own; hidden unless frame-state value
  // `shownSetting` is present and not 0.
  QDockWidget* dockPanel(COrv_Panel& panel, int barId, Qt::DockWidgetArea area, int shownSetting);

  FrameServices services_;
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
  bool bookJustOpened_ = false;
  // Last, so that the books close (and keep the learner's progress) while
  // the frame's state is still there.
  std::unique_ptr<TalvaneDocuments> ownDocuments_;
};

// The client area's picture as this program draws it.
QImage DefaultBackgroundPicture();
