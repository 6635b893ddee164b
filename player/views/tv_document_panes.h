#pragma once
// TvDocumentPanes: what a text pane takes from and asks of the real
// Talvane document. It also joins the pane to the document's views for as
// long as it lives, so that the document's refreshes reach it.

#include "player/views/text_pane_document.h"

class COrv_TvDocument;
class TvDocumentView;

namespace orv::views {

class TvDocumentPanes : public TextPaneDocument {
 public:
  // `view` (may be null) is added to the document's views now and removed
  // again when this goes. Neither is owned.
  TvDocumentPanes(COrv_TvDocument& doc, TvDocumentView* view);
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
  BookTextState GetBookText() const override;
  unsigned GetCurrentQuote() const override;
  std::string GetUserText() const override;
  bool CheckUserText(const std::string& text, bool feedback) override;
  COrv_TextFormat GetTextFormat(int record) const override;

 private:
  COrv_TvDocument& m_doc;
  TvDocumentView* m_view;
};

}  // namespace orv::views
