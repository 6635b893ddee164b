#pragma once
// COrv_Frm_ScPad: the scratch-pad pane of a Talvane window (below): its
// button and the typing control.

#include <QWidget>

#include <memory>

#include "player/book/tv_document_views.h"
#include "player/views/sc_pad_edit.h"
#include "player/views/view_ex_split_wnd.h"

class QToolButton;

class COrv_Frm_ScPad : public COrv_PatternView, public TvScratchPadView {
 public:
  static constexpr int kPicture = 293;
  static constexpr int kTooltip = 11102;

  explicit COrv_Frm_ScPad(QWidget* parent = nullptr);

  void SetDocument(orv::TextPaneDocument* doc) { m_edit->SetDocument(doc); }
  // Shows `doc` and keeps it for as long as the pane lives.
  void AdoptDocument(std::unique_ptr<orv::TextPaneDocument> doc) {
    SetDocument(doc.get());
    m_ownedDoc = std::move(doc);
  }
  COrv_ScPadEdit* Edit() { return m_edit; }
  QToolButton* Button() { return m_button; }

  void LoadButtonTexts() override;
  void ApplyFormat(bool reload) override { m_edit->ApplyFormat(reload); }

 private:
  COrv_ScPadEdit* m_edit = nullptr;
  QToolButton* m_button = nullptr;
  std::unique_ptr<orv::TextPaneDocument> m_ownedDoc;
};
