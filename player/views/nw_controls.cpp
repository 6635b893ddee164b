#include "player/views/nw_controls.h"

#include <cstring>

#include "platform/win/window.h"

namespace orv::views {

namespace pw = plat::win;

bool CnwControl::Create(pw::DWORD style, const pw::RECT& rect, pw::HWND parent, unsigned id) {
  m_hWnd = pw::CreateWindowEx(0, className_, "", style, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, parent,
                              reinterpret_cast<pw::HMENU>(static_cast<std::uintptr_t>(id)), nullptr, nullptr);
  return m_hWnd != nullptr;
}

bool CnwControl::IsControl() const {
  if (!m_hWnd || !className_ || !pw::IsWindow(m_hWnd)) return false;
  char name[64] = {};
  pw::GetClassName(m_hWnd, name, sizeof name);
  return std::strcmp(name, className_) == 0;
}

}  // namespace orv::views
