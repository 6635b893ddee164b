#pragma once
// COrv_QuoteIndexPanel: the bar along the bottom of a Talvane window that
// shows the book's Echomarks as a strip of cells (row 5, id 222) between two
// scroll buttons on each side: 1013 a strip width back, 1015 one cell back,
// 1014 one cell forward, 1016 a strip width forward. Built on the panels'
// row scheme, laid out side by side.
//
// The strip is made by the factory the panel is given (the text views'
// strip in the program); without one, or when it cannot be made, the strip
// operations answer 0 or FALSE and do nothing.

#include <functional>
#include <memory>

#include "player/shell/panels.h"
#include "player/shell/quote_strip.h"

class COrv_QuoteIndexPanel : public COrv_Panel {
 public:
  static constexpr int kTemplate = 217;
  static constexpr int kBarId = 223;
  static constexpr int kStripId = 222;
  static constexpr int kScrollFastBack = 1013;
  static constexpr int kScrollForward = 1014;
  static constexpr int kScrollBack = 1015;
  static constexpr int kScrollFastForward = 1016;
  // Layout flags of GetButtonRect.
  static constexpr int kCentreVertically = 2;
  static constexpr int kCentreRow = 4;
  // The template's 18 dialog units in the default dialog font.
  static constexpr int kHeight = 29;
  // Cells shown until the document's first fill.
  static constexpr int kPlaceholderCells = 22;

  using StripFactory = std::function<std::unique_ptr<COrv_QuoteStrip>()>;
  explicit COrv_QuoteIndexPanel(StripFactory stripFactory = {});
  ~COrv_QuoteIndexPanel() override;

  plat::win::SIZE PanelSize() const override;
  // Side by side from the left; flag 4 centres the whole row across, flag 2
  // centres the control vertically.
  plat::win::RECT GetButtonRect(int id, int flags) const;

  // The strip, or null when there is none.
  COrv_QuoteStrip* Strip() const { return strip_.get(); }
  int GetQuoteCount() const;
  int GetFirstVisible() const;
  void SetFirstVisible(int n);
  // FALSE, changing nothing, unless 1 <= n <= the number of cells; with
  // `redraw` the strip is repainted at once.
  plat::win::BOOL SelectQuote(int n, bool redraw);
  plat::win::BOOL UpdateItems(const std::vector<std::uint32_t>& status);
  plat::win::BOOL SetItems(const std::vector<std::uint32_t>& status);
  void ScrollBack();
  void ScrollFastBack();
  void ScrollForward();
  void ScrollFastForward();
  // Whether scroll command `id` (1013 to 1016) can be carried out now.
  bool ScrollEnabled(int id) const;
  // What context help a point asks for: 0x10000 + 217 on the panel's own
  // background, 0 on a control or outside.
  int HelpHitTest(plat::win::POINT clientPoint) const override;

 protected:
  bool OnInitDialog() override;
  plat::win::RECT buttonRect(int id) const override { return GetButtonRect(id, kCentreVertically | 1); }
  void destroyControls() override;

 private:
  void redrawStrip();
  StripFactory stripFactory_;
  std::unique_ptr<COrv_QuoteStrip> strip_;
};
