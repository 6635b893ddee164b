#include "player/install/progress_window.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>

#include "shared/language/orv_language.h"

COrv_InstallProgressDlg::COrv_InstallProgressDlg(QWidget* parent)
    : QDialog(parent), m_line1(new QLineEdit(this)), m_line2(new QLineEdit(this)), m_bar(new QProgressBar(this)) {
  setWindowTitle(QString::fromStdString(COrv_Language().LoadString(orv::install::COrv_BookInstaller::kStrProgressTitle)));
  setModal(false);
  for (QLineEdit* line : {m_line1, m_line2}) {
    line->setReadOnly(true);
    line->setFrame(false);
    line->setFocusPolicy(Qt::NoFocus);
  }
  m_bar->setRange(0, 100);
  m_bar->setValue(0);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_line1);
  layout->addWidget(m_line2);
  layout->addWidget(m_bar);
  setMinimumWidth(420);
  show();
  pump();
}

void COrv_InstallProgressDlg::SetLine1(const std::string& text) {
  m_line1->setText(QString::fromStdString(text));
  pump();
}

void COrv_InstallProgressDlg::SetLine2(const std::string& text) {
  m_line2->setText(QString::fromStdString(text));
  pump();
}

void COrv_InstallProgressDlg::SetPosition(int percent) {
  m_bar->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent);
  pump();
}

QString COrv_InstallProgressDlg::Line1() const { return m_line1->text(); }
QString COrv_InstallProgressDlg::Line2() const { return m_line2->text(); }
int COrv_InstallProgressDlg::Position() const { return m_bar->value(); }

void COrv_InstallProgressDlg::pump() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
