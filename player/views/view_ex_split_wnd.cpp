#include "player/views/view_ex_split_wnd.h"

#include <QApplication>
#include <QBrush>
#include <QMdiSubWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cstdlib>

#include "shared/buttons/orv_button.h"

CViewExSplitWnd::CViewExSplitWnd(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {
  setChildrenCollapsible(false);
  setHandleWidth(6);
}

int CViewExSplitWnd::OffsetInFrame(const QWidget* window) {
  // The frame is the book window holding the view (its rectangle includes
  // its caption), or the top-level window for anything else.
  const QWidget* frame = nullptr;
  for (const QWidget* w = window->parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (dynamic_cast<const QMdiSubWindow*>(w) != nullptr) {
      frame = w;
      break;
    }
  }
  const int top = window->mapToGlobal(QPoint(0, 0)).y();
  const int frameTop = frame != nullptr ? frame->mapToGlobal(QPoint(0, 0)).y() : window->window()->frameGeometry().top();
  return std::abs(top - frameTop);
}

int CViewExSplitWnd::PatternFor(const QWidget* window) {
  return window == nullptr ? 0 : kPatternTable[OffsetInFrame(window) % 8];
}

bool CViewExSplitWnd::MakePatternBrush(const QWidget* window, QBrush* brush) {
  if (window == nullptr || brush == nullptr) return false;
  const auto fallback = [brush] {
    *brush = QBrush(QColor(255, 0, 0));
    return true;
  };
  const QImage check = tv::buttons::LoadResourceImage(kPatternCheck, false);
  if (check.isNull() || check.width() != kPatternSide || check.height() != kPatternSide) return fallback();
  const QImage pattern = tv::buttons::LoadResourceImage(PatternFor(window), false);
  if (pattern.isNull()) return fallback();
  *brush = QBrush(pattern);
  return true;
}

QWidget* CViewExSplitWnd::GetActivePane() const {
  for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (auto* frame = dynamic_cast<QMdiSubWindow*>(w)) {
      if (QWidget* focus = frame->focusWidget()) return focus;
      break;
    }
  }
  return QApplication::focusWidget();
}

QSplitterHandle* CViewExSplitWnd::createHandle() { return new CViewExSplitHandle(orientation(), this); }

void CViewExSplitWnd::resizeEvent(QResizeEvent* e) {
  QSplitter::resizeEvent(e);
  if (onResize_) onResize_(e->size());
}

namespace {
void fillWithPattern(QWidget* window, const QRect& area) {
  QBrush brush;
  if (!CViewExSplitWnd::MakePatternBrush(window, &brush)) return;
  QPainter painter(window);
  painter.fillRect(area, brush);
}
}  // namespace

void CViewExSplitHandle::paintEvent(QPaintEvent*) { fillWithPattern(this, rect()); }

void COrv_PatternView::paintEvent(QPaintEvent* e) { fillWithPattern(this, e->rect()); }
