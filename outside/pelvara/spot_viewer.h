#pragma once
// The media-spot viewer's window and its command line
// "FILE LEFT TOP RIGHT BOTTOM MILLISECONDS": a frameless window over the
// rectangle showing the picture (scaled to fit, its proportions kept),
// closing by itself after the given time, or at a click or a key.

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace pelvara {

struct ViewerRequest {
  QString file;
  QRect rect;
  int milliseconds = 0;
};

// The request of the arguments after the program name; none when they are
// not a file and five integers making a non-empty rectangle and a time of
// 0 (stay until clicked) to one hour.
std::optional<ViewerRequest> parseArguments(const QStringList& args);

// The window class a viewer holds while it shows a spot (the player waits
// for it to be ready, and may ask it to close).
inline constexpr const char* kWindowClass = "ClsPelvara";

// Exit codes of the program.
enum Exit { kShown = 0, kBadArguments = 1, kUnreadable = 2 };

class SpotViewer : public QWidget {
 public:
  SpotViewer(const QImage& picture, const ViewerRequest& request);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  QImage m_picture;
  QTimer m_timer;
};

}  // namespace pelvara
