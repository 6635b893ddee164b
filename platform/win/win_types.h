#pragma once
// Basic types and constants of the window layer. The names and numeric
// values are the Win32 ones so that control code written against that
// model ports unchanged; WPARAM, LPARAM, LRESULT and LONG_PTR are
// pointer-width.

#include <cstddef>
#include <cstdint>

namespace plat::win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using INT = int;
using BOOL = int;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using ATOM = WORD;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Opaque handle types. A window, GDI object, global memory block or hook
// handle packs a slot index with the slot's generation, so a handle of a
// freed object never names the object that later takes its slot.
struct HWND__;
struct HDC__;
struct HGDIOBJ__;
struct HGLOBAL__;
struct HHOOK__;
struct HINSTANCE__;
struct HCURSOR__;
struct HMENU__;
using HWND = HWND__*;
using HDC = HDC__*;
using HGDIOBJ = HGDIOBJ__*;
using HFONT = HGDIOBJ;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HRGN = HGDIOBJ;
using HGLOBAL = HGLOBAL__*;
using HHOOK = HHOOK__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HCURSOR = HCURSOR__*;
using HICON = HCURSOR;
using HMENU = HMENU__*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT (*)(int, WPARAM, LPARAM);

struct POINT { LONG x = 0, y = 0; };
struct SIZE { LONG cx = 0, cy = 0; };
struct RECT { LONG left = 0, top = 0, right = 0, bottom = 0; };

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

struct CREATESTRUCT {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

struct MOUSEHOOKSTRUCT {
  POINT pt;
  HWND hwnd = nullptr;
  UINT wHitTestCode = 0;
  ULONG_PTR dwExtraInfo = 0;
};

struct MINMAXINFO {
  POINT ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint;
  BOOL fRestore = FALSE, fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

struct MEASUREITEMSTRUCT {
  UINT CtlType = 0, CtlID = 0, itemID = 0, itemWidth = 0, itemHeight = 0;
  ULONG_PTR itemData = 0;
};

// Owner drawing: WM_DRAWITEM asks the owner to draw one item into hDC.
constexpr UINT ODA_DRAWENTIRE = 0x1, ODA_SELECT = 0x2, ODA_FOCUS = 0x4;
constexpr UINT ODS_SELECTED = 0x1, ODS_DISABLED = 0x4, ODS_FOCUS = 0x10;
struct DRAWITEMSTRUCT {
  UINT CtlType = 0, CtlID = 0, itemID = 0, itemAction = 0, itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem;
  ULONG_PTR itemData = 0;
};
// WM_COMPAREITEM asks the owner of a sorted owner-drawn list to order two
// items: -1 when item 1 comes first, 0 when equal, 1 when it comes after.
struct COMPAREITEMSTRUCT {
  UINT CtlType = 0, CtlID = 0;
  HWND hwndItem = nullptr;
  UINT itemID1 = 0;
  ULONG_PTR itemData1 = 0;
  UINT itemID2 = 0;
  ULONG_PTR itemData2 = 0;
  DWORD dwLocaleId = 0;
};

// Word helpers.
constexpr WORD LOWORD(ULONG_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(ULONG_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr short GET_X_LPARAM(LPARAM l) { return static_cast<short>(LOWORD(static_cast<ULONG_PTR>(l))); }
constexpr short GET_Y_LPARAM(LPARAM l) { return static_cast<short>(HIWORD(static_cast<ULONG_PTR>(l))); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<LONG>((static_cast<DWORD>(hi & 0xFFFF) << 16) | static_cast<DWORD>(lo & 0xFFFF)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
  return static_cast<WPARAM>((static_cast<DWORD>(hi & 0xFFFF) << 16) | static_cast<DWORD>(lo & 0xFFFF));
}
constexpr LONG MAKELONG(int lo, int hi) { return static_cast<LONG>(MAKELPARAM(lo, hi)); }
constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
inline const char* MAKEINTRESOURCE(int id) { return reinterpret_cast<const char*>(static_cast<ULONG_PTR>(id & 0xFFFF)); }

// Window messages.
constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003,
               WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008,
               WM_ENABLE = 0x000A, WM_SETREDRAW = 0x000B, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D,
               WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
               WM_ERASEBKGND = 0x0014, WM_SYSCOLORCHANGE = 0x0015, WM_SHOWWINDOW = 0x0018,
               WM_WININICHANGE = 0x001A, WM_ACTIVATEAPP = 0x001C, WM_CANCELMODE = 0x001F,
               WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021, WM_GETMINMAXINFO = 0x0024,
               WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C, WM_DELETEITEM = 0x002D,
               WM_COMPAREITEM = 0x0039, WM_SETFONT = 0x0030,
               WM_GETFONT = 0x0031, WM_WINDOWPOSCHANGING = 0x0046, WM_WINDOWPOSCHANGED = 0x0047,
               WM_NOTIFY = 0x004E, WM_HELP = 0x0053, WM_STYLECHANGING = 0x007C,
               WM_STYLECHANGED = 0x007D, WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082,
               WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085,
               WM_NCACTIVATE = 0x0086, WM_GETDLGCODE = 0x0087, WM_NCMOUSEMOVE = 0x00A0,
               WM_NCLBUTTONDOWN = 0x00A1, WM_NCLBUTTONUP = 0x00A2, WM_NCLBUTTONDBLCLK = 0x00A3,
               WM_NCRBUTTONDOWN = 0x00A4, WM_NCRBUTTONUP = 0x00A5, WM_NCRBUTTONDBLCLK = 0x00A6,
               WM_NCMBUTTONDOWN = 0x00A7, WM_NCMBUTTONUP = 0x00A8, WM_NCMBUTTONDBLCLK = 0x00A9,
               WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104,
               WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111,
               WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113, WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115,
               WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORLISTBOX = 0x0134, WM_CTLCOLORSCROLLBAR = 0x0137,
               WM_CTLCOLORSTATIC = 0x0138, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
               WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
               WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207,
               WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A,
               WM_PARENTNOTIFY = 0x0210, WM_CAPTURECHANGED = 0x0215, WM_PRINT = 0x0317,
               WM_PRINTCLIENT = 0x0318, WM_PALETTECHANGED = 0x0311, WM_USER = 0x0400, WM_APP = 0x8000;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000,
                WS_MAXIMIZE = 0x01000000, WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000,
                WS_DLGFRAME = 0x00400000, WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000,
                WS_SYSMENU = 0x00080000, WS_THICKFRAME = 0x00040000, WS_GROUP = 0x00020000,
                WS_TABSTOP = 0x00010000, WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000,
                WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x1, WS_EX_NOPARENTNOTIFY = 0x4, WS_EX_TOPMOST = 0x8,
                WS_EX_TRANSPARENT = 0x20, WS_EX_TOOLWINDOW = 0x80, WS_EX_WINDOWEDGE = 0x100,
                WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTROLPARENT = 0x10000, WS_EX_STATICEDGE = 0x20000;

// Class styles.
constexpr UINT CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_DBLCLKS = 0x8, CS_OWNDC = 0x20,
               CS_CLASSDC = 0x40, CS_PARENTDC = 0x80, CS_NOCLOSE = 0x200, CS_SAVEBITS = 0x800,
               CS_GLOBALCLASS = 0x4000;

// Window long indices.
constexpr int GWLP_WNDPROC = -4, GWLP_HINSTANCE = -6, GWLP_HWNDPARENT = -8, GWLP_ID = -12,
              GWL_STYLE = -16, GWL_EXSTYLE = -20, GWLP_USERDATA = -21;
constexpr int GWL_WNDPROC = GWLP_WNDPROC, GWL_HINSTANCE = GWLP_HINSTANCE, GWL_ID = GWLP_ID,
              GWL_USERDATA = GWLP_USERDATA;
constexpr int GCL_STYLE = -26, GCLP_WNDPROC = -24, GCL_CBWNDEXTRA = -18, GCL_CBCLSEXTRA = -20,
              GCLP_HCURSOR = -12, GCLP_HBRBACKGROUND = -10;

// SetWindowPos flags and ShowWindow commands.
constexpr UINT SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOREDRAW = 0x8,
               SWP_NOACTIVATE = 0x10, SWP_FRAMECHANGED = 0x20, SWP_SHOWWINDOW = 0x40,
               SWP_HIDEWINDOW = 0x80, SWP_NOCOPYBITS = 0x100, SWP_NOOWNERZORDER = 0x200,
               SWP_NOSENDCHANGING = 0x400;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2,
              SW_SHOWMAXIMIZED = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6,
              SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8, SW_RESTORE = 9;
constexpr WPARAM SIZE_RESTORED = 0;

// Hit-test codes.
constexpr int HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2,
              HTHSCROLL = 6, HTVSCROLL = 7, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTBOTTOM = 15,
              HTBORDER = 18;

// Mouse activation answers.
constexpr int MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4;

// Dialog codes (WM_GETDLGCODE answers).
constexpr LRESULT DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2, DLGC_WANTALLKEYS = 0x4,
                  DLGC_WANTMESSAGE = 0x4, DLGC_HASSETSEL = 0x8, DLGC_DEFPUSHBUTTON = 0x10,
                  DLGC_UNDEFPUSHBUTTON = 0x20, DLGC_RADIOBUTTON = 0x40, DLGC_WANTCHARS = 0x80,
                  DLGC_STATIC = 0x100, DLGC_BUTTON = 0x2000;

// Key state bits of mouse messages, and virtual keys.
constexpr WPARAM MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8,
                 MK_MBUTTON = 0x10;
constexpr int VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04, VK_BACK = 0x08,
              VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
              VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
              VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
              VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
              VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75,
              VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A,
              VK_F12 = 0x7B, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91;
constexpr int WHEEL_DELTA = 120;

// Hooks.
constexpr int WH_MOUSE = 7, HC_ACTION = 0;

// Global memory flags.
constexpr UINT GMEM_FIXED = 0x0, GMEM_MOVEABLE = 0x2, GMEM_ZEROINIT = 0x40, GMEM_MODIFY = 0x80,
               GHND = GMEM_MOVEABLE | GMEM_ZEROINIT, GPTR = GMEM_FIXED | GMEM_ZEROINIT,
               GMEM_INVALID_HANDLE = 0x8000, GMEM_LOCKCOUNT = 0xFF;

// Last-error codes that the layer sets.
constexpr DWORD ERROR_SUCCESS = 0, ERROR_INVALID_HANDLE = 6, ERROR_NOT_ENOUGH_MEMORY = 8,
                ERROR_INVALID_PARAMETER = 87, ERROR_INVALID_WINDOW_HANDLE = 1400,
                ERROR_CLASS_ALREADY_EXISTS = 1410, ERROR_CLASS_DOES_NOT_EXIST = 1411,
                ERROR_CLASS_HAS_WINDOWS = 1412, ERROR_INVALID_INDEX = 1413;

// System metrics.
constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3,
              SM_CYCAPTION = 4, SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7,
              SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11,
              SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15,
              SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
              SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31,
              SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37,
              SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50,
              SM_CXDRAG = 68, SM_CYDRAG = 69, SM_MOUSEWHEELPRESENT = 75,
              SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79, SM_CMONITORS = 80;

// System colours, and the colour references that name them (0x80000000 | index).
constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2,
              COLOR_INACTIVECAPTION = 3, COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6,
              COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9,
              COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
              COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15,
              COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18,
              COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20, COLOR_3DDKSHADOW = 21,
              COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24, COLOR_HOTLIGHT = 26,
              COLOR_GRADIENTACTIVECAPTION = 27, COLOR_GRADIENTINACTIVECAPTION = 28,
              COLOR_MENUHILIGHT = 29, COLOR_MENUBAR = 30, COLOR_3DFACE = COLOR_BTNFACE,
              COLOR_3DSHADOW = COLOR_BTNSHADOW, COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT,
              COLOR_COUNT = 31;
constexpr COLORREF SYSCOLOR_REF_BIT = 0x80000000u;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

}  // namespace plat::win
