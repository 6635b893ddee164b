#pragma once
// A second program run by a test, read line by line. While a test waits for
// a line or for the end, this process's event loop keeps running, so that
// whatever the child asks of it meanwhile (a DDE transaction, a presence
// request) is answered; lineWithoutServing waits without it.

#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>

namespace tvtest {

// The environment of a real program in test mode, on top of this process's:
// the silent audio backend, the offscreen platform, and `log` (when given)
// as the log of boxes and events that the programs share.
inline QProcessEnvironment testModeEnvironment(const std::string& log = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TALVANE_TEST_MODE", "silent");
  if (!log.empty()) env.insert("TALVANE_TEST_LOG", QString::fromStdString(log));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  return env;
}

class ChildProcess {
 public:
  ChildProcess(const QString& program, const QStringList& args,
               QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(channels);
    process_.start(program, args);
  }
  ~ChildProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of output, trimmed; "" after the time-out.
  std::string line(int timeoutMs = 20000) { return readLine(timeoutMs, true); }
  std::string lineWithoutServing(int timeoutMs = 20000) { return readLine(timeoutMs, false); }

  bool finished(int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (process_.state() != QProcess::NotRunning && t.elapsed() < timeoutMs) {
      process_.waitForFinished(5);
      QCoreApplication::processEvents();
    }
    return process_.state() == QProcess::NotRunning;
  }
  // The exit code, or -1 when it has not ended within the time or crashed.
  int exitCode(int timeoutMs = 60000) {
    if (!finished(timeoutMs)) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }
  qint64 pid() const { return process_.processId(); }
  // SIGTERM: the program may shut down in its own way.
  void terminate() { process_.terminate(); }
  void kill() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(5000);
  }

 private:
  std::string readLine(int timeoutMs, bool serve) {
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < timeoutMs) {
      process_.waitForReadyRead(5);
      if (serve) QCoreApplication::processEvents();
    }
    return process_.canReadLine() ? process_.readLine().trimmed().toStdString() : std::string();
  }

  QProcess process_;
};

}  // namespace tvtest
