#include "player/shell/label_panel.h"

#include <QPainter>
#include <QPushButton>

namespace {
constexpr int kMargin = 1;
constexpr int kTopInset = 2;
constexpr int kBottomInset = 2;
}  // namespace

COrv_LabelPanel::COrv_LabelPanel(std::function<void(int)> goToQuote, QWidget* parent)
    : QWidget(parent), goToQuote_(std::move(goToQuote)) {}

bool COrv_LabelPanel::OnInitDialog() {
  if (strip_ != nullptr) return false;
  strip_ = new COrv_RoundLabel(&items_, [this](int n) {
    if (goToQuote_) goToQuote_(n);
  }, this);
  strip_->setEnabled(false);
  const char* const glyphs[4] = {"<<", "<", ">", ">>"};
  void (COrv_LabelPanel::*const moves[4])() = {&COrv_LabelPanel::PagePrev, &COrv_LabelPanel::ScrollPrev,
                                               &COrv_LabelPanel::ScrollNext, &COrv_LabelPanel::PageNext};
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i] = new QPushButton(glyphs[i], this);
    buttons_[i]->setObjectName(QString::number(kButtonIds[i]));
    const auto move = moves[i];
    QObject::connect(buttons_[i], &QPushButton::clicked, this, [this, move] { (this->*move)(); });
  }
  // The layout, once: square buttons as high as the bar less its insets.
  const int w = width();
  const int b = std::max(0, height() - kTopInset - kBottomInset - 2 * kMargin);
  const int y = kMargin + kTopInset;
  Button(1013)->setGeometry(kMargin, y, b, b);
  Button(1015)->setGeometry(kMargin + b, y, b, b);
  Button(1016)->setGeometry(w - kMargin - b, y, b, b);
  Button(1014)->setGeometry(w - kMargin - 2 * b, y, b, b);
  strip_->setGeometry(2 * (b + 2), y, std::max(0, w - 4 * (b + 2)), b);
  return true;
}

QPushButton* COrv_LabelPanel::Button(int id) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (kButtonIds[i] == id) return buttons_[i];
  return nullptr;
}

void COrv_LabelPanel::SetItems(const std::vector<std::uint32_t>* status) {
  ClearItems();
  if (status != nullptr) {
    items_ = *status;
    if (strip_ != nullptr) strip_->setEnabled(true);
  }
  if (strip_ != nullptr) strip_->SetFirstVisible(1);
}

void COrv_LabelPanel::ClearItems() {
  items_.clear();
  if (strip_ != nullptr) strip_->setEnabled(false);
}

void COrv_LabelPanel::UpdateItems(const std::vector<std::uint32_t>* status) {
  if (strip_ == nullptr || strip_->GetCount() < 1 || status == nullptr || status->size() < 2) return;
  items_ = *status;
  strip_->update();
}

void COrv_LabelPanel::ScrollNext() {
  if (strip_) strip_->ScrollNext();
}
void COrv_LabelPanel::PageNext() {
  if (strip_) strip_->PageNext();
}
void COrv_LabelPanel::ScrollPrev() {
  if (strip_) strip_->ScrollPrev();
}
void COrv_LabelPanel::PagePrev() {
  if (strip_) strip_->PagePrev();
}
void COrv_LabelPanel::SetFirstVisible(int n) {
  if (strip_) strip_->SetFirstVisible(n);
}
int COrv_LabelPanel::GetCount() const { return strip_ ? strip_->GetCount() : 0; }

void COrv_LabelPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor::fromRgb(kBackground));
}
