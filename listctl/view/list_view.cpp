// Layout, scrolling and painting of the list control. See list_view.h.
#include "listctl/view/list_view.h"

#include <algorithm>
#include <string>

#include "listctl/core/dispatch.h"
#include "listctl/core/messages.h"
#include "listctl/props/view_model.h"
#include "listctl/store/store.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

namespace lindra::view {

namespace pw = plat::win;

namespace {

// Property ids the view reads.
constexpr int kHeaderHeight = 57, kHeaderShow = 58, kScrollBarV = 130, kScrollBarH = 167,
              kSelDrawFocusRect = 48, kGroupHeaderHeight = 218, kGroupHeaderShow = 219,
              kColumnHeaderHeight = 230, kListGrayAreaColor = 208;
constexpr int kCellPadding = 2;

int textHeight(const LbxInstance* inst) { return std::max(inst->rowHeight, 1); }

// A bar is shown by its mode (0 Show, 1 Show When Needed, 2 Show Disabled,
// 3 Hide) when the list asked for it.
bool barShown(const LbxInstance* inst, std::uint32_t styleBit, int mode, bool needed) {
  if (!(inst->scrollStyle & styleBit) || mode == 3) return false;
  return mode != 1 || needed;
}

// Heights of the rows from `from` while they fit in `room`, walking up or down.
int fitting(LbxInstance* inst, int from, int step, int room, bool partial) {
  int n = 0;
  for (int i = from; i >= 0 && i < inst->itemCount; i += step) {
    const int h = rowHeightOf(inst, i);
    if (h > room && !(partial && room > 0)) break;
    room -= h;
    ++n;
    if (room <= 0) break;
  }
  return n;
}

void layoutColumns(LbxInstance* inst, Geometry* g) {
  const std::vector<ViewColumn> cols = viewColumns(inst);
  const int width = std::max(0, static_cast<int>(g->rows.right - g->rows.left));
  int fixed = 0, autos = 0;
  for (const ViewColumn& c : cols) {
    if (c.hidden) continue;
    if (c.width > 0) fixed += c.width;
    else ++autos;
  }
  // Columns without a width share what the others leave, at least a few
  // characters each.
  const int minAuto = std::max(1, inst->columnWidth) * 4;
  const int share = autos ? std::max(minAuto, (width - fixed) / autos) : 0;
  g->columns.clear();
  int x = 0;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].hidden) continue;
    Span s;
    s.x = x;
    s.width = cols[i].width > 0 ? cols[i].width : share;
    s.index = static_cast<int>(i);
    s.group = cols[i].parentGroup;
    x += s.width;
    g->columns.push_back(s);
  }
  g->contentWidth = cols.empty() ? std::max(inst->horzExtent, 0) : x;

  // A group spans the columns that name it.
  g->groups.clear();
  const std::vector<ViewGroup> groups = viewGroups(inst);
  for (std::size_t gi = 0; gi < groups.size(); ++gi) {
    if (groups[gi].hidden) continue;
    int left = -1, right = -1;
    for (const Span& c : g->columns)
      if (c.group == static_cast<int>(gi)) {
        if (left < 0) left = c.x;
        right = c.x + c.width;
      }
    if (left < 0) continue;
    g->groups.push_back(Span{left, right - left, static_cast<int>(gi), -1});
  }
}

}  // namespace

int rowHeightOf(const LbxInstance* inst, int row) {
  const int own = lbxRowHeight(inst, row);
  return own >= 0 ? own : textHeight(inst);
}

Geometry geometry(LbxInstance* inst) {
  Geometry g;
  if (inst->hwnd) pw::GetClientRect(inst->hwnd, &g.client);
  g.barWidth = pw::GetSystemMetrics(pw::SM_CXVSCROLL);
  g.barHeight = pw::GetSystemMetrics(pw::SM_CYHSCROLL);

  // The header: a column row, and a group row above it when groups are in use.
  if (viewValue(inst, kHeaderShow)) {
    const int colRow = viewValue(inst, kColumnHeaderHeight) >= 0   ? viewValue(inst, kColumnHeaderHeight)
                       : viewValue(inst, kHeaderHeight) >= 0 ? viewValue(inst, kHeaderHeight)
                                                              : textHeight(inst) + 4;
    g.columnRowHeight = colRow;
  }
  g.rows = g.client;
  g.rows.top = std::min<pw::LONG>(g.client.bottom, g.client.top + g.columnRowHeight);
  layoutColumns(inst, &g);
  if (g.columnRowHeight && (!g.groups.empty() || viewValue(inst, kGroupHeaderShow))) {
    g.groupRowHeight = viewValue(inst, kGroupHeaderHeight) >= 0 ? viewValue(inst, kGroupHeaderHeight)
                                                                : textHeight(inst) + 4;
    g.rows.top = std::min<pw::LONG>(g.client.bottom, g.client.top + g.headerHeight());
  }

  // The bars: each one's need depends on the room the other leaves.
  const int modeV = viewValue(inst, kScrollBarV), modeH = viewValue(inst, kScrollBarH);
  // The rows area and the columns in it for the bars as they stand.
  auto fitRows = [&] {
    pw::RECT r = g.client;
    r.top = g.rows.top;
    if (g.vBar) r.right = std::max(r.left, r.right - g.barWidth);
    if (g.hBar) r.bottom = std::max(r.top, r.bottom - g.barHeight);
    g.rows = r;
    layoutColumns(inst, &g);
    return r;
  };
  for (int pass = 0; pass < 2; ++pass) {
    const pw::RECT r = fitRows();
    const int room = static_cast<int>(r.bottom - r.top);
    const bool needV = inst->itemCount > 0 && fitting(inst, inst->itemCount - 1, -1, room, false) < inst->itemCount;
    const bool needH = g.contentWidth > r.right - r.left;
    g.vBar = barShown(inst, pw::WS_VSCROLL, modeV, needV);
    g.hBar = barShown(inst, pw::WS_HSCROLL, modeH, needH);
  }
  fitRows();
  return g;
}

int rowAt(LbxInstance* inst, const Geometry& g, int y) {
  if (y < g.rows.top || y >= g.rows.bottom) return -1;
  int top = g.rows.top;
  for (int i = std::max(inst->topIndex, 0); i < inst->itemCount && top < g.rows.bottom; ++i) {
    const int h = rowHeightOf(inst, i);
    if (y < top + h) return i;
    top += h;
  }
  return -1;
}

int rowsFrom(LbxInstance* inst, const Geometry& g, int top, bool partial) {
  return fitting(inst, std::max(top, 0), 1, static_cast<int>(g.rows.bottom - g.rows.top), partial);
}

int maxTop(LbxInstance* inst, const Geometry& g) {
  if (inst->itemCount <= 0) return 0;
  const int n = fitting(inst, inst->itemCount - 1, -1, static_cast<int>(g.rows.bottom - g.rows.top), false);
  return std::max(0, inst->itemCount - std::max(n, 1));
}

bool itemRect(LbxInstance* inst, int row, pw::RECT* r) {
  if (row < 0 || row >= inst->itemCount) return false;
  const Geometry g = geometry(inst);
  int y = g.rows.top;
  // Rows above the top lie above the rows area, as the list box reports them.
  if (row >= inst->topIndex)
    for (int i = inst->topIndex; i < row; ++i) y += rowHeightOf(inst, i);
  else
    for (int i = row; i < inst->topIndex; ++i) y -= rowHeightOf(inst, i);
  r->left = g.rows.left;
  r->right = g.rows.right;
  r->top = y;
  r->bottom = y + rowHeightOf(inst, row);
  return true;
}

// ---- scrolling

void layoutBars(LbxInstance* inst) {
  if (!inst->hwnd) return;
  const Geometry g = geometry(inst);
  const int top = std::clamp(inst->topIndex, 0, maxTop(inst, g));
  if (top != inst->topIndex) {
    inst->topIndex = top;
    pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
  }
  const int width = static_cast<int>(g.rows.right - g.rows.left);
  const int xMax = std::max(0, g.contentWidth - width);
  if (inst->xOffset > xMax || inst->xOffset < 0) {
    inst->xOffset = std::clamp(inst->xOffset, 0, xMax);
    pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
  }
  inst->headerHeight = g.headerHeight();
  if (g.vBar != inst->vBarShown || g.hBar != inst->hBarShown) pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
  inst->vBarShown = g.vBar;
  inst->hBarShown = g.hBar;

  const UINT hide = pw::SWP_NOZORDER | pw::SWP_NOACTIVATE | pw::SWP_HIDEWINDOW;
  const UINT show = pw::SWP_NOZORDER | pw::SWP_NOACTIVATE | pw::SWP_SHOWWINDOW;
  if (inst->vScroll) {
    if (g.vBar) {
      pw::SetWindowPos(inst->vScroll, nullptr, g.rows.right, g.client.top, g.barWidth,
                       g.rows.bottom - g.client.top, show);
      pw::SCROLLINFO si;
      si.fMask = pw::SIF_ALL;
      si.nMin = 0;
      si.nMax = std::max(0, inst->itemCount - 1);
      // The page makes the bar's last position the last top index.
      si.nPage = static_cast<UINT>(std::max(1, inst->itemCount - maxTop(inst, g)));
      si.nPos = inst->topIndex;
      pw::SetScrollInfo(inst->vScroll, pw::SB_CTL, &si, pw::TRUE);
      pw::EnableScrollBar(inst->vScroll, pw::SB_CTL, maxTop(inst, g) > 0 ? pw::ESB_ENABLE_BOTH : pw::ESB_DISABLE_BOTH);
    } else {
      pw::SetWindowPos(inst->vScroll, nullptr, 0, 0, 0, 0, hide);
    }
  }
  if (inst->hScroll) {
    if (g.hBar) {
      pw::SetWindowPos(inst->hScroll, nullptr, g.client.left, g.rows.bottom, g.rows.right - g.client.left,
                       g.barHeight, show);
      pw::SCROLLINFO si;
      si.fMask = pw::SIF_ALL;
      si.nMin = 0;
      si.nMax = std::max(0, g.contentWidth - 1);
      si.nPage = static_cast<UINT>(std::max(1, width));
      si.nPos = inst->xOffset;
      pw::SetScrollInfo(inst->hScroll, pw::SB_CTL, &si, pw::TRUE);
    } else {
      pw::SetWindowPos(inst->hScroll, nullptr, 0, 0, 0, 0, hide);
    }
  }
}

void setTop(LbxInstance* inst, int top) {
  const Geometry g = geometry(inst);
  top = std::clamp(top, 0, maxTop(inst, g));
  if (top == inst->topIndex) return;
  inst->topIndex = top;
  if (inst->hwnd) {
    if (!(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(inst->hwnd, nullptr, pw::FALSE);
    if (inst->vScroll && g.vBar) pw::SetScrollPos(inst->vScroll, pw::SB_CTL, top, pw::TRUE);
    hideTip(inst);
  }
}

void setXOffset(LbxInstance* inst, int x) {
  const Geometry g = geometry(inst);
  x = std::clamp(x, 0, std::max(0, g.contentWidth - static_cast<int>(g.rows.right - g.rows.left)));
  if (x == inst->xOffset) return;
  inst->xOffset = x;
  if (inst->hwnd) {
    pw::InvalidateRect(inst->hwnd, nullptr, pw::FALSE);
    if (inst->hScroll && g.hBar) pw::SetScrollPos(inst->hScroll, pw::SB_CTL, x, pw::TRUE);
  }
}

void ensureVisible(LbxInstance* inst, int row) {
  if (row < 0 || row >= inst->itemCount) return;
  if (row < inst->topIndex) {
    setTop(inst, row);
    return;
  }
  const Geometry g = geometry(inst);
  const int shown = rowsFrom(inst, g, inst->topIndex, false);
  if (row < inst->topIndex + std::max(shown, 1)) return;
  // The row becomes the last one that fits.
  const int above = fitting(inst, row, -1, static_cast<int>(g.rows.bottom - g.rows.top), false);
  setTop(inst, row - std::max(above, 1) + 1);
}

void scroll(LbxInstance* inst, bool vertical, int code, int thumb) {
  const Geometry g = geometry(inst);
  if (vertical) {
    const int page = std::max(1, rowsFrom(inst, g, inst->topIndex, false) - 1);
    int top = inst->topIndex;
    switch (code) {
      case pw::SB_LINEUP: --top; break;
      case pw::SB_LINEDOWN: ++top; break;
      case pw::SB_PAGEUP: top -= page; break;
      case pw::SB_PAGEDOWN: top += page; break;
      case pw::SB_THUMBTRACK: case pw::SB_THUMBPOSITION: top = thumb; break;
      case pw::SB_TOP: top = 0; break;
      case pw::SB_BOTTOM: top = inst->itemCount; break;
      default: return;
    }
    setTop(inst, top);
    return;
  }
  const int line = std::max(1, inst->columnWidth);
  const int page = std::max(line, static_cast<int>(g.rows.right - g.rows.left) - line);
  int x = inst->xOffset;
  switch (code) {
    case pw::SB_LINELEFT: x -= line; break;
    case pw::SB_LINERIGHT: x += line; break;
    case pw::SB_PAGELEFT: x -= page; break;
    case pw::SB_PAGERIGHT: x += page; break;
    case pw::SB_THUMBTRACK: case pw::SB_THUMBPOSITION: x = thumb; break;
    case pw::SB_LEFT: x = 0; break;
    case pw::SB_RIGHT: x = g.contentWidth; break;
    default: return;
  }
  setXOffset(inst, x);
}

// ---- painting

namespace {

void fillColour(pw::HDC dc, const pw::RECT& r, std::uint32_t ref) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  pw::HBRUSH b = pw::CreateSolidBrush(pw::TranslateColor(ref));
  pw::FillRect(dc, &r, b);
  pw::DeleteObject(b);
}

// `width` rings inside `r`: top and left in `topLeft`, bottom and right in
// `bottomRight`; `r` shrinks by them.
template <class Fill>
void rings(pw::RECT* r, int width, std::uint32_t topLeft, std::uint32_t bottomRight, Fill fill) {
  for (int i = 0; i < width && r->right > r->left && r->bottom > r->top; ++i) {
    fill(pw::RECT{r->left, r->top, r->right, r->top + 1}, topLeft);
    fill(pw::RECT{r->left, r->top + 1, r->left + 1, r->bottom}, topLeft);
    fill(pw::RECT{r->left + 1, r->bottom - 1, r->right, r->bottom}, bottomRight);
    fill(pw::RECT{r->right - 1, r->top + 1, r->right, r->bottom - 1}, bottomRight);
    pw::InflateRect(r, -1, -1);
  }
}

// The top of a line of text `lineHeight` high placed in `cell` by the
// vertical alignment (0 top, 1 centre, 2 bottom), below the room kept for
// accents; `fits` tells whether the line lies inside the cell (else the
// line is centred, top or bottom, as the cell allows).
int lineTop(const pw::RECT& cell, int alignV, int lineHeight, int accentRoom, bool* fits) {
  const int top = static_cast<int>(cell.top), bottom = static_cast<int>(cell.bottom);
  int y = top + accentRoom + (bottom - top - accentRoom - lineHeight) / 2;
  if (alignV == 0) y = top + accentRoom;
  if (alignV == 2) y = bottom - lineHeight;
  *fits = y >= top && y + lineHeight <= bottom;
  if (*fits) return y;
  return alignV == 0 ? top : alignV == 2 ? bottom - lineHeight : top + (bottom - top - lineHeight) / 2;
}

class Painter {
 public:
  // `accentRoom`: pixels kept above each line of text for the accents.
  Painter(pw::HDC dc, int accentRoom) : dc_(dc), accentRoom_(accentRoom) {}
  // Takes the line height of the font selected into the DC now.
  int measure() {
    pw::TEXTMETRIC tm;
    pw::GetTextMetrics(dc_, &tm);
    lineHeight_ = static_cast<int>(tm.tmHeight);
    return lineHeight_;
  }
  ~Painter() {
    for (auto& [colour, brush] : brushes_) pw::DeleteObject(brush);
  }
  pw::HBRUSH brush(std::uint32_t ref) {
    const pw::COLORREF c = pw::TranslateColor(ref);
    for (auto& [colour, b] : brushes_)
      if (colour == c) return b;
    pw::HBRUSH b = pw::CreateSolidBrush(c);
    brushes_.emplace_back(c, b);
    return b;
  }
  void fill(const pw::RECT& r, std::uint32_t ref) {
    if (r.right > r.left && r.bottom > r.top) pw::FillRect(dc_, &r, brush(ref));
  }
  void ring(pw::RECT r, int width, std::uint32_t topLeft, std::uint32_t bottomRight) {
    rings(&r, width, topLeft, bottomRight, [this](const pw::RECT& band, std::uint32_t c) { fill(band, c); });
  }
  // Text in a cell: placed by the look's alignments, with its 3-D relief
  // (a copy in the light or dark colour shifted by the offset) under it.
  void text(const std::string& s, pw::RECT r, const ViewLook& look, bool ellipsis) {
    if (s.empty()) return;
    r.left += kCellPadding;
    r.right -= kCellPadding;
    UINT fmt = pw::DT_SINGLELINE | pw::DT_NOPREFIX | (ellipsis ? pw::DT_END_ELLIPSIS : 0u);
    // The line is placed here and drawn at the bottom of a rectangle that
    // ends with it, so that accents above it stay inside the cell's clip.
    bool fits = false;
    const int y = lineTop(r, look.alignV, lineHeight_, accentRoom_, &fits);
    if (fits) {
      r.bottom = y + lineHeight_;
      fmt |= pw::DT_BOTTOM;
    } else {
      fmt |= look.alignV == 0 ? pw::DT_TOP : look.alignV == 2 ? pw::DT_BOTTOM : pw::DT_VCENTER;
    }
    if (look.alignH == 1) fmt |= pw::DT_CENTER;
    if (look.alignH == 2) fmt |= pw::DT_RIGHT;
    auto draw = [&](std::uint32_t colour, int d) {
      pw::SetTextColor(dc_, pw::TranslateColor(colour));
      pw::RECT at = r;
      pw::OffsetRect(&at, d, d);
      pw::DrawText(dc_, s.c_str(), static_cast<int>(s.size()), &at, fmt);
    };
    if (look.text3D >= 1 && look.text3D <= 4) {
      // Lowered text has its light edge below and right, raised text its
      // shadow; "with shading" adds the other colour above and left.
      const bool raised = look.text3D == 2 || look.text3D == 4;
      const int d = std::max(look.offset3D, 0);
      if (look.text3D >= 3) draw(raised ? look.light3D : look.dark3D, -d);
      draw(raised ? look.dark3D : look.light3D, d);
    }
    draw(look.fore, 0);
  }
  // A grid line whose last pixel across is `end`, from `from` to `to` along.
  void gridLine(const ViewLine& l, bool vertical, int end, int from, int to) {
    int at = end - l.thickness() + 1;
    auto band = [&](int width, std::uint32_t c) {
      if (width <= 0) return;
      fill(vertical ? pw::RECT{at, from, at + width, to} : pw::RECT{from, at, to, at + width}, c);
      at += width;
    };
    const bool raised = l.style == 3 || l.style == 5;
    switch (l.style) {
      case 1: band(l.width, l.colour); break;
      case 2: case 3:
        band(l.width3D, raised ? l.light : l.dark);
        band(l.width3D, raised ? l.dark : l.light);
        break;
      case 4: case 5:
        band(l.width3D, raised ? l.light : l.dark);
        band(l.width, l.colour);
        band(l.width3D, raised ? l.dark : l.light);
        break;
      default: break;
    }
  }
  // A header cell's or the selection's edge.
  void edge(const pw::RECT& r, const ViewEdge& e) {
    switch (e.style) {
      case 1: ring(r, e.width, e.dark, e.dark); break;
      case 2: ring(r, e.width, e.dark, e.light); break;
      case 3: ring(r, e.width, e.light, e.dark); break;
      default: break;
    }
  }
  pw::HDC dc() const { return dc_; }
  int accentRoom() const { return accentRoom_; }

 private:
  pw::HDC dc_;
  int accentRoom_;
  int lineHeight_ = 0;
  std::vector<std::pair<pw::COLORREF, pw::HBRUSH>> brushes_;
};

// Draws a cell's bitmap picture (storage kind 0) and answers the part of
// the cell left for the text. Resource-number pictures (kind 1) name
// resources this library does not hold: they draw nothing.
pw::RECT drawPicture(pw::HDC dc, pw::RECT cell, const ViewLook& look, int lineHeight, int accentRoom) {
  if (look.pictureKind != 0 || !look.picture) return cell;
  const auto bitmap = reinterpret_cast<pw::HBITMAP>(static_cast<std::uintptr_t>(look.picture));
  pw::BITMAP bm;
  if (pw::GetObject(bitmap, sizeof bm, &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0) return cell;
  const int w = static_cast<int>(bm.bmWidth), h = static_cast<int>(bm.bmHeight);
  const int cellW = static_cast<int>(cell.right - cell.left);
  int x = static_cast<int>(cell.left) + kCellPadding;
  if (look.pictureAlignH == 1) x = static_cast<int>(cell.left) + (cellW - w) / 2;
  if (look.pictureAlignH == 2) x = static_cast<int>(cell.right) - kCellPadding - w;
  int y = static_cast<int>(cell.top) + (static_cast<int>(cell.bottom - cell.top) - h) / 2;
  bool fits = false;
  switch (look.pictureAlignV) {
    case 0: y = static_cast<int>(cell.top); break;
    case 2: y = static_cast<int>(cell.bottom) - h; break;
    case 3: y = lineTop(cell, look.alignV, lineHeight, accentRoom, &fits); break;
    case 4: y = lineTop(cell, look.alignV, lineHeight, accentRoom, &fits) + lineHeight - h; break;
    default: break;
  }
  pw::HDC mem = pw::CreateCompatibleDC(dc);
  if (!mem) return cell;
  pw::HGDIOBJ old = pw::SelectObject(mem, bitmap);
  pw::BitBlt(dc, x, y, w, h, mem, 0, 0, pw::SRCCOPY);
  pw::SelectObject(mem, old);
  pw::DeleteDC(mem);
  if (look.pictureAlignH == 0) cell.left = x + w;  // the text follows the picture
  return cell;
}

void paintHeaderCell(Painter& p, pw::RECT r, const std::string& text, const ViewLook& look, const ViewEdge& edge) {
  p.fill(r, look.back);
  // Without a Header3DStyle the cells keep the system's raised header look.
  if (!edge.set) pw::DrawEdge(p.dc(), &r, pw::EDGE_RAISED, pw::BF_RECT);
  else p.edge(r, edge);
  p.text(text, r, look, true);
}

void paintHeader(LbxInstance* inst, Painter& p, const Geometry& g, const ViewLines& lines) {
  if (!g.columnRowHeight) return;
  const int dx = static_cast<int>(g.rows.left) - inst->xOffset;
  const int top = static_cast<int>(g.client.top);
  const int colTop = top + g.groupRowHeight;
  const int bottom = colTop + g.columnRowHeight;
  pw::HFONT hf = propertyHeaderFont(inst);
  pw::HGDIOBJ oldFont = hf ? pw::SelectObject(p.dc(), hf) : nullptr;
  p.measure();
  const std::vector<ViewColumn> cols = viewColumns(inst);
  const std::vector<ViewGroup> groups = viewGroups(inst);
  const ViewEdge edge = viewHeaderEdge(inst);
  // The header strip is the button face where no column reaches.
  p.fill(pw::RECT{g.client.left, top, g.rows.right, bottom}, pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNFACE);
  for (const Span& s : g.groups) {
    const pw::RECT r{dx + s.x, top, dx + s.x + s.width, colTop};
    paintHeaderCell(p, r, groups[static_cast<std::size_t>(s.index)].header, viewGroupHeaderLook(inst, s.index), edge);
  }
  for (const Span& s : g.columns) {
    // A column outside every group takes the group row as well.
    const bool grouped = s.group >= 0 && std::any_of(g.groups.begin(), g.groups.end(),
                                                      [&](const Span& gs) { return gs.index == s.group; });
    const pw::RECT r{dx + s.x, grouped ? colTop : top, dx + s.x + s.width, bottom};
    paintHeaderCell(p, r, cols[static_cast<std::size_t>(s.index)].header, viewHeaderLook(inst, s.index), edge);
    if (lines.header.style) p.gridLine(lines.header, true, static_cast<int>(r.right) - 1, r.top, r.bottom);
  }
  if (cols.empty()) {
    pw::RECT r{g.rows.left, top, g.rows.right, bottom};
    paintHeaderCell(p, r, std::string(), viewHeaderLook(inst, -1), edge);
  }
  if (oldFont) pw::SelectObject(p.dc(), oldFont);
}

bool isSelected(const LbxInstance* inst, int row) {
  if (inst->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) return lbxIsSelected(inst, row);
  return row == inst->curSel;
}

void drawOwnerRow(LbxInstance* inst, pw::HDC dc, int row, const pw::RECT& r) {
  HWND target = notifyTargetOf(inst);
  const LbxItem* item = lbxItem(inst, row);
  if (!target || !item) return;
  pw::DRAWITEMSTRUCT dis;
  dis.CtlType = ODT_LISTBOX;
  dis.CtlID = inst->controlId;
  dis.itemID = static_cast<UINT>(row);
  dis.itemAction = pw::ODA_DRAWENTIRE;
  dis.itemState = (isSelected(inst, row) ? pw::ODS_SELECTED : 0u) |
                  (inst->hasFocus && row == inst->curSel ? pw::ODS_FOCUS : 0u);
  dis.hwndItem = inst->hwnd;
  dis.hDC = dc;
  dis.rcItem = r;
  dis.itemData = item->content;
  pw::SendMessage(target, pw::WM_DRAWITEM, inst->controlId, reinterpret_cast<LPARAM>(&dis));
}

}  // namespace

void paint(LbxInstance* inst, HWND hwnd, pw::HDC dc) {
  const Geometry g = geometry(inst);
  Painter p(dc, inst->accentRoom);
  const int saved = pw::SaveDC(dc);
  if (inst->hfont) pw::SelectObject(dc, inst->hfont);
  pw::SetBkMode(dc, pw::TRANSPARENT);

  const ViewLines lines = viewLines(inst);
  paintHeader(inst, p, g, lines);

  pw::IntersectClipRect(dc, g.rows.left, g.rows.top, g.rows.right, g.rows.bottom);
  const int lineHeight = p.measure();
  const ViewLook base = viewCellLook(inst, -1, -1, false);
  const ViewEdge selEdge = viewSelectionEdge(inst);
  const int dx = static_cast<int>(g.rows.left) - inst->xOffset;
  const bool owner = (inst->style & LBS_OWNERDRAWFIXED) != 0;
  const bool focusRect = inst->hasFocus && viewValue(inst, kSelDrawFocusRect) != 0;
  int y = static_cast<int>(g.rows.top);
  std::string text;
  for (int row = std::max(inst->topIndex, 0); row < inst->itemCount && y < g.rows.bottom; ++row) {
    const int h = rowHeightOf(inst, row);
    const pw::RECT rowRect{g.rows.left, y, g.rows.right, y + h};
    const bool selected = isSelected(inst, row);
    if (owner) {
      drawOwnerRow(inst, dc, row, rowRect);
      if (!pw::IsWindow(hwnd)) return;
    } else if (g.columns.empty()) {
      const ViewLook look = viewCellLook(inst, row, -1, selected);
      p.fill(rowRect, look.back);
      pw::RECT tr = rowRect;
      tr.left = dx;
      tr = drawPicture(dc, tr, look, lineHeight, inst->accentRoom);
      if (lbxItemText(inst, row, -1, &text)) p.text(text, tr, look, look.ellipsis);
    } else {
      // The part of the row beyond the last column.
      const int end = dx + g.contentWidth;
      if (end < g.rows.right) p.fill(pw::RECT{end, y, g.rows.right, y + h}, selected ? viewCellLook(inst, row, -1, true).back : base.back);
      for (const Span& s : g.columns) {
        const pw::RECT cell{dx + s.x, y, dx + s.x + s.width, y + h};
        if (cell.right <= g.rows.left || cell.left >= g.rows.right) continue;
        const ViewLook look = viewCellLook(inst, row, s.index, selected);
        p.fill(cell, look.back);
        const pw::RECT textRect = drawPicture(dc, cell, look, lineHeight, inst->accentRoom);
        if (lbxItemText(inst, row, s.index, &text)) p.text(text, textRect, look, look.ellipsis);
        if (lines.v.style) p.gridLine(lines.v, true, static_cast<int>(cell.right) - 1, y, y + h);
      }
    }
    if (lines.h.style && !owner) p.gridLine(lines.h, false, y + h - 1, g.rows.left, g.rows.right);
    if (selected && selEdge.set && !owner) p.edge(rowRect, selEdge);
    if (focusRect && row == inst->curSel && !owner && (!inst->addMode || !inst->caretBlink)) pw::DrawFocusRect(dc, &rowRect);
    y += h;
  }
  // Below the last row: the list's back colour.
  if (y < g.rows.bottom) p.fill(pw::RECT{g.rows.left, y, g.rows.right, g.rows.bottom}, base.back);
  pw::RestoreDC(dc, saved);

  // The corner between the two bars.
  if (g.vBar && g.hBar)
    p.fill(pw::RECT{g.rows.right, g.rows.bottom, g.client.right, g.client.bottom},
           static_cast<std::uint32_t>(viewValue(inst, kListGrayAreaColor)));
}

// ---- the frame

namespace {

// The frame record's fields (layout in listctl/props/prop_records.h).
int i16At(const std::uint8_t* f, int at) { return static_cast<std::int16_t>(f[at] | (f[at + 1] << 8)); }
std::uint32_t u32At(const std::uint8_t* f, int at) {
  return static_cast<std::uint32_t>(f[at]) | (static_cast<std::uint32_t>(f[at + 1]) << 8) |
         (static_cast<std::uint32_t>(f[at + 2]) << 16) | (static_cast<std::uint32_t>(f[at + 3]) << 24);
}
// Each part of the frame is at most this wide, so that the whole stays a
// frame whatever the widths asked for.
int partWidth(int w) { return std::clamp(w, 0, 16); }

struct FrameParts {
  int shadow = 0, border = 0, outside = 0, band = 0, inside = 0;
  bool flat = false, custom = false;
  int borderStyle = 0;  // 1 single line ... 6 dash dot dot
};

FrameParts partsOf(const std::uint8_t* f) {
  FrameParts p;
  if (!(f[0] & 1)) return p;
  const int appearance = f[4];
  if (f[5] || (f[6] & 2)) p.shadow = partWidth(i16At(f, 48));
  if (f[3] || appearance == 3) {
    p.border = partWidth(std::max(1, i16At(f, 46)));
    p.borderStyle = f[3] ? f[3] : 1;
  }
  if (appearance == 1) {
    p.flat = true;
    return p;
  }
  p.custom = appearance == 0;
  if (f[2]) p.outside = partWidth(i16At(f, 42));
  if (p.custom) p.band = partWidth(i16At(f, 44));
  if (f[1]) p.inside = partWidth(i16At(f, 40));
  return p;
}

// The border band of width `width` just inside `r`, in its style: solid,
// rounded (its corners cut), or dashes and dots as long as the band is
// wide; what the pattern leaves is the gray-area colour.
void paintBorder(pw::HDC dc, const pw::RECT& r, int width, int style, std::uint32_t colour, std::uint32_t gray) {
  static const std::vector<int> kPatterns[] = {{1}, {1}, {1}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
  const std::vector<int>& pattern = kPatterns[std::clamp(style, 0, 6)];
  // One side: runs along it from its start, alternately on and off.
  auto side = [&](int x, int y, int length, bool horizontal) {
    int at = 0;
    for (std::size_t i = 0; at < length; i = (i + 1) % pattern.size()) {
      const int run = std::min(pattern[i] * width, length - at);
      const pw::RECT part = horizontal ? pw::RECT{x + at, y, x + at + run, y + width}
                                       : pw::RECT{x, y + at, x + width, y + at + run};
      fillColour(dc, part, i % 2 == 0 ? colour : gray);
      at += run;
    }
  };
  const int w = static_cast<int>(r.right - r.left), h = static_cast<int>(r.bottom - r.top);
  side(r.left, r.top, w, true);
  side(r.left, r.bottom - width, w, true);
  side(r.left, r.top + width, h - 2 * width, false);
  side(r.right - width, r.top + width, h - 2 * width, false);
  if (style == 2) {
    // Rounded: a corner of the band as wide as the band plus one is cut.
    const int cut = width + 1;
    for (int dy = 0; dy < cut; ++dy)
      for (int dx = 0; dx + dy < cut; ++dx) {
        fillColour(dc, pw::RECT{r.left + dx, r.top + dy, r.left + dx + 1, r.top + dy + 1}, gray);
        fillColour(dc, pw::RECT{r.right - 1 - dx, r.top + dy, r.right - dx, r.top + dy + 1}, gray);
        fillColour(dc, pw::RECT{r.left + dx, r.bottom - 1 - dy, r.left + dx + 1, r.bottom - dy}, gray);
        fillColour(dc, pw::RECT{r.right - 1 - dx, r.bottom - 1 - dy, r.right - dx, r.bottom - dy}, gray);
      }
  }
}

}  // namespace

FrameInsets frameInsets(const std::uint8_t* frame) {
  const FrameParts p = partsOf(frame);
  const int w = p.border + (p.flat ? 1 : p.outside + p.band + p.inside);
  return FrameInsets{w, w, w + p.shadow, w + p.shadow};
}

void paintFrameRecord(const std::uint8_t* f, pw::HDC dc, const pw::RECT& outer, bool focused) {
  const FrameParts p = partsOf(f);
  pw::RECT r = outer;
  const std::uint32_t gray = u32At(f, 36);
  if (p.shadow) {
    // The shadow lies under the frame shifted right and down by its width;
    // the two corners it leaves, and the whole of it while it is hidden,
    // are the gray area.
    const int s = p.shadow;
    const bool shown = f[5] == 1 || ((f[5] == 2 || (f[6] & 2)) && focused);
    const std::uint32_t shade = shown ? u32At(f, 28) : gray;
    r.right -= s;
    r.bottom -= s;
    fillColour(dc, pw::RECT{r.right, outer.top, outer.right, outer.top + s}, gray);
    fillColour(dc, pw::RECT{outer.left, r.bottom, outer.left + s, outer.bottom}, gray);
    fillColour(dc, pw::RECT{r.right, outer.top + s, outer.right, outer.bottom}, shade);
    fillColour(dc, pw::RECT{outer.left + s, r.bottom, r.right, outer.bottom}, shade);
  }
  if (p.border) {
    const std::uint32_t colour = f[3] ? u32At(f, 24) : (pw::SYSCOLOR_REF_BIT | pw::COLOR_3DDKSHADOW);
    paintBorder(dc, r, p.border, p.borderStyle, colour, gray);
    pw::InflateRect(&r, -p.border, -p.border);
  }
  auto fill = [dc](const pw::RECT& band, std::uint32_t c) { fillColour(dc, band, c); };
  if (p.flat) {
    const std::uint32_t shadow = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNSHADOW;
    rings(&r, 1, shadow, shadow, fill);
    return;
  }
  const bool invert = (f[6] & 1) && focused;
  // An edge: 2 raised, any other style lowered; the 3-D appearances draw
  // the system's edge once per pixel of width.
  auto edge = [&](int style, int width, bool outside, int highlightAt, int shadowAt) {
    if (!style || !width) return;
    const bool raised = (style == 2) != invert;
    if (p.custom) {
      const std::uint32_t hi = u32At(f, highlightAt), lo = u32At(f, shadowAt);
      rings(&r, width, raised ? hi : lo, raised ? lo : hi, fill);
      return;
    }
    const UINT kind = outside ? (raised ? pw::BDR_RAISEDOUTER : pw::BDR_SUNKENOUTER)
                              : (raised ? pw::BDR_RAISEDINNER : pw::BDR_SUNKENINNER);
    for (int i = 0; i < width; ++i) {
      pw::DrawEdge(dc, &r, kind, pw::BF_RECT);
      pw::InflateRect(&r, -1, -1);
    }
  };
  edge(f[2], p.outside, true, 16, 20);
  if (p.band) rings(&r, p.band, u32At(f, 32), u32At(f, 32), fill);
  edge(f[1], p.inside, false, 8, 12);
}

int frameWidth(const LbxInstance* inst) { return frameInsets(inst->frame).left; }

void paintFrame(LbxInstance* inst, pw::HDC dc, const pw::RECT& outer) {
  paintFrameRecord(inst->frame, dc, outer, inst->hasFocus);
}

}  // namespace lindra::view
