#include "player/views/frm_rich_view.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "player/views/pane_pictures.h"
#include "player/views/text_format_qt.h"
#include "shared/language/orv_language.h"

COrv_RichViewEdit::COrv_RichViewEdit(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setFocusPolicy(Qt::NoFocus);
  viewport()->setCursor(Qt::ArrowCursor);
}

void COrv_RichViewEdit::keyPressEvent(QKeyEvent* e) { e->ignore(); }

namespace {

QToolButton* toggle(QWidget* parent, int picture) {
  auto* b = new QToolButton(parent);
  b->setIcon(orv::views::PaneIcon(picture));
  b->setIconSize(QSize(24, 24));
  b->setCheckable(true);
  b->setChecked(true);
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

COrv_FrmRichView::COrv_FrmRichView(QWidget* parent) : COrv_PatternView(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(1);
  m_label = new QToolButton(this);
  m_label->setIcon(orv::views::PaneIcon(kPicture));
  m_label->setIconSize(QSize(24, 24));
  m_label->setAutoRaise(true);
  m_label->setFocusPolicy(Qt::NoFocus);
  m_comments = toggle(this, 295);
  m_introductions = toggle(this, 296);
  connect(m_comments, &QToolButton::clicked, this, [this] { OnCommand(kToggleComments); });
  connect(m_introductions, &QToolButton::clicked, this, [this] { OnCommand(kToggleIntroductions); });
  bar->addWidget(m_label);
  bar->addWidget(m_comments);
  bar->addWidget(m_introductions);
  bar->addStretch(1);
  layout->addLayout(bar);
  m_edit = new COrv_RichViewEdit(this);
  layout->addWidget(m_edit, 1);
  LoadButtonTexts();
}

QToolButton* COrv_FrmRichView::Button(int command) const {
  return command == kToggleComments ? m_comments : command == kToggleIntroductions ? m_introductions : nullptr;
}

void COrv_FrmRichView::LoadButtonTexts() {
  const COrv_Language language;
  m_label->setIcon(orv::views::PaneIcon(kPicture));
  const QString comments = QString::fromStdString(language.LoadString(30));
  const QString intros = QString::fromStdString(language.LoadString(31));
  m_comments->setToolTip(comments);
  m_introductions->setToolTip(intros);
  m_label->setToolTip(QString::fromStdString(language.LoadString(11100)) + u'\n' + comments + u'\n' + intros);
}

void COrv_FrmRichView::OnCommand(int command) {
  if (command == kToggleComments) m_showComments = !m_showComments;
  else if (command == kToggleIntroductions) m_showIntroductions = !m_showIntroductions;
  else return;
  m_comments->setChecked(m_showComments);
  m_introductions->setChecked(m_showIntroductions);
  BuildText();
  if (m_doc) ScrollToQuote(m_doc->GetCurrentQuote());
}

void COrv_FrmRichView::BuildText() {
  if (!m_doc) return;
  const int scroll = m_edit->verticalScrollBar()->value();
  m_edit->setUpdatesEnabled(false);
  m_layout = orv::views::BuildRichText(m_doc->GetBookText(), m_showComments, m_showIntroductions,
                                       COrv_Language().LoadString(kPlaceholderString));
  QTextDocument* doc = m_edit->document();
  doc->clear();
  QTextCursor c(doc);
  for (const auto& run : m_layout.runs) {
    const COrv_TextFormat format = m_doc->GetTextFormat(run.record);
    const QTextCharFormat chars = orv::views::ToCharFormat(format.chars);
    const QTextBlockFormat block = orv::views::ToBlockFormat(format.para);
    QString text = QString::fromStdU32String(m_layout.text.substr(static_cast<std::size_t>(run.start),
                                                                  static_cast<std::size_t>(run.length)));
    // Line by line, so that each paragraph the run starts takes its format.
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) c.insertBlock(block, chars);
      else if (c.positionInBlock() == 0) c.setBlockFormat(block);
      c.insertText(lines[i], chars);
    }
  }
  m_edit->verticalScrollBar()->setValue(scroll);
  m_edit->setUpdatesEnabled(true);
}

int COrv_FrmRichView::ScrollToQuote(unsigned n) {
  if (n < 1 || n >= m_layout.starts.size()) return -1;
  const int pos = m_layout.starts[n][0];
  QTextCursor c(m_edit->document());
  c.setPosition(std::min(pos, m_edit->document()->characterCount() - 1));
  // The line holding the position becomes the first visible one.
  QScrollBar* bar = m_edit->verticalScrollBar();
  const QTextBlock block = c.block();
  const QTextLayout* layout = block.layout();
  const QRectF blockRect = m_edit->document()->documentLayout()->blockBoundingRect(block);
  const QTextLine line = layout ? layout->lineForTextPosition(c.positionInBlock()) : QTextLine();
  const double top = blockRect.top() + (line.isValid() ? line.y() : 0.0);
  bar->setValue(static_cast<int>(top));
  return pos;
}
