#include "player/audio/view_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include "shared/language/orv_language.h"

COrv_ViewDialog::COrv_ViewDialog(COrv_AudioViewHost* host, int captionId, std::string helpPage, QWidget* parent)
    : QWidget(parent, Qt::Tool), host_(host), captionId_(captionId), helpPage_(std::move(helpPage)) {
  setFocusPolicy(Qt::StrongFocus);
  UpdateCaption();
}

void COrv_ViewDialog::AttachSkin(bool resizable) {
  skin_.Attach(this);
  skin_.SetResizable(resizable);
  UpdateCaption();
}

void COrv_ViewDialog::SetTitleId(int id) {
  titleId_ = id;
  UpdateCaption();
}

void COrv_ViewDialog::UpdateCaption() {
  // The frame's caption is the title the main frame gave (the audio and
  // the recording windows look alike otherwise), else the window's own.
  const COrv_Language language;
  std::string title = titleId_ != 0 ? language.LoadString(titleId_) : std::string();
  if (title.empty()) title = language.LoadString(captionId_);
  setWindowTitle(QString::fromStdString(title));
  skin_.SetCaption(QString::fromStdString(title));
  skin_.UpdateLanguage();
  update();
}

void COrv_ViewDialog::closeEvent(QCloseEvent* event) {
  if (host_ != nullptr && ctrlId_ != 0) host_->OnViewClosed(ctrlId_);
  // Accepted, a close only hides the window (it is never deleted on
  // close), and the application's quit, which asks every window to close,
  // is not held up by a view that is showing.
  event->accept();
}

void COrv_ViewDialog::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    QRect over;
    if (parentWidget() != nullptr)
      over = parentWidget()->window()->frameGeometry();
    else if (screen() != nullptr)
      over = screen()->availableGeometry();
    if (over.isValid()) move(over.center() - rect().center());
  }
  QWidget::showEvent(event);
}

void COrv_ViewDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    if (host_ != nullptr) host_->ShowHelp(helpPage_);
    event->accept();
    return;
  }
  if (host_ != nullptr && host_->TranslateAccelerator(event->keyCombination())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}
