#include "player/views/quote_scroll.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/win/gdi.h"
#include "platform/win/window.h"

using namespace plat::win;

namespace {

// Cell faces by state: current, solved, visited, never visited.
constexpr COLORREF kCurrentFace = RGB(0, 64, 160);
constexpr COLORREF kSolvedFace = RGB(96, 176, 80);
constexpr COLORREF kVisitedFace = RGB(255, 236, 160);
constexpr COLORREF kUnvisitedFace = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(120, 90, 0);

void ensureClass() {
  WNDCLASS wc;
  if (GetClassInfo(nullptr, COrv_QuoteScroll::kClassName, &wc)) return;
  wc = WNDCLASS{};
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = COrv_QuoteScroll::WindowProc;
  wc.lpszClassName = COrv_QuoteScroll::kClassName;
  RegisterClass(&wc);
}

}  // namespace

COrv_QuoteScroll::COrv_QuoteScroll() = default;

COrv_QuoteScroll::~COrv_QuoteScroll() {
  if (IsWindow(m_hwnd)) {
    SetWindowLongPtr(m_hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hwnd);
  }
}

bool COrv_QuoteScroll::Create(const RECT& rect, HWND parent, int id) {
  if (IsWindow(m_hwnd)) return false;
  ensureClass();
  return CreateWindowEx(0, kClassName, "", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr,
                        this) != nullptr;
}

std::uint32_t COrv_QuoteScroll::GetCell(int n) const {
  return n >= 1 && n <= GetCount() ? m_cells[static_cast<std::size_t>(n)] : 0;
}

int COrv_QuoteScroll::pageSize() const {
  RECT client{};
  if (m_hwnd) GetClientRect(m_hwnd, &client);
  return std::max(1, static_cast<int>((client.right - client.left) / kCellWidth));
}

void COrv_QuoteScroll::scrollTo(int n) {
  m_first = std::clamp(n, 1, std::max(1, GetCount()));
  repaint();
}

bool COrv_QuoteScroll::SetCurrent(int n) {
  if (GetCount() < 1 || n < 1 || n > GetCount()) return false;
  m_current = n;
  keepCurrentInView();
  return true;
}

void COrv_QuoteScroll::keepCurrentInView() {
  // The learner always sees where he is: a current cell left of the strip
  // becomes its first one, a current cell right of it its last one.
  if (m_current < 1) return;
  const int page = pageSize();
  if (m_current < m_first)
    m_first = m_current;
  else if (m_current >= m_first + page)
    m_first = m_current - page + 1;
}

void COrv_QuoteScroll::replace(const std::vector<std::uint32_t>& cells) {
  if (m_hwnd) EnableWindow(m_hwnd, FALSE);
  m_cells = cells.empty() ? std::vector<std::uint32_t>{0} : cells;
  // Fewer cells than before keep the first visible and the current one
  // inside the strip.
  m_first = std::clamp(m_first, 1, std::max(1, GetCount()));
  if (m_current > GetCount()) m_current = GetCount() >= 1 ? GetCount() : 0;
}

bool COrv_QuoteScroll::SetItems(const std::vector<std::uint32_t>* cells, int n) {
  if (!cells) return false;
  replace(*cells);
  SetCurrent(n);
  if (m_hwnd) EnableWindow(m_hwnd, TRUE);
  repaint();
  return true;
}

bool COrv_QuoteScroll::UpdateItems(const std::vector<std::uint32_t>* cells) {
  if (!cells) return false;
  replace(*cells);
  if (m_hwnd) EnableWindow(m_hwnd, TRUE);
  repaint();
  return true;
}

int COrv_QuoteScroll::HitTest(int x, int y) const {
  RECT client{};
  if (m_hwnd) GetClientRect(m_hwnd, &client);
  if (x < 0 || y < client.top || y >= client.bottom || x >= client.right) return 0;
  const int n = m_first + x / kCellWidth;
  return n >= 1 && n <= GetCount() ? n : 0;
}

void COrv_QuoteScroll::repaint() {
  if (!IsWindow(m_hwnd)) return;
  InvalidateRect(m_hwnd, nullptr, TRUE);
  UpdateWindow(m_hwnd);
}

void COrv_QuoteScroll::paint(HDC dc) {
  RECT client;
  GetClientRect(m_hwnd, &client);
  HBRUSH background = CreateSolidBrush(kBackground);
  FillRect(dc, &client, background);
  DeleteObject(background);
  HFONT font = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Sans");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  HBRUSH frame = CreateSolidBrush(kFrame);
  for (int n = m_first, x = 0; n <= GetCount() && x < client.right; ++n, x += kCellWidth) {
    const std::uint32_t status = m_cells[static_cast<std::size_t>(n)];
    const COLORREF face = n == m_current  ? kCurrentFace
                          : (status & 2) ? kSolvedFace
                          : (status & 1) ? kVisitedFace
                                         : kUnvisitedFace;
    RECT cell{x + 1, client.top + 2, x + kCellWidth - 1, client.bottom - 2};
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(dc, &cell, brush);
    DeleteObject(brush);
    FrameRect(dc, &cell, frame);
    SetTextColor(dc, n == m_current ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const std::string label = std::to_string(n);
    DrawText(dc, label.c_str(), static_cast<int>(label.size()), &cell,
             DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  DeleteObject(frame);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

LRESULT COrv_QuoteScroll::WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<COrv_QuoteScroll*>(GetWindowLongPtr(h, GWLP_USERDATA));
  if (!self && msg == WM_NCCREATE) {
    self = static_cast<COrv_QuoteScroll*>(reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams);
    SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->m_hwnd = h;
  }
  if (!self) return DefWindowProc(h, msg, w, l);
  const LRESULT r = self->message(msg, w, l);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtr(h, GWLP_USERDATA, 0);
    self->m_hwnd = nullptr;
  }
  return r;
}

LRESULT COrv_QuoteScroll::message(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(m_hwnd, &ps)) {
        paint(dc);
        EndPaint(m_hwnd, &ps);
      }
      return 0;
    }
    case WM_SIZE: {
      // A narrower strip (a smaller window, the panel laid out after the
      // book was restored) still shows the current cell.
      const int first = m_first;
      keepCurrentInView();
      if (m_first != first) InvalidateRect(m_hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_LBUTTONUP: {
      // A miss moves nowhere: only a cell of the strip is reported.
      const int n = GetCount() >= 1 ? HitTest(GET_X_LPARAM(l), GET_Y_LPARAM(l)) : 0;
      if (n == 0) return 0;
      SetCurrent(n);
      repaint();
      if (m_goTo) m_goTo(n, GetDlgCtrlID(m_hwnd));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProc(m_hwnd, msg, w, l);
}
