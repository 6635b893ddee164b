#pragma once
// COrv_SkinFrame: the program's own frame for a caption-less dialog window.
//
// It is not a window itself. A dialog holds one as a member, forwards its
// creation, initialisation, background painting, mouse and size events to
// it (or lets Attach() install a filter that does so) and tells it its
// caption. The frame then paints rounded corners with a textured border, a
// caption band with the title, a small close button in the top right
// corner; it moves the dialog when the caption band is dragged, resizes it
// when a border or corner is dragged (a rubber-band rectangle follows the
// mouse and the dialog takes its place on release), keeps a minimum size
// and cuts the window's corners round with a mask.
//
// All coordinates are the owner's client coordinates (W x H): the caption
// band is the top 25 pixels, the close button the 11 x 11 square 7 pixels
// from the top and right edges, the body everything below the band.

#include <QCursor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "shared/buttons/orv_button.h"

class QPainter;
class QRubberBand;
class QWidget;

namespace tv::skin {
class SkinEventFilter;
class CloseButtonHost;
}  // namespace tv::skin

class COrv_SkinFrame {
 public:
  // Which edges a drag moves; corners are the sums, kMove the whole window.
  enum DragCode : int {
    kNone = 0,
    kLeft = 1,
    kBottom = 2,
    kRight = 4,
    kTop = 8,
    kBottomLeft = 3,
    kBottomRight = 6,
    kTopLeft = 9,
    kTopRight = 12,
    kMove = 15
  };
  static constexpr int kCaptionHeight = 25;
  static constexpr int kBottomStrip = 10;
  static constexpr int kCornerZone = 10;
  static constexpr int kCornerEllipse = 17;
  static constexpr int kCloseButtonId = 212;
  static constexpr int kCloseButtonSize = 11;
  static constexpr int kCloseButtonInset = 7;
  // Pictures: the outer texture, the inner texture, the close button and
  // its hover face.
  static constexpr int kFrameTexture = 206;
  static constexpr int kInnerTexture = 204;
  static constexpr int kClosePicture = 205;
  static constexpr int kCloseHoverPicture = 290;
  static constexpr int kCloseTooltip = 1;
  // The size type of a minimised window (OnSize ignores it).
  static constexpr int kSizeMinimized = 1;

  COrv_SkinFrame();
  virtual ~COrv_SkinFrame();
  COrv_SkinFrame(const COrv_SkinFrame&) = delete;
  COrv_SkinFrame& operator=(const COrv_SkinFrame&) = delete;

  // Forwarded by the owner, in this order at start: OnCreate when its window
  // exists (its client size then becomes the minimum size), OnInitDialog
  // before its own set-up. Attach() does both and installs an event filter
  // that forwards painting, mouse and size events; it also makes a
  // top-level owner frameless.
  void OnCreate(QWidget* owner);
  bool OnInitDialog();
  void Attach(QWidget* owner);

  // Paints the whole frame behind the owner's controls; true (also when a
  // picture is missing, which ends the painting quietly).
  bool OnEraseBkgnd(QPainter& painter);
  void OnLButtonDown(int flags, int x, int y);
  void OnLButtonUp(int flags, int x, int y);
  void OnMouseMove(int flags, int x, int y);
  void OnSize(int sizeType, int width, int height);

  void SetCaption(const QString& caption) { caption_ = caption; }
  const QString& Caption() const { return caption_; }
  // Returns the previous flag.
  bool SetResizable(bool resizable);
  bool IsResizable() const { return resizable_; }
  void SetMinSize(int width, int height);
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  // Reloads the close button's tooltip in the interface language and
  // redraws the caption band.
  void UpdateLanguage();
  void SetActive();
  void SetInactive();
  bool IsActive() const { return active_; }

  QRect GetClientArea() const;
  QRect GetCaptionRect() const;
  QRect GetBodyRect() const;
  QRect GetFrameFillRect() const;
  QRect GetInnerRect() const;
  QRect GetCloseButtonRect() const;
  // The client area less the bottom strip.
  QRect GetUpperRect() const;
  // kMove inside the caption band (inset by the border when resizable),
  // else kNone.
  int HitTestCaption(int x, int y) const;
  // The edges a press at (x, y) would drag; kNone when not resizable or
  // inside the borders.
  int HitTestBorder(int x, int y) const;
  void SetDragCursor(int code);
  static Qt::CursorShape CursorFor(int code);

  // The close button's clicks arrive here as command kCloseButtonId; by
  // default the owner is closed.
  void SetCommandHandler(std::function<void(int id)> handler) { onCommand_ = std::move(handler); }

  bool IsDragging() const { return dragging_; }
  int DragCode() const { return dragCode_; }
  // The last rubber-band rectangle in screen coordinates; null when none.
  QRect LastDragRect() const { return lastDrag_; }
  tv::buttons::COrv_Button& CloseButton() { return closeButton_; }
  // The widget that holds the close button (null before OnInitDialog).
  QWidget* CloseButtonWidget() const;
  QWidget* Owner() const { return owner_; }

 private:
  friend class tv::skin::SkinEventFilter;
  void ApplyWindowRegion();
  void startDrag(int code, QPoint clientPoint);
  void drawRubberBand(const QRect& screenRect);
  int ownerWidth() const;
  int ownerHeight() const;

  bool active_ = false;
  int minHeight_ = 68;
  int minWidth_ = 68;
  QString caption_;
  QWidget* owner_ = nullptr;
  bool dragging_ = false;
  bool resizable_ = false;
  int dragCode_ = kNone;
  int borderX_ = 2;
  int borderY_ = 2;
  QPoint dragStart_;
  QRect lastDrag_;
  tv::buttons::COrv_Button closeButton_;
  tv::skin::CloseButtonHost* closeHost_ = nullptr;
  QRubberBand* band_ = nullptr;
  std::unique_ptr<tv::skin::SkinEventFilter> filter_;
  std::function<void(int)> onCommand_;
};
