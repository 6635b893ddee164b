#pragma once
// SIGTERM and SIGINT end a program's Qt event loop as a closed main window
// does, so that its shut-down (marks, working copies, settings) still runs.
// The signal handler only writes a byte to a socket; the event loop reads
// it and quits.

class QCoreApplication;

namespace plat::ui {

void quitOnTerminationSignals(QCoreApplication& app);

}  // namespace plat::ui
