#pragma once
// The popup of the audio panel's speed button: the other speeds, opened at
// the button's lower-right corner (one pixel lower) and left-aligned.

#include <vector>

class QWidget;
class COrv_AudioPanel;
struct COrv_SpeedMenuItem;

// Runs the popup modally; answers the command chosen, 0 when closed
// without a choice. `host` is the widget that shows the panel (null: the
// popup opens at the mouse).
int ShowSpeedPopup(QWidget* host, const COrv_AudioPanel& panel, const std::vector<COrv_SpeedMenuItem>& items);
