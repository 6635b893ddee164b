#pragma once
// COrv_SplashWnd: a window that shows the splash picture (136) for a while.
// At most one is shown at a time, and only once splashes are enabled. It
// closes when its time is up or at the first key or mouse press anywhere in
// the program, and deletes itself. Nothing in the program shows it.

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QEvent;

class COrv_SplashWnd : public QWidget {
 public:
  static constexpr int kPicture = 136;
  enum Position { kCentredOnParent = 0, kTopRightOfParent = 3 };

  static void EnableSplash(bool enable);
  static bool IsEnabled();
  // Shows the splash for `ms` milliseconds (0 or less: until a key or a
  // click) at `position` relative to `parent`. False when splashes are not
  // enabled, one is shown already, or it cannot be made.
  static bool ShowSplash(int ms, int position, QWidget* parent);
  // While a splash is shown, a key press or a mouse press closes it,
  // repaints the main window and is consumed (true); false otherwise.
  static bool PreTranslateSplash(const QEvent* event);
  // The splash shown now, or null.
  static COrv_SplashWnd* Current();

  // Where the splash of `size` goes for a parent's rectangle and the screen.
  static QPoint PlaceFor(int position, QSize size, const QRect& parent, const QRect& screen);

  const QTimer& Timer() const { return timer_; }
  // The time is up.
  void OnTimer();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  COrv_SplashWnd(int ms, int position, QWidget* parent, QImage picture);
  ~COrv_SplashWnd() override;

  QImage picture_;
  QPointer<QWidget> parent_;
  QTimer timer_;
};
