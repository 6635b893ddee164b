#include "player/views/frm_sc_pad.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "player/views/pane_pictures.h"
#include "shared/language/orv_language.h"

COrv_Frm_ScPad::COrv_Frm_ScPad(QWidget* parent) : COrv_PatternView(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  m_button = new QToolButton(this);
  m_button->setIconSize(QSize(24, 24));
  m_button->setAutoRaise(true);
  m_button->setFocusPolicy(Qt::NoFocus);
  // The button only says what the pane is for: a click puts the learner
  // in the typing control.
  connect(m_button, &QToolButton::clicked, this, [this] { m_edit->setFocus(Qt::OtherFocusReason); });
  layout->addWidget(m_button, 0, Qt::AlignTop);
  m_edit = new COrv_ScPadEdit(this);
  layout->addWidget(m_edit, 1);
  LoadButtonTexts();
}

void COrv_Frm_ScPad::LoadButtonTexts() {
  m_button->setIcon(orv::views::PaneIcon(kPicture));
  m_button->setToolTip(QString::fromStdString(COrv_Language().LoadString(kTooltip)));
}
