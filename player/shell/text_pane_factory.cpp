#include "player/shell/text_pane_factory.h"

#include "player/book/tv_document.h"
#include "player/views/frm_rich_view.h"
#include "player/views/frm_sc_pad.h"
#include "player/views/frm_so_far.h"
#include "player/views/quote_scroll.h"
#include "player/views/tv_document_panes.h"

using orv::views::TvDocumentPanes;

QWidget* COrv_TextPaneFactory::CreateRichView(QWidget* parent, const CCreateContext& context) {
  auto* pane = new COrv_FrmRichView(parent);
  if (COrv_TvDocument* doc = context.m_pCurrentDoc) {
    pane->AdoptDocument(std::make_unique<TvDocumentPanes>(*doc, pane));
    pane->BuildText();
    pane->ScrollToQuote(doc->GetCurrentQuote());
  }
  return pane;
}

QWidget* COrv_TextPaneFactory::CreateSoFarView(QWidget* parent, const CCreateContext& context) {
  auto* pane = new COrv_Frm_SoFar(parent);
  if (COrv_TvDocument* doc = context.m_pCurrentDoc) {
    pane->AdoptDocument(std::make_unique<TvDocumentPanes>(
        *doc, pane, TvDocumentPanes::GoToMenu{m_goToMenuState, m_goToGrammar}));
    pane->Refresh();
  }
  return pane;
}

QWidget* COrv_TextPaneFactory::CreateScratchPadView(QWidget* parent, const CCreateContext& context) {
  auto* pane = new COrv_Frm_ScPad(parent);
  if (COrv_TvDocument* doc = context.m_pCurrentDoc) {
    pane->AdoptDocument(std::make_unique<TvDocumentPanes>(*doc, pane));
    pane->ApplyFormat(true);
  }
  return pane;
}

std::unique_ptr<COrv_QuoteStrip> COrv_TextPaneFactory::CreateQuoteStrip() {
  auto strip = std::make_unique<QuoteStripOf<COrv_QuoteScroll>>();
  if (m_goToQuote) strip->strip().SetGoToQuote(m_goToQuote);
  return strip;
}
