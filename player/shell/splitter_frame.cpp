#include "player/shell/splitter_frame.h"

#include <QSplitter>

CSplitterFrame::CSplitterFrame(COrv_ChildViewFactory* factory, QWidget* parent)
    : QMdiSubWindow(parent), factory_(factory) {}

bool CSplitterFrame::OnCreateClient(const CCreateContext& context) {
  if (factory_ == nullptr || splitter_ != nullptr) return false;
  splitter_ = new QSplitter(Qt::Horizontal, this);
  setWidget(splitter_);
  left_ = factory_->CreateScratchPadView(splitter_, context);
  if (left_ == nullptr) return false;
  left_->resize(kLeftIdealWidth, kLeftIdealHeight);
  splitter_->addWidget(left_);
  right_ = new QWidget(splitter_);
  right_->setFocusPolicy(Qt::StrongFocus);
  splitter_->addWidget(right_);
  splitter_->setSizes({kLeftIdealWidth, 0});
  right_->setFocus();
  return true;
}
