#pragma once
// CViewExSplitWnd: the splitter of a Talvane window. Its bars are painted
// with the window's background pattern, taken at the bar's own height in
// the frame, so that the pattern runs on across views and bars without a
// seam. MakePatternBrush is also what the panes paint their backgrounds
// with.

#include <QSplitter>
#include <QSplitterHandle>
#include <functional>

class QBrush;

class CViewExSplitWnd : public QSplitter {
 public:
  // The pattern for a window whose top lies dy pixels below its frame's
  // top, for dy modulo 8.
  static constexpr int kPatternTable[8] = {200, 202, 199, 203, 200, 202, 199, 203};
  static constexpr int kPatternCheck = 199;
  static constexpr int kPatternSide = 8;

  explicit CViewExSplitWnd(Qt::Orientation orientation, QWidget* parent = nullptr);

  // Makes `brush` the pattern brush for `window`: FALSE when either is
  // missing; a solid red brush when the pattern pictures are missing or not
  // 8 x 8 (TRUE then, as the brush was made).
  static bool MakePatternBrush(const QWidget* window, QBrush* brush);
  // The picture MakePatternBrush picks for `window` (0 without a frame).
  static int PatternFor(const QWidget* window);
  // Pixels between the window's top and the top of the frame holding it.
  static int OffsetInFrame(const QWidget* window);

  // The view that has the input focus in this splitter's frame, or the
  // focus widget; row and column are not told.
  QWidget* GetActivePane() const;

  // Called after every resize of the splitter, with its new size.
  void SetResizeHandler(std::function<void(QSize)> handler) { onResize_ = std::move(handler); }

 protected:
  QSplitterHandle* createHandle() override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  std::function<void(QSize)> onResize_;
};

// A pane of a Talvane window (the book text, the so-far text, the scratch
// pad): its background, around its text control and behind its row of
// buttons, is painted with MakePatternBrush, so that the pattern of the bars
// and of the main window's client area runs on through the pane.
class COrv_PatternView : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// A bar of CViewExSplitWnd: framed and filled with the pattern.
class CViewExSplitHandle : public QSplitterHandle {
 public:
  CViewExSplitHandle(Qt::Orientation orientation, QSplitter* parent) : QSplitterHandle(orientation, parent) {}

 protected:
  void paintEvent(QPaintEvent* e) override;
};
