#include "listctl/core/library.h"

#include <algorithm>
#include <utility>

#include "listctl/combo/combo.h"
#include "listctl/pool/pool.h"
#include "listctl/pool/pool_debug.h"
#include "listctl/view/list_view.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;

namespace {

struct LibraryState {
  HINSTANCE module = nullptr;
  MemPool* pool = nullptr;
  int poolUsers = 0;
  std::uint16_t instances = 0;
  pw::HCURSOR columnCursor = nullptr;
  pw::HCURSOR groupCursor = nullptr;
  pw::HBITMAP focusBits = nullptr;
  pw::HBRUSH focusBrush = nullptr;
  int dpiX = 96, dpiY = 96;
  std::size_t blocksLeft = 0;  // blocks still in use when the pool last went
};

LibraryState& S() {
  static LibraryState s;
  return s;
}

// The list library never lets a pool error end the host program: the failing
// operation answers "no block" and the caller reports LB_ERRSPACE.
int failPoolErrors(const PoolErrorRecord*) { return 0; }

// The library's own vertical scroll bar: the platform's scroll-bar control,
// vertical whatever its style says.
LRESULT ownVScrollProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == pw::WM_NCCREATE)
    pw::SetWindowLong(h, pw::GWL_STYLE, pw::GetWindowLong(h, pw::GWL_STYLE) | static_cast<pw::LONG>(pw::SBS_VERT));
  return pw::detail::scrollBarProc(h, m, w, l);
}

// The two resize cursors of the library, drawn here: a double bar with
// arrows to the left and right (column borders, 9001) and the same under a
// bracket (group borders, 9002), black with a white outline, 32 x 32 with
// the hot spot between the bars.
pw::HCURSOR makeResizeCursor(bool group) {
  constexpr int kSize = 32, kStride = kSize / 8;
  bool black[kSize][kSize] = {};
  auto line = [&](int x0, int y0, int x1, int y1) {
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
      for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) black[y][x] = true;
  };
  line(14, 8, 14, 24);
  line(17, 8, 17, 24);
  line(6, 16, 12, 16);
  line(19, 16, 25, 16);
  for (int k = 1; k <= 3; ++k) {
    line(6 + k, 16 - k, 6 + k, 16 + k);    // left arrow head
    line(25 - k, 16 - k, 25 - k, 16 + k);  // right arrow head
  }
  if (group) line(11, 6, 20, 6);
  std::uint8_t andPlane[kSize * kStride], xorPlane[kSize * kStride];
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      bool edge = false;
      for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int nx = x + dx, ny = y + dy;
        edge = edge || (nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && black[ny][nx]);
      }
      const int at = y * kStride + x / 8, bit = 0x80 >> (x % 8);
      if (x % 8 == 0) andPlane[at] = xorPlane[at] = 0;
      if (black[y][x]) continue;                     // AND 0, XOR 0: black
      if (edge) xorPlane[at] = static_cast<std::uint8_t>(xorPlane[at] | bit);  // white outline
      else andPlane[at] = static_cast<std::uint8_t>(andPlane[at] | bit);       // transparent
    }
  return pw::CreateCursor(S().module, 16, 16, kSize, kSize, andPlane, xorPlane);
}

struct ClassEntry {
  const char* name;
  UINT style;
  int extra;
  pw::WNDPROC proc;
};

const ClassEntry kClasses[] = {
    {kListClass, pw::CS_GLOBALCLASS | pw::CS_DBLCLKS | pw::CS_HREDRAW | pw::CS_VREDRAW,
     static_cast<int>(sizeof(void*)), ListBoxProc},
    {kVScrollClass, pw::CS_GLOBALCLASS, static_cast<int>(sizeof(void*)), ownVScrollProc},
};

bool registerOne(HINSTANCE module, const ClassEntry& c) {
  pw::WNDCLASS wc;
  wc.style = c.style;
  wc.lpfnWndProc = c.proc;
  wc.cbWndExtra = c.extra;
  wc.hInstance = module;
  wc.hCursor = pw::LoadCursor(nullptr, pw::MAKEINTRESOURCE(pw::IDC_ARROW));
  wc.lpszClassName = c.name;
  return pw::RegisterClass(&wc) != 0;
}

void unregisterAll(HINSTANCE module) {
  for (const ClassEntry& c : kClasses) pw::UnregisterClass(c.name, module);
  UnregisterComboClasses(module);
  view::unregisterTipClass(module);
}

}  // namespace

int LibraryEntry(HINSTANCE module, unsigned reason) {
  LibraryState& s = S();
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      if (s.module) return 1;
      PoolSetErrorHandler(failPoolErrors);
      if (!registerOne(module, kClasses[0])) return 0;
      RegisterComboClasses(module);
      for (std::size_t i = 1; i < std::size(kClasses); ++i) registerOne(module, kClasses[i]);
      view::registerTipClass(module);
      // The screen is not read here: no display need exist while libraries
      // load. The first instance reads it.
      s.module = module;
      return 1;
    }
    case DLL_PROCESS_DETACH:
      unregisterAll(s.module ? s.module : module);
      s.module = nullptr;
      return 1;
    default:
      return 1;
  }
}

HINSTANCE libraryModule() { return S().module; }

bool acquirePool() {
  LibraryState& s = S();
  if (s.poolUsers == 0) {
    s.pool = PoolCreate(kPoolLibrary);
    if (!s.pool) return false;
  }
  ++s.poolUsers;
  return true;
}

void releasePool() {
  LibraryState& s = S();
  if (s.poolUsers == 0) return;
  if (--s.poolUsers == 0) {
    PoolStats stats;
    s.blocksLeft = PoolGetStats(s.pool, &stats) ? stats.blocksInUse : 0;
    PoolDestroy(s.pool);
    s.pool = nullptr;
  }
}

MemPool* libraryPool() { return S().pool; }
std::size_t blocksLeftInLastPool() { return S().blocksLeft; }
int poolUsers() { return S().poolUsers; }
int liveInstances() { return S().instances; }

void countInstance() {
  LibraryState& s = S();
  if (s.instances++ == 0) {
    // Column-border and group-border resize cursors.
    s.columnCursor = makeResizeCursor(false);
    s.groupCursor = makeResizeCursor(true);
    // Read here, not at load: no display need exist while libraries load.
    s.dpiX = s.dpiY = pw::screenDpi();
  }
}

void uncountInstance() {
  LibraryState& s = S();
  if (s.instances == 0) return;
  if (--s.instances == 0) {
    pw::DestroyCursor(s.columnCursor);
    pw::DestroyCursor(s.groupCursor);
    s.columnCursor = s.groupCursor = nullptr;
    if (s.focusBrush) pw::DeleteObject(s.focusBrush);
    if (s.focusBits) pw::DeleteObject(s.focusBits);
    s.focusBrush = nullptr;
    s.focusBits = nullptr;
  }
}

pw::HCURSOR columnBorderCursor() { return S().columnCursor; }
pw::HCURSOR groupBorderCursor() { return S().groupCursor; }

pw::HBRUSH focusPatternBrush() {
  LibraryState& s = S();
  if (!s.focusBrush) {
    // A checkerboard, rows padded to 16 bits.
    static const std::uint16_t rows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    s.focusBits = pw::CreateBitmap(8, 8, 1, 1, rows);
    if (s.focusBits) s.focusBrush = pw::CreatePatternBrush(s.focusBits);
  }
  return s.focusBrush;
}

bool hasFocusBrush() { return S().focusBrush != nullptr; }
int pixelsPerInchX() { return S().dpiX; }
int pixelsPerInchY() { return S().dpiY; }

}  // namespace lindra
