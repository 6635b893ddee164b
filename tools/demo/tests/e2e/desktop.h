#pragma once
// The desktop a learner's session runs on: a private X server (Xvfb, with
// the display number it picks itself), real input events through xdotool,
// the windows' names and screenshots of the whole screen.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Runs a program to its end; its exit code, -1 when it did not end in time.
int run(const QString& program, const QStringList& args, int timeoutMs = 20000, QByteArray* out = nullptr);
// Keeps this process's events running for `ms` milliseconds.
void pump(int ms);
// Whether a program is found on PATH.
bool installed(const char* program);
// Runs `program` (the player) with `env` but without a display and in the
// silent sound mode, for start-ups that show nothing (installations); its
// exit code, -1 when it did not end within two minutes.
int runOffscreen(const QString& program, QProcessEnvironment env, const QStringList& args);

class Desktop {
 public:
  Desktop() = default;
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Starts the server; false (with the reason) when it does not come up.
  bool start(std::string* why);
  // ":N", for DISPLAY.
  QString display() const { return display_; }

  // Real input: keys in xdotool's names, one after the other ("F8",
  // "alt+a c p", "Escape"), text
  // typed key by key, a left click at a point of the screen.
  void key(const QString& keys);
  void type(const QString& text);
  void click(int x, int y);
  // Moves the visible window of that exact name, as a drag of it would.
  bool move(const QString& name, int x, int y);
  // Gives the keyboard focus to the visible window of that exact name.
  bool focus(const QString& name);
  // The ids of every visible window.
  std::vector<QString> visibleWindows();
  // The ids of the visible windows whose name is exactly `name`.
  std::vector<QString> windowsNamed(const QString& name);
  // Gives the keyboard focus to the window of that id (as windowsNamed
  // gives it).
  void focusWindow(const QString& id);
  // Asks the window of that id to close, as a window manager does when its
  // close button is pressed: a WM_DELETE_WINDOW message of the
  // WM_PROTOCOLS kind. False when the window does not take part in that
  // protocol or the message could not be sent.
  bool closeRequest(const QString& id);
  // Waits until a visible window has that exact name.
  bool waitForWindow(const QString& name, int timeoutMs = 20000);
  // The whole screen into a PNG; false when it could not be taken.
  bool screenshot(const std::filesystem::path& file);
  // The colour of one pixel of the last screenshot taken, as 0xRRGGBB.
  unsigned pixel(const std::filesystem::path& file, int x, int y);

 private:
  QStringList xdotool(const QStringList& args, int timeoutMs = 10000);
  std::unique_ptr<QProcess> server_;
  QString display_;
};

}  // namespace e2e
