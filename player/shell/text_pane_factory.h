#pragma once
// COrv_TextPaneFactory: the panes of a Talvane window, as the child frame
// asks for them: the book text, the so-far pane and the scratch pad, each
// joined to the window's document and filled from it at once, and the
// strip of Echomark cells. What the panes ask of the main window (the move
// to an Echomark from a strip click, the grammar browser's go-to menu)
// comes in as calls.

#include <functional>

#include "player/shell/child_view_factory.h"

class COrv_TextPaneFactory : public COrv_ChildViewFactory {
 public:
  // The main window's move to Echomark n from the control `sourceId`.
  using GoToQuote = std::function<void(int n, int sourceId)>;

  // The go-to menu's entries that can be followed now (1 the grammar
  // index, 2 the browser's current page), and following one.
  using GoToMenuState = std::function<int()>;
  using GoToGrammar = std::function<bool(int entry)>;

  explicit COrv_TextPaneFactory(GoToQuote goToQuote = {}, GoToMenuState goToMenuState = {},
                                GoToGrammar goToGrammar = {})
      : m_goToQuote(std::move(goToQuote)),
        m_goToMenuState(std::move(goToMenuState)),
        m_goToGrammar(std::move(goToGrammar)) {}

  QWidget* CreateRichView(QWidget* parent, const CCreateContext& context) override;
  QWidget* CreateSoFarView(QWidget* parent, const CCreateContext& context) override;
  QWidget* CreateScratchPadView(QWidget* parent, const CCreateContext& context) override;
  std::unique_ptr<COrv_QuoteStrip> CreateQuoteStrip() override;

 private:
  GoToQuote m_goToQuote;
  GoToMenuState m_goToMenuState;
  GoToGrammar m_goToGrammar;
};
