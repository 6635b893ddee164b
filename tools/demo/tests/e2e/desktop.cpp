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
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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

std::vector<QString> Desktop::visibleWindows() {
  std::vector<QString> out;
  for (const QString& id : xdotool({"search", "--onlyvisible", "--name", ".*"})) out.push_back(id.trimmed());
  return out;
}

bool Desktop::focus(const QString& name) {
  const auto ids = windowsNamed(name);
  if (ids.empty()) return false;
  xdotool({"windowfocus", "--sync", ids.front()});
  return true;
}

void Desktop::focusWindow(const QString& id) { xdotool({"windowfocus", "--sync", id}); }

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

// Whether the window lists `protocol` in its WM_PROTOCOLS property.
bool takesProtocol(xcb_connection_t* c, xcb_window_t window, xcb_atom_t protocols, xcb_atom_t protocol) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, protocols, XCB_ATOM_ATOM, 0, 64), nullptr);
  bool found = false;
  if (reply && reply->format == 32) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int n = xcb_get_property_value_length(reply) / 4;
    for (int i = 0; i < n; ++i) found = found || atoms[i] == protocol;
  }
  std::free(reply);
  return found;
}

}  // namespace

bool Desktop::closeRequest(const QString& id) {
  bool ok = false;
  const xcb_window_t window = id.toUInt(&ok);
  if (!ok || window == 0) return false;
  xcb_connection_t* c = xcb_connect(display_.toUtf8().constData(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  const xcb_atom_t protocols = internAtom(c, "WM_PROTOCOLS"), deleteWindow = internAtom(c, "WM_DELETE_WINDOW");
  bool sent = false;
  if (protocols != XCB_ATOM_NONE && deleteWindow != XCB_ATOM_NONE &&
      takesProtocol(c, window, protocols, deleteWindow)) {
    // The event is sent as a fixed 32-byte record.
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = protocols;
    event.data.data32[0] = deleteWindow;
    event.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t cookie =
        xcb_send_event_checked(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    sent = error == nullptr;
    std::free(error);
  }
  xcb_disconnect(c);
  return sent;
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
