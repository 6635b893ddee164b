// A shared library that registers a window class when it is loaded, as a
// control library does: the program must find it in the one registry.
// Loading it touches nothing of Qt.
#include "platform/win/window.h"

using namespace plat::win;

namespace {

LRESULT libProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) return 0x1234;
  return DefWindowProc(h, m, w, l);
}

__attribute__((constructor)) void registerAtLoad() {
  WNDCLASS wc;
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = libProc;
  wc.hInstance = reinterpret_cast<HINSTANCE>(&registerAtLoad);
  wc.lpszClassName = "LibClass";
  RegisterClass(&wc);
}

// Unloading takes the class away again, as a control library does at detach.
__attribute__((destructor)) void unregisterAtUnload() {
  UnregisterClass("LibClass", reinterpret_cast<HINSTANCE>(&registerAtLoad));
}

}  // namespace
