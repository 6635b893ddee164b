#pragma once
// The pictures of the text panes' buttons, by the resource ids the panes
// name: the interface language's picture when it has one, else a face
// drawn here (a rounded button with the button's symbol), with a pressed
// form for toggle buttons.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace orv::views {

// One face: `pressed` draws the darker, sunken form.
QPixmap PanePicture(int id, bool pressed = false);
// Normal face for the off state, pressed face for the on state.
QIcon PaneIcon(int id);
// The so-far control's mouse cursors by id: 182 a word with a definition,
// 183 the plain arrow, 184 a word with grammar pages, 185 a word to
// reveal, 186 the same while revealing is held, 187 nothing to look up.
QCursor PaneCursor(int id);

}  // namespace orv::views
