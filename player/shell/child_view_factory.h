#pragma once
// How a Talvane window gets its panes. The child frame does not know the
// pane classes: it asks this factory, which the text views fill, for the
// book-text view (upper left), the so-far view (upper right), the scratch
// pad (below, the document template's view) and the strip of Echomark cells
// of its index panel. Each pane is a new widget with the given parent; null
// means it cannot be made, and the window then fails to open.

#include <memory>

#include "player/shell/quote_strip.h"

class COrv_TvDocument;
class QWidget;

// What the template hands to the views it creates: the document they show.
struct CCreateContext {
  COrv_TvDocument* m_pCurrentDoc = nullptr;
};

class COrv_ChildViewFactory {
 public:
  virtual ~COrv_ChildViewFactory() = default;
  virtual QWidget* CreateRichView(QWidget* parent, const CCreateContext& context) = 0;
  virtual QWidget* CreateSoFarView(QWidget* parent, const CCreateContext& context) = 0;
  virtual QWidget* CreateScratchPadView(QWidget* parent, const CCreateContext& context) = 0;
  // The strip of the index panel; null leaves the panel without one.
  virtual std::unique_ptr<COrv_QuoteStrip> CreateQuoteStrip() = 0;
};
