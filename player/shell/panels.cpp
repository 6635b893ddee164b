#include "player/shell/panels.h"

#include <QHelpEvent>
#include <QToolTip>

#include "platform/win/gdi.h"
#include "platform/win/window.h"
#include "player/shell/command_table.h"
#include "shared/language/orv_language.h"

using namespace plat::win;
using tv::buttons::COrv_ButtonEx;

namespace {

constexpr const char* kPanelClass = "TvPanelBar";

COrv_PanelRow spacer(int size) { return {COrv_PanelRow::kSpacer, 0, 0, 0, size, size}; }
COrv_PanelRow button(int id, int mode, int tooltip, int up, int hoverUp, int down, int hoverDown,
                     int disabled) {
  return {COrv_PanelRow::kButton, id, mode, tooltip, 30, 30, up, hoverUp, down, hoverDown, disabled};
}

const COrv_PanelRow kSpeedNormalRow = button(225, 4, 6, 352, 353, 350, 351, 349);
const COrv_PanelRow kSpeedFastRow = button(226, 4, 6, 347, 348, 345, 346, 358);
const COrv_PanelRow kSpeedSlowRow = button(227, 4, 6, 357, 344, 355, 356, 354);

std::vector<COrv_PanelRow> audioRows() {
  return {
      spacer(12),
      button(220, 4, 8, 315, 0, 0, 0, 0),
      spacer(1),
      button(152, 4, 2, 268, 265, 266, 267, 269),
      spacer(1),
      button(115, 2, 3, 278, 270, 276, 277, 275),
      spacer(1),
      button(116, 2, 4, 273, 274, 271, 272, 279),
      spacer(1),
      button(118, 2, 5, 308, 309, 306, 307, 314),
      spacer(1),
      kSpeedNormalRow,
      spacer(1),
      button(120, 2, 9, 283, 284, 280, 282, 281),
      spacer(1),
      button(119, 2, 7, 313, 305, 311, 312, 310),
      spacer(12),
      button(221, 1, 16, 316, 0, 0, 0, 0),
      spacer(1),
      button(195, 4, 2, 268, 265, 266, 267, 269),
      spacer(1),
      button(193, 2, 10, 288, 285, 286, 287, 289),
      spacer(1),
      button(194, 2, 11, 278, 270, 276, 277, 275),
      spacer(1),
      button(196, 2, 12, 273, 274, 271, 272, 279),
      spacer(1),
      button(199, 2, 13, 308, 309, 306, 307, 314),
      spacer(1),
      button(198, 2, 14, 283, 284, 280, 282, 281),
      spacer(1),
      button(197, 2, 15, 313, 305, 311, 312, 310),
      spacer(1),
  };
}

std::vector<COrv_PanelRow> secondaryRows() {
  return {
      spacer(12),
      button(219, 1, 17, 317, 0, 0, 0, 0),
      spacer(1),
      button(125, 4, 18, 303, 304, 301, 302, 300),
      spacer(1),
      button(124, 4, 19, 298, 295, 296, 297, 299),
      spacer(8),
      button(127, 2, 20, 249, 253, 250, 251, 252),
      spacer(1),
      button(140, 2, 21, 242, 239, 240, 241, 243),
      spacer(8),
      button(158, 2, 22, 263, 264, 261, 262, 260),
      spacer(1),
      button(159, 2, 23, 342, 343, 340, 341, 339),
      spacer(1),
      spacer(8),
      button(126, 2, 24, 254, 258, 255, 256, 257),
  };
}

void ensurePanelClass() {
  WNDCLASS wc;
  if (GetClassInfo(nullptr, kPanelClass, &wc)) return;
  wc = WNDCLASS{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = COrv_Panel::WindowProc;
  wc.lpszClassName = kPanelClass;
  RegisterClass(&wc);
}

void setButtonFaces(COrv_ButtonEx& b, const COrv_PanelRow& row) {
  b.SetBitmaps5(row.up, row.down, row.hoverUp, row.hoverDown, row.disabled);
}

}  // namespace

// ---- the shared panel ----

COrv_Panel::COrv_Panel(std::vector<COrv_PanelRow> rows, int templateId)
    : rows_(std::move(rows)), templateId_(templateId) {
  controls_.resize(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].kind == COrv_PanelRow::kButton) controls_[i] = std::make_unique<COrv_ButtonEx>();
  }
}

COrv_Panel::~COrv_Panel() {
  if (IsWindow(hwnd_)) {
    SetWindowLongPtr(hwnd_, GWLP_USERDATA, 0);
    plat::win::DestroyWindow(hwnd_);
  }
}

void COrv_Panel::SetBackgroundColor(COLORREF colour) {
  backgroundMode_ = kSolid;
  backgroundValue_ = colour;
}

void COrv_Panel::SetBackgroundBitmap(int bitmapId) {
  backgroundMode_ = kBitmap;
  backgroundValue_ = static_cast<DWORD>(bitmapId);
}

int COrv_Panel::RowsHeight() const {
  int sum = 0;
  for (const COrv_PanelRow& r : rows_) sum += r.height;
  return sum;
}

SIZE COrv_Panel::PanelSize() const {
  SIZE s;
  s.cx = kWidth;
  s.cy = RowsHeight();
  return s;
}

bool COrv_Panel::Create(HWND parent, int barId) {
  if (IsWindow(hwnd_)) return false;
  ensurePanelClass();
  const SIZE size = PanelSize();
  HWND h = CreateWindowEx(0, kPanelClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, size.cx, size.cy,
                          parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(barId)), nullptr, this);
  if (!h) return false;
  if (!OnInitDialog()) {
    plat::win::DestroyWindow(h);
    return false;
  }
  return true;
}

bool COrv_Panel::OnInitDialog() {
  RefreshToolTips();
  for (std::size_t i = 0; i < rows_.size(); ++i) createButton(static_cast<int>(i));
  return true;
}

bool COrv_Panel::createButton(int index) {
  COrv_ButtonEx* b = Control(index);
  if (!b) return false;
  const COrv_PanelRow& row = rows_[static_cast<std::size_t>(index)];
  setButtonFaces(*b, row);
  const RECT r = buttonRect(row.id);
  b->SetMode(row.mode);
  return b->Create("", WS_CHILD | WS_VISIBLE | tv::buttons::BS_OWNERDRAW, r, hwnd_, row.id);
}

RECT COrv_Panel::GetButtonRect(int id) const {
  int top = 0;
  std::size_t i = 0;
  while (i < rows_.size() && rows_[i].id != id) top += rows_[i++].height;
  RECT r;
  if (i == rows_.size()) return r;  // not a row of this panel: an empty rectangle
  RECT client{0, 0, kWidth, RowsHeight()};
  if (IsWindow(hwnd_)) GetClientRect(hwnd_, &client);
  const int clientWidth = client.right - client.left;
  const COrv_PanelRow& row = rows_[i];
  r.top = top;
  r.bottom = top + row.height;
  r.left = row.width < clientWidth ? (clientWidth - row.width) / 2 : 0;
  r.right = r.left + row.width;
  return r;
}

COrv_ButtonEx* COrv_Panel::Control(int index) const {
  if (index < 0 || index >= static_cast<int>(controls_.size())) return nullptr;
  return controls_[static_cast<std::size_t>(index)].get();
}

void COrv_Panel::destroyControls() {
  // The buttons' windows are gone with the panel's: their objects go too.
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id != 0) controls_[i].reset();
  }
}

void COrv_Panel::UpdateFromCommands(const COrv_CommandTable& commands) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    COrv_ButtonEx* b = controls_[i].get();
    if (rows_[i].kind != COrv_PanelRow::kButton || !b || !IsWindow(b->GetSafeHwnd())) continue;
    const COrv_CommandTable::State state = commands.Query(rows_[i].id);
    if (!state.enabled) {
      b->Disable();
      continue;
    }
    b->Enable(1);
    b->SetPressed(state.checked);
  }
}

template <typename Op>
BOOL COrv_Panel::onButton(int id, Op op) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].kind != COrv_PanelRow::kButton) continue;
    COrv_ButtonEx* b = controls_[i].get();
    if (!b) return FALSE;
    if (rows_[i].id == id && IsWindow(b->GetSafeHwnd())) {
      op(*b);
      return TRUE;
    }
  }
  return TRUE;
}

BOOL COrv_Panel::SetButtonState(int id, bool pressed) {
  return onButton(id, [pressed](COrv_ButtonEx& b) { b.SetPressed(pressed); });
}

BOOL COrv_Panel::DisableButton(int id) {
  return onButton(id, [](COrv_ButtonEx& b) { b.Disable(); });
}

BOOL COrv_Panel::EnableButton(int id, int state) {
  return onButton(id, [state](COrv_ButtonEx& b) { b.Enable(state); });
}

void COrv_Panel::setToolTip(int index, int language) {
  COrv_ButtonEx* b = Control(index);
  const COrv_PanelRow& row = rows_[static_cast<std::size_t>(index)];
  if (!b || row.tooltip == 0) return;
  const COrv_Language lang(language);
  b->SetToolTipText(lang.LoadString(row.tooltip, language));
}

void COrv_Panel::RefreshToolTips(int language) {
  for (std::size_t i = 0; i < rows_.size(); ++i) setToolTip(static_cast<int>(i), language);
}

void COrv_Panel::ShowButtons(bool show) {
  for (const auto& b : controls_) {
    if (b && IsWindow(b->GetSafeHwnd())) ShowWindow(b->GetSafeHwnd(), show ? SW_SHOW : SW_HIDE);
  }
}

int COrv_Panel::HelpHitTest(POINT pt) const {
  if (!IsWindow(hwnd_)) return 0;
  HWND child = ChildWindowFromPoint(hwnd_, pt);
  const int panelValue = 0x10000 + templateId_;
  if (!child) return 0;
  if (child == hwnd_) return panelValue;
  const int id = GetDlgCtrlID(child);
  return id > 0 ? 0x10000 + id : panelValue;
}

void COrv_Panel::eraseBackground(HDC dc) {
  HBRUSH brush = nullptr;
  if (backgroundMode_ == kBitmap) {
    if (HBITMAP b = tv::buttons::LoadResourceBitmap(static_cast<int>(backgroundValue_), false)) {
      brush = CreatePatternBrush(b);
      DeleteObject(b);
    }
  }
  if (!brush) {
    // A missing picture, or any mode but these two, leaves the panel solid
    // light grey from now on.
    if (backgroundMode_ != kSolid) SetBackgroundColor(kDefaultColour);
    brush = CreateSolidBrush(backgroundValue_);
  }
  if (!brush) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  FrameRect(dc, &client, brush);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
}

LRESULT COrv_Panel::WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<COrv_Panel*>(GetWindowLongPtr(h, GWLP_USERDATA));
  if (!self && msg == WM_NCCREATE) {
    self = static_cast<COrv_Panel*>(reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams);
    SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = h;
  }
  if (!self) return DefWindowProc(h, msg, w, l);
  return self->message(msg, w, l);
}

LRESULT COrv_Panel::message(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_ERASEBKGND:
      eraseBackground(reinterpret_cast<HDC>(w));
      return TRUE;
    case WM_COMMAND:
      // The buttons' clicks go on to the frame like menu commands.
      if (HIWORD(w) == tv::buttons::BN_CLICKED && sink_) sink_(LOWORD(w));
      return 0;
    case WM_HELPHITTEST:
      return HelpHitTest(POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    case WM_NCDESTROY: {
      HWND h = hwnd_;
      SetWindowLongPtr(h, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      destroyControls();
      return DefWindowProc(h, msg, w, l);
    }
    default:
      return DefWindowProc(hwnd_, msg, w, l);
  }
}

// ---- the audio panel ----

COrv_AudioPanel::COrv_AudioPanel() : COrv_Panel(audioRows(), kTemplate) {}

int COrv_AudioPanel::FindButtonIndex(int id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].kind == COrv_PanelRow::kButton && rows_[i].id == id)
      return controls_[i] ? static_cast<int>(i) : -2;
  }
  return -1;
}

BOOL COrv_AudioPanel::HasButton(int id) const {
  const int i = FindButtonIndex(id);
  return i >= 0 && i < static_cast<int>(rows_.size());
}

int COrv_AudioPanel::FindSpeedButton() const {
  for (int id : {kSpeedNormal, kSpeedSlow, kSpeedFast}) {
    const int i = FindButtonIndex(id);
    if (i >= 0) return i;
  }
  return -1;
}

int COrv_AudioPanel::GetSpeedButtonId() const {
  const int i = FindSpeedButton();
  return i < 0 ? 0 : rows_[static_cast<std::size_t>(i)].id;
}

const COrv_PanelRow& COrv_AudioPanel::SpeedRow(int id) {
  if (id == kSpeedFast) return kSpeedFastRow;
  if (id == kSpeedSlow) return kSpeedSlowRow;
  return kSpeedNormalRow;
}

BOOL COrv_AudioPanel::ResetSpeedButton() {
  const int current = GetSpeedButtonId();
  return current != 0 && RebuildButton(current, kSpeedNormalRow);
}

BOOL COrv_AudioPanel::SetFastSpeedButton() {
  const int current = GetSpeedButtonId();
  return current != 0 && RebuildButton(current, kSpeedFastRow);
}

BOOL COrv_AudioPanel::SetSlowSpeedButton() {
  const int current = GetSpeedButtonId();
  return current != 0 && RebuildButton(current, kSpeedSlowRow);
}

BOOL COrv_AudioPanel::RebuildButton(int oldId, const COrv_PanelRow& row) {
  const int index = FindButtonIndex(oldId);
  if (index < 0) return FALSE;
  COrv_ButtonEx* b = Control(index);
  if (IsWindow(b->GetSafeHwnd())) {
    ShowWindow(b->GetSafeHwnd(), SW_HIDE);
    b->DestroyWindow();
  }
  rows_[static_cast<std::size_t>(index)] = row;
  if (row.tooltip != 0) setToolTip(index, -1);
  // Without the panel's window the row and the tooltip change; the
  // button's window comes with the panel's.
  if (!IsWindow(GetSafeHwnd())) return TRUE;
  if (!createButton(index)) return FALSE;
  ShowWindow(b->GetSafeHwnd(), SW_SHOW);
  return TRUE;
}

// ---- the secondary panel ----

COrv_SecondaryPanel::COrv_SecondaryPanel() : COrv_Panel(secondaryRows(), kTemplate) {}

// ---- the Qt host ----

PanelHost::PanelHost(COrv_Panel& panel, QWidget* parent, bool fill) : HostWidget(parent), panel_(panel) {
  setFillWithFirstChild(fill);
  setFocusPolicy(Qt::NoFocus);
  // Where the bar is longer than the panel's rows, it goes on in the
  // panel's colour.
  setHandler([this](UINT msg, WPARAM w, LPARAM, LRESULT* result) {
    if (msg != WM_ERASEBKGND) return false;
    const COLORREF colour =
        panel_.GetBackgroundMode() == COrv_Panel::kSolid ? panel_.GetBackgroundValue() : COrv_Panel::kDefaultColour;
    RECT client;
    GetClientRect(hostWindow(), &client);
    if (HBRUSH brush = CreateSolidBrush(colour)) {
      FillRect(reinterpret_cast<HDC>(w), &client, brush);
      DeleteObject(brush);
    }
    *result = TRUE;
    return true;
  });
}

QSize PanelHost::sizeHint() const {
  const SIZE s = panel_.PanelSize();
  return QSize(s.cx, s.cy);
}

std::string PanelHost::ToolTipAt(QPoint pos) const {
  HWND p = panel_.GetSafeHwnd();
  if (!IsWindow(p)) return {};
  HWND child = ChildWindowFromPoint(p, POINT{pos.x(), pos.y()});
  for (int i = 0; i < static_cast<int>(panel_.Rows().size()); ++i) {
    COrv_ButtonEx* b = panel_.Control(i);
    if (b && child && b->GetSafeHwnd() == child && b->ToolTipActive()) return b->ToolTipText();
  }
  return {};
}

bool PanelHost::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const std::string text = ToolTipAt(help->pos());
    if (text.empty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), QString::fromStdString(text), this);
    return true;
  }
  return HostWidget::event(e);
}
