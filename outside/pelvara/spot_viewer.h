#pragma once
// The media-spot viewer's window and its command line
// "FILE LEFT TOP RIGHT BOTTOM MILLISECONDS": a frameless window over the
// rectangle showing the picture (scaled to fit, its proportions kept),
// closing by itself after the given time, or at a click or a key. A spot
// may also be a page (an HTML or plain-text file): its text is shown in the
// same window, wrapped to its width.

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTextDocument>
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

// A page spot's text read from `bytes` (its file's name decides between
// HTML and plain text: ".htm" and ".html" are HTML); none when the bytes
// are no text (a NUL, or not UTF-8), which a picture file never is.
struct Page {
  QString text;
  bool html = false;
};
std::optional<Page> readPage(const QString& fileName, const QByteArray& bytes);

// Exit codes of the program.
enum Exit { kShown = 0, kBadArguments = 1, kUnreadable = 2 };

class SpotViewer : public QWidget {
 public:
  SpotViewer(const QImage& picture, const ViewerRequest& request);
  SpotViewer(const Page& page, const ViewerRequest& request);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  void place(const ViewerRequest& request);

  QImage m_picture;
  QTextDocument m_page;
  bool m_isPage = false;
  QTimer m_timer;
};

}  // namespace pelvara
