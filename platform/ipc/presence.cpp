#include "platform/ipc/presence.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/ipc/runtime.h"

namespace plat::ipc {

namespace {

enum Kind : uint8_t { kWaitReady = 1, kActivate = 2, kClose = 3, kPost = 4 };
enum Reply : uint8_t { kAck = 0, kReady = 1 };

std::string classStem(const std::string& className) {
  const std::string folder = socketFolder();
  if (folder.empty()) return {};
  return folder + "/c" + shortHash(foldCase(className));
}

int openLockFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// True when some open file description holds the class lock.
bool lockHeld(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Connects to the holder of a class. The holder listens right after taking
// the lock, so while the lock is held a refused connect is retried until the
// deadline. -1 when nobody holds the class or the time runs out.
int connectToHolder(const std::string& className, int64_t deadline) {
  const std::string stem = classStem(className);
  if (stem.empty()) return -1;
  for (;;) {
    if (!lockHeld(stem + ".lock")) return -1;
    const int fd = connectTo(stem);
    if (fd >= 0) return fd;
    if (nowMs() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Sends one request and waits for the reply of the given kind.
bool exchange(const std::string& className, const std::string& frame, uint8_t expected, int timeoutMs,
              bool* connected = nullptr) {
  const int64_t deadline = nowMs() + std::max(timeoutMs, 0);
  const int fd = connectToHolder(className, deadline);
  if (connected != nullptr) *connected = fd >= 0;
  if (fd < 0) return false;
  bool ok = writeAll(fd, frame, static_cast<int>(std::max<int64_t>(deadline - nowMs(), 0)));
  if (ok) {
    auto reply = readFrame(fd, static_cast<int>(std::max<int64_t>(deadline - nowMs(), 0)));
    uint8_t kind = 0xFF;
    ok = reply && FrameReader(*reply).u8(kind) && kind == expected;
  }
  ::close(fd);
  return ok;
}

}  // namespace

std::string classSocketPath(const std::string& className) { return classStem(className); }
std::string classLockPath(const std::string& className) {
  const std::string stem = classStem(className);
  return stem.empty() ? stem : stem + ".lock";
}

ClassPresence::ClassPresence(std::string className, PresenceHandler* handler, QObject* parent)
    : QObject(parent), className_(std::move(className)), handler_(handler) {}

ClassPresence::~ClassPresence() { unregisterClass(); }

ClassPresence::Result ClassPresence::registerClass() {
  if (isRegistered()) return Result::First;
  const std::string stem = classStem(className_);
  if (stem.empty()) return Result::Failed;
  const int fd = openLockFile(stem + ".lock");
  if (fd < 0) return Result::Failed;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    const int err = errno;
    ::close(fd);
    return (err == EAGAIN || err == EACCES) ? Result::Exists : Result::Failed;
  }
  // We hold the class: whatever socket is there was left by a process that
  // is gone.
  QLocalServer::removeServer(QString::fromStdString(stem));
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(QString::fromStdString(stem))) {
    delete server_;
    server_ = nullptr;
    ::close(fd);
    return Result::Failed;
  }
  connect(server_, &QLocalServer::newConnection, this, &ClassPresence::onNewConnection);
  lockFd_ = fd;
  return Result::First;
}

void ClassPresence::unregisterClass() {
  if (!isRegistered()) return;
  for (QLocalSocket* w : waiters_) w->deleteLater();
  waiters_.clear();
  pending_.clear();
  const QString name = server_->fullServerName();
  server_->close();
  delete server_;
  server_ = nullptr;
  QLocalServer::removeServer(name);
  ::close(lockFd_);
  lockFd_ = -1;
  ready_ = false;
}

void ClassPresence::onNewConnection() {
  while (server_ != nullptr && server_->hasPendingConnections()) {
    QLocalSocket* s = server_->nextPendingConnection();
    if (!peerIsSameUser(static_cast<int>(s->socketDescriptor()))) {
      s->abort();
      s->deleteLater();
      continue;
    }
    connect(s, &QLocalSocket::readyRead, this, [this, s] { onReadable(s); });
    connect(s, &QLocalSocket::disconnected, this, [this, s] {
      std::erase(waiters_, s);
      s->deleteLater();
    });
    if (s->bytesAvailable() > 0) onReadable(s);
  }
}

void ClassPresence::onReadable(QLocalSocket* s) {
  std::string buffer = s->property("tvbuf").toByteArray().toStdString();
  const QByteArray chunk = s->readAll();
  buffer.append(chunk.constData(), static_cast<size_t>(chunk.size()));
  bool bad = false;
  auto frames = takeFrames(buffer, bad);
  if (bad) {
    s->abort();
    return;
  }
  s->setProperty("tvbuf", QByteArray(buffer.data(), static_cast<qsizetype>(buffer.size())));
  for (const std::string& f : frames) handleFrame(s, f);
}

void ClassPresence::handleFrame(QLocalSocket* s, const std::string& body) {
  FrameReader r(body);
  uint8_t kind = 0;
  if (!r.u8(kind)) return;
  auto reply = [s](uint8_t code) {
    const std::string f = FrameWriter().u8(code).frame();
    s->write(f.data(), static_cast<qint64>(f.size()));
    s->flush();
  };
  switch (kind) {
    case kWaitReady:
      if (ready_)
        reply(kReady);
      else
        waiters_.push_back(s);
      return;
    case kActivate:
    case kClose:
      pending_.push_back(Pending{kind, 0, 0, false, {}});
      break;
    case kPost: {
      Pending p{kPost, 0, 0, false, {}};
      uint8_t hasAtom = 0;
      if (!r.u32(p.message) || !r.u64(p.wParam) || !r.u8(hasAtom) || !r.str(p.atomText)) return;
      p.hasAtom = hasAtom != 0;
      pending_.push_back(std::move(p));
      break;
    }
    default:
      return;
  }
  reply(kAck);
  if (ready_) flush();
}

void ClassPresence::announceReady() {
  if (ready_ || !isRegistered()) return;
  ready_ = true;
  for (QLocalSocket* w : waiters_) {
    const std::string f = FrameWriter().u8(kReady).frame();
    w->write(f.data(), static_cast<qint64>(f.size()));
    w->flush();
  }
  waiters_.clear();
  flush();
}

void ClassPresence::flush() {
  if (delivering_) return;  // a handler that pumps the loop must not reorder
  delivering_ = true;
  QPointer<ClassPresence> self(this);
  while (self && ready_ && !pending_.empty()) {
    Pending p = std::move(pending_.front());
    pending_.pop_front();
    deliver(p);
  }
  if (self) delivering_ = false;
}

void ClassPresence::deliver(const Pending& p) {
  if (handler_ == nullptr) return;
  switch (p.kind) {
    case kActivate:
      handler_->onActivate();
      break;
    case kClose:
      handler_->onClose();
      break;
    case kPost: {
      ATOM atom = 0;
      if (p.hasAtom) atom = GlobalAddAtom(p.atomText.c_str());
      handler_->onMessage(p.message, p.wParam, atom);
      break;
    }
    default:
      break;
  }
}

bool findClass(const std::string& className) {
  const std::string lock = classLockPath(className);
  return !lock.empty() && lockHeld(lock);
}

uint32_t waitForReady(const std::string& className, int timeoutMs) {
  bool connected = false;
  if (exchange(className, FrameWriter().u8(kWaitReady).frame(), kReady, timeoutMs, &connected))
    return WAIT_OBJECT_0;
  return connected ? WAIT_TIMEOUT : WAIT_FAILED;
}

uint32_t waitForStartedProgram(const std::string& className, int64_t pid, int timeoutMs,
                               const std::function<void()>& between) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
  for (;;) {
    // The program takes its class a moment after it starts.
    if (findClass(className) && waitForReady(className, 250) == WAIT_OBJECT_0) return WAIT_OBJECT_0;
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return WAIT_FAILED;
    if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
    if (between) between();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool requestActivate(const std::string& className, int timeoutMs) {
  return exchange(className, FrameWriter().u8(kActivate).frame(), kAck, timeoutMs);
}

bool requestClose(const std::string& className, int timeoutMs) {
  return exchange(className, FrameWriter().u8(kClose).frame(), kAck, timeoutMs);
}

bool postRegisteredMessage(const std::string& className, UINT message, uint64_t wParam, ATOM atom, int timeoutMs) {
  std::string text;
  if (atom != 0) {
    text = globalAtomText(atom);
    if (text.empty()) return false;  // an atom that names nothing
  }
  const std::string frame =
      FrameWriter().u8(kPost).u32(message).u64(wParam).u8(atom != 0 ? 1 : 0).str(text).frame();
  return exchange(className, frame, kAck, timeoutMs);
}

}  // namespace plat::ipc
