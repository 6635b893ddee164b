#include "shared/skin/orv_skin_frame.h"

#include <QBrush>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRegion>
#include <QResizeEvent>
#include <QRubberBand>
#include <QToolTip>
#include <QWidget>
#include <cstring>

#include "platform/win/gdi.h"
#include "platform/win/host_widget.h"
#include "platform/win/window.h"
#include "shared/language/orv_language.h"

namespace tv::skin {

// The close button lives in a layer window; this widget holds it in the
// owner, passes its click on as command 212 and shows its tooltip.
class CloseButtonHost : public plat::win::HostWidget {
 public:
  CloseButtonHost(COrv_SkinFrame& frame, QWidget* parent) : HostWidget(parent), frame_(frame) {
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(e);
      tv::buttons::COrv_Button& b = frame_.CloseButton();
      if (b.ToolTipActive() && !b.ToolTipText().empty())
        QToolTip::showText(help->globalPos(), QString::fromStdString(b.ToolTipText()), this);
      else
        QToolTip::hideText();
      return true;
    }
    return HostWidget::event(e);
  }

 private:
  COrv_SkinFrame& frame_;
};

// Forwards the owner's events to the frame, as a dialog's message map would.
class SkinEventFilter : public QObject {
 public:
  explicit SkinEventFilter(COrv_SkinFrame& frame) : frame_(frame) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != frame_.owner_) return false;
    switch (e->type()) {
      case QEvent::Paint: {
        // Painted before the owner's own paint handler, which draws on top.
        QPainter painter(frame_.owner_);
        frame_.OnEraseBkgnd(painter);
        return false;
      }
      case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() != Qt::LeftButton) return false;
        const QPoint p = m->position().toPoint();
        frame_.OnLButtonDown(0, p.x(), p.y());
        return frame_.IsDragging();
      }
      case QEvent::MouseMove: {
        const QPoint p = static_cast<QMouseEvent*>(e)->position().toPoint();
        const bool dragging = frame_.IsDragging();
        frame_.OnMouseMove(0, p.x(), p.y());
        return dragging;
      }
      case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() != Qt::LeftButton || !frame_.IsDragging()) return false;
        const QPoint p = m->position().toPoint();
        frame_.OnLButtonUp(0, p.x(), p.y());
        return true;
      }
      case QEvent::Resize: {
        auto* r = static_cast<QResizeEvent*>(e);
        frame_.OnSize(frame_.owner_->isMinimized() ? COrv_SkinFrame::kSizeMinimized : 0, r->size().width(),
                      r->size().height());
        return false;
      }
      case QEvent::WindowActivate:
        frame_.SetActive();
        return false;
      case QEvent::WindowDeactivate:
        frame_.SetInactive();
        return false;
      default:
        return false;
    }
  }

 private:
  COrv_SkinFrame& frame_;
};

QImage picture(int id) { return tv::buttons::LoadResourceImage(id, false); }

}  // namespace tv::skin

using tv::skin::CloseButtonHost;

COrv_SkinFrame::COrv_SkinFrame() = default;

COrv_SkinFrame::~COrv_SkinFrame() {
  if (owner_ != nullptr && filter_) owner_->removeEventFilter(filter_.get());
  delete band_;
}

int COrv_SkinFrame::ownerWidth() const { return owner_ ? owner_->width() : 0; }
int COrv_SkinFrame::ownerHeight() const { return owner_ ? owner_->height() : 0; }

void COrv_SkinFrame::OnCreate(QWidget* owner) {
  owner_ = owner;
  if (owner_ == nullptr) return;
  minWidth_ = owner_->width();
  minHeight_ = owner_->height();
}

bool COrv_SkinFrame::OnInitDialog() {
  dragging_ = false;
  borderX_ = borderY_ = 2;
  resizable_ = true;
  dragCode_ = kNone;
  if (owner_ == nullptr) return true;

  if (closeHost_ == nullptr) {
    closeButton_.SetBitmaps3(kClosePicture, 0, kCloseHoverPicture);
    closeButton_.SetToolTipText(COrv_Language(-1).LoadString(kCloseTooltip));
    closeButton_.SetHoverEnable(true, false);
    closeHost_ = new CloseButtonHost(*this, owner_);
    closeHost_->setHandler([this](plat::win::UINT msg, plat::win::WPARAM w, plat::win::LPARAM, plat::win::LRESULT* r) {
      if (msg != plat::win::WM_COMMAND || plat::win::HIWORD(w) != tv::buttons::BN_CLICKED) return false;
      const int id = plat::win::LOWORD(w);
      if (onCommand_)
        onCommand_(id);
      else if (id == kCloseButtonId && owner_ != nullptr)
        owner_->close();
      *r = 0;
      return true;
    });
    const QRect r = GetCloseButtonRect();
    closeHost_->setGeometry(r);
    closeButton_.Create("", plat::win::WS_CHILD | plat::win::WS_VISIBLE | tv::buttons::BS_OWNERDRAW,
                        plat::win::RECT{0, 0, r.width(), r.height()}, closeHost_->hostWindow(), kCloseButtonId);
    closeHost_->show();
  }

  // A client area below the minimum grows to it, keeping its top-left corner.
  if (owner_->width() < minWidth_ || owner_->height() < minHeight_) {
    owner_->resize(std::max(owner_->width(), minWidth_), std::max(owner_->height(), minHeight_));
  }
  ApplyWindowRegion();
  return true;
}

void COrv_SkinFrame::Attach(QWidget* owner) {
  if (owner != nullptr && owner->isWindow()) owner->setWindowFlag(Qt::FramelessWindowHint, true);
  OnCreate(owner);
  if (owner_ == nullptr) return;
  filter_ = std::make_unique<tv::skin::SkinEventFilter>(*this);
  owner_->installEventFilter(filter_.get());
  owner_->setMouseTracking(true);
  OnInitDialog();
}

QWidget* COrv_SkinFrame::CloseButtonWidget() const { return closeHost_; }

bool COrv_SkinFrame::SetResizable(bool resizable) {
  const bool previous = resizable_;
  resizable_ = resizable;
  return previous;
}

void COrv_SkinFrame::SetMinSize(int width, int height) {
  minWidth_ = width;
  minHeight_ = height;
}

void COrv_SkinFrame::UpdateLanguage() {
  closeButton_.SetToolTipText(COrv_Language(-1).LoadString(kCloseTooltip));
  if (owner_ != nullptr) owner_->repaint(GetCaptionRect());
}

void COrv_SkinFrame::SetActive() {
  active_ = true;
  if (owner_ != nullptr) owner_->update(GetCaptionRect());
}

void COrv_SkinFrame::SetInactive() {
  active_ = false;
  if (owner_ != nullptr) owner_->update(GetCaptionRect());
}

// ---- geometry ----

QRect COrv_SkinFrame::GetClientArea() const { return QRect(0, 0, ownerWidth(), ownerHeight()); }
QRect COrv_SkinFrame::GetCaptionRect() const { return QRect(0, 0, ownerWidth(), kCaptionHeight); }
QRect COrv_SkinFrame::GetBodyRect() const {
  return QRect(0, kCaptionHeight, ownerWidth(), std::max(0, ownerHeight() - kCaptionHeight));
}
QRect COrv_SkinFrame::GetFrameFillRect() const {
  return QRect(0, kCaptionHeight, ownerWidth(), std::max(0, ownerHeight() - kCaptionHeight - kBottomStrip));
}
QRect COrv_SkinFrame::GetInnerRect() const {
  return QRect(2, 26, std::max(0, ownerWidth() - 4), std::max(0, ownerHeight() - 26 - 11));
}
QRect COrv_SkinFrame::GetCloseButtonRect() const {
  return QRect(ownerWidth() - kCloseButtonInset - kCloseButtonSize, kCloseButtonInset, kCloseButtonSize,
               kCloseButtonSize);
}
QRect COrv_SkinFrame::GetUpperRect() const {
  return QRect(0, 0, ownerWidth(), std::max(0, ownerHeight() - kBottomStrip));
}

int COrv_SkinFrame::HitTestCaption(int x, int y) const {
  int left = 0, top = 0, right = ownerWidth();
  if (resizable_) {
    left += borderX_;
    top += borderY_;
    right -= borderX_;
  }
  return (x >= left && x < right && y >= top && y < kCaptionHeight) ? kMove : kNone;
}

int COrv_SkinFrame::HitTestBorder(int x, int y) const {
  const int w = ownerWidth();
  const int h = ownerHeight();
  const int bx = borderX_;
  const int by = borderY_;
  if (!resizable_) return kNone;
  if (x >= bx && x < w - bx && y >= by && y < h - by) return kNone;
  if (y < by) return x >= w - kCornerZone ? kTopRight : x >= kCornerZone ? kTop : kTopLeft;
  if (y < kCornerZone) return x > bx ? kTopRight : kTopLeft;
  if (y < h - kCornerZone) return x > bx ? kRight : kLeft;
  if (y < h - by) return x > bx ? kBottomRight : kBottomLeft;
  return x >= w - kCornerZone ? kBottomRight : x >= kCornerZone ? kBottom : kBottomLeft;
}

Qt::CursorShape COrv_SkinFrame::CursorFor(int code) {
  switch (code) {
    case kTopRight:
    case kBottomLeft:
      return Qt::SizeBDiagCursor;
    case kTopLeft:
    case kBottomRight:
      return Qt::SizeFDiagCursor;
    case kLeft:
    case kRight:
      return Qt::SizeHorCursor;
    case kTop:
    case kBottom:
      return Qt::SizeVerCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void COrv_SkinFrame::SetDragCursor(int code) {
  if (owner_ != nullptr) owner_->setCursor(CursorFor(code));
}

// ---- painting ----

bool COrv_SkinFrame::OnEraseBkgnd(QPainter& painter) {
  if (owner_ == nullptr) return true;
  const QImage frameTexture = tv::skin::picture(kFrameTexture);
  const QImage innerTexture = tv::skin::picture(kInnerTexture);
  if (frameTexture.isNull() || innerTexture.isNull()) return true;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const qreal radius = kCornerEllipse / 2.0;
  painter.setPen(QPen(Qt::black, 2));
  painter.setBrush(QBrush(frameTexture));
  painter.drawRoundedRect(QRectF(GetClientArea()).adjusted(1, 1, -1, -1), radius, radius);
  painter.setBrush(Qt::black);
  painter.drawRoundedRect(QRectF(GetBodyRect()).adjusted(1, 0, -1, -1), radius, radius);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(GetFrameFillRect(), Qt::black);
  painter.fillRect(GetInnerRect(), QBrush(innerTexture));
  if (!caption_.isEmpty()) {
    QFont font("Verdana");
    font.setPixelSize(18);
    font.setWeight(QFont::Black);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    painter.setPen(QColor(220, 220, 220));
    const QRect band = GetCaptionRect().adjusted(4, 2, -17, -2);
    const QString text = QFontMetrics(font).elidedText(caption_, Qt::ElideRight, band.width());
    painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
  painter.restore();
  return true;
}

void COrv_SkinFrame::ApplyWindowRegion() {
  if (owner_ == nullptr) return;
  // The client rectangle grown by one pixel to the right and bottom, its
  // corners cut by 17 x 17 ellipses.
  QPainterPath path;
  const QRect grown(0, 0, ownerWidth() + 1, ownerHeight() + 1);
  path.addRoundedRect(QRectF(grown), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
  const QRegion round(path.toFillPolygon().toPolygon());
  owner_->setMask(round.intersected(QRegion(grown)));
}

// ---- dragging ----

void COrv_SkinFrame::startDrag(int code, QPoint clientPoint) {
  dragCode_ = code;
  dragging_ = true;
  lastDrag_ = QRect();
  dragStart_ = owner_->mapToGlobal(clientPoint);
}

void COrv_SkinFrame::OnLButtonDown(int, int x, int y) {
  if (owner_ == nullptr) return;
  if (HitTestCaption(x, y) == kMove) {
    startDrag(kMove, QPoint(x, y));
    return;
  }
  const int code = HitTestBorder(x, y);
  if (code == kNone) return;
  SetDragCursor(code);
  startDrag(code, QPoint(x, y));
}

void COrv_SkinFrame::drawRubberBand(const QRect& screenRect) {
  if (band_ == nullptr) band_ = new QRubberBand(QRubberBand::Rectangle);
  band_->setGeometry(screenRect);
  band_->show();
  lastDrag_ = screenRect;
}

void COrv_SkinFrame::OnMouseMove(int, int x, int y) {
  if (owner_ == nullptr) return;
  if (!dragging_) {
    if (resizable_) SetDragCursor(HitTestBorder(x, y));
    return;
  }
  const QPoint now = owner_->mapToGlobal(QPoint(x, y));
  if (now == dragStart_ && lastDrag_.isNull()) return;
  const int dx = now.x() - dragStart_.x();
  const int dy = now.y() - dragStart_.y();
  const QRect g = owner_->frameGeometry();
  int left = g.x(), top = g.y(), right = g.x() + g.width(), bottom = g.y() + g.height();
  if (dragCode_ & kLeft) left += dx;
  if (dragCode_ & kRight) right += dx;
  if (dragCode_ & kTop) top += dy;
  if (dragCode_ & kBottom) bottom += dy;
  if (right - left < minWidth_) {
    if (dragCode_ & kLeft)
      left = right - minWidth_;
    else
      right = left + minWidth_;
  }
  if (bottom - top < minHeight_) {
    if (dragCode_ & kTop)
      top = bottom - minHeight_;
    else
      bottom = top + minHeight_;
  }
  if (right > left && bottom > top) drawRubberBand(QRect(left, top, right - left, bottom - top));
}

void COrv_SkinFrame::OnLButtonUp(int, int x, int y) {
  if (!dragging_ || owner_ == nullptr) return;
  dragging_ = false;
  if (band_ != nullptr) band_->hide();
  const QPoint now = owner_->mapToGlobal(QPoint(x, y));
  if (now != dragStart_ && !lastDrag_.isNull()) {
    owner_->setGeometry(lastDrag_);
    ApplyWindowRegion();
  }
  dragCode_ = kNone;
  SetDragCursor(kNone);
}

void COrv_SkinFrame::OnSize(int sizeType, int, int) {
  if (sizeType == kSizeMinimized || closeHost_ == nullptr) return;
  closeHost_->setGeometry(GetCloseButtonRect());
}
