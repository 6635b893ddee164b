#pragma once
// COrv_SoFarEdit: the so-far text control. It shows the current Echomark as
// COrv_SoFarModel holds it, one format per character kind, and turns the
// learner's clicks and keys into the model's (and so the document's)
// actions by mode: dictionary, grammar, lazy and letter by letter.
//
// In letter-by-letter mode only typed letters reach the text: key presses
// with text and input-method commits (accented letters come either way),
// Return and Delete on their positions, and the navigation keys; Tab stays
// in the control. Paste, drop and undo never change it.

#include <QPoint>
#include <QRect>
#include <QTextEdit>

#include <functional>
#include <string>
#include <vector>

#include "player/book/text_format.h"
#include "player/views/so_far_model.h"
#include "player/views/text_pane_document.h"

class COrv_SoFarEdit : public QTextEdit {
 public:
  // Runs a pop-up menu of `entries` at a global point; answers the chosen
  // entry (from 1) or 0. Replaced by tests.
  using MenuRunner = std::function<int(const std::vector<std::string>& entries, QPoint global)>;
  // Colours of the kinds (0xRRGGBB).
  static constexpr QRgb kPlainColour = 0x000000;
  static constexpr QRgb kGrammarColour = 0xFC9C04;
  static constexpr QRgb kStruckColour = 0xFF0000;
  static constexpr QRgb kSlotColour = 0x0000FF;
  static constexpr QRgb kWrongColour = 0xFF00FF;

  explicit COrv_SoFarEdit(QWidget* parent = nullptr);

  void SetDocument(orv::TextPaneDocument* doc);
  void SetMenuRunner(MenuRunner runner) { m_menu = std::move(runner); }
  void SetBeep(std::function<void()> beep) { m_model.SetBeep(std::move(beep)); }

  // Copies the document's state, maps the mode again by its flags, shows
  // the text and keeps the caret.
  void Refresh();
  int SetMode(int mode);
  int GetMode() const { return m_model.GetMode(); }
  void RestoreMode();
  // Draws every position in its kind's format (the search highlight on
  // top) and puts the caret back in letter-by-letter mode.
  void Recolour();
  // Puts the caret on the remembered slot (letter-by-letter mode).
  void MoveCaretToLastSlot();
  // Underlines in orange the plain and slot positions of `words`; the
  // previous highlight is undone first.
  void HighlightWords(const std::vector<int>& words);

  // Hit tests in viewport coordinates: the word (from 1) or -1; the
  // character position or -1 without text.
  int WordAtPoint(QPoint p) const;
  int CharAtPoint(QPoint p) const;
  QRect WordRect(int n) const;
  QRect CharRect(int pos) const;
  bool PointInText(QPoint p) const;
  // The cursor the control shows over a point (see PaneCursor).
  int CursorAt(QPoint p) const;

  COrv_SoFarModel& Model() { return m_model; }
  const COrv_SoFarModel& Model() const { return m_model; }

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool canInsertFromMimeData(const QMimeData*) const override { return false; }
  void insertFromMimeData(const QMimeData*) override {}
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void typeText(const QString& text);
  void afterKey(bool changed);
  void placeCaret();
  void applyModeLook();
  void leftClick(QPoint p, Qt::KeyboardModifiers mods);
  void grammarMenu(int word);
  void updateCursorShape(QPoint p);

  COrv_SoFarModel m_model;
  orv::TextPaneDocument* m_doc = nullptr;
  COrv_TextFormat m_format;
  std::vector<int> m_highlight;
  int m_grammarWord = 0;
  MenuRunner m_menu;
  int m_cursorId = 0;
};
