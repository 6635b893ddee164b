#pragma once
// SIGTERM and SIGINT end a program's Qt event loop as a closed main window
// does, so that its shut-down (marks, working copies, settings) still runs.
// The signal handler only writes a byte to a socket; the event loop reads
// it and quits.
//
// A signal that comes before the main loop runs (while a start-up message
// box waits for an answer) closes that box and every later one at once,
// and runMainLoop() then returns without running the loop: the start-up
// finishes its steps and the program ends.

class QCoreApplication;

namespace plat::ui {

void quitOnTerminationSignals(QCoreApplication& app);

// Runs the main event loop, unless a termination signal came before it.
int runMainLoop(QCoreApplication& app);

// Whether a termination signal has come.
bool terminationRequested();

}  // namespace plat::ui
