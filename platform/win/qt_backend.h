#pragma once
// The Qt backend of the window layer. At the first layer window (when a
// QApplication exists) it installs itself: the message pump then runs from
// Qt's event loop, nested loops (QDialog::exec, message boxes) included;
// each visible top-level layer window is shown by a LayerView, and Qt
// input on a view becomes layer messages.

#include <QWidget>

#include "platform/win/win_types.h"

namespace plat::win {

// A widget that shows a top-level layer window (with its children) and
// turns Qt mouse, wheel, key, input-method and focus events into messages.
// Its geometry is the window's, in global coordinates.
class LayerView : public QWidget {
 public:
  explicit LayerView(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
  ~LayerView() override;
  HWND layerWindow() const { return hwnd_; }
  void setLayerWindow(HWND top);
  // Moves the layer window to where the widget is on screen.
  void syncGeometry();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void keyReleaseEvent(QKeyEvent*) override;
  void inputMethodEvent(QInputMethodEvent*) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery) const override;
  void resizeEvent(QResizeEvent*) override;
  void moveEvent(QMoveEvent*) override;
  void showEvent(QShowEvent*) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

  // Sends a key press to the layer's focus window (WM_KEYDOWN and the
  // WM_CHARs of its text).
  void deliverKey(QKeyEvent* e, bool down);
  bool hosted_ = false;  // geometry follows the widget rather than the window

 private:
  void mouse(QMouseEvent* e, bool down);
  HWND hwnd_ = nullptr;
};

// The widget that shows a visible top-level layer window, if any.
QWidget* widgetForWindow(HWND top);
// Virtual key for a Qt key (0 when none).
int virtualKeyFromQt(int qtKey);
// Whether the Qt backend is installed.
bool qtBackendActive();

}  // namespace plat::win
