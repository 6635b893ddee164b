#include "player/views/typed_char_router.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWhatsThis>

#include "player/views/dlg_show_text.h"
#include "player/views/sc_pad_edit.h"
#include "player/views/show_text.h"
#include "player/views/so_far_edit.h"

namespace orv::views {

namespace {

// A key press that types a character: printable text, Return or
// Backspace, without a shortcut modifier.
bool typesCharacter(const QKeyEvent* k) {
  if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = k->text();
  if (text.isEmpty()) return false;
  const QChar c = text.front();
  return c.isPrint() || c == u'\r' || c == u'\n' || c == u'\b';
}

template <typename T>
T* firstChild(QWidget* root) {
  if (!root) return nullptr;
  for (QWidget* w : root->findChildren<QWidget*>())
    if (auto* t = dynamic_cast<T*>(w)) return t;
  return nullptr;
}

}  // namespace

TypedCharRouter::TypedCharRouter(QObject* parent) : QObject(parent), m_finder(ActiveWindowPanes) {}

TypedCharRouter::Panes TypedCharRouter::ActiveWindowPanes() {
  Panes panes;
  QWidget* window = QApplication::activeWindow();
  if (!window) return panes;
  QWidget* root = window;
  for (QMdiArea* area : window->findChildren<QMdiArea*>()) {
    if (QMdiSubWindow* sub = area->activeSubWindow()) {
      root = sub;
      break;
    }
  }
  panes.soFar = firstChild<COrv_SoFarEdit>(root);
  panes.scratchPad = firstChild<COrv_ScPadEdit>(root);
  return panes;
}

bool TypedCharRouter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (m_routing || (type != QEvent::KeyPress && type != QEvent::InputMethod)) return false;
  QWidget* focus = QApplication::focusWidget();
  // Only the first delivery, to the widget with the focus, is a typed
  // character; the rest is its propagation.
  if (watched != focus || QWhatsThis::inWhatsThisMode()) return false;
  if (type == QEvent::KeyPress && !typesCharacter(static_cast<QKeyEvent*>(event))) return false;
  if (type == QEvent::InputMethod && static_cast<QInputMethodEvent*>(event)->commitString().isEmpty())
    return false;

  if (auto* text = dynamic_cast<COrv_ShowText*>(focus)) {
    if (auto* dlg = dynamic_cast<COrv_DlgShowText*>(text->window())) {
      QPointer<COrv_DlgShowText> target(dlg);
      QTimer::singleShot(0, dlg, [target] {
        if (target) target->close();
      });
    }
  }

  const Panes panes = m_finder ? m_finder() : Panes{};
  if (!panes.scratchPad || focus == panes.scratchPad) return false;
  if (panes.soFar && focus == panes.soFar && panes.soFar->GetMode() == COrv_SoFarModel::kLetterByLetter)
    return false;
  // The character is typed into the scratch pad instead.
  panes.scratchPad->setFocus(Qt::OtherFocusReason);
  m_routing = true;
  if (type == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(),
                   static_cast<ushort>(k->count()));
    QApplication::sendEvent(panes.scratchPad, &copy);
  } else {
    auto* im = static_cast<QInputMethodEvent*>(event);
    QInputMethodEvent copy(QString(), {});
    copy.setCommitString(im->commitString());
    QApplication::sendEvent(panes.scratchPad, &copy);
  }
  m_routing = false;
  return true;
}

}  // namespace orv::views
