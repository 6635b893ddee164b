#include "tools/demo/tests/e2e/desktop.h"

#include "platform/testing/child_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace e2e {

int runOffscreen(const QString& program, QProcessEnvironment env, const QStringList& args) {
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("TALVANE_TEST_MODE", "silent");
  // Without a display the sanitizers' own options hold.
  env.insert("ASAN_OPTIONS", QProcessEnvironment::systemEnvironment().value("ASAN_OPTIONS"));
  tvtest::ChildProcess p(program, args, QProcess::ForwardedChannels, env);
  return p.exitCode(120000);
}

int run(const QString& program, const QStringList& args, int timeoutMs, QByteArray* out) {
  QProcess p;
  p.setProcessChannelMode(out ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
  p.start(program, args);
  if (!p.waitForStarted(5000)) return -1;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished(2000);
    return -1;
  }
  if (out) *out = p.readAllStandardOutput();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool installed(const char* program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

Desktop::~Desktop() {
  if (server_ && server_->state() != QProcess::NotRunning) {
    server_->terminate();
    if (!server_->waitForFinished(3000)) server_->kill();
    server_->waitForFinished(2000);
  }
}

bool Desktop::start(std::string* why) {
  // The server writes the display number it chose to the descriptor given,
  // here a pipe whose write end it inherits.
  int fds[2];
  if (::pipe(fds) != 0) {
    *why = "no pipe";
    return false;
  }
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server_->setStandardOutputFile(QProcess::nullDevice());
  server_->setChildProcessModifier([rd = fds[0]] { ::close(rd); });
  server_->start("Xvfb", {"-displayfd", QString::number(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
  ::close(fds[1]);
  if (!server_->waitForStarted(5000)) {
    ::close(fds[0]);
    *why = "Xvfb did not start";
    return false;
  }
  std::string number;
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (number.empty()) {
    *why = "Xvfb gave no display number";
    return false;
  }
  display_ = ":" + QString::fromStdString(number);
  qputenv("DISPLAY", display_.toUtf8());
  return true;
}

QStringList Desktop::xdotool(const QStringList& args, int timeoutMs) {
  QByteArray out;
  run("xdotool", args, timeoutMs, &out);
  return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
}

void Desktop::key(const QString& keys) {
  xdotool(QStringList{"key", "--delay", "60"} + keys.split(' ', Qt::SkipEmptyParts));
}

void Desktop::type(const QString& text) { xdotool({"type", "--delay", "80", text}); }

void Desktop::click(int x, int y) {
  xdotool({"mousemove", "--sync", QString::number(x), QString::number(y)});
  xdotool({"click", "1"});
}

std::vector<QString> Desktop::windowsNamed(const QString& name) {
  std::vector<QString> out;
  for (const QString& id : xdotool({"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(name) + "$"}))
    out.push_back(id.trimmed());
  return out;
}

bool Desktop::focus(const QString& name) {
  const auto ids = windowsNamed(name);
  if (ids.empty()) return false;
  xdotool({"windowfocus", "--sync", ids.front()});
  return true;
}

bool Desktop::move(const QString& name, int x, int y) {
  const auto ids = windowsNamed(name);
  if (ids.empty()) return false;
  xdotool({"windowmove", "--sync", ids.front(), QString::number(x), QString::number(y)});
  return true;
}

bool Desktop::waitForWindow(const QString& name, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (!windowsNamed(name).empty()) return true;
    QCoreApplication::processEvents();
    QThread::msleep(50);
  }
  return false;
}

bool Desktop::screenshot(const std::filesystem::path& file) {
  return run("import", {"-display", display_, "-window", "root", QString::fromStdString(file.string())}) == 0;
}

unsigned Desktop::pixel(const std::filesystem::path& file, int x, int y) {
  const QImage image(QString::fromStdString(file.string()));
  if (image.isNull() || !image.rect().contains(x, y)) return 0xFFFFFFFFu;
  return image.pixel(x, y) & 0xFFFFFFu;
}

}  // namespace e2e
