#include "platform/ui/quit_on_signal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace plat::ui {

namespace {

int signalPipe[2] = {-1, -1};
bool mainLoopRunning = false;
bool requested = false;

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void quitOnTerminationSignals(QCoreApplication& app) {
  if (signalPipe[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    requested = true;
    if (mainLoopRunning) {
      QCoreApplication::quit();
    } else {
      // No main loop yet: quit() would do nothing. exit() ends the nested
      // loop of the box that is open and makes every later one return at
      // once.
      QCoreApplication::exit(0);
    }
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

int runMainLoop(QCoreApplication& app) {
  (void)app;
  if (requested) return 0;
  mainLoopRunning = true;
  const int code = QCoreApplication::exec();
  mainLoopRunning = false;
  return code;
}

bool terminationRequested() { return requested; }

}  // namespace plat::ui
