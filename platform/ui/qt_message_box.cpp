#include "platform/ui/qt_message_box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <utility>
#include <vector>

namespace plat::ui {

namespace {

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

// What closing the box without a button means: Cancel where there is one, OK
// for a box of OK alone; Abort/Retry/Ignore and Yes/No cannot be dismissed
// and so keep their default button.
int dismissAnswer(const MessageBoxRequest& r) {
  if (r.accepts(IDCANCEL)) return IDCANCEL;
  if (r.buttons == Buttons::Ok) return IDOK;
  return r.defaultAnswer();
}

}  // namespace

bool qtBoxesUsable() {
  if (!widgetApp()) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int QtMessageSink::show(const MessageBoxRequest& r) {
  if (!widgetApp()) return 0;
  QWidget* parent = r.applicationBox ? QApplication::activeWindow() : nullptr;
  QMessageBox box(qtIcon(r.icon), QString::fromStdString(r.caption), QString::fromStdString(r.text),
                  QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
  if (r.topMost) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (int answer : r.answers()) buttons.emplace_back(box.addButton(standardButtonFor(answer)), answer);
  QPushButton* help = r.helpButton ? box.addButton(QMessageBox::Help) : nullptr;

  const int def = r.defaultAnswer();
  for (auto& [button, answer] : buttons) {
    if (answer == def) box.setDefaultButton(static_cast<QPushButton*>(button));
    if (answer == dismissAnswer(r)) box.setEscapeButton(button);
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
    return dismissAnswer(r);
  }
}

void QtMessageSink::beep(uint32_t) {
  if (widgetApp()) QApplication::beep();
}

}  // namespace plat::ui
