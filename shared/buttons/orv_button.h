#pragma once
// Bitmap push buttons on the window layer: owner-drawn child windows that
// show one bitmap per state in place of a drawn face, swap to a hover
// bitmap while the mouse is over them and carry a tooltip text.
//
// COrv_Button is the two-state button (normal or pressed) of the dialog
// frames and text views. COrv_ButtonEx has an up, a down and a disabled
// state, click modes (kIgnoreClicks, kToggleOnPress, kDownWhileHeld) and
// remembers the state it was disabled from. Both size their window to their
// first bitmap and send WM_COMMAND (BN_CLICKED, their id) to the parent
// when clicked, as a push button does.
//
// The layer has no tooltip control: a button keeps its text, and whoever
// shows the window (the panel's host widget) asks ToolTipText() for the
// control under the mouse.

#include <array>
#include <QImage>
#include <string>

#include "platform/win/win_types.h"

namespace tv::buttons {

// The window layer's types, as the class library's controls use them.
using namespace plat::win;

inline constexpr WORD BN_CLICKED = 0;
inline constexpr DWORD BS_OWNERDRAW = 0x0000000B;
inline constexpr UINT_PTR kHoverTimer = 1;
inline constexpr UINT kHoverPeriodMs = 50;
// The window class every bitmap button is created in.
inline constexpr const char* kButtonClass = "TvBitmapButton";

// A bitmap of the program's resources, made from the picture of that id:
// from the current interface language (falling back on English) when
// `fromLanguage`, else from the English module. Null when there is none or
// it cannot be drawn. The caller owns it (DeleteObject).
HBITMAP LoadResourceBitmap(int id, bool fromLanguage);
// The same picture as an image (RGB32); null when there is none.
QImage LoadResourceImage(int id, bool fromLanguage);

// What both buttons share: the window, the bitmap slots, the current face,
// hovering and the tooltip text.
class COrv_BitmapButtonBase {
 public:
  COrv_BitmapButtonBase(const COrv_BitmapButtonBase&) = delete;
  COrv_BitmapButtonBase& operator=(const COrv_BitmapButtonBase&) = delete;
  virtual ~COrv_BitmapButtonBase();

  // Creates the button window (WS_CHILD is always added) at the rectangle's
  // top-left corner, sized to the first bitmap once the bitmaps are
  // loaded (the rectangle's size otherwise). False when it cannot be made.
  bool Create(const char* caption, DWORD style, const RECT& rect, HWND parent, int id);
  HWND GetSafeHwnd() const { return hwnd_; }

  void SetToolTipText(const std::string& text);
  const std::string& ToolTipText() const { return toolTipText_; }
  bool ToolTipActive() const { return toolTipActive_; }
  // Out width and height of the first bitmap; FALSE with 0 x 0 without one.
  BOOL GetBitmapSize(int* width, int* height) const;
  bool IsHovering() const { return hovering_; }
  // The bitmap shown now (one of the slots), null when none.
  HBITMAP CurrentBitmap() const { return current_; }

  // The window procedure of the button class.
  static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  explicit COrv_BitmapButtonBase(int slotCount);
  // Loads the non-zero ids of `ids` into the slots; a failed id is set to 0
  // when `clearFailed`.
  void loadSlots(bool fromLanguage, bool clearFailed);
  void freeSlots();
  // Shows bitmap `slot` when there is one (painting at once when the
  // window exists); false when the slot is empty.
  bool showSlot(int slot);
  void DrawItem(HDC hdc, const RECT& item);
  virtual void loadForCreate() = 0;
  // The hover bitmap slot of the current state, or -1 when hovering shows
  // nothing in that state.
  virtual int hoverSlot() const = 0;
  // The face slot of the current state.
  virtual int faceSlot() const = 0;
  // Mouse-button handling before the default; true swallows the message.
  virtual bool onButtonDown() { return false; }
  virtual bool onButtonUp() { return false; }
  virtual void onEnable(bool) {}
  // The mouse hold ended without a release on the button.
  virtual void onHoldLost() {}

  std::array<int, 5> ids_{};
  std::array<HBITMAP, 5> bitmaps_{};
  int slots_;
  HBITMAP current_ = nullptr;
  bool hovering_ = false;
  std::string toolTipText_;
  bool toolTipActive_ = false;
  HWND hwnd_ = nullptr;

 private:
  LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam);
  void paintNow();
  bool tracking_ = false;   // the button holds the capture from a press
  bool swallowed_ = false;  // that press makes no click
};

class COrv_Button : public COrv_BitmapButtonBase {
 public:
  enum Slot { kNormal = 0, kPressed = 1, kHoverNormal = 2, kHoverPressed = 3 };
  COrv_Button() : COrv_BitmapButtonBase(4) {}

  BOOL SetBitmap(int normal) { return SetBitmaps4(normal, 0, 0, 0); }
  BOOL SetBitmaps2(int normal, int pressed) { return SetBitmaps4(normal, pressed, 0, 0); }
  BOOL SetBitmaps3(int normal, int pressed, int hoverNormal) {
    return SetBitmaps4(normal, pressed, hoverNormal, 0);
  }
  BOOL SetBitmaps4(int normal, int pressed, int hoverNormal, int hoverPressed);
  // Loads the bitmaps (from the interface language when `fromLanguage`),
  // shows the normal one and, when the window exists, sizes it to it.
  // Returns the normal bitmap's size (0 x 0 without one).
  SIZE LoadBitmaps(bool fromLanguage);
  // Flips the state; returns the previous one.
  int Toggle();
  void SetHoverEnable(bool normal, bool pressed);
  int GetState() const { return state_; }
  int BitmapId(int slot) const { return ids_[static_cast<std::size_t>(slot)]; }

 protected:
  void loadForCreate() override;
  int hoverSlot() const override;
  int faceSlot() const override { return state_ == 1 ? kPressed : kNormal; }

 private:
  int state_ = 0;
  bool hoverNormal_ = true;
  bool hoverPressed_ = true;
};

class COrv_ButtonEx : public COrv_BitmapButtonBase {
 public:
  enum Slot { kUp = 0, kDown = 1, kHoverUp = 2, kHoverDown = 3, kDisabled = 4 };
  enum Mode : int { kIgnoreClicks = 1, kToggleOnPress = 2, kDownWhileHeld = 4 };
  static constexpr int kStateUp = 1, kStateDown = -1, kStateDisabled = 0;

  COrv_ButtonEx() : COrv_BitmapButtonBase(5) {}
  ~COrv_ButtonEx() override;

  BOOL SetBitmap(int up) { return SetBitmaps5(up, 0, 0, 0, 0); }
  BOOL SetBitmaps2(int up, int down) { return SetBitmaps5(up, down, 0, 0, 0); }
  BOOL SetBitmaps3(int up, int down, int hoverUp) { return SetBitmaps5(up, down, hoverUp, 0, 0); }
  BOOL SetBitmaps4(int up, int down, int hoverUp, int hoverDown) {
    return SetBitmaps5(up, down, hoverUp, hoverDown, 0);
  }
  BOOL SetBitmaps5(int up, int down, int hoverUp, int hoverDown, int disabled);
  // Loads the bitmaps from the program's own resources; an id that fails
  // is set to 0. Shows the up bitmap and returns its size.
  SIZE LoadBitmaps();

  BOOL Disable();
  BOOL Enable(int state);
  BOOL SetPressed(bool pressed);
  int Toggle();
  void SetHoverEnable(bool up, bool down);
  bool IsUp() const { return state_ == kStateUp; }
  bool IsDown() const { return state_ == kStateDown; }
  bool IsEnabled() const { return state_ != kStateDisabled; }
  int GetState() const { return state_; }
  int SetMode(int flags);
  int GetMode() const { return mode_; }
  bool MouseHeld() const { return mouseHeld_; }
  int BitmapId(int slot) const { return ids_[static_cast<std::size_t>(slot)]; }

  // Frees the bitmaps and forgets them, resets states, mode, hover and
  // tooltip, then destroys the window. The object can be created again.
  BOOL DestroyWindow();

 protected:
  void loadForCreate() override { LoadBitmaps(); }
  int hoverSlot() const override;
  int faceSlot() const override { return state_ == kStateDown ? kDown : kUp; }
  bool onButtonDown() override;
  bool onButtonUp() override;
  void onEnable(bool enable) override;
  void onHoldLost() override;

 private:
  int state_ = kStateUp;
  int savedState_ = kStateUp;
  bool hoverUp_ = true;
  bool hoverDown_ = true;
  bool mouseHeld_ = false;
  int mode_ = kIgnoreClicks;
};

}  // namespace tv::buttons
