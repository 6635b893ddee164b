#include "shared/buttons/button_host.h"

#include <QHelpEvent>
#include <QToolTip>

#include "platform/win/window.h"

namespace tv::buttons {

using namespace plat::win;

ButtonHost::ButtonHost(COrv_BitmapButtonBase& button, Clicked clicked, QWidget* parent)
    : HostWidget(parent), button_(button), clicked_(std::move(clicked)) {
  setFocusPolicy(Qt::NoFocus);
  setHandler([this](UINT msg, WPARAM w, LPARAM, LRESULT* result) {
    if (msg != WM_COMMAND || HIWORD(w) != BN_CLICKED) return false;
    if (clicked_) clicked_(LOWORD(w));
    *result = 0;
    return true;
  });
}

bool ButtonHost::CreateButton(int id, QSize fallback) {
  const RECT r{0, 0, fallback.width(), fallback.height()};
  if (!button_.Create("", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, r, hostWindow(), id)) return false;
  int w = 0, h = 0;
  if (!button_.GetBitmapSize(&w, &h)) {
    w = fallback.width();
    h = fallback.height();
  }
  setFixedSize(w, h);
  return true;
}

void ButtonHost::Click() {
  HWND b = button_.GetSafeHwnd();
  if (!IsWindow(b)) return;
  RECT r;
  GetClientRect(b, &r);
  const LPARAM mid = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
  SendMessage(b, WM_LBUTTONDOWN, 1, mid);
  SendMessage(b, WM_LBUTTONUP, 0, mid);
}

bool ButtonHost::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    if (button_.ToolTipActive() && !button_.ToolTipText().empty())
      QToolTip::showText(help->globalPos(), QString::fromStdString(button_.ToolTipText()), this);
    else
      QToolTip::hideText();
    return true;
  }
  return HostWidget::event(e);
}

}  // namespace tv::buttons
