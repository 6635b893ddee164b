#pragma once
// COrv_TextPaneFactory: the panes of a Talvane window, as the child frame
// asks for them: the book text, the so-far pane and the scratch pad, each
// joined to the window's document and filled from it at once, and the
// strip of Echomark cells, whose clicks go to the main window's move to an
// Echomark.

#include <functional>

#include "player/shell/child_view_factory.h"

class COrv_TextPaneFactory : public COrv_ChildViewFactory {
 public:
  // The main window's move to Echomark n from the control `sourceId`.
  using GoToQuote = std::function<void(int n, int sourceId)>;

  explicit COrv_TextPaneFactory(GoToQuote goToQuote = {}) : m_goToQuote(std::move(goToQuote)) {}

  QWidget* CreateRichView(QWidget* parent, const CCreateContext& context) override;
  QWidget* CreateSoFarView(QWidget* parent, const CCreateContext& context) override;
  QWidget* CreateScratchPadView(QWidget* parent, const CCreateContext& context) override;
  std::unique_ptr<COrv_QuoteStrip> CreateQuoteStrip() override;

 private:
  GoToQuote m_goToQuote;
};
