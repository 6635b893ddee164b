#include "player/audio/speech_view_dlg.h"

#include <QResizeEvent>

namespace {
// A rectangle from its edges, the right and bottom edges outside it.
QRect edges(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return QRect();
  return QRect(left, top, right - left, bottom - top);
}
}  // namespace

COrv_SpeechViewDlg::Layout COrv_SpeechViewDlg::ComputeLayout(const QRect& inner, int segmentCount) {
  const int left = inner.left() + 6;
  const int right = inner.left() + inner.width() - 6;
  const int top = inner.top();
  const int bottom = inner.top() + inner.height();
  int zoomBottom, overviewBottom, gap;
  if (segmentCount > 1) {
    zoomBottom = static_cast<int>(bottom * 0.65);
    overviewBottom = static_cast<int>(bottom * 0.9);
    gap = 2;
  } else {
    zoomBottom = static_cast<int>(bottom * 0.75);
    overviewBottom = bottom;
    gap = 8;
  }
  Layout layout;
  layout.zoom = edges(left, top + 6, right, zoomBottom - 8);
  layout.overview = edges(left, zoomBottom + 6, right, overviewBottom - gap);
  if (segmentCount > 1) layout.segments = edges(left, overviewBottom + gap, right, bottom - 8);
  return layout;
}

COrv_SpeechViewDlg::COrv_SpeechViewDlg(COrv_AudioViewHost* host, QWidget* parent)
    : COrv_ViewDialog(host, kCaptionId, "usingspeechview.htm", parent),
      zoom_(this),
      overview_(this),
      segmentBar_(this) {
  resize(DialogUnitsX(286), DialogUnitsY(158));
  AttachSkin(true);
  Skin().SetMinSize(kMinWidth, kMinHeight);
  setMinimumSize(kMinWidth, kMinHeight);
  overview_.SetZoom(false);
  zoom_.SetZoom(true);
  for (COrv_WaveformView* pane : {&zoom_, &overview_}) {
    pane->OnSelection([this](float start, float end) { OnPaneSelection(start, end); });
    pane->OnPlayRequest([this](int request) { OnPlayRequest(request); });
  }
  segmentBar_.OnClick([this](int segment) { OnSegmentClick(segment); });
  segmentBar_.OnPlayRequest([this](int segment) { OnPlayRequest(segment); });
  ApplyLayout();
}

bool COrv_SpeechViewDlg::Create(int id) {
  SetCtrlId(id);
  return true;
}

bool COrv_SpeechViewDlg::SetWave(const std::filesystem::path& path, const std::vector<float>* shares) {
  segmentCount_ = shares != nullptr ? static_cast<int>(shares->size()) : 0;
  path_ = path;
  const int count = segmentCount_;
  const float* data = shares != nullptr ? shares->data() : nullptr;
  const bool zoomOk = zoom_.LoadWave(path, count, data);
  const bool overviewOk = overview_.LoadWave(path, count, data);
  segmentBar_.SetShares(count, data);
  ApplyLayout();
  return zoomOk && overviewOk;
}

void COrv_SpeechViewDlg::SetSelection(float start, float end) {
  zoom_.SetSelection(start, end);
  overview_.SetSelection(start, end);
}

void COrv_SpeechViewDlg::resizeEvent(QResizeEvent* event) {
  COrv_ViewDialog::resizeEvent(event);
  ApplyLayout();
}

void COrv_SpeechViewDlg::ApplyLayout() {
  const Layout layout = ComputeLayout(InnerRect(), segmentCount_);
  zoom_.setGeometry(layout.zoom);
  overview_.setGeometry(layout.overview);
  segmentBar_.setGeometry(layout.segments);
  segmentBar_.setVisible(!layout.segments.isEmpty());
}

void COrv_SpeechViewDlg::OnPaneSelection(float start, float end) {
  SetSelection(start, end);
  if (Host() != nullptr && CtrlId() != 0) Host()->SetFragmentFromView(start, end, CtrlId());
}

void COrv_SpeechViewDlg::OnSegmentClick(int segment) {
  zoom_.SelectSegment(segment);
  overview_.SelectSegment(segment);
  if (Host() != nullptr && CtrlId() != 0) Host()->SetPositionFromView(segment, CtrlId());
}

void COrv_SpeechViewDlg::OnPlayRequest(int request) {
  if (Host() == nullptr || CtrlId() == 0) return;
  if (request < 0)
    Host()->RequestPlay(CtrlId());
  else if (request == 0)
    Host()->RequestPlayFragment(CtrlId());
  else
    Host()->RequestPlayFrom(request, CtrlId());
}
