#pragma once
// The DDE tests' second process, read line by line while this process's
// event loop keeps running.
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <string>

class PeerProcess {
 public:
  explicit PeerProcess(const char* service) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(TV_DDE_PEER, {service});
  }
  ~PeerProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  std::string line(int timeoutMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < timeoutMs) {
      process_.waitForReadyRead(5);
      QCoreApplication::processEvents();
    }
    return process_.canReadLine() ? process_.readLine().trimmed().toStdString() : std::string();
  }
  // The next line, read without running this process's event loop, so that
  // nothing the peer sends meanwhile is served.
  std::string lineWithoutServing(int timeoutMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < timeoutMs) process_.waitForReadyRead(5);
    return process_.canReadLine() ? process_.readLine().trimmed().toStdString() : std::string();
  }
  void kill() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(5000);
  }

 private:
  QProcess process_;
};

// Runs the event loop until `done` or the time-out.
template <class Done>
bool pumpUntil(Done done, int timeoutMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}
