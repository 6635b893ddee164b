#pragma once
// The grammar browser's message boxes. Its boxes are plain application
// boxes owned by its main window (the Qt sink keeps them above it, however
// the window is stacked), and only one is open at a time: the browser is
// driven from outside, and a request that fails while the learner is still
// reading the first message must not stack a second box on top of it.

namespace brindle {

// Shows `text` in an OK box of the application and answers the box's
// answer; 0, showing nothing, while another box of the browser is open.
int tell(const char* text);

// Whether a box of the browser waits for the learner.
bool boxOpen();

}  // namespace brindle
