#include "player/shell/tool_bars.h"

#include <QAction>
#include <QIcon>
#include <QPixmap>

#include "shared/buttons/orv_button.h"

namespace {

std::vector<COrv_CommandToolBar::Entry> audioEntries() {
  return {{115, 278, "Play"},          {116, 273, "Pause"},           {118, 308, "Play Fragment"},
          {119, 313, "Speech View"},   {120, 283, "Select Fragment"}, {152, 268, "Stop"},
          {155, 352, "Speed Audio Normal"}, {156, 347, "Speed Audio Fast"}, {157, 357, "Speed Audio Slow"},
          {158, 263, "Play All"},      {159, 342, "Play Up To End"}};
}

std::vector<COrv_CommandToolBar::Entry> quoteEntries() {
  return {{124, 298, "Previous Quote"}, {125, 303, "Next Quote"}, {127, 249, "Play Sequence"}, {140, 242, "Play Loop"}};
}

std::vector<COrv_CommandToolBar::Entry> recordEntries() {
  return {{193, 288, "Record"},      {194, 278, "Play"},          {195, 268, "Stop"},          {196, 273, "Pause"},
          {197, 313, "Speech View"}, {198, 283, "Select Fragment"}, {199, 308, "Play Fragment"}};
}

}  // namespace

COrv_CommandToolBar::COrv_CommandToolBar(std::vector<Entry> entries, QSize buttonSize, QWidget* parent)
    : QToolBar(parent), entries_(std::move(entries)), buttonSize_(buttonSize) {}

bool COrv_CommandToolBar::OnCreate() {
  if (created_) return false;
  created_ = true;
  setIconSize(buttonSize_);
  setWindowTitle(QString());
  setMovable(true);
  for (const Entry& e : entries_) {
    const QImage face = tv::buttons::LoadResourceImage(e.picture, false);
    QAction* action = addAction(QIcon(QPixmap::fromImage(face.scaled(buttonSize_, Qt::IgnoreAspectRatio,
                                                                       Qt::SmoothTransformation))),
                                QString());
    action->setData(e.command);
    action->setToolTip(QString::fromUtf8(e.tooltip));
    const int command = e.command;
    connect(action, &QAction::triggered, this, [this, command] {
      if (sink_) sink_(command);
    });
  }
  return true;
}

std::string COrv_CommandToolBar::ToolTipFor(int command) const {
  for (const Entry& e : entries_)
    if (e.command == command) return e.tooltip;
  return {};
}

QAction* COrv_CommandToolBar::ActionFor(int command) const {
  for (QAction* a : actions())
    if (a->data().toInt() == command) return a;
  return nullptr;
}

COrv_AudioToolBar::COrv_AudioToolBar(QSize buttonSize, QWidget* parent)
    : COrv_CommandToolBar(audioEntries(), buttonSize, parent) {}
COrv_QuoteToolBar::COrv_QuoteToolBar(QSize buttonSize, QWidget* parent)
    : COrv_CommandToolBar(quoteEntries(), buttonSize, parent) {}
COrv_RecordToolBar::COrv_RecordToolBar(QSize buttonSize, QWidget* parent)
    : COrv_CommandToolBar(recordEntries(), buttonSize, parent) {}
