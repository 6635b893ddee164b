#pragma once
// COrv_QuoteScroll: the strip of Echomark cells in a Talvane window's index
// panel, a layer window. One numbered cell per Echomark is drawn from the
// first visible one on; a click on a cell makes it the current Echomark and
// asks the main frame to go there. The cell values are the Echomarks'
// status words (bit 0x1 visited, 0x2 solved), which colour the cells.
//
// Scrolling is bounded here: the first visible cell stays within 1 .. the
// number of cells (1 when there are none), so a caller can never scroll the
// strip to nothing. Whenever the current Echomark changes, and whenever the
// strip narrows, it scrolls so that the current cell is in view; the scroll
// buttons may still take it out of view.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win/win_types.h"

class COrv_QuoteScroll {
 public:
  // The main frame's move to Echomark n, with the strip's control id as
  // the source.
  using GoToQuote = std::function<void(int n, int sourceId)>;
  static constexpr int kCellWidth = 26;
  static constexpr plat::win::COLORREF kBackground = plat::win::RGB(252, 204, 36);
  static constexpr const char* kClassName = "TvQuoteScroll";

  COrv_QuoteScroll();
  COrv_QuoteScroll(const COrv_QuoteScroll&) = delete;
  COrv_QuoteScroll& operator=(const COrv_QuoteScroll&) = delete;
  virtual ~COrv_QuoteScroll();

  // The strip window (child and visible, empty caption) in `parent`.
  bool Create(const plat::win::RECT& rect, plat::win::HWND parent, int id = 0);
  plat::win::HWND GetSafeHwnd() const { return m_hwnd; }
  void SetGoToQuote(GoToQuote goTo) { m_goTo = std::move(goTo); }

  int GetCount() const { return static_cast<int>(m_cells.size()) - 1; }
  int GetFirstVisible() const { return m_first; }
  int GetCurrent() const { return m_current; }
  std::uint32_t GetCell(int n) const;

  void ScrollPrev() { scrollTo(m_first - 1); }
  void ScrollNext() { scrollTo(m_first + 1); }
  void PagePrev() { scrollTo(m_first - pageSize()); }
  void PageNext() { scrollTo(m_first + pageSize()); }
  void SetFirstVisible(int n) { scrollTo(n); }
  // False, changing nothing, unless 1 <= n <= the number of cells; else n
  // becomes current and the strip scrolls as little as it takes to show
  // it (no repaint of its own).
  bool SetCurrent(int n);
  // A copy of `cells` (entry 0 belongs to no Echomark) with n made
  // current; false for a missing array.
  bool SetItems(const std::vector<std::uint32_t>* cells, int n);
  bool UpdateItems(const std::vector<std::uint32_t>* cells);

  // The cell under a client point; 0 off the cells.
  int HitTest(int x, int y) const;
  // Cells that fit the client width (at least 1).
  int pageSize() const;

  static plat::win::LRESULT WindowProc(plat::win::HWND h, plat::win::UINT msg,
                                       plat::win::WPARAM w, plat::win::LPARAM l);

 private:
  plat::win::LRESULT message(plat::win::UINT msg, plat::win::WPARAM w, plat::win::LPARAM l);
  void scrollTo(int n);
  void keepCurrentInView();
  void replace(const std::vector<std::uint32_t>& cells);
  void repaint();
  void paint(plat::win::HDC dc);

  plat::win::HWND m_hwnd = nullptr;
  int m_first = 1;
  int m_current = 0;
  std::vector<std::uint32_t> m_cells{0};
  GoToQuote m_goTo;
};
