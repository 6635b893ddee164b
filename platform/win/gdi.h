#pragma once
// The drawing subset: device contexts over a window's backing image (client
// or whole window) or over a bitmap, with selected fonts, pens, brushes and
// bitmaps, clipping, text drawing and measuring, rectangles, edges and
// blits. Coordinates are logical pixels (MM_TEXT). Text is UTF-8; lengths
// count bytes, -1 meaning up to the terminating NUL.
//
// Text needs a QGuiApplication (fonts). Without one, text is measured with a
// fixed metric (average width half the cell height) and not drawn, so the
// message-level code runs in tests without a display.

#include "platform/win/win_types.h"

namespace plat::win {

struct LOGFONT {
  LONG lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0, lfWeight = 0;
  BYTE lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0, lfOutPrecision = 0,
       lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};

struct TEXTMETRIC {
  LONG tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0,
       tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0, tmOverhang = 0,
       tmDigitizedAspectX = 96, tmDigitizedAspectY = 96;
  char tmFirstChar = 32, tmLastChar = 126, tmDefaultChar = '?', tmBreakChar = ' ';
  BYTE tmItalic = 0, tmUnderlined = 0, tmStruckOut = 0, tmPitchAndFamily = 0, tmCharSet = 0;
};

struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  ULONG_PTR lbHatch = 0;
};

struct LOGPEN {
  UINT lopnStyle = 0;
  POINT lopnWidth;
  COLORREF lopnColor = 0;
};

struct BITMAP {
  LONG bmType = 0, bmWidth = 0, bmHeight = 0, bmWidthBytes = 0;
  WORD bmPlanes = 1, bmBitsPixel = 0;
  void* bmBits = nullptr;
};

constexpr int FW_DONTCARE = 0, FW_NORMAL = 400, FW_BOLD = 700;
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_NULL = 5;
constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
              HS_CROSS = 4, HS_DIAGCROSS = 5;
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
              BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
              NULL_PEN = 8, OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12,
              SYSTEM_FONT = 13, DEVICE_DEFAULT_FONT = 14, SYSTEM_FIXED_FONT = 16,
              DEFAULT_GUI_FONT = 17;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr UINT TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0, TA_BOTTOM = 8,
               TA_BASELINE = 24, TA_UPDATECP = 1;
constexpr UINT ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;
constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
               DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
               DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80, DT_NOCLIP = 0x100,
               DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
               DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
               DT_WORD_ELLIPSIS = 0x40000;
constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                SRCINVERT = 0x00660046, NOTSRCCOPY = 0x00330008, PATCOPY = 0x00F00021,
                PATINVERT = 0x005A0049, DSTINVERT = 0x00550009, BLACKNESS = 0x00000042,
                WHITENESS = 0x00FF0062;
constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4,
               BDR_SUNKENINNER = 0x8, EDGE_RAISED = 0x5, EDGE_SUNKEN = 0xA, EDGE_ETCHED = 0x6,
               EDGE_BUMP = 0x9;
constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF,
               BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000,
               BF_MONO = 0x8000;
constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, LOGPIXELSX = 88,
              LOGPIXELSY = 90;
constexpr int NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = 0;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
constexpr UINT PRF_CHECKVISIBLE = 0x1, PRF_NONCLIENT = 0x2, PRF_CLIENT = 0x4,
               PRF_ERASEBKGND = 0x8, PRF_CHILDREN = 0x10;

// Device contexts.
HDC GetDC(HWND hwnd);        // client area; nullptr hwnd: a screen-sized memory surface
HDC GetWindowDC(HWND hwnd);  // whole window, non-client area included
int ReleaseDC(HWND hwnd, HDC hdc);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);  // negative: relative to the latest
int GetDeviceCaps(HDC hdc, int index);
HWND WindowFromDC(HDC hdc);

// Objects.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
constexpr UINT OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8;
int GetObject(HGDIOBJ obj, int size, void* out);
HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                 DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                 const char* face);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
HBRUSH GetSysColorBrush(int index);
// 1 bit per pixel (rows padded to 16 bits, 1 = white) or 32 (0x00RRGGBB).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* r);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
BOOL PtInRegion(HRGN rgn, int x, int y);

// Attributes.
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old);
BOOL GetViewportOrgEx(HDC hdc, POINT* org);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old);

// Clipping (rectangles in logical coordinates; regions in device ones).
int SelectClipRgn(HDC hdc, HRGN rgn);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* r);

// Text.
BOOL TextOut(HDC hdc, int x, int y, const char* text, int len);
BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text,
                UINT len, const INT* dx);
int DrawText(HDC hdc, const char* text, int len, RECT* rect, UINT format);
BOOL GetTextExtentPoint32(HDC hdc, const char* text, int len, SIZE* size);
BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm);
// How far above the baseline the selected font's tallest letters reach
// (accented capitals such as "Å" included), in pixels; never less than its
// tmAscent, which some fonts give smaller than their accents need.
int GetTextInkAscent(HDC hdc);
int GetTextFace(HDC hdc, int count, char* face);

// Shapes and blits.
int FillRect(HDC hdc, const RECT* r, HBRUSH brush);  // brush may be COLOR_x + 1
int FrameRect(HDC hdc, const RECT* r, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* r);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* old);
BOOL LineTo(HDC hdc, int x, int y);
BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
BOOL DrawEdge(HDC hdc, RECT* r, UINT edge, UINT flags);
BOOL DrawFocusRect(HDC hdc, const RECT* r);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);

namespace test {
// GDI objects alive, stock objects not counted.
int liveGdiObjectCount();
int liveDCCount();
}  // namespace test

}  // namespace plat::win
