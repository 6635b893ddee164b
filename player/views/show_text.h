#pragma once
// COrv_ShowText: the read-only text control of the text dialog. A
// character typed while it has the focus closes its dialog; the
// application's character routing does that (TypedCharRouter).

#include <QTextEdit>

class COrv_ShowText : public QTextEdit {
 public:
  explicit COrv_ShowText(QWidget* parent = nullptr);
};
