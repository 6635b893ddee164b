#include "platform/ui/qt_message_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <utility>
#include <vector>

namespace plat::ui {

namespace {

QPointer<QWidget>& ownerWindow() {
  static QPointer<QWidget> window;
  return window;
}

QApplication* widgetApp() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

QMessageBox::StandardButton standardButtonFor(int answer) {
  switch (answer) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::NoButton;
  }
}

QMessageBox::Icon qtIcon(Icon icon) {
  switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// QMessageBox picks an escape button of its own (No on a Yes/No box, Abort
// on Abort/Retry/Ignore). A box that cannot be dismissed takes neither the
// Escape key nor a close request; the others go to QMessageBox, whose
// escape button is set to the dismissal answer.
class Box : public QMessageBox {
 public:
  Box(bool dismissable, Icon icon, const QString& caption, const QString& text, QWidget* parent)
      : QMessageBox(icon, caption, text, QMessageBox::NoButton, parent), dismissable_(dismissable) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (!dismissable_ && e->matches(QKeySequence::Cancel)) {
      e->accept();
      return;
    }
    QMessageBox::keyPressEvent(e);
  }
  void closeEvent(QCloseEvent* e) override {
    if (!dismissable_) {
      e->ignore();
      return;
    }
    QMessageBox::closeEvent(e);
  }

 private:
  bool dismissable_;
};

}  // namespace

void setApplicationWindow(QWidget* window) { ownerWindow() = window; }
QWidget* applicationWindow() { return ownerWindow().data(); }

bool qtBoxesUsable() {
  if (!widgetApp()) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int QtMessageSink::show(const MessageBoxRequest& r) {
  if (!widgetApp()) return 0;
  QWidget* parent = nullptr;
  if (r.applicationBox) {
    parent = QApplication::activeWindow();
    if (parent == nullptr) parent = applicationWindow();
  }
  const int dismissal = gestureAnswer(r, kGestureEscape);
  Box box(dismissal != 0, qtIcon(r.icon), QString::fromStdString(r.caption), QString::fromStdString(r.text),
          parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
  const bool ownerOnTop = parent != nullptr && parent->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  if (r.topMost || ownerOnTop) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (int answer : r.answers()) buttons.emplace_back(box.addButton(standardButtonFor(answer)), answer);
  QPushButton* help = r.helpButton ? box.addButton(QMessageBox::Help) : nullptr;

  const int def = r.defaultAnswer();
  for (auto& [button, answer] : buttons) {
    if (answer == def) box.setDefaultButton(static_cast<QPushButton*>(button));
    if (answer == dismissal) box.setEscapeButton(button);
  }

  // Help opens its topic and leaves the question open: the box comes back
  // until one of its answers is chosen.
  for (;;) {
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (help && clicked == help) {
      invokeHelp(r.helpContext);
      continue;
    }
    for (auto& [button, answer] : buttons)
      if (button == clicked) return answer;
    // Closed without a button. A box that cannot be dismissed only gets
    // here when the program ends its event loops (a quit signal): it then
    // answers 0, which no caller takes for a Yes.
    return dismissal;
  }
}

void QtMessageSink::beep(uint32_t) {
  if (widgetApp()) QApplication::beep();
}

}  // namespace plat::ui
