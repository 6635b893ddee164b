#include "shared/buttons/orv_button.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "platform/win/gdi.h"
#include "platform/win/window.h"
#include "shared/language/orv_language.h"

namespace tv::buttons {

using namespace plat::win;

QImage RenderPicture(const tv::language::Picture& picture) {
  const plat::ui::Image& image = picture.image;
  const QByteArray bytes(reinterpret_cast<const char*>(image.bytes.data()),
                         static_cast<qsizetype>(image.bytes.size()));
  switch (image.kind) {
    case plat::ui::Image::Kind::Svg: {
      // The same few drawings are asked for at every opening of a dialog
      // with bitmap buttons; each is parsed and drawn once per size.
      static std::mutex lock;
      static std::map<std::tuple<QByteArray, int, int>, QImage> drawn;
      const std::tuple<QByteArray, int, int> key{bytes, picture.width, picture.height};
      {
        const std::lock_guard<std::mutex> hold(lock);
        if (const auto it = drawn.find(key); it != drawn.end()) return it->second;
      }
      QSvgRenderer renderer(bytes);
      if (!renderer.isValid()) return {};
      QSize size = renderer.defaultSize();
      if (picture.width > 0 && picture.height > 0) size = QSize(picture.width, picture.height);
      if (size.isEmpty() || size.width() > 4096 || size.height() > 4096) return {};
      QImage out(size, QImage::Format_RGB32);
      out.fill(Qt::white);
      QPainter painter(&out);
      renderer.render(&painter);
      painter.end();
      constexpr std::size_t kDrawingsKept = 256;
      const std::lock_guard<std::mutex> hold(lock);
      if (drawn.size() >= kDrawingsKept) drawn.clear();
      drawn.emplace(key, out);
      return out;
    }
    case plat::ui::Image::Kind::Png:
      return QImage::fromData(bytes, "PNG");
    case plat::ui::Image::Kind::File:
      return QImage(QString::fromStdString(picture.file.string()));
  }
  return {};
}

namespace {

void ensureClass() {
  WNDCLASS wc;
  if (GetClassInfo(nullptr, kButtonClass, &wc)) return;
  wc = WNDCLASS{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = COrv_BitmapButtonBase::WindowProc;
  wc.lpszClassName = kButtonClass;
  RegisterClass(&wc);
}

}  // namespace

QImage LoadResourceImage(int id, bool fromLanguage) {
  const COrv_Language language(fromLanguage ? -1 : 0);
  const auto picture = language.LoadBitmap(id, 0, 0, fromLanguage ? -1 : 0);
  if (!picture) return {};
  QImage image = RenderPicture(*picture);
  if (image.isNull()) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

HBITMAP LoadResourceBitmap(int id, bool fromLanguage) {
  const QImage image = LoadResourceImage(id, fromLanguage);
  if (image.isNull()) return nullptr;
  // CreateBitmap takes tightly packed rows of 0x00RRGGBB.
  QImage packed(image.size(), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(packed.scanLine(y), image.constScanLine(y), static_cast<std::size_t>(image.width()) * 4);
  return CreateBitmap(packed.width(), packed.height(), 1, 32, packed.constBits());
}

// ---- shared part ----

COrv_BitmapButtonBase::COrv_BitmapButtonBase(int slotCount) : slots_(slotCount) {}

COrv_BitmapButtonBase::~COrv_BitmapButtonBase() {
  if (IsWindow(hwnd_)) {
    SetWindowLongPtr(hwnd_, GWLP_USERDATA, 0);
    plat::win::DestroyWindow(hwnd_);
  }
  freeSlots();
}

bool COrv_BitmapButtonBase::Create(const char* caption, DWORD style, const RECT& rect, HWND parent,
                                   int id) {
  if (IsWindow(hwnd_)) return false;
  ensureClass();
  // What the class library's PreCreateWindow does: load the bitmaps and
  // take the first one's size.
  loadForCreate();
  int w = 0, h = 0;
  if (!GetBitmapSize(&w, &h)) {
    w = rect.right - rect.left;
    h = rect.bottom - rect.top;
  }
  HWND made = CreateWindowEx(0, kButtonClass, caption ? caption : "", style | WS_CHILD, rect.left,
                             rect.top, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, this);
  return made != nullptr;
}

void COrv_BitmapButtonBase::SetToolTipText(const std::string& text) {
  toolTipText_ = text;
  toolTipActive_ = true;
}

BOOL COrv_BitmapButtonBase::GetBitmapSize(int* width, int* height) const {
  BITMAP bm;
  if (!bitmaps_[0] || GetObject(bitmaps_[0], sizeof bm, &bm) == 0) {
    *width = 0;
    *height = 0;
    return FALSE;
  }
  *width = bm.bmWidth;
  *height = bm.bmHeight;
  return TRUE;
}

void COrv_BitmapButtonBase::loadSlots(bool fromLanguage, bool clearFailed) {
  for (int k = 0; k < slots_; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (ids_[i] == 0) continue;
    if (bitmaps_[i]) DeleteObject(bitmaps_[i]);
    bitmaps_[i] = LoadResourceBitmap(ids_[i], fromLanguage);
    if (!bitmaps_[i] && clearFailed) ids_[i] = 0;
  }
  current_ = bitmaps_[0];
}

void COrv_BitmapButtonBase::freeSlots() {
  for (auto& b : bitmaps_) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
  current_ = nullptr;
}

bool COrv_BitmapButtonBase::showSlot(int slot) {
  HBITMAP b = bitmaps_[static_cast<std::size_t>(slot)];
  if (!b) return false;
  current_ = b;
  paintNow();
  return true;
}

void COrv_BitmapButtonBase::DrawItem(HDC hdc, const RECT& item) {
  if (!current_) return;
  HDC mem = CreateCompatibleDC(hdc);
  if (!mem) return;
  HGDIOBJ old = SelectObject(mem, current_);
  BitBlt(hdc, item.left, item.top, item.right - item.left, item.bottom - item.top, mem, 0, 0,
         SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void COrv_BitmapButtonBase::paintNow() {
  if (!IsWindow(hwnd_)) return;
  HDC dc = GetDC(hwnd_);
  if (!dc) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  DrawItem(dc, client);
  ReleaseDC(hwnd_, dc);
}

LRESULT COrv_BitmapButtonBase::WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<COrv_BitmapButtonBase*>(GetWindowLongPtr(h, GWLP_USERDATA));
  if (!self && msg == WM_NCCREATE) {
    self = static_cast<COrv_BitmapButtonBase*>(reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams);
    SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = h;
  }
  if (!self) return DefWindowProc(h, msg, w, l);
  const LRESULT r = self->message(msg, w, l);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtr(h, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->hovering_ = false;
    self->tracking_ = false;
  }
  return r;
}

LRESULT COrv_BitmapButtonBase::message(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the bitmap covers the face
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (dc) {
        RECT client;
        GetClientRect(hwnd_, &client);
        DrawItem(dc, client);
        EndPaint(hwnd_, &ps);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!hovering_) {
        const int slot = hoverSlot();
        if (slot >= 0 && bitmaps_[static_cast<std::size_t>(slot)]) {
          hovering_ = true;
          showSlot(slot);
          SetTimer(hwnd_, kHoverTimer, kHoverPeriodMs, nullptr);
        }
      }
      break;
    case WM_TIMER:
      if (w == kHoverTimer) {
        POINT pt;
        RECT r;
        GetCursorPos(&pt);
        GetWindowRect(hwnd_, &r);
        if (!PtInRect(&r, pt) && hovering_) {
          hovering_ = false;
          KillTimer(hwnd_, kHoverTimer);
          showSlot(faceSlot());
        }
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // Hold the mouse until the release, also for a press that makes no
      // click, so that the release (wherever it happens) ends the hold.
      SetCapture(hwnd_);
      tracking_ = true;
      if (onButtonDown()) swallowed_ = true;
      return 0;
    case WM_LBUTTONUP: {
      const bool wasTracking = tracking_;
      tracking_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      const bool swallow = onButtonUp() || swallowed_;
      swallowed_ = false;
      if (swallow || !wasTracking) return 0;
      POINT pt{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      RECT client;
      GetClientRect(hwnd_, &client);
      // A release outside the button is no click.
      if (PtInRect(&client, pt)) {
        const int id = GetDlgCtrlID(hwnd_);
        HWND parent = GetParent(hwnd_);
        if (parent)
          SendMessage(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(hwnd_));
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      // The hold ended without a release on the button (a dialog took the
      // mouse, say): no click, and the face goes back as on a release.
      if (tracking_) {
        tracking_ = false;
        swallowed_ = false;
        onHoldLost();
      }
      return 0;
    case WM_ENABLE:
      onEnable(w != 0);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kHoverTimer);
      break;
    default:
      break;
  }
  return DefWindowProc(hwnd_, msg, w, l);
}

// ---- COrv_Button ----

BOOL COrv_Button::SetBitmaps4(int normal, int pressed, int hoverNormal, int hoverPressed) {
  ids_ = {normal, pressed, hoverNormal, hoverPressed, 0};
  return TRUE;
}

SIZE COrv_Button::LoadBitmaps(bool fromLanguage) {
  loadSlots(fromLanguage, false);
  SIZE size;
  int w = 0, h = 0;
  GetBitmapSize(&w, &h);
  size.cx = w;
  size.cy = h;
  if (IsWindow(hwnd_)) {
    SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
  }
  return size;
}

void COrv_Button::loadForCreate() { loadSlots(false, false); }

int COrv_Button::Toggle() {
  const int previous = state_;
  state_ = state_ == 0 ? 1 : 0;
  if (state_ == 0)
    showSlot(kNormal);
  else
    showSlot(kPressed);  // without a pressed bitmap the face stays
  return previous;
}

void COrv_Button::SetHoverEnable(bool normal, bool pressed) {
  hoverNormal_ = normal;
  hoverPressed_ = pressed;
}

int COrv_Button::hoverSlot() const {
  if (state_ == 0) return hoverNormal_ ? kHoverNormal : -1;
  return hoverPressed_ ? kHoverPressed : -1;
}

// ---- COrv_ButtonEx ----

COrv_ButtonEx::~COrv_ButtonEx() = default;

BOOL COrv_ButtonEx::SetBitmaps5(int up, int down, int hoverUp, int hoverDown, int disabled) {
  ids_ = {up, down, hoverUp, hoverDown, disabled};
  return TRUE;
}

SIZE COrv_ButtonEx::LoadBitmaps() {
  loadSlots(false, true);
  int w = 0, h = 0;
  GetBitmapSize(&w, &h);
  SIZE size;
  size.cx = w;
  size.cy = h;
  return size;
}

BOOL COrv_ButtonEx::Disable() {
  if (state_ == kStateDisabled) return TRUE;
  if (!bitmaps_[kDisabled]) return FALSE;
  savedState_ = state_;
  state_ = kStateDisabled;
  if (hovering_ && IsWindow(hwnd_)) KillTimer(hwnd_, kHoverTimer);
  hovering_ = false;
  showSlot(kDisabled);
  return TRUE;
}

BOOL COrv_ButtonEx::Enable(int state) {
  if (state_ != kStateDisabled) return TRUE;
  if (state == 1 || (state == 0 && savedState_ == kStateUp)) {
    state_ = kStateUp;
    showSlot(kUp);
  } else {
    state_ = kStateDown;
    showSlot(kDown);
  }
  return TRUE;
}

BOOL COrv_ButtonEx::SetPressed(bool pressed) {
  if (state_ == kStateDisabled) return FALSE;
  if (mouseHeld_) return TRUE;
  if (pressed && bitmaps_[kDown] && state_ != kStateDown) {
    state_ = kStateDown;
    showSlot(kDown);
  } else if (!pressed && bitmaps_[kUp] && state_ != kStateUp) {
    state_ = kStateUp;
    showSlot(kUp);
  }
  return TRUE;
}

int COrv_ButtonEx::Toggle() {
  if (state_ == kStateDisabled) return 0;
  const int previous = state_;
  state_ = state_ == kStateUp ? kStateDown : kStateUp;
  showSlot(faceSlot());
  return previous;
}

void COrv_ButtonEx::SetHoverEnable(bool up, bool down) {
  hoverUp_ = up;
  hoverDown_ = down;
}

int COrv_ButtonEx::SetMode(int flags) {
  const int previous = mode_;
  mode_ = flags;
  return previous;
}

int COrv_ButtonEx::hoverSlot() const {
  if (state_ == kStateUp) return hoverUp_ ? kHoverUp : -1;
  if (state_ == kStateDown) return hoverDown_ ? kHoverDown : -1;
  return -1;
}

bool COrv_ButtonEx::onButtonDown() {
  mouseHeld_ = true;
  if (state_ == kStateDisabled || (mode_ & kIgnoreClicks)) return true;
  if ((mode_ & kDownWhileHeld) && bitmaps_[kDown]) {
    state_ = kStateDown;
    showSlot(kDown);
  }
  if (mode_ & kToggleOnPress) Toggle();
  return false;
}

bool COrv_ButtonEx::onButtonUp() {
  mouseHeld_ = false;
  if (state_ == kStateDisabled || (mode_ & kIgnoreClicks)) return true;
  if ((mode_ & kDownWhileHeld) && bitmaps_[kUp]) {
    state_ = kStateUp;
    showSlot(kUp);
  }
  return false;
}

void COrv_ButtonEx::onHoldLost() {
  mouseHeld_ = false;
  if (state_ != kStateDisabled && !(mode_ & kIgnoreClicks) && (mode_ & kDownWhileHeld) && bitmaps_[kUp]) {
    state_ = kStateUp;
    showSlot(kUp);
  }
}

void COrv_ButtonEx::onEnable(bool enable) {
  if (enable)
    Enable(0);
  else
    Disable();
}

BOOL COrv_ButtonEx::DestroyWindow() {
  freeSlots();
  ids_ = {};
  state_ = kStateUp;
  savedState_ = kStateUp;
  mode_ = kIgnoreClicks;
  hovering_ = false;
  hoverUp_ = hoverDown_ = true;
  toolTipActive_ = false;
  toolTipText_.clear();
  mouseHeld_ = false;
  if (!IsWindow(hwnd_)) return FALSE;
  return plat::win::DestroyWindow(hwnd_);
}

}  // namespace tv::buttons
