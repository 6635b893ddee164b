#pragma once
// ButtonHost: one bitmap button in a Qt widget. The widget holds the
// button's layer window at its own size, shows the button's tooltip, and
// hands the button's clicks (WM_COMMAND, BN_CLICKED) to a callback with the
// button's id. Dialog frames and the grammar browser's bar place their
// buttons this way.

#include <functional>

#include "platform/win/host_widget.h"
#include "shared/buttons/orv_button.h"

namespace tv::buttons {

class ButtonHost : public plat::win::HostWidget {
 public:
  using Clicked = std::function<void(int id)>;
  ButtonHost(COrv_BitmapButtonBase& button, Clicked clicked, QWidget* parent);

  // Creates the button window with `id` in the host and sizes the widget to
  // its first bitmap (`fallback` without one). False when it cannot be made.
  bool CreateButton(int id, QSize fallback);
  void SetClicked(Clicked clicked) { clicked_ = std::move(clicked); }
  COrv_BitmapButtonBase& Button() const { return button_; }
  // A press and release in the middle of the button, as the mouse makes them.
  void Click();

 protected:
  bool event(QEvent* e) override;

 private:
  COrv_BitmapButtonBase& button_;
  Clicked clicked_;
};

}  // namespace tv::buttons
