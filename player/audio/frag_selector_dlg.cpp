#include "player/audio/frag_selector_dlg.h"

#include <QPainter>

#include "player/audio/audio_view_pictures.h"

COrv_FragSelectorDlg::COrv_FragSelectorDlg(COrv_AudioViewHost* host, QWidget* parent)
    : COrv_ViewDialog(host, kCaptionId, "fragment.htm", parent), bar_(this) {
  setFixedSize(DialogUnitsX(187), DialogUnitsY(50));
}

bool COrv_FragSelectorDlg::Create() {
  return bar_.Create(this, CtrlId(), InnerRect(), Host());
}

void COrv_FragSelectorDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(InnerRect(), QBrush(orv::audioviews::BackgroundPattern()));
}
