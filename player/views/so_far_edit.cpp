#include "player/views/so_far_edit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <limits>

#include "player/views/pane_pictures.h"
#include "player/views/text_format_qt.h"
#include "shared/language/orv_language.h"

namespace {

using Model = COrv_SoFarModel;

int runMenu(const std::vector<std::string>& entries, QPoint global) {
  QMenu menu;
  for (std::size_t i = 0; i < entries.size(); ++i)
    menu.addAction(QString::fromStdString(entries[i]))->setData(static_cast<int>(i) + 1);
  QAction* chosen = menu.exec(global);
  return chosen ? chosen->data().toInt() : 0;
}

}  // namespace

COrv_SoFarEdit::COrv_SoFarEdit(QWidget* parent) : QTextEdit(parent), m_menu(runMenu) {
  setUndoRedoEnabled(false);
  setAcceptDrops(false);
  setTabChangesFocus(false);
  setReadOnly(true);
  setCursorWidth(0);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  setTextInteractionFlags(Qt::NoTextInteraction);
}

void COrv_SoFarEdit::SetDocument(orv::TextPaneDocument* doc) {
  m_doc = doc;
  m_model.SetDocument(doc);
}

// ---------------------------------------------------------------- showing

void COrv_SoFarEdit::Refresh() {
  if (!m_doc) return;
  m_format = m_doc->GetTextFormat(orv::TextPaneDocument::kSoFarFormat);
  m_model.Load(m_doc->GetSoFarState());
  m_model.RestoreMode();
  applyModeLook();
  Recolour();
}

int COrv_SoFarEdit::SetMode(int mode) {
  const int previous = m_model.SetMode(mode);
  applyModeLook();
  return previous;
}

void COrv_SoFarEdit::RestoreMode() {
  m_model.RestoreMode();
  applyModeLook();
}

void COrv_SoFarEdit::applyModeLook() {
  const bool typing = GetMode() == Model::kLetterByLetter;
  // Letter by letter shows a caret; the text is still only changed here.
  setReadOnly(!typing);
  setTextInteractionFlags(typing ? Qt::TextEditable : Qt::NoTextInteraction);
  setCursorWidth(typing ? 2 : 0);
}

void COrv_SoFarEdit::Recolour() {
  const int scroll = verticalScrollBar()->value();
  QTextDocument* doc = document();
  doc->clear();
  QTextCursor c(doc);
  c.setBlockFormat(orv::views::ToBlockFormat(m_format.para));
  const QTextCharFormat base = orv::views::ToCharFormat(m_format.chars);
  const bool grammar = GetMode() == Model::kGrammar;
  auto highlighted = [&](int word) {
    return std::find(m_highlight.begin(), m_highlight.end(), word) != m_highlight.end();
  };
  const std::u32string& text = m_model.Shown();
  for (int p = 0; p < m_model.Size(); ++p) {
    QTextCharFormat f = base;
    const int kind = m_model.KindAt(p);
    const int word = m_model.WordAt(p);
    const bool linked = grammar && (m_model.WordStatus(word) & Model::kHasLinks);
    switch (kind) {
      case Model::kStruck:
        f.setFontStrikeOut(true);
        f.setForeground(QColor(kStruckColour));
        break;
      case Model::kSlot:
        f.setForeground(QColor(linked ? kGrammarColour : kSlotColour));
        break;
      case Model::kWrong:
        f.setFontUnderline(true);
        f.setForeground(QColor(kWrongColour));
        break;
      default:
        f.setForeground(QColor(linked ? kGrammarColour : kPlainColour));
        break;
    }
    if (word && highlighted(word) && (kind == Model::kPlain || kind == Model::kSlot)) {
      f.setFontUnderline(true);
      f.setForeground(QColor(kGrammarColour));
    }
    const char32_t ch = text[static_cast<std::size_t>(p)];
    c.insertText(ch == U'\n' ? QString(QChar::ParagraphSeparator) : QString::fromUcs4(&ch, 1), f);
  }
  verticalScrollBar()->setValue(scroll);
  placeCaret();
}

void COrv_SoFarEdit::placeCaret() {
  QTextCursor c(document());
  c.setPosition(GetMode() == Model::kLetterByLetter ? m_model.Caret() : 0);
  setTextCursor(c);
}

void COrv_SoFarEdit::MoveCaretToLastSlot() {
  m_model.MoveToLastSlot();
  placeCaret();
}

void COrv_SoFarEdit::HighlightWords(const std::vector<int>& words) {
  m_highlight = words;
  Recolour();
}

// ---------------------------------------------------------------- geometry

QRect COrv_SoFarEdit::CharRect(int pos) const {
  if (pos < 0 || pos >= m_model.Size()) return {};
  QTextCursor a(document());
  a.setPosition(pos);
  QTextCursor b(document());
  b.setPosition(pos + 1);
  const QRect ra = cursorRect(a), rb = cursorRect(b);
  // A character at the end of a line: as wide as the font's average.
  const int width = rb.top() == ra.top() && rb.left() > ra.left() ? rb.left() - ra.left()
                                                                   : fontMetrics().averageCharWidth();
  return QRect(ra.left(), ra.top(), width, ra.height());
}

QRect COrv_SoFarEdit::WordRect(int n) const {
  const int first = m_model.WordFirst(n), len = m_model.WordLength(n);
  if (first < 0 || len <= 0) return {};
  QRect r;
  for (int p = first; p < first + len; ++p) r = r.united(CharRect(p));
  return r;
}

bool COrv_SoFarEdit::PointInText(QPoint p) const {
  QRect r;
  for (int pos = 0; pos < m_model.Size(); ++pos) r = r.united(CharRect(pos));
  return r.contains(p);
}

int COrv_SoFarEdit::WordAtPoint(QPoint p) const {
  if (!viewport()->rect().contains(p)) return -1;
  for (int n = 1; n <= m_model.WordCount(); ++n)
    if (WordRect(n).contains(p)) return n;
  return -1;
}

int COrv_SoFarEdit::CharAtPoint(QPoint p) const {
  int best = -1;
  double bestDistance = std::numeric_limits<double>::max();
  for (int pos = 0; pos < m_model.Size(); ++pos) {
    const QRect r = CharRect(pos);
    if (r.contains(p)) return pos;
    const QPointF d = QPointF(r.center()) - QPointF(p);
    const double distance = std::hypot(d.x(), d.y());
    if (distance < bestDistance) {
      bestDistance = distance;
      best = pos;
    }
  }
  return best;
}

// ---------------------------------------------------------------- keys

bool COrv_SoFarEdit::event(QEvent* e) {
  // Tab and Shift+Tab stay in the control while the learner types.
  if (e->type() == QEvent::KeyPress && GetMode() == Model::kLetterByLetter) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      keyPressEvent(k);
      return true;
    }
  }
  if (e->type() == QEvent::ShortcutOverride && GetMode() == Model::kLetterByLetter) {
    // Letters typed here are not shortcuts of the main window.
    auto* k = static_cast<QKeyEvent*>(e);
    if (!k->text().isEmpty() && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      e->accept();
      return true;
    }
  }
  return QTextEdit::event(e);
}

void COrv_SoFarEdit::afterKey(bool changed) {
  if (changed) Recolour();
  else placeCaret();
}

void COrv_SoFarEdit::typeText(const QString& text) {
  bool changed = false;
  for (char32_t c : text.toUcs4()) changed |= m_model.TypeChar(c);
  afterKey(changed);
}

void COrv_SoFarEdit::keyPressEvent(QKeyEvent* e) {
  if (GetMode() != Model::kLetterByLetter) {
    e->ignore();
    return;
  }
  e->accept();
  // Undo, paste and cut are no way into the text.
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return;
  switch (e->key()) {
    case Qt::Key_Tab: afterKey(m_model.PressKey(Model::kTab)); return;
    case Qt::Key_Backtab: afterKey(m_model.PressKey(Model::kDown)); return;
    case Qt::Key_Up: afterKey(m_model.PressKey(Model::kUp)); return;
    case Qt::Key_Down: afterKey(m_model.PressKey(Model::kDown)); return;
    case Qt::Key_Left: afterKey(m_model.PressKey(Model::kLeft)); return;
    case Qt::Key_Right: afterKey(m_model.PressKey(Model::kRight)); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: afterKey(m_model.PressKey(Model::kReturn)); return;
    case Qt::Key_Delete: afterKey(m_model.PressKey(Model::kDelete)); return;
    default: break;
  }
  const QString text = e->text();
  if (text.isEmpty()) return;  // a modifier or a function key
  typeText(text);
}

void COrv_SoFarEdit::inputMethodEvent(QInputMethodEvent* e) {
  // A composed character arrives as a commit; the pre-edit is not text.
  if (GetMode() == Model::kLetterByLetter && !e->commitString().isEmpty())
    typeText(e->commitString());
  e->accept();
}

// ---------------------------------------------------------------- mouse

void COrv_SoFarEdit::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;  // right clicks are swallowed
  if (GetMode() == Model::kLetterByLetter) {
    setFocus(Qt::MouseFocusReason);
    if (!PointInText(e->position().toPoint())) MoveCaretToLastSlot();
  }
}

void COrv_SoFarEdit::mouseDoubleClickEvent(QMouseEvent*) {}
void COrv_SoFarEdit::contextMenuEvent(QContextMenuEvent* e) { e->accept(); }
void COrv_SoFarEdit::dragEnterEvent(QDragEnterEvent* e) { e->ignore(); }
void COrv_SoFarEdit::dropEvent(QDropEvent* e) { e->ignore(); }

void COrv_SoFarEdit::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) leftClick(e->position().toPoint(), e->modifiers());
}

void COrv_SoFarEdit::leftClick(QPoint p, Qt::KeyboardModifiers mods) {
  if (!m_doc) return;
  const int word = WordAtPoint(p);
  const std::uint32_t status = word > 0 ? m_model.WordStatus(word) : 0;
  switch (GetMode()) {
    case Model::kDictionary:
      if (word > 0 && (status & Model::kHasDefinition)) m_doc->ShowDictionaryDefinition(word);
      return;
    case Model::kGrammar:
      if (word > 0 && (status & Model::kHasLinks) && (status & 1)) {
        grammarMenu(word);
        return;
      }
      if (word < 0 && !PointInText(p)) {
        // The grammar browser's go-to menu.
        const int state = m_doc->GoToMenuState();
        std::vector<std::string> entries;
        std::vector<int> which;
        const COrv_Language language;
        if (state & orv::TextPaneDocument::kGoToIndex) {
          entries.push_back(language.LoadString(20048));
          which.push_back(orv::TextPaneDocument::kGoToIndex);
        }
        if (state & orv::TextPaneDocument::kGoToCurrentPage) {
          entries.push_back(language.LoadString(20049));
          which.push_back(orv::TextPaneDocument::kGoToCurrentPage);
        }
        if (entries.empty()) return;
        const int chosen = m_menu ? m_menu(entries, viewport()->mapToGlobal(p)) : 0;
        if (chosen >= 1 && chosen <= static_cast<int>(which.size()))
          m_doc->GoToGrammar(which[static_cast<std::size_t>(chosen - 1)]);
      }
      return;
    case Model::kLazy:
    case Model::kLazyAlt:
      m_model.ClickWordLazy(word, mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
      return;
    case Model::kLetterByLetter:
      if (m_model.HasEditable() && PointInText(p)) {
        const int slot = m_model.NearestSlot(CharAtPoint(p));
        if (slot >= 0) {
          m_model.SetCaret(slot);
          placeCaret();
        }
      }
      return;
    default:
      return;
  }
}

void COrv_SoFarEdit::grammarMenu(int word) {
  std::vector<std::string> titles;
  if (m_doc->GetGrammarTitles(word, titles) < 1 || titles.empty()) return;
  // One command per title, 1324 to 1424: the rest cannot be chosen.
  if (titles.size() > static_cast<std::size_t>(Model::kMaxGrammarTitles))
    titles.resize(static_cast<std::size_t>(Model::kMaxGrammarTitles));
  m_grammarWord = word;
  const QRect r = WordRect(word);
  const int chosen = m_menu ? m_menu(titles, viewport()->mapToGlobal(r.bottomLeft())) : 0;
  const int remembered = m_grammarWord;
  m_grammarWord = 0;
  if (chosen >= 1 && chosen <= static_cast<int>(titles.size()))
    m_doc->ShowGrammarPage(remembered, chosen);
}

int COrv_SoFarEdit::CursorAt(QPoint p) const {
  const int word = WordAtPoint(p);
  const std::uint32_t status = word > 0 ? m_model.WordStatus(word) : 0;
  switch (GetMode()) {
    case Model::kDictionary:
      return word > 0 && (status & Model::kHasDefinition) ? 182 : 183;
    case Model::kGrammar:
      return word > 0 && (status & Model::kHasLinks) && (status & 1) ? 184 : 187;
    case Model::kLazy:
    case Model::kLazyAlt:
      if (word > 0 && m_model.HasWork(word)) return m_model.GetRevealFlag() ? 186 : 185;
      return 183;
    case Model::kGrammarUnavailable:
      return 182;
    default:
      return 183;
  }
}

void COrv_SoFarEdit::updateCursorShape(QPoint p) {
  const int id = CursorAt(p);
  if (id == m_cursorId) return;
  m_cursorId = id;
  if (GetMode() == Model::kLetterByLetter) viewport()->setCursor(Qt::IBeamCursor);
  else viewport()->setCursor(orv::views::PaneCursor(id));
}

void COrv_SoFarEdit::mouseMoveEvent(QMouseEvent* e) { updateCursorShape(e->position().toPoint()); }
