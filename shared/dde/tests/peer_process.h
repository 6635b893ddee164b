#pragma once
// The DDE tests' second process, serving the service it is given.
#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/testing/child_process.h"

class PeerProcess : public tvtest::ChildProcess {
 public:
  explicit PeerProcess(const char* service) : ChildProcess(TV_DDE_PEER, {service}) {}
};

// Runs the event loop until `done` or the time-out.
template <class Done>
bool pumpUntil(Done done, int timeoutMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}
