#pragma once
// Answers the real message boxes (QMessageBox) that code under test brings
// up, one step at a time, the way a learner does: a button pressed, a key
// typed into the box, or a close request as a window manager sends it. A
// timer polls for the visible modal box, so a step that closes the box lets
// the next one wait for the box that comes next; a step that leaves the box
// open runs the next one on the same box.

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <vector>

namespace tvtest {

using BoxStep = std::function<void(QMessageBox&)>;

class BoxDriver {
 public:
  explicit BoxDriver(std::vector<BoxStep> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
  }
  // How many steps have run.
  size_t done() const { return next_; }

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || next_ >= steps_.size()) return;
    steps_[next_++](*box);
  }
  std::vector<BoxStep> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

// Clicks the box's button; a box without it fails the test.
inline BoxStep pressButton(QMessageBox::StandardButton b) {
  return [b](QMessageBox& box) {
    QAbstractButton* button = box.button(b);
    if (button == nullptr) {
      ADD_FAILURE() << "the box has no button " << b;
      return;
    }
    button->click();
  };
}

// A key pressed and released on the box (Qt::Key_Escape, Qt::Key_Return).
inline BoxStep pressKey(Qt::Key key) {
  return [key](QMessageBox& box) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&box, &press);
    QApplication::sendEvent(&box, &release);
  };
}

// The box's window asked to close, as by its close button or Alt+F4.
inline BoxStep requestClose() {
  return [](QMessageBox& box) { box.windowHandle()->close(); };
}

}  // namespace tvtest
