#include "player/views/frm_so_far.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "player/views/pane_pictures.h"
#include "shared/language/orv_language.h"

namespace {

using Model = COrv_SoFarModel;

struct ButtonRow {
  int command;
  int picture;
  int tooltip;  // 0: none
};
// The pane's buttons in order, with their normal pictures and tooltips.
constexpr ButtonRow kButtons[] = {
    {COrv_Frm_SoFar::kDictionaryMode, 168, 38}, {COrv_Frm_SoFar::kGrammarMode, 164, 37},
    {COrv_Frm_SoFar::kLazyMode, 172, 35},       {COrv_Frm_SoFar::kLetterMode, 174, 36},
    {COrv_Frm_SoFar::kSpelling, 180, 0},        {COrv_Frm_SoFar::kComment, 155, 45},
    {COrv_Frm_SoFar::kIntroduction, 160, 44},   {COrv_Frm_SoFar::kResults, 218, 11101},
};

}  // namespace

COrv_Frm_SoFar::COrv_Frm_SoFar(QWidget* parent) : COrv_PatternView(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(1);
  for (const ButtonRow& row : kButtons) {
    auto* b = new QToolButton(this);
    b->setIconSize(QSize(24, 24));
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    const int command = row.command;
    // The button's look is set by the pane, not by the click itself.
    connect(b, &QToolButton::clicked, this, [this, command, b](bool) {
      b->setChecked(!b->isChecked());
      OnCommand(command);
    });
    m_buttons[command] = b;
    bar->addWidget(b);
  }
  bar->addStretch(1);
  layout->addLayout(bar);
  m_edit = new COrv_SoFarEdit(this);
  layout->addWidget(m_edit, 1);
  // At start: dictionary mode with its button pressed.
  m_edit->SetMode(Model::kDictionary);
  m_buttons[kDictionaryMode]->setChecked(true);
  LoadButtonTexts();
}

void COrv_Frm_SoFar::SetDocument(orv::TextPaneDocument* doc) {
  m_doc = doc;
  m_edit->SetDocument(doc);
}

QToolButton* COrv_Frm_SoFar::Button(int command) const {
  auto it = m_buttons.find(command);
  return it == m_buttons.end() ? nullptr : it->second;
}

void COrv_Frm_SoFar::LoadButtonTexts() {
  const COrv_Language language;
  for (const ButtonRow& row : kButtons) {
    QToolButton* b = m_buttons[row.command];
    b->setIcon(orv::views::PaneIcon(row.picture));
    if (row.tooltip) b->setToolTip(QString::fromStdString(language.LoadString(row.tooltip)));
  }
}

void COrv_Frm_SoFar::pressModeButton(int command) {
  if (auto* old = Button(m_pressedMode)) old->setChecked(false);
  m_pressedMode = command;
  if (auto* b = Button(command)) b->setChecked(true);
}

void COrv_Frm_SoFar::setMode(int command, int mode, bool recolourWhenFromGrammar) {
  pressModeButton(command);
  const int previous = m_edit->SetMode(mode);
  const bool fromGrammar = previous == Model::kGrammar;
  // Grammar mode colours linked words: recolour on the way in and out.
  if (recolourWhenFromGrammar ? fromGrammar : !fromGrammar) m_edit->Recolour();
}

void COrv_Frm_SoFar::OnCommand(int command) {
  switch (command) {
    case kDictionaryMode:
      setMode(command, Model::kDictionary, true);
      break;
    case kGrammarMode:
      setMode(command, Model::kGrammar, false);
      break;
    case kLazyMode:
      setMode(command, Model::kLazy, true);
      break;
    case kLetterMode:
      setMode(command, Model::kLetterByLetter, true);
      m_edit->Recolour();
      m_edit->setFocus(Qt::OtherFocusReason);
      m_edit->MoveCaretToLastSlot();
      break;
    case kSpelling:
      if (!Button(kSpelling)->isChecked()) m_edit->Model().CorrectSpelling();
      break;
    case kComment:
      if (m_doc && !Button(kComment)->isChecked()) m_doc->ShowComment();
      break;
    case kIntroduction:
      if (m_doc && !Button(kIntroduction)->isChecked()) m_doc->ShowIntroduction();
      break;
    case kResults:
      // The learner's text checked again, with the success or failure sound.
      if (m_doc) m_doc->RecheckUserText(true);
      break;
    default:
      break;
  }
  UpdateButtonStates();
}

void COrv_Frm_SoFar::Refresh() {
  m_edit->Refresh();
  UpdateButtonStates();
}

void COrv_Frm_SoFar::UpdateButtonStates() {
  const std::uint32_t flags = m_doc ? m_doc->GetCurrentStatus() : m_edit->Model().Flags();
  const COrv_SoFarModel& model = m_edit->Model();
  Button(kIntroduction)->setChecked(!(flags & 0x200));
  Button(kComment)->setChecked(!(flags & 0x100) || !(flags & 0x2));
  Button(kSpelling)->setChecked((flags & 0x2) || model.GetMode() == Model::kLetterByLetter ||
                                !model.HasEditable());
  Button(kResults)->setChecked(false);
  for (int mode : {kDictionaryMode, kGrammarMode, kLazyMode, kLetterMode})
    Button(mode)->setChecked(mode == m_pressedMode);
}
