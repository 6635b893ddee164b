#pragma once
// TvDocumentPanes: what a text pane takes from and asks of the real
// Talvane document. It also joins the pane to the document's views for as
// long as it lives, so that the document's refreshes reach it.

#include <functional>

#include "player/views/text_pane_document.h"

class COrv_TvDocument;
class TvDocumentView;

namespace orv::views {

class TvDocumentPanes : public TextPaneDocument {
 public:
  // The main window's side of the so-far pane's go-to menu (see
  // TextPaneDocument::GoToMenuState); empty: the menu has no entries.
  struct GoToMenu {
    std::function<int()> state;
    std::function<bool(int entry)> follow;
  };

  // `view` (may be null) is added to the document's views now and removed
  // again when this goes. Neither is owned.
  TvDocumentPanes(COrv_TvDocument& doc, TvDocumentView* view, GoToMenu goToMenu = {});
  ~TvDocumentPanes() override;
  TvDocumentPanes(const TvDocumentPanes&) = delete;
  TvDocumentPanes& operator=(const TvDocumentPanes&) = delete;

  SoFarState GetSoFarState() const override;
  std::uint32_t GetCurrentStatus() const override;
  bool SetWordMark(int n, std::uint32_t mark, int flags) override;
  bool RecheckUserText(bool feedback) override;
  bool ShowDictionaryDefinition(int n) override;
  bool ShowIntroduction() override;
  bool ShowComment() override;
  int GetGrammarTitles(int n, std::vector<std::string>& titles) const override;
  bool ShowGrammarPage(int n, int k) override;
  int GoToMenuState() const override { return m_goTo.state ? m_goTo.state() : 0; }
  bool GoToGrammar(int entry) override { return m_goTo.follow && m_goTo.follow(entry); }
  BookTextState GetBookText() const override;
  unsigned GetCurrentQuote() const override;
  std::string GetUserText() const override;
  bool CheckUserText(const std::string& text, bool feedback) override;
  COrv_TextFormat GetTextFormat(int record) const override;

 private:
  COrv_TvDocument& m_doc;
  TvDocumentView* m_view;
  GoToMenu m_goTo;
};

}  // namespace orv::views
