#pragma once
// COrv_Frm_SoFar: the so-far pane of a Talvane window (upper right): the
// mode buttons over the so-far control. The buttons set the control's mode
// (dictionary, grammar, lazy, letter by letter), run the spelling
// correction and open the Echomark's comment and introduction; their
// pressed look follows the current Echomark's status.

#include <QWidget>

#include <memory>

#include <map>

#include "player/book/tv_document_views.h"
#include "player/views/so_far_edit.h"
#include "player/views/text_pane_document.h"
#include "player/views/view_ex_split_wnd.h"

class QToolButton;

class COrv_Frm_SoFar : public COrv_PatternView, public TvSoFarView {
 public:
  // Commands of the pane's buttons.
  enum Command {
    kGrammarMode = 146,
    kDictionaryMode = 147,
    kLazyMode = 148,
    kLetterMode = 149,
    kSpelling = 150,
    kComment = 153,
    kIntroduction = 154,
    kResults = 218,
  };

  explicit COrv_Frm_SoFar(QWidget* parent = nullptr);

  void SetDocument(orv::TextPaneDocument* doc);
  // Shows `doc` and keeps it for as long as the pane lives.
  void AdoptDocument(std::unique_ptr<orv::TextPaneDocument> doc) {
    SetDocument(doc.get());
    m_ownedDoc = std::move(doc);
  }
  COrv_SoFarEdit* Edit() { return m_edit; }
  QToolButton* Button(int command) const;
  // Runs a command as its button would.
  void OnCommand(int command);

  // The document's refresh with flag 2.
  void UpdateButtonStates() override;
  void Refresh() override;
  void LoadButtonTexts() override;
  int GetMode() const override { return m_edit->GetMode(); }

 private:
  void pressModeButton(int command);
  void setMode(int command, int mode, bool recolour);

  COrv_SoFarEdit* m_edit = nullptr;
  orv::TextPaneDocument* m_doc = nullptr;
  std::map<int, QToolButton*> m_buttons;
  int m_pressedMode = kDictionaryMode;
  std::unique_ptr<orv::TextPaneDocument> m_ownedDoc;
};
