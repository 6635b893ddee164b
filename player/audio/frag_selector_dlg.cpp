#include "player/audio/frag_selector_dlg.h"

COrv_FragSelectorDlg::COrv_FragSelectorDlg(COrv_AudioViewHost* host, QWidget* parent)
    : COrv_ViewDialog(host, kCaptionId, "fragment.htm", parent), bar_(this) {
  setFixedSize(DialogUnitsX(187), DialogUnitsY(50));
  AttachSkin(false);
}

bool COrv_FragSelectorDlg::Create() {
  return bar_.Create(this, CtrlId(), InnerRect(), Host());
}
