#include "player/views/sc_pad_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QTextCursor>

#include <algorithm>

#include "player/views/text_format_qt.h"

COrv_ScPadEdit::COrv_ScPadEdit(QWidget* parent) : QTextEdit(parent) {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, Qt::white);
  setPalette(pal);
  setAcceptRichText(false);
  setTabChangesFocus(true);
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, [this] {
    if (!m_formatted) Reformat();
  });
}

void COrv_ScPadEdit::typed(const QString& text) {
  m_formatted = false;
  const QChar last = text.isEmpty() ? QChar() : text.back();
  if (last == u' ' || last == u'\n' || last == u'\r') {
    m_timer.stop();
    Reformat();
  } else {
    m_timer.start(m_idleDelay);
  }
}

void COrv_ScPadEdit::keyPressEvent(QKeyEvent* e) {
  QString text = e->text();
  const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
  QTextEdit::keyPressEvent(e);
  if (enter) text = QStringLiteral("\n");
  // Keys that type nothing (arrows, modifiers, shortcuts) leave the check
  // where it is.
  if (text.isEmpty() || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) return;
  typed(text);
}

void COrv_ScPadEdit::inputMethodEvent(QInputMethodEvent* e) {
  QTextEdit::inputMethodEvent(e);
  if (!e->commitString().isEmpty()) typed(e->commitString());
}

void COrv_ScPadEdit::insertFromMimeData(const QMimeData* source) {
  QTextEdit::insertFromMimeData(source);
  m_formatted = false;
  m_timer.start(m_idleDelay);
}

void COrv_ScPadEdit::Reformat() {
  if (!m_doc || m_checking) return;
  m_checking = true;
  const int caret = textCursor().position();
  m_doc->CheckUserText(toPlainText().toStdString(), true);
  // The check may have reloaded this control from the document: the caret
  // goes back to where it was, inside the text as it is now.
  QTextCursor c(document());
  c.setPosition(std::clamp(caret, 0, static_cast<int>(toPlainText().size())));
  setTextCursor(c);
  m_formatted = true;
  m_checking = false;
}

void COrv_ScPadEdit::formatAll(int selStart, int selEnd) {
  QTextCursor all(document());
  all.select(QTextCursor::Document);
  all.setBlockFormat(orv::views::ToBlockFormat(m_format.para));
  all.setCharFormat(orv::views::ToCharFormat(m_format.chars));
  setCurrentCharFormat(orv::views::ToCharFormat(m_format.chars));
  const int size = static_cast<int>(toPlainText().size());
  QTextCursor sel(document());
  sel.setPosition(std::clamp(selStart, 0, size));
  sel.setPosition(std::clamp(selEnd, 0, size), QTextCursor::KeepAnchor);
  setTextCursor(sel);
}

void COrv_ScPadEdit::ApplyFormat(bool reload) {
  if (!reload || !m_doc) {
    const QTextCursor c = textCursor();
    formatAll(c.anchor(), c.position());
    return;
  }
  m_format = m_doc->GetTextFormat(orv::TextPaneDocument::kScratchPadFormat);
  const int oldLength = static_cast<int>(toPlainText().size());
  const QString text = QString::fromStdString(m_doc->GetUserText());
  if (text != toPlainText()) setPlainText(text);
  formatAll(oldLength, static_cast<int>(text.size()));
  m_formatted = true;
}
