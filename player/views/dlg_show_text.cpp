#include "player/views/dlg_show_text.h"

#include <QApplication>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "player/views/show_text.h"
#include "player/views/text_format_qt.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"

COrv_ShowText::COrv_ShowText(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

COrv_DlgShowText::COrv_DlgShowText(QWidget* parent)
    : QDialog(parent), m_skin(std::make_unique<COrv_SkinFrame>()) {
  auto* layout = new QVBoxLayout(this);
  // The text and its button keep clear of the frame's caption band and
  // bottom strip.
  layout->setContentsMargins(8, COrv_SkinFrame::kCaptionHeight + 4, 8, COrv_SkinFrame::kBottomStrip + 4);
  // The frame keeps its own minimum size, smaller than the layout's.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  m_edit = new COrv_ShowText(this);
  layout->addWidget(m_edit);
  // String 1 is the program's "Close".
  QString close = QString::fromStdString(COrv_Language().LoadString(1));
  auto* button = new QPushButton(close.isEmpty() ? QStringLiteral("Close") : close, this);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(button, 0, Qt::AlignRight);
  resize(420, 300);
  m_skin->Attach(this);
  m_skin->SetMinSize(kMinWidth, kMinHeight);
}

COrv_DlgShowText::~COrv_DlgShowText() = default;

void COrv_DlgShowText::FillDocument(QTextDocument& doc, const QString& text,
                                    const COrv_TextFormat& format, bool markup) {
  doc.clear();
  QTextCursor cursor(&doc);
  const QTextCharFormat base = orv::views::ToCharFormat(format.chars);
  cursor.setBlockFormat(orv::views::ToBlockFormat(format.para));
  cursor.setBlockCharFormat(base);
  auto span = [&](const COrv_CharFormat& look) {
    QTextCharFormat f = base;
    f.setFontWeight(QFont::Bold);
    f.setForeground(orv::views::ColourFromRef(look.colour));
    return f;
  };
  COrv_CharFormat red, green;
  red.colour = kSquareColour;
  green.colour = kAngleColour;
  const QTextCharFormat redFormat = span(red), greenFormat = span(green);

  qsizetype i = 0;
  while (i < text.size()) {
    const QChar c = text[i];
    const QChar close = c == u'[' ? u']' : c == u'<' ? u'>' : QChar();
    const qsizetype end = markup && !close.isNull() ? text.indexOf(close, i + 1) : -1;
    if (end >= 0) {
      cursor.insertText(text.mid(i, end - i + 1), c == u'[' ? redFormat : greenFormat);
      i = end + 1;
      continue;
    }
    // Plain text up to the next opening bracket.
    qsizetype next = i + 1;
    if (markup)
      while (next < text.size() && text[next] != u'[' && text[next] != u'<') ++next;
    else next = text.size();
    cursor.insertText(text.mid(i, next - i), base);
    i = next;
  }
  // Every paragraph takes the format's indents.
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    QTextCursor bc(b);
    bc.setBlockFormat(orv::views::ToBlockFormat(format.para));
  }
}

void COrv_DlgShowText::Populate() {
  setWindowTitle(QString::fromStdString(m_caption));
  m_skin->SetCaption(windowTitle());
  FillDocument(*m_edit->document(), QString::fromStdString(m_text), m_format, m_markup);
  m_edit->moveCursor(QTextCursor::Start);
}

int COrv_DlgShowText::DoModal() {
  Populate();
  m_edit->setFocus();
  return exec();
}

namespace orv::views {

void ModalTextDialog::ShowText(const TvTextDialogRequest& request) {
  COrv_DlgShowText dlg(QApplication::activeWindow());
  dlg.SetTextFormat(request.format);
  dlg.EnableMarkup(request.markup);
  dlg.m_caption = request.caption;
  dlg.m_text = request.text;
  dlg.m_dialogNumber = request.dialogNumber;
  dlg.DoModal();
}

}  // namespace orv::views
