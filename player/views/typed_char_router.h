#pragma once
// TypedCharRouter: where the application sends a typed character. A
// character typed in the text dialog's control closes that dialog. In a
// Talvane window, every typed character goes to the scratch pad (which
// takes the focus), except while the scratch pad has it already or the
// so-far control has it in letter-by-letter mode. Typed characters are key
// presses with text and input-method commits alike.
//
// Installed on the application object as an event filter.

#include <QObject>
#include <QPointer>

#include <functional>

class COrv_SoFarEdit;
class COrv_ScPadEdit;

namespace orv::views {

class TypedCharRouter : public QObject {
 public:
  struct Panes {
    COrv_SoFarEdit* soFar = nullptr;
    COrv_ScPadEdit* scratchPad = nullptr;
  };
  // The panes of the active Talvane window. The default looks in the
  // active window's active sub-window.
  using PaneFinder = std::function<Panes()>;

  explicit TypedCharRouter(QObject* parent = nullptr);
  void SetPaneFinder(PaneFinder finder) { m_finder = std::move(finder); }
  static Panes ActiveWindowPanes();

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PaneFinder m_finder;
  bool m_routing = false;
};

}  // namespace orv::views
