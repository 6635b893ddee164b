#pragma once
// COrv_FrmRichView: the book-text pane of a Talvane window (upper left). It
// shows the whole book Echomark by Echomark (see rich_text_layout.h) in a
// read-only control the learner cannot select in or edit, with two toggle
// buttons for the comments and the introductions.

#include <QTextEdit>
#include <QWidget>

#include <memory>

#include "player/book/tv_document_views.h"
#include "player/views/rich_text_layout.h"
#include "player/views/text_pane_document.h"
#include "player/views/view_ex_split_wnd.h"

class QToolButton;

// The pane's text control: every mouse, focus and cursor message is
// swallowed.
class COrv_RichViewEdit : public QTextEdit {
 public:
  explicit COrv_RichViewEdit(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent*) override {}
  void mouseReleaseEvent(QMouseEvent*) override {}
  void mouseDoubleClickEvent(QMouseEvent*) override {}
  void mouseMoveEvent(QMouseEvent*) override {}
  void contextMenuEvent(QContextMenuEvent*) override {}
  void keyPressEvent(QKeyEvent* e) override;
};

class COrv_FrmRichView : public COrv_PatternView, public TvRichTextView {
 public:
  enum Command { kToggleComments = 132, kToggleIntroductions = 133 };
  static constexpr int kPicture = 294;
  static constexpr int kPlaceholderString = 20044;

  explicit COrv_FrmRichView(QWidget* parent = nullptr);

  void SetDocument(orv::TextPaneDocument* doc) { m_doc = doc; }
  // Shows `doc` and keeps it for as long as the pane lives.
  void AdoptDocument(std::unique_ptr<orv::TextPaneDocument> doc) {
    SetDocument(doc.get());
    m_ownedDoc = std::move(doc);
  }
  COrv_RichViewEdit* Edit() { return m_edit; }
  QToolButton* Button(int command) const;
  void OnCommand(int command);
  bool ShowComments() const { return m_showComments; }
  bool ShowIntroductions() const { return m_showIntroductions; }
  const orv::views::RichTextLayout& Layout() const { return m_layout; }

  void BuildText() override;
  int ScrollToQuote(unsigned n) override;
  void LoadButtonTexts() override;

 private:
  orv::TextPaneDocument* m_doc = nullptr;
  COrv_RichViewEdit* m_edit = nullptr;
  QToolButton* m_comments = nullptr;
  QToolButton* m_introductions = nullptr;
  QToolButton* m_label = nullptr;
  bool m_showComments = true;
  bool m_showIntroductions = true;
  orv::views::RichTextLayout m_layout;
  std::unique_ptr<orv::TextPaneDocument> m_ownedDoc;
};
