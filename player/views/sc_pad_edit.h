#pragma once
// COrv_ScPadEdit: the scratch pad's typing control, where the learner
// writes the words heard in any order. What is typed goes to the document
// to be checked: at once after a blank or a line break, otherwise once the
// learner has paused for the idle delay.

#include <QTextEdit>
#include <QTimer>

#include "player/book/text_format.h"
#include "player/views/text_pane_document.h"

class COrv_ScPadEdit : public QTextEdit {
 public:
  static constexpr int kDefaultIdleDelayMs = 1500;

  explicit COrv_ScPadEdit(QWidget* parent = nullptr);

  void SetDocument(orv::TextPaneDocument* doc) { m_doc = doc; }
  void SetIdleDelay(int ms) { m_idleDelay = ms; }
  int IdleDelay() const { return m_idleDelay; }
  bool IsFormatted() const { return m_formatted; }
  bool IdleTimerActive() const { return m_timer.isActive(); }

  // With `reload`: takes the document's format and the learner's text
  // again, formats the whole text and selects what the document added
  // (from the old text's length to the new one's). Without: formats the
  // text as it is, keeping the selection.
  void ApplyFormat(bool reload);
  // Hands the typed text to the document for checking, then puts the caret
  // back (inside the text as it is after the check).
  void Reformat();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  // Pasted or dropped text is checked like typed letters, after the delay.
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void typed(const QString& text);
  void formatAll(int selStart, int selEnd);

  orv::TextPaneDocument* m_doc = nullptr;
  COrv_TextFormat m_format;
  QTimer m_timer;
  int m_idleDelay = kDefaultIdleDelayMs;
  bool m_formatted = false;
  bool m_checking = false;
};
