#pragma once
// Presence of a window class per user, in place of FindWindow by class and
// the messages one program posts to another's window.
//
// The program that registers a class (ClassPresence::registerClass) holds it
// exclusively for this user and configuration root: an open-file lock on a
// lock file beside the class's socket decides, so two programs that start at
// the same moment never both become the first, and a lock left by a killed
// process goes with it (its stale socket is then replaced). The holder
// listens on the socket; other processes of the same user (peer credentials
// are checked both ways) probe the class, wait until the holder is ready,
// and ask it to activate, to close, or post it a registered message with a
// wParam and an atom whose text travels with it.
//
// Requests are acknowledged when they arrive and delivered to the holder's
// handler once it has announced "ready" (start-up complete), in arrival
// order, on the thread that owns the ClassPresence, from Qt's event loop.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "platform/ipc/atoms.h"

class QLocalServer;
class QLocalSocket;

namespace plat::ipc {

// WaitForInputIdle's answers.
inline constexpr uint32_t WAIT_OBJECT_0 = 0;
inline constexpr uint32_t WAIT_TIMEOUT = 258;
inline constexpr uint32_t WAIT_FAILED = 0xFFFFFFFFu;

// What the holder of a class is asked to do.
class PresenceHandler {
 public:
  virtual ~PresenceHandler() = default;
  // Restore, raise and request activation of the main window (the window
  // manager may refuse to give it the focus).
  virtual void onActivate() {}
  // The equivalent of WM_CLOSE posted to the main window.
  virtual void onClose() {}
  // A registered message. `atom` is 0 when none was sent; otherwise an atom
  // of this process holding the sender's text, which the handler owns and
  // deletes (GlobalDeleteAtom) when it has read it.
  virtual void onMessage(UINT message, uint64_t wParam, ATOM atom) {
    (void)message;
    (void)wParam;
    (void)atom;
  }
};

class ClassPresence : public QObject {
 public:
  enum class Result { First, Exists, Failed };

  ClassPresence(std::string className, PresenceHandler* handler, QObject* parent = nullptr);
  ~ClassPresence() override;

  // Takes the class for this user. First: this object holds it and listens.
  // Exists: another holder has it. Failed: no socket folder or socket.
  Result registerClass();
  bool isRegistered() const { return lockFd_ >= 0; }
  // Gives the class up (also done by the destructor).
  void unregisterClass();

  // Start-up is complete: held requests are delivered now, later ones at once,
  // and waiters are answered.
  void announceReady();
  bool isReady() const { return ready_; }

  const std::string& className() const { return className_; }

 private:
  struct Pending {
    uint8_t kind;
    UINT message;
    uint64_t wParam;
    bool hasAtom;
    std::string atomText;
  };
  void onNewConnection();
  void onReadable(QLocalSocket* socket);
  void handleFrame(QLocalSocket* socket, const std::string& body);
  void deliver(const Pending& p);
  void flush();

  std::string className_;
  PresenceHandler* handler_;
  int lockFd_ = -1;
  bool ready_ = false;
  bool delivering_ = false;
  QLocalServer* server_ = nullptr;
  std::deque<Pending> pending_;
  std::deque<QLocalSocket*> waiters_;
};

// The socket and lock file paths of a class (for tests and diagnostics).
std::string classSocketPath(const std::string& className);
std::string classLockPath(const std::string& className);

// FindWindow by class: true when a process of this user holds the class.
bool findClass(const std::string& className);

// WaitForInputIdle: waits until the holder has announced "ready".
// WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED when nobody holds the class.
uint32_t waitForReady(const std::string& className, int timeoutMs);

// WaitForInputIdle of a program just started (process `pid`, 0 when
// unknown) that takes `className` once it runs: WAIT_OBJECT_0 when it has
// announced "ready", WAIT_FAILED when the process has ended first,
// WAIT_TIMEOUT after `timeoutMs`. `between`, when given, runs between the
// tries (a caller's event processing).
uint32_t waitForStartedProgram(const std::string& className, int64_t pid, int timeoutMs,
                               const std::function<void()>& between = {});

// Requests, each true when the holder acknowledged it within `timeoutMs`.
bool requestActivate(const std::string& className, int timeoutMs = 2000);
bool requestClose(const std::string& className, int timeoutMs = 2000);
// Posts a registered message; a non-zero atom's text goes with it.
bool postRegisteredMessage(const std::string& className, UINT message, uint64_t wParam, ATOM atom,
                           int timeoutMs = 2000);

}  // namespace plat::ipc
