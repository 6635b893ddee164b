// The drawing subset over QPainter on QImage. See gdi.h.

#include "platform/win/gdi.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QGuiApplication>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win/bitmap_bits.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/handle_table.h"
#include "platform/win/window.h"

namespace plat::win {

namespace detail {
struct WindowSurface {
  QImage image;
};
}  // namespace detail

namespace {

enum class Kind { Font, Pen, Brush, Bitmap, Region };

struct GdiObject {
  Kind kind;
  bool stock = false;
  int selected = 0;  // number of DCs holding it
  // Font
  LOGFONT lf;
  // Pen
  int penStyle = PS_SOLID, penWidth = 1;
  // Pen and brush colour (may be a system colour reference)
  COLORREF color = 0;
  // Brush
  UINT brushStyle = BS_SOLID;
  int hatch = 0;
  int sysIndex = -1;  // a system colour brush follows the colour
  QImage pattern;
  bool patternMono = false;
  // Bitmap
  QImage image;
  bool mono = false;
  // Region
  QRegion region;
};

struct DCState {
  HGDIOBJ font, pen, brush, bitmap;
  COLORREF text = RGB(0, 0, 0), bk = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  UINT align = TA_LEFT | TA_TOP;
  POINT viewport, cur, brushOrg;
  bool hasUserClip = false;
  QRegion userClip;  // relative to the DC origin
};

struct DC {
  HWND hwnd = nullptr;
  bool memory = false;
  bool paint = false;
  QImage* ownImage = nullptr;  // screen DC's own image
  POINT origin;                // device position of logical (0,0) before the viewport
  QRegion base;                // image coordinates
  DCState st;
  std::vector<DCState> saved;
};

struct Gdi {
  detail::HandleTable<GdiObject> objects;
  detail::HandleTable<DC> dcs;
  HGDIOBJ stock[20] = {};
  HBRUSH sysBrush[COLOR_COUNT] = {};
  HGDIOBJ defaultBitmap = nullptr;
};

Gdi& G() {
  static Gdi* g = new Gdi;
  return *g;
}

std::uintptr_t U(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

GdiObject* O(HGDIOBJ h) { return h ? G().objects.raw(U(h)) : nullptr; }
DC* D(HDC h) { return h ? G().dcs.raw(U(h)) : nullptr; }

HGDIOBJ addObject(std::shared_ptr<GdiObject> o) {
  return reinterpret_cast<HGDIOBJ>(G().objects.add(std::move(o)));
}

QColor qc(COLORREF c) {
  c = TranslateColor(c);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF fromQ(QRgb c) { return RGB(qRed(c), qGreen(c), qBlue(c)); }

bool haveFonts() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

const char* mapFace(const char* face) {
  static const struct { const char* from; const char* to; } kMap[] = {
      {"ms sans serif", "DejaVu Sans"}, {"ms shell dlg", "DejaVu Sans"},
      {"ms shell dlg 2", "DejaVu Sans"}, {"tahoma", "DejaVu Sans"}, {"arial", "DejaVu Sans"},
      {"segoe ui", "DejaVu Sans"}, {"system", "DejaVu Sans"}, {"verdana", "DejaVu Sans"},
      {"courier new", "DejaVu Sans Mono"}, {"courier", "DejaVu Sans Mono"},
      {"fixedsys", "DejaVu Sans Mono"}, {"times new roman", "DejaVu Serif"}};
  if (!face || !*face) return "DejaVu Sans";
  std::string l(face);
  for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& m : kMap)
    if (l == m.from) return m.to;
  return face;
}

// The Qt font for a logical font: a negative height is the character
// height, a positive one the cell height, 0 the default size.
QFont qfont(const LOGFONT& lf) {
  QFont f(QString::fromUtf8(mapFace(lf.lfFaceName)));
  int h = lf.lfHeight == 0 ? -13 : lf.lfHeight;
  f.setPixelSize(std::max(1, h < 0 ? -h : h));
  f.setWeight(static_cast<QFont::Weight>(std::clamp<int>(lf.lfWeight ? lf.lfWeight : 400, 1, 1000)));
  f.setItalic(lf.lfItalic != 0);
  f.setUnderline(lf.lfUnderline != 0);
  f.setStrikeOut(lf.lfStrikeOut != 0);
  f.setStyleStrategy(QFont::NoAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  if (h > 0) {
    QFontMetrics fm(f);
    int cell = fm.ascent() + fm.descent();
    if (cell > 0) f.setPixelSize(std::max(1, MulDiv(h, h, cell)));
  }
  return f;
}

bool sameFont(const LOGFONT& a, const LOGFONT& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
         a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
         a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
         a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
         std::strncmp(a.lfFaceName, b.lfFaceName, sizeof a.lfFaceName) == 0;
}

// A Qt font with its metrics, made once per font description: windows
// draw and measure the same few fonts over and over, and making a QFont
// and its metrics for every string costs more than drawing the string.
// The fonts belong to the running application and go with it.
struct QtFont {
  LOGFONT lf;
  QFont font;
  QFontMetrics metrics;
  TEXTMETRIC tm;
  int inkAscent = -1;  // measured when first asked
  // Widths of the texts measured with the font: a list paints the same
  // short texts over and over, and measuring one shapes it anew each time.
  QHash<QString, int> widths;
  QtFont(const LOGFONT& l, const QFont& f) : lf(l), font(f), metrics(f) {}
};

QtFont& qtFont(const LOGFONT& lf) {
  constexpr std::size_t kKept = 32;
  static std::vector<std::unique_ptr<QtFont>> fonts;  // the latest used first
  static QCoreApplication* owner = nullptr;
  QCoreApplication* app = QCoreApplication::instance();
  if (app != owner) {
    fonts.clear();
    owner = app;
    if (app)
      QObject::connect(app, &QObject::destroyed, [] {
        fonts.clear();
        owner = nullptr;
      });
  }
  for (std::size_t i = 0; i < fonts.size(); ++i)
    if (sameFont(fonts[i]->lf, lf)) {
      if (i) std::rotate(fonts.begin(), fonts.begin() + static_cast<std::ptrdiff_t>(i), fonts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return *fonts.front();
    }
  auto f = std::make_unique<QtFont>(lf, qfont(lf));
  const QFontMetrics& fm = f->metrics;
  TEXTMETRIC& tm = f->tm;
  tm.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
  tm.tmItalic = lf.lfItalic;
  tm.tmUnderlined = lf.lfUnderline;
  tm.tmStruckOut = lf.lfStrikeOut;
  tm.tmAscent = fm.ascent();
  tm.tmDescent = fm.descent();
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = std::max(0, tm.tmHeight - f->font.pixelSize());
  tm.tmExternalLeading = std::max(0, fm.leading());
  tm.tmAveCharWidth = std::max(1, fm.averageCharWidth());
  tm.tmMaxCharWidth = std::max(1, fm.maxWidth());
  if (fonts.size() == kKept) fonts.pop_back();
  fonts.insert(fonts.begin(), std::move(f));
  return *fonts.front();
}

GdiObject* fontOf(DC* dc) {
  GdiObject* f = O(dc->st.font);
  return f ? f : O(GetStockObject(SYSTEM_FONT));
}

void metricsOf(const LOGFONT& lf, TEXTMETRIC* tm) {
  *tm = TEXTMETRIC{};
  tm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
  tm->tmItalic = lf.lfItalic;
  tm->tmUnderlined = lf.lfUnderline;
  tm->tmStruckOut = lf.lfStrikeOut;
  if (!haveFonts()) {
    int h = lf.lfHeight == 0 ? 16 : (lf.lfHeight < 0 ? -lf.lfHeight * 16 / 13 : lf.lfHeight);
    tm->tmHeight = h;
    tm->tmAscent = h * 13 / 16;
    tm->tmDescent = h - tm->tmAscent;
    tm->tmInternalLeading = h - h * 13 / 16;
    tm->tmAveCharWidth = std::max(1, h / 2);
    tm->tmMaxCharWidth = h;
    return;
  }
  *tm = qtFont(lf).tm;
}

QString qtext(const char* s, int len) {
  if (!s) return {};
  if (len < 0) return QString::fromUtf8(s);
  return QString::fromUtf8(s, len);
}

int textWidth(const LOGFONT& lf, const QString& s) {
  if (!haveFonts()) {
    TEXTMETRIC tm;
    metricsOf(lf, &tm);
    return static_cast<int>(s.toUcs4().size()) * tm.tmAveCharWidth;
  }
  QtFont& f = qtFont(lf);
  if (const auto it = f.widths.constFind(s); it != f.widths.constEnd()) return *it;
  constexpr qsizetype kWidthsKept = 4096;
  if (f.widths.size() >= kWidthsKept) f.widths.clear();
  const int w = f.metrics.horizontalAdvance(s);
  f.widths.insert(s, w);
  return w;
}

QImage* targetOf(DC* dc) {
  if (dc->memory) {
    GdiObject* b = O(dc->st.bitmap);
    return b ? &b->image : nullptr;
  }
  if (dc->ownImage) return dc->ownImage;
  auto* slot = detail::surfaceSlot(dc->hwnd);
  if (!slot || !*slot) return nullptr;
  return &(*slot)->image;
}

// The window's backing image, sized to the window (contents kept on resize).
QImage* ensureSurface(HWND h) {
  auto* slot = detail::surfaceSlot(h);
  if (!slot) return nullptr;
  RECT wr;
  detail::windowScreenRect(h, &wr, nullptr);
  int w = std::max<LONG>(1, wr.right - wr.left), hh = std::max<LONG>(1, wr.bottom - wr.top);
  if (!*slot) {
    *slot = std::make_shared<detail::WindowSurface>();
    (*slot)->image = QImage(w, hh, QImage::Format_RGB32);
    (*slot)->image.fill(QColor(255, 255, 255));
  } else if ((*slot)->image.width() != w || (*slot)->image.height() != hh) {
    QImage next(w, hh, QImage::Format_RGB32);
    next.fill(QColor(255, 255, 255));
    QPainter p(&next);
    p.drawImage(0, 0, (*slot)->image);
    p.end();
    (*slot)->image = next;
  }
  return &(*slot)->image;
}

QRegion clipOf(DC* dc) {
  QRegion r = dc->base;
  if (dc->st.hasUserClip) r &= dc->st.userClip.translated(dc->origin.x, dc->origin.y);
  return r;
}

void touched(DC* dc) {
  if (dc->hwnd) detail::markPainted(dc->hwnd);
}

// A painter set up for one operation on the DC: clipped, translated to the
// logical origin, no antialiasing (pixels land where GDI puts them).
class Painter {
 public:
  explicit Painter(DC* dc) : dc_(dc) {
    img_ = targetOf(dc);
    if (!img_ || img_->isNull()) return;
    p_.begin(img_);
    p_.setClipRegion(clipOf(dc));
    p_.translate(dc->origin.x + dc->st.viewport.x, dc->origin.y + dc->st.viewport.y);
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setRenderHint(QPainter::TextAntialiasing, false);
  }
  ~Painter() {
    if (p_.isActive()) {
      p_.end();
      touched(dc_);
    }
  }
  bool ok() const { return p_.isActive(); }
  QPainter& operator*() { return p_; }
  QPainter* operator->() { return &p_; }

 private:
  DC* dc_;
  QImage* img_ = nullptr;
  QPainter p_;
};

Qt::BrushStyle hatchStyle(int h) {
  switch (h) {
    case HS_HORIZONTAL: return Qt::HorPattern;
    case HS_VERTICAL: return Qt::VerPattern;
    case HS_FDIAGONAL: return Qt::BDiagPattern;
    case HS_BDIAGONAL: return Qt::FDiagPattern;
    case HS_CROSS: return Qt::CrossPattern;
    default: return Qt::DiagCrossPattern;
  }
}

// A mono image (white = 1) painted with the DC's colours: 0 bits take the
// text colour, 1 bits the background colour.
QImage colourMono(const QImage& mono, COLORREF text, COLORREF bk) {
  QImage out(mono.size(), QImage::Format_RGB32);
  QRgb t = qc(text).rgb(), b = qc(bk).rgb();
  for (int y = 0; y < mono.height(); ++y)
    for (int x = 0; x < mono.width(); ++x)
      out.setPixel(x, y, (mono.pixel(x, y) & 0xFFFFFF) ? b : t);
  return out;
}

// The Qt brush for a GDI brush handle (or COLOR_x + 1); false for a null
// brush.
bool qbrush(DC* dc, HBRUSH h, QBrush* out) {
  auto v = U(h);
  if (v >= 1 && v <= static_cast<std::uintptr_t>(COLOR_COUNT)) {
    *out = QBrush(qc(GetSysColor(static_cast<int>(v - 1))));
    return true;
  }
  GdiObject* b = O(h);
  if (!b || b->kind != Kind::Brush) return false;
  switch (b->brushStyle) {
    case BS_NULL: return false;
    case BS_SOLID:
      *out = QBrush(b->sysIndex >= 0 ? qc(GetSysColor(b->sysIndex)) : qc(b->color));
      return true;
    case BS_HATCHED: *out = QBrush(qc(b->color), hatchStyle(b->hatch)); return true;
    case BS_PATTERN: {
      QImage img = b->patternMono ? colourMono(b->pattern, dc->st.text, dc->st.bk) : b->pattern;
      *out = QBrush(img);
      // Patterns are aligned to the device origin plus the brush origin.
      QTransform t;
      t.translate(-(dc->origin.x + dc->st.viewport.x) + dc->st.brushOrg.x,
                  -(dc->origin.y + dc->st.viewport.y) + dc->st.brushOrg.y);
      out->setTransform(t);
      return true;
    }
    default: return false;
  }
}

HDC newDC(HWND h, bool whole, bool memory) {
  auto dc = std::make_shared<DC>();
  dc->hwnd = h;
  dc->memory = memory;
  dc->st.font = GetStockObject(SYSTEM_FONT);
  dc->st.pen = GetStockObject(BLACK_PEN);
  dc->st.brush = GetStockObject(WHITE_BRUSH);
  if (memory) {
    dc->st.bitmap = G().defaultBitmap;
    dc->base = QRegion(0, 0, 1 << 20, 1 << 20);
  } else if (h) {
    QImage* img = ensureSurface(h);
    RECT wr, cr;
    detail::windowScreenRect(h, &wr, &cr);
    if (whole) {
      dc->origin = {0, 0};
      dc->base = QRegion(0, 0, img->width(), img->height());
    } else {
      dc->origin = {cr.left - wr.left, cr.top - wr.top};
      dc->base = QRegion(dc->origin.x, dc->origin.y, cr.right - cr.left, cr.bottom - cr.top);
    }
  }
  for (HGDIOBJ o : {dc->st.font, dc->st.pen, dc->st.brush, dc->st.bitmap})
    if (GdiObject* g = O(o)) g->selected++;
  return reinterpret_cast<HDC>(G().dcs.add(dc));
}

void releaseSelections(DC* dc) {
  for (HGDIOBJ o : {dc->st.font, dc->st.pen, dc->st.brush, dc->st.bitmap})
    if (GdiObject* g = O(o)) g->selected--;
  for (auto& s : dc->saved)
    for (HGDIOBJ o : {s.font, s.pen, s.brush, s.bitmap})
      if (GdiObject* g = O(o)) g->selected--;
}

void fillRectQ(DC* dc, QRect r, const QBrush& br) {
  Painter p(dc);
  if (!p.ok()) return;
  p->fillRect(r, br);
}

QRect qrect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// Draws one run of text with its top-left corner at (x, y): background
// first in opaque mode, then the glyphs.
void drawRun(DC* dc, QPainter& p, int x, int y, const QString& s, const LOGFONT& lf) {
  TEXTMETRIC tm;
  metricsOf(lf, &tm);
  int w = textWidth(lf, s);
  if (dc->st.bkMode == OPAQUE) p.fillRect(QRect(x, y, w, tm.tmHeight), qc(dc->st.bk));
  if (!haveFonts()) return;
  p.setFont(qtFont(lf).font);
  p.setPen(qc(dc->st.text));
  p.drawText(x, y + tm.tmAscent, s);
}

void ringLine(QPainter& p, const RECT& r, UINT sides, const QColor& tl, const QColor& br) {
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  if (sides & BF_TOP) p.fillRect(QRect(r.left, r.top, w, 1), tl);
  if (sides & BF_LEFT) p.fillRect(QRect(r.left, r.top, 1, h), tl);
  if (sides & BF_BOTTOM) p.fillRect(QRect(r.left, r.bottom - 1, w, 1), br);
  if (sides & BF_RIGHT) p.fillRect(QRect(r.right - 1, r.top, 1, h), br);
}

}  // namespace

// ---------------------------------------------------------------- DCs

HDC GetDC(HWND h) {
  if (detail::takeGetDCFailure()) return nullptr;
  if (!h) {
    HDC dc = newDC(nullptr, false, false);
    DC* d = D(dc);
    static QImage* screen = new QImage(GetSystemMetrics(SM_CXSCREEN),
                                       GetSystemMetrics(SM_CYSCREEN), QImage::Format_RGB32);
    d->ownImage = screen;
    d->base = QRegion(0, 0, screen->width(), screen->height());
    return dc;
  }
  if (!IsWindow(h)) return nullptr;
  return newDC(h, false, false);
}

HDC GetWindowDC(HWND h) {
  if (detail::takeGetDCFailure()) return nullptr;
  if (!IsWindow(h)) return nullptr;
  return newDC(h, true, false);
}

int ReleaseDC(HWND, HDC hdc) {
  DC* dc = D(hdc);
  if (!dc || dc->memory) return 0;
  releaseSelections(dc);
  G().dcs.remove(U(hdc));
  return 1;
}

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
  if (!ps || !IsWindow(h)) return nullptr;
  *ps = PAINTSTRUCT{};
  RECT upd;
  bool erase = false;
  detail::takeUpdate(h, &upd, &erase);
  HDC hdc = GetDC(h);
  if (!hdc) return nullptr;
  DC* dc = D(hdc);
  dc->paint = true;
  QRect u = qrect(upd).translated(dc->origin.x, dc->origin.y);
  dc->base &= QRegion(u);
  ps->hdc = hdc;
  ps->rcPaint = upd;
  ps->fErase = TRUE;
  if (erase) ps->fErase = SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL EndPaint(HWND h, const PAINTSTRUCT* ps) {
  if (!ps) return FALSE;
  ReleaseDC(h, ps->hdc);
  return TRUE;
}

HDC CreateCompatibleDC(HDC) {
  if (!G().defaultBitmap) {
    G().defaultBitmap = CreateBitmap(1, 1, 1, 1, nullptr);
    O(G().defaultBitmap)->stock = true;
  }
  return newDC(nullptr, false, true);
}

BOOL DeleteDC(HDC hdc) {
  DC* dc = D(hdc);
  if (!dc) return FALSE;
  releaseSelections(dc);
  G().dcs.remove(U(hdc));
  return TRUE;
}

int SaveDC(HDC hdc) {
  DC* dc = D(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  for (HGDIOBJ o : {dc->st.font, dc->st.pen, dc->st.brush, dc->st.bitmap})
    if (GdiObject* g = O(o)) g->selected++;
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
  DC* dc = D(hdc);
  if (!dc) return FALSE;
  int n = static_cast<int>(dc->saved.size());
  int level = saved < 0 ? n + 1 + saved : saved;
  if (level < 1 || level > n) return FALSE;
  for (HGDIOBJ o : {dc->st.font, dc->st.pen, dc->st.brush, dc->st.bitmap})
    if (GdiObject* g = O(o)) g->selected--;
  dc->st = dc->saved[static_cast<std::size_t>(level - 1)];
  // Later saved states are dropped with their selections.
  for (int i = level; i < n; ++i)
    for (HGDIOBJ o : {dc->saved[i].font, dc->saved[i].pen, dc->saved[i].brush, dc->saved[i].bitmap})
      if (GdiObject* g = O(o)) g->selected--;
  dc->saved.resize(static_cast<std::size_t>(level - 1));
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX: case LOGPIXELSY: return screenDpi();
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    default: return 0;
  }
}

HWND WindowFromDC(HDC hdc) {
  DC* dc = D(hdc);
  return dc ? dc->hwnd : nullptr;
}

// ---------------------------------------------------------------- objects

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  DC* dc = D(hdc);
  GdiObject* o = O(obj);
  if (!dc || !o) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (o->kind) {
    case Kind::Font: slot = &dc->st.font; break;
    case Kind::Pen: slot = &dc->st.pen; break;
    case Kind::Brush: slot = &dc->st.brush; break;
    case Kind::Bitmap:
      if (!dc->memory) return nullptr;
      if (o->selected > 0 && obj != dc->st.bitmap && !o->stock) return nullptr;  // one DC at a time
      slot = &dc->st.bitmap;
      break;
    case Kind::Region:
      return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(SelectClipRgn(hdc, obj)));
  }
  HGDIOBJ old = *slot;
  if (GdiObject* g = O(old)) g->selected--;
  *slot = obj;
  o->selected++;
  return old;
}

BOOL DeleteObject(HGDIOBJ obj) {
  GdiObject* o = O(obj);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  if (o->selected > 0) return FALSE;  // still selected into a DC
  G().objects.remove(U(obj));
  return TRUE;
}

HGDIOBJ GetStockObject(int index) {
  auto& g = G();
  if (index < 0 || index >= 20 || index == 9 || index == 15 || index > 17) return nullptr;
  if (g.stock[index]) return g.stock[index];
  auto o = std::make_shared<GdiObject>();
  o->stock = true;
  switch (index) {
    case WHITE_BRUSH: case LTGRAY_BRUSH: case GRAY_BRUSH: case DKGRAY_BRUSH: case BLACK_BRUSH: {
      static const COLORREF c[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                   RGB(64, 64, 64), RGB(0, 0, 0)};
      o->kind = Kind::Brush;
      o->color = c[index];
      break;
    }
    case NULL_BRUSH: o->kind = Kind::Brush; o->brushStyle = BS_NULL; break;
    case WHITE_PEN: o->kind = Kind::Pen; o->color = RGB(255, 255, 255); break;
    case BLACK_PEN: o->kind = Kind::Pen; o->color = 0; break;
    case NULL_PEN: o->kind = Kind::Pen; o->penStyle = PS_NULL; break;
    default: {
      o->kind = Kind::Font;
      bool fixed = index == OEM_FIXED_FONT || index == ANSI_FIXED_FONT || index == SYSTEM_FIXED_FONT;
      std::strcpy(o->lf.lfFaceName, fixed ? "Courier New" : "MS Shell Dlg");
      o->lf.lfHeight = index == SYSTEM_FONT ? -13 : -11;
      o->lf.lfWeight = index == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
      break;
    }
  }
  g.stock[index] = addObject(o);
  return g.stock[index];
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  DC* dc = D(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->st.pen;
    case OBJ_BRUSH: return dc->st.brush;
    case OBJ_FONT: return dc->st.font;
    case OBJ_BITMAP: return dc->st.bitmap;
    default: return nullptr;
  }
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  GdiObject* o = O(obj);
  if (!o) return 0;
  auto copy = [&](const auto& v) {
    int n = static_cast<int>(sizeof v);
    if (!out) return n;
    if (size < n) return 0;
    std::memcpy(out, &v, sizeof v);
    return n;
  };
  switch (o->kind) {
    case Kind::Font: return copy(o->lf);
    case Kind::Pen: {
      LOGPEN lp;
      lp.lopnStyle = static_cast<UINT>(o->penStyle);
      lp.lopnWidth = {o->penWidth, 0};
      lp.lopnColor = o->color;
      return copy(lp);
    }
    case Kind::Brush: {
      LOGBRUSH lb;
      lb.lbStyle = o->brushStyle;
      lb.lbColor = o->sysIndex >= 0 ? GetSysColor(o->sysIndex) : o->color;
      lb.lbHatch = static_cast<ULONG_PTR>(o->hatch);
      return copy(lb);
    }
    case Kind::Bitmap: {
      BITMAP bm;
      bm.bmWidth = o->image.width();
      bm.bmHeight = o->image.height();
      bm.bmBitsPixel = o->mono ? 1 : 32;
      bm.bmWidthBytes = o->mono ? ((bm.bmWidth + 15) / 16) * 2 : bm.bmWidth * 4;
      return copy(bm);
    }
    case Kind::Region: return 0;
  }
  return 0;
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Font;
  o->lf = *lf;
  o->lf.lfFaceName[sizeof o->lf.lfFaceName - 1] = '\0';
  return addObject(o);
}

HFONT CreateFont(int height, int width, int esc, int orient, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrec, DWORD clipPrec,
                 DWORD quality, DWORD pitch, const char* face) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = esc;
  lf.lfOrientation = orient;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrec);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrec);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitch);
  if (face) {
    // Cut at a character boundary so the name stays valid UTF-8.
    std::size_t n = std::min<std::size_t>(std::strlen(face), sizeof lf.lfFaceName - 1);
    while (n > 0 && n < std::strlen(face) && (static_cast<unsigned char>(face[n]) & 0xC0) == 0x80) --n;
    std::memcpy(lf.lfFaceName, face, n);
  }
  return CreateFontIndirect(&lf);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Pen;
  o->penStyle = style;
  o->penWidth = std::max(1, width);
  o->color = color;
  return addObject(o);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Brush;
  o->color = color;
  return addObject(o);
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Brush;
  o->brushStyle = BS_HATCHED;
  o->hatch = hatch;
  o->color = color;
  return addObject(o);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  GdiObject* b = O(bitmap);
  if (!b || b->kind != Kind::Bitmap) return nullptr;
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Brush;
  o->brushStyle = BS_PATTERN;
  // Windows uses the top-left 8 x 8 pixels of the bitmap.
  o->pattern = b->image.copy(0, 0, std::min(8, b->image.width()), std::min(8, b->image.height()));
  o->patternMono = b->mono;
  return addObject(o);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  switch (lb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(lb->lbHatch), lb->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
    case BS_NULL: return GetStockObject(NULL_BRUSH);
    default: return nullptr;
  }
}

HBRUSH GetSysColorBrush(int index) {
  auto& g = G();
  if (index < 0 || index >= COLOR_COUNT) return nullptr;
  if (!g.sysBrush[index]) {
    auto o = std::make_shared<GdiObject>();
    o->kind = Kind::Brush;
    o->stock = true;
    o->sysIndex = index;
    g.sysBrush[index] = addObject(o);
  }
  return g.sysBrush[index];
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bpp, const void* bits) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || (bpp != 1 && bpp != 32))
    return nullptr;
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Bitmap;
  o->mono = bpp == 1;
  o->image = QImage(width, height, QImage::Format_RGB32);
  o->image.fill(o->mono ? QColor(0, 0, 0) : QColor(0, 0, 0));
  if (bits) {
    const auto* p = static_cast<const std::uint8_t*>(bits);
    if (o->mono) {
      int stride = ((width + 15) / 16) * 2;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          bool set = (p[y * stride + x / 8] >> (7 - x % 8)) & 1;
          o->image.setPixel(x, y, set ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    } else {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* px = p + (static_cast<std::size_t>(y) * width + x) * 4;
          o->image.setPixel(x, y, qRgb(px[2], px[1], px[0]));
        }
    }
  }
  return addObject(o);
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
  GdiObject* o = O(bitmap);
  if (!o || o->kind != Kind::Bitmap || size < 0) return 0;
  const int w = o->image.width(), h = o->image.height();
  const std::size_t stride = o->mono ? static_cast<std::size_t>((w + 15) / 16) * 2 : static_cast<std::size_t>(w) * 4;
  if (!bits) return static_cast<LONG>(stride * static_cast<std::size_t>(h));
  const int rows = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(size) / stride, static_cast<std::size_t>(h)));
  auto* out = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* row = out + static_cast<std::size_t>(y) * stride;
    std::memset(row, 0, stride);
    for (int x = 0; x < w; ++x) {
      const QRgb px = o->image.pixel(x, y);
      if (o->mono) {
        if (qRed(px) | qGreen(px) | qBlue(px)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else {
        row[x * 4] = static_cast<std::uint8_t>(qBlue(px));
        row[x * 4 + 1] = static_cast<std::uint8_t>(qGreen(px));
        row[x * 4 + 2] = static_cast<std::uint8_t>(qRed(px));
      }
    }
  }
  return static_cast<LONG>(stride * static_cast<std::size_t>(rows));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  return CreateBitmap(width, height, 1, 32, nullptr);
}

HRGN CreateRectRgn(int l, int t, int r, int b) {
  auto o = std::make_shared<GdiObject>();
  o->kind = Kind::Region;
  if (r > l && b > t) o->region = QRegion(l, t, r - l, b - t);
  return addObject(o);
}

HRGN CreateRectRgnIndirect(const RECT* r) {
  return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

namespace {
int regionKind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
}  // namespace

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
  GdiObject *d = O(dst), *x = O(a), *y = O(b);
  if (!d || !x || d->kind != Kind::Region || x->kind != Kind::Region) return RGN_ERROR;
  if (mode == RGN_COPY) {
    d->region = x->region;
    return regionKind(d->region);
  }
  if (!y || y->kind != Kind::Region) return RGN_ERROR;
  switch (mode) {
    case RGN_AND: d->region = x->region & y->region; break;
    case RGN_OR: d->region = x->region | y->region; break;
    case RGN_XOR: d->region = x->region ^ y->region; break;
    case RGN_DIFF: d->region = x->region - y->region; break;
    default: return RGN_ERROR;
  }
  return regionKind(d->region);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  GdiObject* o = O(rgn);
  return o && o->kind == Kind::Region && o->region.contains(QPoint(x, y));
}

// ---------------------------------------------------------------- attributes

#define DC_OR(ret)     \
  DC* dc = D(hdc);     \
  if (!dc) return ret;

COLORREF SetTextColor(HDC hdc, COLORREF c) {
  DC_OR(CLR_INVALID)
  COLORREF old = dc->st.text;
  dc->st.text = c;
  return old;
}
COLORREF GetTextColor(HDC hdc) {
  DC_OR(CLR_INVALID)
  return dc->st.text;
}
COLORREF SetBkColor(HDC hdc, COLORREF c) {
  DC_OR(CLR_INVALID)
  COLORREF old = dc->st.bk;
  dc->st.bk = c;
  return old;
}
COLORREF GetBkColor(HDC hdc) {
  DC_OR(CLR_INVALID)
  return dc->st.bk;
}
int SetBkMode(HDC hdc, int mode) {
  DC_OR(0)
  if (mode != OPAQUE && mode != TRANSPARENT) return 0;
  int old = dc->st.bkMode;
  dc->st.bkMode = mode;
  return old;
}
int GetBkMode(HDC hdc) {
  DC_OR(0)
  return dc->st.bkMode;
}
UINT SetTextAlign(HDC hdc, UINT a) {
  DC_OR(0xFFFFFFFFu)
  UINT old = dc->st.align;
  dc->st.align = a;
  return old;
}
UINT GetTextAlign(HDC hdc) {
  DC_OR(0xFFFFFFFFu)
  return dc->st.align;
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  DC_OR(FALSE)
  if (old) *old = dc->st.viewport;
  dc->st.viewport = {x, y};
  return TRUE;
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
  DC_OR(FALSE)
  if (old) *old = dc->st.viewport;
  dc->st.viewport.x += dx;
  dc->st.viewport.y += dy;
  return TRUE;
}
BOOL GetViewportOrgEx(HDC hdc, POINT* org) {
  DC_OR(FALSE)
  if (org) *org = dc->st.viewport;
  return TRUE;
}
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old) {
  DC_OR(FALSE)
  if (old) *old = dc->st.brushOrg;
  dc->st.brushOrg = {x, y};
  return TRUE;
}

// ---------------------------------------------------------------- clipping

int SelectClipRgn(HDC hdc, HRGN rgn) {
  DC_OR(RGN_ERROR)
  if (!rgn) {
    dc->st.hasUserClip = false;
    dc->st.userClip = QRegion();
  } else {
    GdiObject* o = O(rgn);
    if (!o || o->kind != Kind::Region) return RGN_ERROR;
    dc->st.hasUserClip = true;
    dc->st.userClip = o->region;  // a copy: the region stays the caller's
  }
  return regionKind(clipOf(dc));
}

int IntersectClipRect(HDC hdc, int l, int t, int r, int b) {
  DC_OR(RGN_ERROR)
  QRegion add(QRect(l + dc->st.viewport.x, t + dc->st.viewport.y, std::max(0, r - l), std::max(0, b - t)));
  if (!dc->st.hasUserClip) {
    dc->st.userClip = dc->base.translated(-dc->origin.x, -dc->origin.y);
    dc->st.hasUserClip = true;
  }
  dc->st.userClip &= add;
  return regionKind(clipOf(dc));
}

int ExcludeClipRect(HDC hdc, int l, int t, int r, int b) {
  DC_OR(RGN_ERROR)
  QRegion sub(QRect(l + dc->st.viewport.x, t + dc->st.viewport.y, std::max(0, r - l), std::max(0, b - t)));
  if (!dc->st.hasUserClip) {
    dc->st.userClip = dc->base.translated(-dc->origin.x, -dc->origin.y);
    dc->st.hasUserClip = true;
  }
  dc->st.userClip -= sub;
  return regionKind(clipOf(dc));
}

int GetClipBox(HDC hdc, RECT* r) {
  DC_OR(RGN_ERROR)
  QRegion c = clipOf(dc);
  QRect b = c.boundingRect().translated(-(dc->origin.x + dc->st.viewport.x),
                                        -(dc->origin.y + dc->st.viewport.y));
  if (r) *r = c.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
  return regionKind(c);
}

// ---------------------------------------------------------------- text

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
  DC_OR(FALSE)
  if (!tm) return FALSE;
  metricsOf(fontOf(dc)->lf, tm);
  return TRUE;
}

int GetTextInkAscent(HDC hdc) {
  DC_OR(0)
  const LOGFONT& lf = fontOf(dc)->lf;
  TEXTMETRIC tm;
  metricsOf(lf, &tm);
  if (!haveFonts()) return tm.tmAscent;
  QtFont& f = qtFont(lf);
  if (f.inkAscent < 0)
    f.inkAscent = -f.metrics.tightBoundingRect(QStringLiteral(u"\u00C5\u00C9\u00C2\u00D6\u00D1\u00CA")).top();
  return std::max<int>(tm.tmAscent, f.inkAscent);
}

BOOL GetTextExtentPoint32(HDC hdc, const char* text, int len, SIZE* size) {
  DC_OR(FALSE)
  if (!size || (!text && len)) return FALSE;
  const LOGFONT& lf = fontOf(dc)->lf;
  TEXTMETRIC tm;
  metricsOf(lf, &tm);
  size->cx = textWidth(lf, qtext(text, len < 0 ? 0 : len));
  size->cy = tm.tmHeight;
  return TRUE;
}

int GetTextFace(HDC hdc, int count, char* face) {
  DC_OR(0)
  const char* f = fontOf(dc)->lf.lfFaceName;
  int n = static_cast<int>(std::strlen(f));
  if (!face) return n + 1;
  if (count <= 0) return 0;
  int c = std::min(n, count - 1);
  std::memcpy(face, f, static_cast<std::size_t>(c));
  face[c] = '\0';
  return c;
}

BOOL TextOut(HDC hdc, int x, int y, const char* text, int len) {
  return ExtTextOut(hdc, x, y, 0, nullptr, text, static_cast<UINT>(std::max(0, len)), nullptr);
}

BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text,
                UINT len, const INT*) {
  DC_OR(FALSE)
  const LOGFONT& lf = fontOf(dc)->lf;
  Painter p(dc);
  if (!p.ok()) return TRUE;
  if (rect && (options & ETO_OPAQUE)) p->fillRect(qrect(*rect), qc(dc->st.bk));
  if (rect && (options & ETO_CLIPPED)) p->setClipRect(qrect(*rect), Qt::IntersectClip);
  if (!text || len == 0) return TRUE;
  QString s = qtext(text, static_cast<int>(len));
  TEXTMETRIC tm;
  metricsOf(lf, &tm);
  int w = textWidth(lf, s);
  UINT a = dc->st.align;
  if ((a & TA_CENTER) == TA_CENTER) x -= w / 2;
  else if (a & TA_RIGHT) x -= w;
  if ((a & TA_BASELINE) == TA_BASELINE) y -= tm.tmAscent;
  else if (a & TA_BOTTOM) y -= tm.tmHeight;
  int saveMode = dc->st.bkMode;
  if (rect && (options & ETO_OPAQUE)) dc->st.bkMode = TRANSPARENT;  // already filled
  drawRun(dc, *p, x, y, s, lf);
  dc->st.bkMode = saveMode;
  return TRUE;
}

namespace {

// '&' marks a mnemonic: "&&" is one ampersand, "&x" is x.
QString stripPrefix(const QString& s) {
  QString out;
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      out += s[++i];
      continue;
    }
    if (s[i] != '&') out += s[i];
  }
  return out;
}

QString expandTabs(const QString& s, const LOGFONT& lf, int tabWidth) {
  if (!s.contains('\t')) return s;
  QString out;
  for (QChar c : s) {
    if (c != '\t') {
      out += c;
      continue;
    }
    int w = textWidth(lf, out);
    int next = (w / tabWidth + 1) * tabWidth;
    int space = std::max(1, textWidth(lf, QStringLiteral(" ")));
    while (textWidth(lf, out) < next) {
      out += ' ';
      if (space <= 0) break;
    }
  }
  return out;
}

std::vector<QString> wrapLines(const QString& text, const LOGFONT& lf, int width, bool wrap) {
  std::vector<QString> lines;
  QString t = text;
  t.remove('\r');
  const QStringList paras = t.split('\n');
  for (const QString& para : paras) {
    if (!wrap) {
      lines.push_back(para);
      continue;
    }
    QString line;
    const QStringList words = para.split(' ');
    for (int i = 0; i < words.size(); ++i) {
      QString cand = line.isEmpty() ? words[i] : line + ' ' + words[i];
      if (!line.isEmpty() && textWidth(lf, cand) > width) {
        lines.push_back(line);
        line = words[i];
      } else {
        line = cand;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int DrawText(HDC hdc, const char* text, int len, RECT* rect, UINT fmt) {
  DC_OR(0)
  if (!rect || !text) return 0;
  const LOGFONT& lf = fontOf(dc)->lf;
  TEXTMETRIC tm;
  metricsOf(lf, &tm);
  int lineH = tm.tmHeight + ((fmt & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  QString s = qtext(text, len);
  if (!(fmt & DT_NOPREFIX)) s = stripPrefix(s);
  if (fmt & DT_EXPANDTABS) s = expandTabs(s, lf, 8 * tm.tmAveCharWidth);
  int boxW = rect->right - rect->left;
  std::vector<QString> lines;
  if (fmt & DT_SINGLELINE) {
    QString one = s;
    one.replace('\r', ' ').replace('\n', ' ');
    lines.push_back(one);
  } else {
    lines = wrapLines(s, lf, boxW, (fmt & DT_WORDBREAK) != 0);
  }
  if ((fmt & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) && haveFonts()) {
    const QFontMetrics& fm = qtFont(lf).metrics;
    Qt::TextElideMode mode = (fmt & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight;
    for (auto& l : lines)
      if (textWidth(lf, l) > boxW) l = fm.elidedText(l, mode, boxW);
  }
  int total = lineH * static_cast<int>(lines.size());
  if (fmt & DT_CALCRECT) {
    int maxW = 0;
    for (const auto& l : lines) maxW = std::max(maxW, textWidth(lf, l));
    rect->right = rect->left + maxW;
    rect->bottom = rect->top + total;
    return total;
  }
  int y = rect->top;
  if (fmt & DT_SINGLELINE) {
    if (fmt & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - lineH) / 2;
    else if (fmt & DT_BOTTOM) y = rect->bottom - lineH;
  }
  Painter p(dc);
  if (!p.ok()) return total;
  if (!(fmt & DT_NOCLIP)) p->setClipRect(qrect(*rect), Qt::IntersectClip);
  for (const auto& l : lines) {
    int w = textWidth(lf, l);
    int x = rect->left;
    if (fmt & DT_CENTER) x = rect->left + (boxW - w) / 2;
    else if (fmt & DT_RIGHT) x = rect->right - w;
    drawRun(dc, *p, x, y, l, lf);
    y += lineH;
  }
  return total;
}

// ---------------------------------------------------------------- shapes

int FillRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DC_OR(0)
  if (!r) return 0;
  QBrush b;
  if (!qbrush(dc, brush, &b)) return 1;
  fillRectQ(dc, qrect(*r), b);
  return 1;
}

int FrameRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DC_OR(0)
  if (!r || IsRectEmpty(r)) return 0;
  QBrush b;
  if (!qbrush(dc, brush, &b)) return 1;
  Painter p(dc);
  if (!p.ok()) return 1;
  int w = r->right - r->left, h = r->bottom - r->top;
  p->fillRect(QRect(r->left, r->top, w, 1), b);
  p->fillRect(QRect(r->left, r->bottom - 1, w, 1), b);
  p->fillRect(QRect(r->left, r->top, 1, h), b);
  p->fillRect(QRect(r->right - 1, r->top, 1, h), b);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* r) {
  DC_OR(FALSE)
  if (!r) return FALSE;
  Painter p(dc);
  if (!p.ok()) return TRUE;
  p->setCompositionMode(QPainter::RasterOp_NotDestination);
  p->fillRect(qrect(*r), Qt::black);
  return TRUE;
}

BOOL Rectangle(HDC hdc, int l, int t, int r, int b) {
  DC_OR(FALSE)
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  GdiObject* pen = O(dc->st.pen);
  bool hasPen = pen && pen->penStyle != PS_NULL;
  QBrush br;
  bool hasBrush = qbrush(dc, dc->st.brush, &br);
  Painter p(dc);
  if (!p.ok()) return TRUE;
  if (!hasPen) {
    // Without a pen the filled area is one pixel smaller each way.
    if (hasBrush) p->fillRect(QRect(l, t, r - l - 1, b - t - 1), br);
    return TRUE;
  }
  int pw = pen->penWidth;
  if (hasBrush) p->fillRect(QRect(l + pw, t + pw, r - l - 2 * pw, b - t - 2 * pw), br);
  QColor c = qc(pen->color);
  p->fillRect(QRect(l, t, r - l, pw), c);
  p->fillRect(QRect(l, b - pw, r - l, pw), c);
  p->fillRect(QRect(l, t, pw, b - t), c);
  p->fillRect(QRect(r - pw, t, pw, b - t), c);
  return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
  DC_OR(FALSE)
  if (old) *old = dc->st.cur;
  dc->st.cur = {x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DC_OR(FALSE)
  GdiObject* pen = O(dc->st.pen);
  POINT from = dc->st.cur;
  dc->st.cur = {x, y};
  if (!pen || pen->penStyle == PS_NULL) return TRUE;
  Painter p(dc);
  if (!p.ok()) return TRUE;
  QColor c = qc(pen->color);
  if (pen->penWidth > 1) {
    QPen qp(c, pen->penWidth, Qt::SolidLine, Qt::SquareCap);
    p->setPen(qp);
    p->drawLine(from.x, from.y, x, y);
    return TRUE;
  }
  // One-pixel lines by Bresenham, the end point excluded, with the dash
  // pattern of the pen style.
  int dx = std::abs(x - from.x), dy = -std::abs(y - from.y);
  int sx = from.x < x ? 1 : -1, sy = from.y < y ? 1 : -1;
  int err = dx + dy, px = from.x, py = from.y, n = 0;
  auto on = [&](int i) {
    switch (pen->penStyle) {
      case PS_DOT: return i % 2 == 0;
      case PS_DASH: return i % 8 < 6;
      case PS_DASHDOT: return i % 12 < 6 || i % 12 == 8;
      default: return true;
    }
  };
  while (px != x || py != y) {
    if (on(n)) p->fillRect(QRect(px, py, 1, 1), c);
    else if (dc->st.bkMode == OPAQUE) p->fillRect(QRect(px, py, 1, 1), qc(dc->st.bk));
    ++n;
    int e2 = 2 * err;
    if (e2 >= dy) { err += dy; px += sx; }
    if (e2 <= dx) { err += dx; py += sy; }
  }
  return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  DC_OR(FALSE)
  if (w < 0) { x += w; w = -w; }
  if (h < 0) { y += h; h = -h; }
  QRect r(x, y, w, h);
  QBrush br;
  bool hasBrush = qbrush(dc, dc->st.brush, &br);
  Painter p(dc);
  if (!p.ok()) return TRUE;
  switch (rop) {
    case PATCOPY: if (hasBrush) p->fillRect(r, br); break;
    case PATINVERT:
      if (hasBrush) {
        p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p->fillRect(r, br);
      }
      break;
    case DSTINVERT:
      p->setCompositionMode(QPainter::RasterOp_NotDestination);
      p->fillRect(r, Qt::black);
      break;
    case BLACKNESS: p->fillRect(r, Qt::black); break;
    case WHITENESS: p->fillRect(r, Qt::white); break;
    default: return FALSE;
  }
  return TRUE;
}

BOOL StretchBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, int sw, int sh,
                DWORD rop) {
  DC* dst = D(hdst);
  DC* src = D(hsrc);
  if (!dst || !src) return FALSE;
  QImage* si = targetOf(src);
  if (!si) return FALSE;
  QRect from(sx + src->origin.x + src->st.viewport.x, sy + src->origin.y + src->st.viewport.y, sw, sh);
  QImage part = si->copy(from);
  GdiObject* sb = src->memory ? O(src->st.bitmap) : nullptr;
  if (sb && sb->mono) part = colourMono(part, dst->st.text, dst->st.bk);
  if (w != sw || h != sh) part = part.scaled(std::abs(w), std::abs(h));
  Painter p(dst);
  if (!p.ok()) return TRUE;
  switch (rop) {
    case SRCCOPY: break;
    case SRCAND: p->setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
    case SRCPAINT: p->setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
    case SRCINVERT: p->setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case NOTSRCCOPY: p->setCompositionMode(QPainter::RasterOp_NotSource); break;
    default: return FALSE;
  }
  p->drawImage(x, y, part);
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  if (rop == PATCOPY || rop == PATINVERT || rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS)
    return PatBlt(dst, x, y, w, h, rop);
  return StretchBlt(dst, x, y, w, h, src, sx, sy, w, h, rop);
}

BOOL DrawEdge(HDC hdc, RECT* r, UINT edge, UINT flags) {
  DC_OR(FALSE)
  if (!r) return FALSE;
  QColor hi = qc(GetSysColor(COLOR_BTNHIGHLIGHT)), light = qc(GetSysColor(COLOR_3DLIGHT)),
         shadow = qc(GetSysColor(COLOR_BTNSHADOW)), dark = qc(GetSysColor(COLOR_3DDKSHADOW)),
         face = qc(GetSysColor(COLOR_BTNFACE));
  RECT rc = *r;
  {
    Painter p(dc);
    if (!p.ok()) return TRUE;
    UINT sides = flags & BF_RECT;
    // Outer ring, then inner ring.
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
      QColor tl, br;
      if (flags & BF_MONO) tl = br = qc(GetSysColor(COLOR_WINDOWFRAME));
      else if (flags & BF_FLAT) tl = br = shadow;
      else if (edge & BDR_RAISEDOUTER) { tl = light; br = dark; }
      else { tl = shadow; br = hi; }
      ringLine(*p, rc, sides, tl, br);
      if (sides & BF_LEFT) rc.left++;
      if (sides & BF_TOP) rc.top++;
      if (sides & BF_RIGHT) rc.right--;
      if (sides & BF_BOTTOM) rc.bottom--;
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
      QColor tl, br;
      if (flags & BF_MONO) tl = br = qc(GetSysColor(COLOR_WINDOW));
      else if (flags & BF_FLAT) tl = br = face;
      else if (edge & BDR_RAISEDINNER) { tl = hi; br = shadow; }
      else { tl = dark; br = light; }
      ringLine(*p, rc, sides, tl, br);
      if (sides & BF_LEFT) rc.left++;
      if (sides & BF_TOP) rc.top++;
      if (sides & BF_RIGHT) rc.right--;
      if (sides & BF_BOTTOM) rc.bottom--;
    }
    if ((flags & BF_MIDDLE) && !IsRectEmpty(&rc))
      p->fillRect(qrect(rc), (flags & BF_MONO) ? qc(GetSysColor(COLOR_WINDOW)) : face);
  }
  if (flags & BF_ADJUST) *r = rc;
  return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* r) {
  DC_OR(FALSE)
  if (!r || IsRectEmpty(r)) return FALSE;
  QImage* img = targetOf(dc);
  if (!img) return FALSE;
  // A dotted frame drawn by inverting every other pixel, so a second call
  // removes it.
  QRegion clip = clipOf(dc);
  int ox = dc->origin.x + dc->st.viewport.x, oy = dc->origin.y + dc->st.viewport.y;
  auto flip = [&](int x, int y) {
    int X = x + ox, Y = y + oy;
    if (X < 0 || Y < 0 || X >= img->width() || Y >= img->height() || !clip.contains(QPoint(X, Y))) return;
    img->setPixel(X, Y, img->pixel(X, Y) ^ 0x00FFFFFF);
  };
  for (int x = r->left; x < r->right; ++x) {
    if ((x - r->left) % 2 == 0) {
      flip(x, r->top);
      if (r->bottom - 1 != r->top) flip(x, r->bottom - 1);
    }
  }
  for (int y = r->top + 1; y < r->bottom - 1; ++y) {
    if ((y - r->top) % 2 == 0) {
      flip(r->left, y);
      if (r->right - 1 != r->left) flip(r->right - 1, y);
    }
  }
  touched(dc);
  return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c) {
  DC_OR(CLR_INVALID)
  Painter p(dc);
  if (!p.ok()) return CLR_INVALID;
  p->fillRect(QRect(x, y, 1, 1), qc(c));
  return TranslateColor(c);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DC_OR(CLR_INVALID)
  QImage* img = targetOf(dc);
  int X = x + dc->origin.x + dc->st.viewport.x, Y = y + dc->origin.y + dc->st.viewport.y;
  if (!img || !clipOf(dc).contains(QPoint(X, Y)) || X >= img->width() || Y >= img->height())
    return CLR_INVALID;
  return fromQ(img->pixel(X, Y));
}

// ---------------------------------------------------------------- images

QImage windowImage(HWND h) {
  auto* slot = detail::surfaceSlot(h);
  if (!slot) return {};
  ensureSurface(h);
  return (*slot)->image;
}

namespace {
void composeInto(QPainter& p, HWND h, QPoint at, const QRegion& clip) {
  QImage img = windowImage(h);
  p.setClipRegion(clip);
  p.drawImage(at, img);
  RECT wr, cr;
  detail::windowScreenRect(h, &wr, &cr);
  QRegion childClip = clip & QRegion(at.x() + cr.left - wr.left, at.y() + cr.top - wr.top,
                                     cr.right - cr.left, cr.bottom - cr.top);
  detail::forEachChild(h, [&](HWND c) {
    if (!IsWindowVisible(c)) return;
    RECT cwr;
    detail::windowScreenRect(c, &cwr, nullptr);
    QPoint cat(at.x() + cwr.left - wr.left, at.y() + cwr.top - wr.top);
    composeInto(p, c, cat,
                childClip & QRegion(cat.x(), cat.y(), cwr.right - cwr.left, cwr.bottom - cwr.top));
  });
}
}  // namespace

QImage composeWindowImage(HWND h) {
  QImage base = windowImage(h);
  if (base.isNull()) return {};
  QImage out(base.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter p(&out);
  composeInto(p, h, QPoint(0, 0), QRegion(0, 0, out.width(), out.height()));
  return out;
}

// ---------------------------------------------------------------- frame

void detail::drawDefaultFrame(HWND h) {
  DWORD style = static_cast<DWORD>(GetWindowLong(h, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(GetWindowLong(h, GWL_EXSTYLE));
  HDC hdc = GetWindowDC(h);
  if (!hdc) return;
  RECT wr, cr;
  detail::windowScreenRect(h, &wr, &cr);
  RECT r{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  if (style & (WS_THICKFRAME | WS_DLGFRAME)) {
    DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    int extra = ((style & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME)) - 2;
    for (int i = 0; i < extra; ++i) {
      FrameRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
      InflateRect(&r, -1, -1);
    }
  } else if (style & WS_BORDER) {
    FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&r, -1, -1);
  }
  if (ex & WS_EX_CLIENTEDGE) DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (ex & WS_EX_STATICEDGE) DrawEdge(hdc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  if ((style & WS_CAPTION) == WS_CAPTION) {
    RECT cap{r.left, r.top, r.right, r.top + GetSystemMetrics(SM_CYCAPTION)};
    FillRect(hdc, &cap, GetSysColorBrush(COLOR_ACTIVECAPTION));
    char text[256];
    GetWindowText(h, text, sizeof text);
    SetTextColor(hdc, GetSysColor(COLOR_CAPTIONTEXT));
    SetBkMode(hdc, TRANSPARENT);
    cap.left += 4;
    DrawText(hdc, text, -1, &cap, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  }
  // Scroll bar areas of the frame (controls usually draw their own bars).
  RECT c{cr.left - wr.left, cr.top - wr.top, cr.right - wr.left, cr.bottom - wr.top};
  if (style & WS_VSCROLL) {
    RECT v{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    FillRect(hdc, &v, GetSysColorBrush(COLOR_SCROLLBAR));
  }
  if (style & WS_HSCROLL) {
    RECT hz{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    FillRect(hdc, &hz, GetSysColorBrush(COLOR_SCROLLBAR));
  }
  ReleaseDC(h, hdc);
}

namespace test {
int liveGdiObjectCount() {
  int n = 0;
  for (auto h : G().objects.handles())
    if (!G().objects.raw(h)->stock) ++n;
  return n;
}
int liveDCCount() { return static_cast<int>(G().dcs.size()); }
}  // namespace test

}  // namespace plat::win
