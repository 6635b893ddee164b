#pragma once
// The window an installation shows its steps in: two lines of text and a
// bar from 0 to 100, titled "Talvane Player: Progress Window". Every change
// lets the event loop paint it (user input waits), so the learner sees the
// installation move while it runs on the user-interface thread.

#include <QDialog>

#include "player/install/book_installer.h"

class QLineEdit;
class QProgressBar;

class COrv_InstallProgressDlg : public QDialog, public orv::install::InstallProgress {
 public:
  explicit COrv_InstallProgressDlg(QWidget* parent = nullptr);

  void SetLine1(const std::string& text) override;
  void SetLine2(const std::string& text) override;
  void SetPosition(int percent) override;
  void KeepAlive() override { pump(); }

  QString Line1() const;
  QString Line2() const;
  int Position() const;

 protected:
  // Lets the event loop paint the window while user input waits. A window
  // that takes input during the installation (a Cancel button) replaces
  // it: input held back at every step would never reach it.
  virtual void pump();

 private:
  QLineEdit* m_line1;
  QLineEdit* m_line2;
  QProgressBar* m_bar;
};
