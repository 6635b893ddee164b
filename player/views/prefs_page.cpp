#include "player/views/prefs_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <filesystem>
#include <system_error>

#include "player/views/prefs_dlg.h"
#include "shared/language/orv_language.h"

namespace orv::views {

namespace {

QString text(int id) { return QString::fromStdString(COrv_Language().LoadString(id)); }

constexpr int kStrSlow = 20436, kStrNormal = 20437, kStrFast = 20438, kStrDataPaths = 20470;
constexpr size_t kMaxSoundFileChars = 260;

using K = COrv_PrefsPage::Kind;

}  // namespace

std::vector<COrv_PrefsPage::Control> PrefsPageControls(int number) {
  switch (number) {
    case 5:  // general settings
      return {{K::kNumber, 16, 20420, 0, 60}, {K::kCheck, 19, 20421}, {K::kCheck, 20, 20422},
              {K::kCheck, 21, 20423},         {K::kCheck, 22, 20424}, {K::kCheck, 23, 20425},
              {K::kCheck, 24, 20426},         {K::kCheck, 25, 20427}};
    case 6:  // at the beginning of each Echomark
      return {{K::kCheck, 7, 20428},  {K::kSpeed, 8, 20435},  {K::kCheck, 9, 20429},  {K::kCheck, 14, 20430},
              {K::kCheck, 15, 20431}, {K::kCheck, 12, 20432}, {K::kCheck, 13, 20433}, {K::kCheck, 17, 20434}};
    case 7:  // at the end of each Echomark
      return {{K::kCheck, 4, 20439}, {K::kSoundFile, 5, 20442}, {K::kCheck, 6, 20440}, {K::kCheck, 18, 20441}};
    case 8:  // at the beginning of each Talvane
      return {{K::kCheck, 3, 20443}, {K::kCheck, 10, 20444}};
    case 9:  // at the end of each Talvane
      return {{K::kCheck, 11, 20445}};
    case 4: return {{K::kLanguage, 1, 20411}};
    case 3: return {{K::kLanguage, 2, 20412}};
    case 11: return {{K::kDataPath, 33, 20414}, {K::kShowText, 36, 20447}, {K::kCheck, 35, 20452}};
    case 12: return {{K::kFolderList, 34, 20415}};
    case 13:  // the six enablings, in their order
      return {{K::kCheck, 26, 20446}, {K::kCheck, 27, 20417}, {K::kCheck, 28, 20418},
              {K::kCheck, 29, 20419}, {K::kCheck, 30, 20450}, {K::kCheck, 31, 20451}};
    default: return {};
  }
}

COrv_PrefsPage::COrv_PrefsPage(COrv_PrefsDlg* dlg, int number, std::vector<Control> controls)
    : QWidget(dlg), dlg_(dlg), number_(number), controls_(std::move(controls)) {
  auto* form = new QFormLayout(this);
  // Numbers and lists keep their natural width; texts and folders take the
  // page's.
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  for (const Control& c : controls_) {
    QWidget* w = nullptr;
    const int key = c.key;
    switch (c.kind) {
      case K::kCheck: {
        auto* box = new QCheckBox(this);
        connect(box, &QCheckBox::toggled, this,
                [this, key](bool on) { dlg_->SetSetting(key, std::uint32_t{on ? 1u : 0u}, true); });
        w = box;
        break;
      }
      case K::kNumber: {
        auto* spin = new QSpinBox(this);
        spin->setRange(c.min, c.max);  // a value outside is never offered
        connect(spin, &QSpinBox::valueChanged, this,
                [this, key](int v) { dlg_->SetSetting(key, static_cast<std::uint32_t>(v), true); });
        w = spin;
        break;
      }
      case K::kSpeed: {
        auto* combo = new QComboBox(this);
        for (int s = -1; s <= 1; ++s) combo->addItem(QString(), s);
        connect(combo, &QComboBox::activated, this, [this, key, combo](int i) {
          dlg_->SetSetting(key, static_cast<std::uint32_t>(combo->itemData(i).toInt()), true);
        });
        w = combo;
        break;
      }
      case K::kLanguage: {
        auto* combo = new QComboBox(this);
        const COrv_Language lang;
        for (int i = 0; i <= lang.GetHighestIndex(); ++i)
          combo->addItem(QString::fromStdString(lang.GetLanguageName(i)), i);
        connect(combo, &QComboBox::activated, this, [this, key, combo](int i) {
          dlg_->SetSetting(key, static_cast<std::uint32_t>(combo->itemData(i).toInt()), true);
        });
        w = combo;
        break;
      }
      case K::kSoundFile: {
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::editingFinished, this, [this, key, edit] {
          const std::string value = edit->text().toStdString();
          if (value == dlg_->GetText(key)) return;
          std::error_code ec;
          const bool ok = value.size() <= kMaxSoundFileChars && std::filesystem::is_regular_file(value, ec);
          // A name the setting cannot take is refused here: the field
          // goes back to the stored value.
          if (!ok) {
            edit->setText(QString::fromStdString(dlg_->GetText(key)));
            edit->setStyleSheet("border: 1px solid red;");
            return;
          }
          edit->setStyleSheet(QString());
          dlg_->SetSetting(key, value, true);
        });
        w = edit;
        break;
      }
      case K::kDataPath: {
        // Shown here, chosen in the data-path dialog (which checks it).
        auto* row = new QWidget(this);
        row->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(row);
        edit->setReadOnly(true);
        edit->setObjectName(QStringLiteral("dataPath"));
        dataPathButton_ = new QPushButton(row);
        line->addWidget(edit, 1);
        line->addWidget(dataPathButton_);
        connect(dataPathButton_, &QPushButton::clicked, this, [this] { dlg_->ChooseDataPath(); });
        // A folder needs the page's width: its label goes above it.
        auto* label = new QLabel(this);
        form->addRow(label);
        form->addRow(row);
        widgets_.push_back(edit);
        labels_.push_back(label);
        continue;
      }
      case K::kShowText:
        w = new QLabel(this);
        static_cast<QLabel*>(w)->setTextInteractionFlags(Qt::TextSelectableByMouse);
        break;
      case K::kFolderList: {
        auto* edit = new QPlainTextEdit(this);
        QStringList lines;
        for (const std::string& f : dlg_->AltSources()) lines << QString::fromStdString(f);
        edit->setPlainText(lines.join('\n'));
        connect(edit, &QPlainTextEdit::textChanged, this,
                [this, key] { dlg_->SetSetting(key, std::uint32_t{1}, true); });
        w = edit;
        break;
      }
    }
    auto* label = new QLabel(this);
    if (c.kind == K::kFolderList) {
      form->addRow(label);
      form->addRow(w);
    } else {
      form->addRow(label, w);
    }
    widgets_.push_back(w);
    labels_.push_back(label);
  }
  RetranslateUi();
  Refresh();
}

QWidget* COrv_PrefsPage::ControlOf(int key) const {
  for (size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i].key == key) return widgets_[i];
  return nullptr;
}

std::vector<std::string> COrv_PrefsPage::Folders() const {
  std::vector<std::string> folders;
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].kind != K::kFolderList) continue;
    const QString all = static_cast<QPlainTextEdit*>(widgets_[i])->toPlainText();
    for (const QString& line : all.split('\n'))
      if (!line.trimmed().isEmpty()) folders.push_back(line.toStdString());
  }
  return folders;
}

void COrv_PrefsPage::Refresh() {
  for (size_t i = 0; i < controls_.size(); ++i) {
    const Control& c = controls_[i];
    QWidget* w = widgets_[i];
    const QSignalBlocker quiet(w);
    switch (c.kind) {
      case K::kCheck: static_cast<QCheckBox*>(w)->setChecked(dlg_->GetValue(c.key) != 0); break;
      case K::kNumber: static_cast<QSpinBox*>(w)->setValue(static_cast<int>(dlg_->GetValue(c.key))); break;
      case K::kSpeed:
      case K::kLanguage: {
        auto* combo = static_cast<QComboBox*>(w);
        combo->setCurrentIndex(combo->findData(static_cast<int>(dlg_->GetValue(c.key))));
        break;
      }
      case K::kSoundFile:
      case K::kDataPath: {
        // A long folder shows from its start, and whole in the tool-tip.
        auto* edit = static_cast<QLineEdit*>(w);
        edit->setText(QString::fromStdString(dlg_->GetText(c.key)));
        edit->setCursorPosition(0);
        edit->setToolTip(edit->text());
        break;
      }
      case K::kShowText: static_cast<QLabel*>(w)->setText(QString::fromStdString(dlg_->GetText(c.key))); break;
      case K::kFolderList: break;  // the page keeps its own list
    }
  }
}

void COrv_PrefsPage::RetranslateUi() {
  for (size_t i = 0; i < controls_.size(); ++i) {
    const Control& c = controls_[i];
    static_cast<QLabel*>(labels_[i])->setText(text(c.labelId));
    if (c.kind == K::kDataPath && dataPathButton_) dataPathButton_->setText(text(kStrDataPaths) + QStringLiteral("..."));
    if (c.kind == K::kSpeed) {
      auto* combo = static_cast<QComboBox*>(widgets_[i]);
      combo->setItemText(0, text(kStrSlow));
      combo->setItemText(1, text(kStrNormal));
      combo->setItemText(2, text(kStrFast));
    }
  }
}

}  // namespace orv::views
