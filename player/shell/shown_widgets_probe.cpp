#include "player/shell/shown_widgets_probe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTextBlock>
#include <QTextEdit>
#include <QSocketNotifier>
#include <QWidget>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/ui/test_mode.h"
#include "shared/buttons/button_host.h"
#include "player/shell/main_frame.h"

namespace orv::shell {
namespace {

std::string escaped(const QString& text) {
  std::string out;
  for (char c : text.toStdString()) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

struct Line {
  const char* kind;
  QString window;
  QRect rect;
  QString state;
  QString name;
  QString text;
  QString extra;
};

std::string format(const Line& l) {
  return std::string("shown\t") + l.kind + "\t" + escaped(l.window) + "\t" + std::to_string(l.rect.x()) + "\t" +
         std::to_string(l.rect.y()) + "\t" + std::to_string(l.rect.width()) + "\t" +
         std::to_string(l.rect.height()) + "\t" + escaped(l.state) + "\t" + escaped(l.name) + "\t" +
         escaped(l.text) + "\t" + escaped(l.extra) + "\n";
}

QRect globalRect(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

QString stateOf(const QWidget* w, bool checked) {
  QString s;
  if (checked) s += u'c';
  if (!w->isEnabled()) s += u'd';
  return s.isEmpty() ? QStringLiteral("-") : s;
}

QString nameOf(const QWidget* w) { return w->objectName().isEmpty() ? w->toolTip() : w->objectName(); }

// The marks of each character and the screen places of the first ones.
QString characterDetails(const QTextEdit* edit) {
  const QTextDocument* doc = edit->document();
  const int length = doc->characterCount() - 1;  // without the closing paragraph mark
  QString marks;
  QString places;
  for (int i = 0; i < length; ++i) {
    QTextCursor c(const_cast<QTextDocument*>(doc));
    c.setPosition(i);
    c.setPosition(i + 1, QTextCursor::KeepAnchor);
    const QTextCharFormat f = c.charFormat();
    marks += f.fontUnderline() ? u'u' : f.fontStrikeOut() ? u's' : u'.';
    if (i >= kProbeCharacterPlaces) continue;
    QTextCursor at(const_cast<QTextDocument*>(doc));
    at.setPosition(i);
    const QRect r = edit->cursorRect(at);
    QTextCursor next(const_cast<QTextDocument*>(doc));
    next.setPosition(i + 1);
    const QRect n = edit->cursorRect(next);
    const int x = n.top() == r.top() && n.left() > r.left() ? (r.left() + n.left()) / 2 : r.left() + 2;
    const QPoint g = edit->viewport()->mapToGlobal(QPoint(x, r.center().y()));
    places += QString("%1,%2 ").arg(g.x()).arg(g.y());
  }
  return marks + u' ' + places.trimmed();
}

void logWidget(const QWidget* w, const QString& window, std::string& out) {
  if (const auto* label = qobject_cast<const QLabel*>(w)) {
    out += format({"label", window, globalRect(w), stateOf(w, false), nameOf(w), label->text(), {}});
  } else if (const auto* line = qobject_cast<const QLineEdit*>(w)) {
    // A password is never written.
    const QString text = line->echoMode() == QLineEdit::Normal ? line->text() : QString(line->text().size(), u'*');
    out += format({"edit", window, globalRect(w), stateOf(w, false), nameOf(w), text, {}});
  } else if (const auto* edit = qobject_cast<const QTextEdit*>(w)) {
    out += format({"text", window, globalRect(w), stateOf(w, false), nameOf(w), edit->toPlainText(),
                   characterDetails(edit)});
  } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
    out += format({"button", window, globalRect(w), stateOf(w, button->isChecked()), nameOf(w), button->text(), {}});
  } else if (const auto* bitmap = dynamic_cast<const tv::buttons::ButtonHost*>(w)) {
    // A dialog's bitmap button, named by its tooltip.
    out += format({"button", window, globalRect(w), stateOf(w, false),
                   QString::fromStdString(bitmap->Button().ToolTipText()), {}, {}});
  } else if (const auto* list = qobject_cast<const QListWidget*>(w)) {
    for (int i = 0; i < list->count(); ++i) {
      const QListWidgetItem* item = list->item(i);
      const QRect r = list->visualItemRect(item);
      out += format({"list entry", window, QRect(list->viewport()->mapToGlobal(r.topLeft()), r.size()),
                     item->isSelected() ? "c" : "-", nameOf(w), item->text(), {}});
    }
  } else if (const auto* menu = qobject_cast<const QMenu*>(w)) {
    for (const QAction* a : menu->actions()) {
      if (a->isSeparator() || !a->isVisible()) continue;
      const QRect r = menu->actionGeometry(const_cast<QAction*>(a));
      out += format({"menu entry", window, QRect(menu->mapToGlobal(r.topLeft()), r.size()),
                     a->isEnabled() ? (a->isChecked() ? "c" : "-") : "d", {}, a->text(), {}});
    }
  }
}

int g_probePipe[2] = {-1, -1};

void onProbeSignal(int) {
  const char c = 'p';
  [[maybe_unused]] const ssize_t n = ::write(g_probePipe[1], &c, 1);
}

}  // namespace

void LogShownWidgets(const std::string& tag) {
  if (!plat::ui::testMode()) return;
  const char* log = std::getenv(plat::ui::kTestLogVariable);
  if (log == nullptr || *log == '\0') return;
  std::string out;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    const QString window = top->windowTitle();
    out += format({"window", window, top->frameGeometry(), stateOf(top, false), top->objectName(),
                   window, QString::fromLatin1(top->metaObject()->className())});
    logWidget(top, window, out);
    for (const QWidget* w : top->findChildren<QWidget*>()) {
      if (w->isVisible()) logWidget(w, window, out);
    }
  }
  // One append for the whole picture, so that it is never interleaved.
  plat::ui::appendTestLogLine(log, out);
  LogTestEvent("probe", tag);
}

void InstallShownWidgetsProbe() {
  if (g_probePipe[0] >= 0 || QCoreApplication::instance() == nullptr) return;
  if (::pipe2(g_probePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // The handler only writes to the pipe; the picture is taken on the
  // event loop, where the widgets may be read.
  auto* notifier = new QSocketNotifier(g_probePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    static int pictures = 0;
    char buffer[16];
    while (::read(g_probePipe[0], buffer, sizeof buffer) > 0) {
    }
    LogShownWidgets(std::to_string(++pictures));
  });
  struct sigaction action {};
  action.sa_handler = onProbeSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGUSR1, &action, nullptr);
}

}  // namespace orv::shell
