#pragma once
// CSplitterFrame: a book window with a plain two-column splitter, the
// template's view on the left (130 x 50 to start with) and an empty view on
// the right, which takes the focus. No document template uses it.

#include <QMdiSubWindow>

#include "player/shell/child_view_factory.h"

class QSplitter;

class CSplitterFrame : public QMdiSubWindow {
 public:
  static constexpr int kLeftIdealWidth = 130;
  static constexpr int kLeftIdealHeight = 50;

  CSplitterFrame(COrv_ChildViewFactory* factory, QWidget* parent = nullptr);
  bool OnCreateClient(const CCreateContext& context);
  QSplitter* Splitter() const { return splitter_; }
  QWidget* LeftView() const { return left_; }
  QWidget* RightView() const { return right_; }

 private:
  COrv_ChildViewFactory* factory_;
  QSplitter* splitter_ = nullptr;
  QWidget* left_ = nullptr;
  QWidget* right_ = nullptr;
};
