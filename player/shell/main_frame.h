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

#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"

class QDockWidget;
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
// reached only through here.
class TalvaneDocuments {
 public:
  virtual ~TalvaneDocuments() = default;
  // Opens the book of `code` in a window of its own; false when it cannot.
  virtual bool OpenDocumentFile(const std::string& code) = 0;
  virtual bool HasActiveDocument() const = 0;
  virtual void CloseActiveDocument() = 0;
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

// Until book windows exist: every open is refused, and reported on standard
// error and, in test mode, as an "event open <code>" line of the test log.
class PendingDocuments : public TalvaneDocuments {
 public:
  bool OpenDocumentFile(const std::string& code) override;
  bool HasActiveDocument() const override { return false; }
  void CloseActiveDocument() override {}
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
  // Not owned; none: PendingDocuments and no play commands.
  TalvaneDocuments* documents = nullptr;
  StartPlay* play = nullptr;
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

  COrv_FrameState& FrameState() { return state_; }
  COrv_CommandTable& Commands() { return commands_; }
  COrv_MDIClientWnd* Client() const { return client_; }
  // The button panels, docked left (audio) and right (secondary), and the
  // dock widgets that hold them (null before OnCreate).
  COrv_AudioPanel& AudioPanel() { return audioPanel_; }
  COrv_SecondaryPanel& SecondaryPanel() { return secondaryPanel_; }
  QDockWidget* AudioDock() const { return audioDock_; }
  QDockWidget* SecondaryDock() const { return secondaryDock_; }
  int PlayDelayMs() const { return delayMs_; }
  bool HasDdeServer() const { return ddeReady_; }
  // The id of the menu in the bar (128 or 130), 0 before RefreshLanguage.
  int CurrentMenuId() const { return currentMenu_; }

  // Where the frame opens on `screen`.
  static QRect InitialGeometry(const QRect& screen);

  // The audio view windows, made hidden by OnCreate (null before): the
  // fragment selectors by id (189 audio, 202 recording), the speech views
  // by id (208 audio, 207 recording), the Volume window.
  COrv_FragSelectorDlg* FragSelector(int id) const;
  COrv_SpeechViewDlg* SpeechView(int id) const;
  COrv_VolumeDlg* VolumeWindow() const { return volume_; }
  // Points the audio view windows at another host (null: the frame's own).
  void SetAudioViewHost(COrv_AudioViewHost* host);
  // The application's help, which the frame's own view host shows pages of.
  void SetHelp(COrv_HtmlHelp* help) { help_ = help; }
  COrv_HtmlHelp* Help() const { return help_; }
  // Runs the command of the player's shortcut `key`; false when none has it.
  bool RunShortcut(int key);

 private:
  void registerCommands();
  // Docks `panel` in a bar of its own; hidden unless frame-state value
  // `shownSetting` is present and not 0.
  QDockWidget* dockPanel(COrv_Panel& panel, int barId, Qt::DockWidgetArea area, int shownSetting);
  bool createAudioViews();
  std::array<COrv_ViewDialog*, 5> audioViews() const;

  FrameServices services_;
  PendingDocuments pendingDocuments_;
  COrv_FrameState state_;
  COrv_CommandTable commands_;
  COrv_MDIClientWnd* client_ = nullptr;
  COrv_AudioPanel audioPanel_;
  COrv_SecondaryPanel secondaryPanel_;
  QDockWidget* audioDock_ = nullptr;
  QDockWidget* secondaryDock_ = nullptr;
  int delayMs_ = 0;
  bool ddeReady_ = false;
  int currentMenu_ = 0;
  bool bookJustOpened_ = false;
  std::unique_ptr<COrv_AudioViewHost> ownViewHost_;
  COrv_AudioViewHost* viewHost_ = nullptr;
  COrv_HtmlHelp* help_ = nullptr;
  COrv_FragSelectorDlg* fragAudio_ = nullptr;
  COrv_FragSelectorDlg* fragRecording_ = nullptr;
  COrv_SpeechViewDlg* speechAudio_ = nullptr;
  COrv_SpeechViewDlg* speechRecording_ = nullptr;
  COrv_VolumeDlg* volume_ = nullptr;
};

// The client area's picture as this program draws it.
QImage DefaultBackgroundPicture();
