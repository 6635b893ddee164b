#include "player/shell/tv_document_windows.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMdiArea>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/ui/test_mode.h"
#include "player/audio/frag_selector_dlg.h"
#include "player/audio/speech_view_dlg.h"
#include "player/shell/frame_state.h"

// --- Host ----------------------------------------------------------------------

int MainFrameDocumentHost::GetSetting(int n) const { return frame_.FrameState().GetInt(n); }

std::string MainFrameDocumentHost::GetSettingText(int n) const {
  const COrv_FrameState& state = frame_.FrameState();
  const std::size_t size = state.GetValue(n, nullptr);
  if (size == 0 || n != COrv_FrameState::kTextSetting) return {};
  std::string text(size + 1, '\0');
  state.GetValue(n, text.data());
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return text;
}

std::string MainFrameDocumentHost::GetUserName() const { return frame_.FrameState().GetUserName(); }

void MainFrameDocumentHost::BeginWaitCursor() {
  if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MainFrameDocumentHost::EndWaitCursor() {
  if (qApp) QApplication::restoreOverrideCursor();
}

void MainFrameDocumentHost::SelectPlaySpeed(int speed) {
  if (play_) play_->SetPlaySpeed(speed);
}

void MainFrameDocumentHost::PlayCurrentQuote() {
  if (play_) play_->RestartPlay();
}

// --- Text dialog ------------------------------------------------------------------

namespace {

QString colourName(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF), static_cast<int>((bgr >> 16) & 0xFF))
      .name();
}

}  // namespace

QString DocumentTextDialog::ToHtml(const TvTextDialogRequest& request) {
  const COrv_CharFormat& c = request.format.chars;
  const COrv_ParaFormat& p = request.format.para;
  // Twips to pixels at 96 per inch.
  auto px = [](int twips) { return twips * 96 / 1440; };
  QString style = QString("color:%1;").arg(colourName(c.colour));
  if (!c.face.empty()) style += QString("font-family:'%1';").arg(QString::fromStdString(c.face));
  if (c.height > 0) style += QString("font-size:%1pt;").arg(c.height / 20.0);
  if (c.effects & COrv_CharFormat::kEffectItalic) style += "font-style:italic;";
  if (c.effects & COrv_CharFormat::kEffectBold) style += "font-weight:bold;";
  style += QString("margin-left:%1px;margin-right:%2px;").arg(px(p.startIndent)).arg(px(p.rightIndent));

  QString body;
  const QString text = QString::fromStdString(request.text);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text[i];
    const QChar close = ch == '[' ? QChar(']') : ch == '<' ? QChar('>') : QChar();
    const qsizetype end = close.isNull() || !request.markup ? -1 : text.indexOf(close, i + 1);
    if (end > i) {
      const QString colour = ch == '[' ? "#ff0000" : "#008000";
      body += QString("<b style=\"color:%1\">%2</b>").arg(colour, text.mid(i + 1, end - i - 1).toHtmlEscaped());
      i = end;
    } else if (ch == '\n') {
      body += "<br>";
    } else {
      body += QString(ch).toHtmlEscaped();
    }
  }
  return QString("<div style=\"%1\">%2</div>").arg(style, body);
}

void DocumentTextDialog::ShowText(const TvTextDialogRequest& request) {
  if (plat::ui::testMode()) {
    LogTestEvent("dialog", std::to_string(request.dialogNumber));
    return;
  }
  QDialog dialog(parent_);
  dialog.setWindowTitle(QString::fromStdString(request.caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* view = new QTextBrowser(&dialog);
  view->setHtml(ToHtml(request));
  layout->addWidget(view);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.resize(420, 260);
  dialog.exec();
}

// --- Child window -------------------------------------------------------------------

TvDocumentChild::TvDocumentChild(COrv_TvDocument& document, std::function<void(TvDocumentChild*)> onClose)
    : document_(&document), onClose_(std::move(onClose)) {
  setAttribute(Qt::WA_DeleteOnClose);
  label_ = new QLabel(this);
  label_->setAlignment(Qt::AlignCenter);
  label_->setWordWrap(true);
  label_->setMargin(16);
  setWidget(label_);
  resize(480, 300);
  document_->AddView(this);
  UpdateText();
}

TvDocumentChild::~TvDocumentChild() { Detach(); }

void TvDocumentChild::Detach() {
  onClose_ = nullptr;
  if (document_) document_->RemoveView(this);
  document_ = nullptr;
}

void TvDocumentChild::UpdateText() {
  if (!document_) return;
  setWindowTitle(QString::fromStdString(document_->GetTitle()));
  label_->setText(QString("<h2>%1</h2><p>%2 / %3</p><p>%4</p>")
                      .arg(QString::fromStdString(document_->GetTitle()).toHtmlEscaped())
                      .arg(document_->GetCurrentQuote())
                      .arg(document_->GetQuoteCount())
                      .arg(QString::fromStdString(document_->GetQuoteInfo().GetQuoteText()).toHtmlEscaped()));
}

void TvDocumentChild::closeEvent(QCloseEvent* event) {
  // The callback closes the document and forgets it: nothing of it is
  // touched afterwards.
  if (auto onClose = std::exchange(onClose_, nullptr)) onClose(this);
  event->accept();
}

// --- Windows ------------------------------------------------------------------------

COrv_TvDocumentWindows::COrv_TvDocumentWindows(CMainFrame& frame, StartPlay* play)
    : frame_(frame), host_(frame, play), dialog_(&frame) {}

COrv_TvDocumentWindows::~COrv_TvDocumentWindows() {
  // The frame is going: every book is closed as its window would close it,
  // so that the learner's progress is kept.
  while (!open_.empty()) closeChild(open_.back().child);
}

bool COrv_TvDocumentWindows::OpenDocumentFile(const std::string& code) {
  LogTestEvent("open", code);
  TvDocumentServices services;
  services.host = &host_;
  services.sound = &sound_;
  services.textDialog = &dialog_;
  services.displayLanguage = frame_.FrameState().GetInterfaceLanguage();
  auto document = std::make_unique<COrv_TvDocument>(services);
  if (!document->OnOpenDocument(code)) return false;
  auto* child = new TvDocumentChild(*document, [this](TvDocumentChild* c) { closeChild(c); });
  open_.push_back({std::move(document), child});
  if (QMdiArea* client = frame_.Client()) {
    client->addSubWindow(child);
    child->show();
    client->setActiveSubWindow(child);
  }
  const COrv_TvDocument& opened = *open_.back().document;
  LogTestEvent("opened", opened.GetBookCode() + " " + std::to_string(opened.GetCurrentQuote()) + "/" +
                             std::to_string(opened.GetQuoteCount()));
  return true;
}

COrv_TvDocument* COrv_TvDocumentWindows::ActiveTvDocument() const {
  if (open_.empty()) return nullptr;
  // The active child's document; with no child active (a frame not shown),
  // the one opened last.
  const QMdiArea* client = frame_.Client();
  const QMdiSubWindow* active = client ? client->activeSubWindow() : nullptr;
  for (const Open& o : open_)
    if (o.child == active) return o.document.get();
  return open_.back().document.get();
}

void COrv_TvDocumentWindows::CloseActiveDocument() {
  const COrv_TvDocument* active = ActiveTvDocument();
  for (const Open& o : open_)
    if (o.document.get() == active) {
      o.child->close();
      return;
    }
}

void COrv_TvDocumentWindows::closeChild(TvDocumentChild* child) {
  const auto it = std::find_if(open_.begin(), open_.end(), [child](const Open& o) { return o.child == child; });
  if (it == open_.end()) return;
  Open gone = std::move(*it);
  open_.erase(it);
  gone.child->Detach();
  const std::string code = gone.document->GetBookCode();
  gone.document->OnCloseDocument();
  LogTestEvent("closed", code);
  // A child still shown goes with its document (its own close is under way
  // otherwise).
  if (gone.child->isVisible()) {
    gone.child->hide();
    gone.child->deleteLater();
  }
}

void MainFrameDocumentHost::HideViewWindows() { frame_.HideViewWindows(); }

namespace {
void showOrHide(QWidget* window, bool show) {
  if (window == nullptr) return;
  if (show) {
    window->show();
    window->raise();
  } else {
    window->hide();
  }
}
}  // namespace

void MainFrameDocumentHost::ShowFragmentSelector(bool show, float start, float end) {
  COrv_FragSelectorDlg* selector = frame_.FragSelector(COrv_FragSelectorDlg::kAudioId);
  if (selector != nullptr) selector->SetFragment(start, end);
  showOrHide(selector, show);
}

void MainFrameDocumentHost::ShowSpeechView(bool show, const std::filesystem::path& wave,
                                           const std::vector<float>& shares, float start, float end) {
  COrv_SpeechViewDlg* view = frame_.SpeechView(COrv_SpeechViewDlg::kAudioId);
  if (view != nullptr) {
    view->SetWave(wave, &shares);
    view->SetSelection(start, end);
  }
  showOrHide(view, show);
}

void MainFrameDocumentHost::ShowVolumeWindow(bool show) {
  showOrHide(frame_.AudioViewWindow(ViewWindows::kVolume), show);
}
