#pragma once
// In test mode, what the learner sees, written to the test log on request
// (the signal SIGUSR1): every visible window with its title and every
// visible text, button, list entry and menu entry in it, with their places
// on the screen, so that a test that drives the program by real input
// events can read the screen back. A signal reaches the program at any
// time, in a modal dialog too, before the program is ready for messages.
//
// One line per widget, tab-separated, fields escaped as in the rest of the
// log (\\ \t \n \r):
//   shown <kind> <window title> <x> <y> <w> <h> <state> <name> <text> <extra>
// kind: window, label, edit, text, button, list entry, menu entry; x y w h:
// global rectangle; state: "c" checked, "d" disabled, "-" neither; name: the object
// name, else the tooltip; extra: for a text control one letter per
// character (u underlined, s struck out, . neither) and then, after a
// space, the global centre "x,y" of each of its first characters; for a
// window its class. The picture ends with "event probe <n>", n counting
// the pictures of the run from 1.

#include <string>

namespace orv::shell {

// Characters of a text control whose centres are written.
inline constexpr int kProbeCharacterPlaces = 600;

void LogShownWidgets(const std::string& tag);
// Makes SIGUSR1 write a picture (once per process; needs the application
// object).
void InstallShownWidgetsProbe();

}  // namespace orv::shell
