#include "player/shell/quote_index_panel.h"

#include "platform/win/window.h"

using namespace plat::win;

namespace {

COrv_PanelRow spacer() { return {COrv_PanelRow::kSpacer, 0, 0, 0, 2, 2}; }
COrv_PanelRow scroll(int id, int tooltip, int up, int hoverUp, int down, int disabled) {
  return {COrv_PanelRow::kButton, id, 4, tooltip, 22, 22, up, hoverUp, down, 0, disabled};
}

std::vector<COrv_PanelRow> indexRows() {
  return {
      spacer(),
      scroll(1013, 27, 324, 318, 322, 327),
      spacer(),
      scroll(1015, 28, 320, 321, 325, 326),
      spacer(),
      {COrv_PanelRow::kEchomarkStrip, COrv_QuoteIndexPanel::kStripId, 0, 29, 240, 22},
      spacer(),
      scroll(1014, 25, 331, 328, 329, 332),
      spacer(),
      scroll(1016, 26, 336, 333, 334, 337),
      spacer(),
  };
}

}  // namespace

COrv_QuoteIndexPanel::COrv_QuoteIndexPanel(StripFactory stripFactory)
    : COrv_Panel(indexRows(), kTemplate), stripFactory_(std::move(stripFactory)) {
  // The strip row is made only when it is the strip of id 222.
  for (const COrv_PanelRow& row : rows_) {
    if (row.kind == COrv_PanelRow::kEchomarkStrip && row.id == kStripId && stripFactory_) strip_ = stripFactory_();
  }
}

COrv_QuoteIndexPanel::~COrv_QuoteIndexPanel() = default;

SIZE COrv_QuoteIndexPanel::PanelSize() const {
  SIZE s;
  s.cx = 0;
  for (const COrv_PanelRow& r : rows_) s.cx += r.width;
  s.cy = kHeight;
  return s;
}

RECT COrv_QuoteIndexPanel::GetButtonRect(int id, int flags) const {
  RECT client{0, 0, PanelSize().cx, kHeight};
  if (IsWindow(GetSafeHwnd())) GetClientRect(GetSafeHwnd(), &client);
  const int clientWidth = client.right - client.left;
  const int clientHeight = client.bottom - client.top;
  int x = 0;
  if (flags & kCentreRow) {
    int total = 0;
    for (const COrv_PanelRow& r : rows_) total += r.width;
    if (total < clientWidth) x = (clientWidth - total) / 2;
  }
  std::size_t i = 0;
  while (i < rows_.size() && rows_[i].id != id) x += rows_[i++].width;
  RECT r;
  if (i == rows_.size()) return r;  // not a row of this panel: an empty rectangle
  const COrv_PanelRow& row = rows_[i];
  r.left = x;
  r.right = x + row.width;
  r.top = (flags & kCentreVertically) && row.height < clientHeight ? (clientHeight - row.height) / 2 : 0;
  r.bottom = r.top + row.height;
  return r;
}

bool COrv_QuoteIndexPanel::OnInitDialog() {
  if (!COrv_Panel::OnInitDialog()) return false;
  if (strip_) {
    const RECT r = GetButtonRect(kStripId, kCentreVertically | 1);
    if (strip_->Create(r, GetSafeHwnd(), 0)) {
      // Until the document fills it, the strip shows 22 cells with
      // Echomark 1 current.
      std::vector<std::uint32_t> placeholder(kPlaceholderCells + 1, 1);
      placeholder[0] = 0;
      strip_->SetItems(&placeholder, 1);
    }
  }
  return true;
}

void COrv_QuoteIndexPanel::destroyControls() {
  COrv_Panel::destroyControls();
  strip_.reset();
}

int COrv_QuoteIndexPanel::GetQuoteCount() const { return strip_ ? strip_->GetCount() : 0; }
int COrv_QuoteIndexPanel::GetFirstVisible() const { return strip_ ? strip_->GetFirstVisible() : 0; }

void COrv_QuoteIndexPanel::SetFirstVisible(int n) {
  if (strip_) strip_->SetFirstVisible(n);
}

void COrv_QuoteIndexPanel::redrawStrip() {
  if (strip_ && IsWindow(strip_->GetSafeHwnd()))
    RedrawWindow(strip_->GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL COrv_QuoteIndexPanel::SelectQuote(int n, bool redraw) {
  if (!strip_ || n < 1 || n > strip_->GetCount()) return FALSE;
  const bool ok = strip_->SetCurrent(n);
  if (redraw) redrawStrip();
  return ok ? TRUE : FALSE;
}

BOOL COrv_QuoteIndexPanel::UpdateItems(const std::vector<std::uint32_t>& status) {
  return strip_ && strip_->UpdateItems(&status) ? TRUE : FALSE;
}

BOOL COrv_QuoteIndexPanel::SetItems(const std::vector<std::uint32_t>& status) {
  return strip_ && strip_->SetItems(&status, 1) ? TRUE : FALSE;
}

void COrv_QuoteIndexPanel::ScrollBack() {
  if (strip_) strip_->ScrollPrev();
}
void COrv_QuoteIndexPanel::ScrollFastBack() {
  if (strip_) strip_->PagePrev();
}
void COrv_QuoteIndexPanel::ScrollForward() {
  if (strip_) strip_->ScrollNext();
}
void COrv_QuoteIndexPanel::ScrollFastForward() {
  if (strip_) strip_->PageNext();
}

bool COrv_QuoteIndexPanel::ScrollEnabled(int id) const {
  const int count = GetQuoteCount();
  const int first = GetFirstVisible();
  switch (id) {
    case kScrollForward:
    case kScrollFastForward:
      return first > 0 && first < count;
    case kScrollBack:
    case kScrollFastBack:
      return first >= 2 && first <= count;
    default:
      return false;
  }
}

int COrv_QuoteIndexPanel::HelpHitTest(POINT pt) const {
  if (!IsWindow(GetSafeHwnd())) return 0;
  HWND child = ChildWindowFromPoint(GetSafeHwnd(), pt);
  return child == GetSafeHwnd() ? 0x10000 + kTemplate : 0;
}
