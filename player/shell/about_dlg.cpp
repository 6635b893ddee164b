#include "player/shell/about_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace orv::shell {

COrv_AboutDlg::COrv_AboutDlg(const std::string& version, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Talvane Player"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Talvane Player"), this));
  m_version = new QLabel(QString::fromStdString(version), this);
  m_version->setObjectName(QString::number(kVersionControl));
  layout->addWidget(m_version);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace orv::shell
