#pragma once
// A widget that embeds layer windows in a Qt widget tree (a QDialog). It
// owns a host layer window whose children are the embedded controls: the
// host's geometry follows the widget's layout, the first child fills it
// unless told otherwise, focus and Tab order pass between Qt widgets and
// the controls both ways (Tab goes through the controls' WS_TABSTOP
// windows in creation order before it leaves the host), WM_GETDLGCODE
// decides which keys a control keeps (the others go on to the dialog:
// Return to its default button, Esc to reject), and the messages the host
// window receives from its children (WM_COMMAND and the controls'
// notifications) reach a C++ handler.

#include <functional>
#include <vector>

#include "platform/win/qt_backend.h"

namespace plat::win {

class HostWidget : public LayerView {
 public:
  // Answers a message sent to the host window; returns true when handled.
  using Handler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)>;

  explicit HostWidget(QWidget* parent = nullptr);
  ~HostWidget() override;

  // The host layer window: the parent to create controls in.
  HWND hostWindow() const { return layerWindow(); }
  void setHandler(Handler handler) { handler_ = std::move(handler); }
  // Whether the first child control is kept at the host's full size.
  void setFillWithFirstChild(bool fill) { fill_ = fill; }
  QSize sizeHint() const override { return QSize(160, 120); }

  // Called by the host window's procedure.
  LRESULT hostMessage(HWND h, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  HWND focusTarget() const;
  std::vector<HWND> controls() const;  // the host's children in creation order
  HWND firstTabStop(bool last) const;
  // Moves the focus to the next (or previous) tab stop after the control
  // that holds it; false when there is none, so Tab leaves the host.
  bool tabAmongControls(bool forward);
  bool controlWants(QKeyEvent* e) const;
  void layoutChildren();
  Handler handler_;
  bool fill_ = true;
  HWND lastFocus_ = nullptr;
};

}  // namespace plat::win
