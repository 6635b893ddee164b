#include "player/shell/status_bar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "player/env/users.h"
#include "player/shell/frame_state.h"
#include "shared/buttons/orv_button.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {

constexpr int kTipCurrent = 47;
constexpr int kTipCount = 48;
constexpr int kTipTitle = 49;
constexpr int kTipCategory = 50;
constexpr int kTipDifficulty = 51;
constexpr int kTipLanguage = 52;
constexpr int kHelpBar = 400;

// The list of the language object whose entries name, and whose icons
// show, each icon pane's value.
int listOf(int id) {
  switch (id) {
    case COrv_StatusBar::kCategory:
      return tv::language::kListCategories;
    case COrv_StatusBar::kDifficulty:
      return tv::language::kListDifficulties;
    default:
      return tv::language::kListLanguages;
  }
}

std::string number(const char* format, unsigned n) {
  char text[16];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

}  // namespace

COrv_StatusBar::COrv_StatusBar(const COrv_FrameState* state, FactsSource facts, QWidget* parent)
    : QStatusBar(parent), state_(state), facts_(std::move(facts)) {
  setObjectName("statusbar");
  setSizeGripEnabled(false);
}

void COrv_StatusBar::SetIconSize(unsigned n) { iconSize_ = n > 2 ? 2 : n; }
int COrv_StatusBar::IconPixels() const { return 16 + 8 * static_cast<int>(iconSize_); }
int COrv_StatusBar::MinimumBarHeight() const { return IconPixels() + 8; }

int COrv_StatusBar::PaneAt(int position) {
  return position >= 0 && position < static_cast<int>(kPanes.size()) ? kPanes[static_cast<std::size_t>(position)]
                                                                      : -1;
}

int COrv_StatusBar::slot(int id) const {
  for (std::size_t i = 0; i < kPanes.size(); ++i)
    if (kPanes[i] == id) return static_cast<int>(i);
  return -1;
}

QLabel* COrv_StatusBar::PaneLabel(int id) const {
  const int i = slot(id);
  return i < 0 ? nullptr : labels_[static_cast<std::size_t>(i)];
}

int COrv_StatusBar::ShownValue(int id) const {
  const int i = slot(id);
  return i < 0 ? -1 : shown_[static_cast<std::size_t>(i)];
}

bool COrv_StatusBar::OnCreate() {
  if (labels_[0] != nullptr) return false;
  const int icon = IconPixels();
  for (std::size_t i = 0; i < kPanes.size(); ++i) {
    auto* label = new QLabel(this);
    const int id = kPanes[i];
    label->setObjectName(QString("pane%1").arg(id));
    label->setAlignment(Qt::AlignCenter);
    int stretch = 0;
    switch (id) {
      case kUser:
        label->setFixedWidth(100);
        label->setEnabled(false);
        label->setFrameStyle(QFrame::NoFrame);
        break;
      case kTitle:
        label->setMinimumWidth(220);
        label->setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
      case kStretch:
        label->setMinimumWidth(10);
        stretch = 1;
        break;
      case kCategory:
      case kDifficulty:
      case kLanguage:
        label->setFixedWidth(icon);
        label->setEnabled(false);
        label->setFrameStyle(QFrame::NoFrame);
        break;
      default:  // the Echomark numbers: at least as wide as an icon
        label->setMinimumWidth(icon);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    }
    addWidget(label, stretch);
    labels_[i] = label;
  }
  setMinimumHeight(MinimumBarHeight());
  // The last pane's right border stays clear of the window's edge.
  setContentsMargins(0, 0, kRightMargin, 0);
  UpdatePanes();
  return true;
}

void COrv_StatusBar::setText(int id, bool enabled, const std::string& text) {
  QLabel* label = PaneLabel(id);
  if (label == nullptr) return;
  label->setEnabled(enabled);
  // A disabled pane shows no text.
  const QString shown = enabled ? QString::fromStdString(text) : QString();
  label->setText(shown);
  if (id == kCurrent || id == kCount) {
    // Wide enough for the number it shows, however many digits it has.
    const int needed = label->fontMetrics().horizontalAdvance(shown) + 2 * label->frameWidth() + 8;
    label->setMinimumWidth(std::max(IconPixels(), needed));
  }
}

void COrv_StatusBar::setIcon(int id, int value) {
  QLabel* label = PaneLabel(id);
  if (label == nullptr) return;
  label->clear();
  const int size = IconPixels();
  const COrv_Language language(-1);
  const auto picture = language.LoadTableIcon(listOf(id), value, size, size);
  if (!picture) return;
  const QImage image = tv::buttons::RenderPicture(*picture);
  if (!image.isNull()) label->setPixmap(QPixmap::fromImage(image.scaled(size, size)));
}

void COrv_StatusBar::updateIconPane(int id, const std::optional<COrv_StatusFacts>& facts) {
  QLabel* label = PaneLabel(id);
  if (label == nullptr) return;
  int& shown = shown_[static_cast<std::size_t>(slot(id))];
  if (!facts) {
    label->setEnabled(false);
    label->clear();
    shown = -1;
    return;
  }
  label->setEnabled(true);
  const int value = id == kCategory ? facts->category : id == kDifficulty ? facts->difficulty : facts->language;
  if (value == shown) return;
  shown = value;
  setIcon(id, value);
}

void COrv_StatusBar::UpdatePanes() {
  if (labels_[0] == nullptr) return;
  const std::optional<COrv_StatusFacts> facts = facts_ ? facts_() : std::nullopt;
  setText(kCount, facts.has_value(), facts ? number("%3u", facts->count) : std::string());
  setText(kCurrent, facts.has_value(), facts ? number("%2u", facts->current) : std::string());
  setText(kTitle, facts.has_value(), facts ? facts->title : std::string());
  const bool loggedIn = state_ != nullptr && state_->GetLoggedIn() != 0;
  // The anonymous user is the user "Default", as the preferences name it.
  setText(kUser, loggedIn, state_ != nullptr ? orv::COrv_Users::GetSectionName(state_->GetUserName()) : std::string());
  for (int id : {kDifficulty, kCategory, kLanguage}) updateIconPane(id, facts);
  for (std::size_t i = 0; i < kPanes.size(); ++i)
    labels_[i]->setToolTip(QString::fromStdString(toolTip(kPanes[i], facts)));
}

void COrv_StatusBar::SetPaneIcons(int category, int difficulty, int language) {
  setIcon(kDifficulty, difficulty);
  setIcon(kLanguage, language);
  setIcon(kCategory, category);
}

void COrv_StatusBar::ClearPaneIcons() {
  for (int id : {kDifficulty, kCategory, kLanguage})
    if (QLabel* label = PaneLabel(id)) label->clear();
}

std::string COrv_StatusBar::ToolTipText(int id) const {
  return toolTip(id, facts_ ? facts_() : std::nullopt);
}

std::string COrv_StatusBar::toolTip(int id, const std::optional<COrv_StatusFacts>& facts) const {
  if (!facts) return {};
  const int index = state_ != nullptr ? state_->GetInterfaceLanguage() : -1;
  const COrv_Language language(index);
  switch (id) {
    case kCurrent:
      return language.LoadString(kTipCurrent, index);
    case kCount:
      return language.LoadString(kTipCount, index);
    case kTitle:
      return language.LoadString(kTipTitle, index);
    case kDifficulty:
      return language.LoadString(kTipDifficulty, index) +
             language.LoadTableString(tv::language::kListDifficulties, facts->difficulty, index);
    case kCategory:
      return language.LoadString(kTipCategory, index) +
             language.LoadTableString(tv::language::kListCategories, facts->category, index);
    case kLanguage:
      return language.LoadString(kTipLanguage, index) +
             language.LoadTableString(tv::language::kListLanguages, facts->language, index);
    default:
      return {};
  }
}

int COrv_StatusBar::HelpHitTest(QPoint point) const {
  if (!rect().contains(point)) return 0;
  const auto inside = [&](int id) {
    const QLabel* label = PaneLabel(id);
    return label != nullptr && label->isVisible() && label->geometry().contains(point);
  };
  if (inside(kCategory)) return 0x10000 + kCategory;
  if (inside(kDifficulty)) return 0x10000 + kDifficulty;
  return 0x10000 + kHelpBar;
}

void COrv_StatusBar::paintEvent(QPaintEvent* e) {
  {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(kLightGrey));
  }
  QStatusBar::paintEvent(e);
}
