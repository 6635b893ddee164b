#include "player/shell/speed_popup.h"

#include <QCursor>
#include <QMenu>
#include <QWidget>

#include "player/shell/panels.h"
#include "player/shell/play_commands.h"

int ShowSpeedPopup(QWidget* host, const COrv_AudioPanel& panel, const std::vector<COrv_SpeedMenuItem>& items) {
  if (items.empty()) return 0;
  QMenu menu(host);
  for (const COrv_SpeedMenuItem& item : items)
    menu.addAction(QString::fromStdString(item.text))->setData(item.command);
  QPoint at = QCursor::pos();
  if (host != nullptr && panel.GetSpeedButtonId() != 0) {
    // The panel's window lies at the host's top-left corner.
    const plat::win::RECT r = panel.GetButtonRect(panel.GetSpeedButtonId());
    at = host->mapToGlobal(QPoint(r.right, r.bottom + 1));
  }
  const QAction* chosen = menu.exec(at);
  return chosen != nullptr ? chosen->data().toInt() : 0;
}
