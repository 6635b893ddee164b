#pragma once
// CMainFrame: the player's multiple-document main window, and
// COrv_MDIClientWnd, the client area that paints the background behind the
// book windows.
//
// The frame keeps the frame state, the language-dependent menus (128 while
// no book window is open, 130 while one is) and the command table, applies
// changed settings, and is 800 x 600, centred on screens that are larger
// and never smaller. What it needs of the outside (the screen, the DDE
// server) comes through FrameServices so that tests can stand in for it.

#include <cstdint>
#include <functional>
#include <memory>

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QRect>

#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"

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

struct FrameServices {
  // The screen's available area the frame is placed on.
  std::function<QRect()> screen;
  // Creates the DDE server under the application's name; false when it
  // cannot be made (the frame then works without the grammar browser).
  std::function<bool()> createDdeServer;
  // The client area's picture (bitmap 393).
  std::function<QImage()> backgroundPicture;
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

  COrv_FrameState& FrameState() { return state_; }
  COrv_CommandTable& Commands() { return commands_; }
  COrv_MDIClientWnd* Client() const { return client_; }
  int PlayDelayMs() const { return delayMs_; }
  bool HasDdeServer() const { return ddeReady_; }
  // The id of the menu in the bar (128 or 130), 0 before RefreshLanguage.
  int CurrentMenuId() const { return currentMenu_; }

  // Where the frame opens on `screen`.
  static QRect InitialGeometry(const QRect& screen);

 private:
  void registerCommands();

  FrameServices services_;
  COrv_FrameState state_;
  COrv_CommandTable commands_;
  COrv_MDIClientWnd* client_ = nullptr;
  int delayMs_ = 0;
  bool ddeReady_ = false;
  int currentMenu_ = 0;
};

// The client area's picture as this program draws it.
QImage DefaultBackgroundPicture();
