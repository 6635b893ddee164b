#include "platform/dde/ddeml.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/ipc/runtime.h"

namespace plat::dde {

using plat::ipc::FrameReader;
using plat::ipc::FrameWriter;

struct DdeDataHandle {
  std::vector<uint8_t> bytes;
  HSZ item = 0;
  UINT fmt = 0;
  bool appOwned = false;
  DWORD inst = 0;
};

namespace {

// Frames of the conversation protocol.
enum Op : uint8_t {
  kConnect = 1,    // topic, service, pid, instance
  kWild = 2,       // has topic, topic, has service, service
  kTrans = 3,      // id, type, fmt, item, has data, data
  kConnected = 10, // ok, server conversation, self, service text, topic text
  kPairs = 11,     // count, (service, topic) texts
  kReply = 12,     // id, error, has data, data, fmt
  kAdvData = 13,   // item, fmt, data
};

// ---- string handles: one case-blind table per process ----

struct StringEntry {
  std::string text;
  std::string key;
  uint32_t refs = 0;
};

struct Strings {
  std::map<HSZ, StringEntry> byHandle;
  std::map<std::string, HSZ> byKey;
  HSZ next = 0x100;
};

Strings& strings() {
  static Strings s;
  return s;
}

std::string keyOf(const std::string& text) { return QString::fromStdString(text).toCaseFolded().toStdString(); }

HSZ intern(const std::string& text) {
  Strings& s = strings();
  const std::string key = keyOf(text);
  if (auto it = s.byKey.find(key); it != s.byKey.end()) {
    ++s.byHandle[it->second].refs;
    return it->second;
  }
  while (s.next == 0 || s.byHandle.count(s.next) != 0) ++s.next;
  const HSZ h = s.next++;
  s.byHandle[h] = StringEntry{text, key, 1};
  s.byKey[key] = h;
  return h;
}

void release(HSZ h) {
  Strings& s = strings();
  auto it = s.byHandle.find(h);
  if (it == s.byHandle.end()) return;
  if (--it->second.refs == 0) {
    s.byKey.erase(it->second.key);
    s.byHandle.erase(it);
  }
}

void keep(HSZ h) {
  auto it = strings().byHandle.find(h);
  if (it != strings().byHandle.end()) ++it->second.refs;
}

std::optional<std::string> textOf(HSZ h) {
  auto it = strings().byHandle.find(h);
  if (it == strings().byHandle.end()) return std::nullopt;
  return it->second.text;
}

// A handle that the layer holds for the length of one callback.
struct TempHsz {
  HSZ h = 0;
  explicit TempHsz(const std::string* text) : h(text != nullptr ? intern(*text) : 0) {}
  ~TempHsz() {
    if (h != 0) release(h);
  }
  TempHsz(const TempHsz&) = delete;
  TempHsz& operator=(const TempHsz&) = delete;
};

// ---- data handles ----

std::set<HDDEDATA>& liveData() {
  static std::set<HDDEDATA> s;
  return s;
}

bool isData(HDDEDATA h) { return h != nullptr && liveData().count(h) != 0; }

HDDEDATA newData(DWORD inst, std::vector<uint8_t> bytes, HSZ item, UINT fmt, bool appOwned) {
  auto* d = new DdeDataHandle{std::move(bytes), item, fmt, appOwned, inst};
  if (item != 0) keep(item);
  liveData().insert(d);
  return d;
}

void freeData(HDDEDATA h) {
  if (!isData(h)) return;
  liveData().erase(h);
  if (h->item != 0) release(h->item);
  delete h;
}

// ---- instances and conversations ----

struct Instance;

struct Conv {
  HCONV handle = 0;
  Instance* inst = nullptr;
  QLocalSocket* socket = nullptr;
  std::string buffer;
  bool client = false;
  bool self = false;
  HSZ service = 0;
  HSZ topic = 0;
  HCONV partner = 0;
  std::set<std::pair<HSZ, UINT>> links;  // advise loops (server side): item, format
  // The reply a waiting client transaction expects.
  uint32_t waitId = 0;
  bool gotReply = false;
  UINT replyError = 0;
  std::optional<std::string> replyData;
  UINT replyFmt = 0;
};

struct Service {
  HSZ name = 0;
  int lockFd = -1;
  QLocalServer* server = nullptr;
};

struct Instance {
  DWORD id = 0;
  PFNCALLBACK callback = nullptr;
  QThread* thread = nullptr;
  std::unique_ptr<QObject> context;  // parent of sockets and servers
  UINT lastError = 0;
  bool waiting = false;
  uint32_t nextTransaction = 1;
  std::vector<Service> services;
};

struct State {
  std::map<DWORD, std::unique_ptr<Instance>> instances;
  std::map<HCONV, std::unique_ptr<Conv>> convs;
  DWORD nextInstance = 0x1001;
  HCONV nextConv = 0x2001;
};

State& state() {
  static State s;
  return s;
}

Instance* findInstance(DWORD id) {
  auto it = state().instances.find(id);
  return it == state().instances.end() ? nullptr : it->second.get();
}

Conv* findConv(HCONV h) {
  auto it = state().convs.find(h);
  return it == state().convs.end() ? nullptr : it->second.get();
}

HCONV newConvHandle() {
  State& s = state();
  while (s.nextConv == 0 || s.convs.count(s.nextConv) != 0) ++s.nextConv;
  return s.nextConv++;
}

std::string serviceSocketPath(const std::string& folder, const std::string& service) {
  return folder + "/d" + plat::ipc::shortHash(keyOf(service));
}

void send(QLocalSocket* s, const FrameWriter& w) {
  const std::string f = w.frame();
  s->write(f.data(), static_cast<qint64>(f.size()));
  s->flush();
}

HDDEDATA call(Instance* inst, UINT type, UINT fmt, HCONV conv, HSZ h1, HSZ h2, HDDEDATA data, ULONG_PTR d1,
              ULONG_PTR d2) {
  if (inst == nullptr || inst->callback == nullptr) return nullptr;
  return inst->callback(type, fmt, conv, h1, h2, data, d1, d2);
}

std::vector<int> watchedDescriptors();

// Runs this thread's events, user input excluded, until `done` or the
// time-out. False on time-out. Between rounds it sleeps in poll() on every
// socket of the layer (conversations and services), so an answer or an
// incoming transaction wakes it at once and the deadline is kept whatever
// timers the event loop has.
template <class Done>
bool waitUntil(Done done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (done()) return true;
    const qint64 left = timeoutMs - clock.elapsed();
    if (left <= 0) return false;
    std::vector<pollfd> fds;
    for (int fd : watchedDescriptors()) fds.push_back(pollfd{fd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), static_cast<int>(std::min<qint64>(left, 5)));
  }
}

void dropConv(HCONV h, bool notify);
void onConvReadable(HCONV h);
void onServerConnection(DWORD instId, QLocalServer* server);

// Sockets waited on that no conversation owns yet (connects, wild connects).
std::vector<int>& extraDescriptors() {
  static std::vector<int> fds;
  return fds;
}

std::vector<int> watchedDescriptors() {
  std::vector<int> out = extraDescriptors();
  for (auto& [h, c] : state().convs)
    if (c->socket != nullptr && c->socket->socketDescriptor() >= 0) out.push_back(static_cast<int>(c->socket->socketDescriptor()));
  for (auto& [id, inst] : state().instances)
    for (const Service& sv : inst->services)
      if (sv.server != nullptr && sv.server->socketDescriptor() >= 0) out.push_back(static_cast<int>(sv.server->socketDescriptor()));
  return out;
}

// Reads and answers the frames of a conversation.
void handleConvFrame(HCONV h, const std::string& body) {
  Conv* c = findConv(h);
  if (c == nullptr) return;
  FrameReader r(body);
  uint8_t op = 0;
  if (!r.u8(op)) return;
  Instance* inst = c->inst;
  if (op == kTrans && !c->client) {
    uint32_t id = 0, type = 0, fmt = 0;
    uint8_t hasData = 0;
    std::string item, data;
    if (!r.u32(id) || !r.u32(type) || !r.u32(fmt) || !r.str(item) || !r.u8(hasData) || !r.str(data)) return;
    const UINT base = type & ~(XTYPF_NODATA | XTYPF_ACKREQ);
    TempHsz itemHsz(&item);
    const HSZ topic = c->topic;
    keep(topic);
    UINT error = DMLERR_NO_ERROR;
    std::optional<std::string> out;
    UINT outFmt = fmt;
    if (base == XTYP_EXECUTE || base == XTYP_POKE) {
      HDDEDATA in = newData(inst->id, std::vector<uint8_t>(data.begin(), data.end()), itemHsz.h, fmt, false);
      const auto result = reinterpret_cast<ULONG_PTR>(call(inst, base, fmt, h, topic, itemHsz.h, in, 0, 0));
      freeData(in);
      if ((result & DDE_FACK) == 0) error = (result & DDE_FBUSY) != 0 ? DMLERR_BUSY : DMLERR_NOTPROCESSED;
    } else if (base == XTYP_REQUEST) {
      HDDEDATA result = call(inst, XTYP_REQUEST, fmt, h, topic, itemHsz.h, nullptr, 0, 0);
      if (isData(result)) {
        out = std::string(result->bytes.begin(), result->bytes.end());
        if (result->fmt != 0) outFmt = result->fmt;
        if (!result->appOwned) freeData(result);
      } else {
        error = DMLERR_NOTPROCESSED;
      }
    } else if (base == XTYP_ADVSTART) {
      if (call(inst, XTYP_ADVSTART, fmt, h, topic, itemHsz.h, nullptr, 0, 0) != nullptr) {
        if (Conv* again = findConv(h)) {
          const HSZ linked = intern(item);
          if (!again->links.insert({linked, fmt}).second) release(linked);
        }
      } else {
        error = DMLERR_NOTPROCESSED;
      }
    } else if (base == XTYP_ADVSTOP) {
      if (Conv* again = findConv(h)) {
        for (auto it = again->links.begin(); it != again->links.end();) {
          if (it->first == itemHsz.h && it->second == fmt) {
            release(it->first);
            it = again->links.erase(it);
          } else {
            ++it;
          }
        }
      }
      call(inst, XTYP_ADVSTOP, fmt, h, topic, itemHsz.h, nullptr, 0, 0);
    } else {
      error = DMLERR_INVALIDPARAMETER;
    }
    release(topic);
    if (Conv* again = findConv(h)) {
      send(again->socket, FrameWriter().u8(kReply).u32(id).u32(error).u8(out ? 1 : 0).str(out ? *out : "").u32(outFmt));
    }
    return;
  }
  if (op == kReply && c->client) {
    uint32_t id = 0, error = 0, fmt = 0;
    uint8_t hasData = 0;
    std::string data;
    if (!r.u32(id) || !r.u32(error) || !r.u8(hasData) || !r.str(data) || !r.u32(fmt)) return;
    if (id != c->waitId || c->gotReply) return;  // a late answer of a transaction that timed out
    c->gotReply = true;
    c->replyError = error;
    c->replyFmt = fmt;
    if (hasData != 0) c->replyData = std::move(data);
    return;
  }
  if (op == kAdvData && c->client) {
    std::string item, data;
    uint32_t fmt = 0;
    if (!r.str(item) || !r.u32(fmt) || !r.str(data)) return;
    TempHsz itemHsz(&item);
    const HSZ topic = c->topic;
    keep(topic);
    HDDEDATA in = newData(inst->id, std::vector<uint8_t>(data.begin(), data.end()), itemHsz.h, fmt, false);
    call(inst, XTYP_ADVDATA, fmt, h, topic, itemHsz.h, in, 0, 0);
    freeData(in);
    release(topic);
  }
}

void onConvReadable(HCONV h) {
  Conv* c = findConv(h);
  if (c == nullptr) return;
  const QByteArray chunk = c->socket->readAll();
  c->buffer.append(chunk.constData(), static_cast<size_t>(chunk.size()));
  bool bad = false;
  std::vector<std::string> frames = plat::ipc::takeFrames(c->buffer, bad);
  for (const std::string& f : frames) handleConvFrame(h, f);
  if (bad) dropConv(h, true);
}

Conv* addConv(Instance* inst, QLocalSocket* s, bool client) {
  auto conv = std::make_unique<Conv>();
  conv->handle = newConvHandle();
  conv->inst = inst;
  conv->socket = s;
  conv->client = client;
  const HCONV h = conv->handle;
  Conv* raw = conv.get();
  state().convs[h] = std::move(conv);
  QObject::connect(s, &QLocalSocket::readyRead, s, [h] { onConvReadable(h); });
  QObject::connect(s, &QLocalSocket::disconnected, s, [h] { dropConv(h, true); });
  return raw;
}

// Ends a conversation; `notify` tells the callback (the partner went away).
void dropConv(HCONV h, bool notify) {
  auto it = state().convs.find(h);
  if (it == state().convs.end()) return;
  std::unique_ptr<Conv> c = std::move(it->second);
  state().convs.erase(it);
  QLocalSocket* s = c->socket;
  QObject::disconnect(s, nullptr, nullptr, nullptr);
  s->abort();
  s->deleteLater();
  for (const auto& link : c->links) release(link.first);
  if (notify) call(c->inst, XTYP_DISCONNECT, 0, h, 0, 0, nullptr, 0, c->self ? 1 : 0);
  if (c->service != 0) release(c->service);
  if (c->topic != 0) release(c->topic);
}

// A server's first frame on a new connection: a connect or a wild connect.
void handleFirstFrame(DWORD instId, QLocalSocket* s, const std::string& body) {
  Instance* inst = findInstance(instId);
  if (inst == nullptr) {
    s->abort();
    return;
  }
  FrameReader r(body);
  uint8_t op = 0;
  r.u8(op);
  if (op == kConnect) {
    std::string topic, service;
    uint32_t pid = 0, clientInst = 0;
    if (!r.str(topic) || !r.str(service) || !r.u32(pid) || !r.u32(clientInst)) {
      s->abort();
      return;
    }
    const bool self = pid == static_cast<uint32_t>(::getpid()) && clientInst == inst->id;
    TempHsz topicHsz(&topic), serviceHsz(&service);
    const HDDEDATA ok = call(inst, XTYP_CONNECT, 0, 0, topicHsz.h, serviceHsz.h, nullptr, 0, self ? 1 : 0);
    if (ok == nullptr || findInstance(instId) == nullptr) {
      send(s, FrameWriter().u8(kConnected).u32(0).u32(0).u8(0).str("").str(""));
      s->disconnectFromServer();
      s->deleteLater();
      return;
    }
    Conv* c = addConv(inst, s, false);
    c->self = self;
    c->topic = intern(topic);
    // The partner service is the one we registered, in its own spelling.
    c->service = serviceHsz.h;
    for (const Service& sv : inst->services)
      if (DdeCmpStringHandles(sv.name, serviceHsz.h) == 0) c->service = sv.name;
    keep(c->service);
    const HCONV h = c->handle;
    send(s, FrameWriter().u8(kConnected).u32(1).u32(h).u8(self ? 1 : 0).str(textOf(c->service).value_or(service)).str(
                topic));
    call(inst, XTYP_CONNECT_CONFIRM, 0, h, c->topic, c->service, nullptr, 0, self ? 1 : 0);
    return;
  }
  if (op == kWild) {
    uint8_t hasTopic = 0, hasService = 0;
    std::string topic, service;
    if (!r.u8(hasTopic) || !r.str(topic) || !r.u8(hasService) || !r.str(service)) {
      s->abort();
      return;
    }
    TempHsz topicHsz(hasTopic != 0 ? &topic : nullptr), serviceHsz(hasService != 0 ? &service : nullptr);
    HDDEDATA pairs = call(inst, XTYP_WILDCONNECT, 0, 0, topicHsz.h, serviceHsz.h, nullptr, 0, 0);
    FrameWriter w;
    std::vector<std::pair<std::string, std::string>> texts;
    if (isData(pairs)) {
      const auto& b = pairs->bytes;
      for (size_t off = 0; off + 8 <= b.size(); off += 8) {
        HSZ sv = 0, tp = 0;
        std::memcpy(&sv, b.data() + off, 4);
        std::memcpy(&tp, b.data() + off + 4, 4);
        if (sv == 0 && tp == 0) break;
        texts.emplace_back(textOf(sv).value_or(""), textOf(tp).value_or(""));
      }
      if (!pairs->appOwned) freeData(pairs);
    }
    w.u8(kPairs).u32(static_cast<uint32_t>(texts.size()));
    for (const auto& [sv, tp] : texts) w.str(sv).str(tp);
    send(s, w);
    s->disconnectFromServer();
    s->deleteLater();
    return;
  }
  s->abort();
}

void onServerConnection(DWORD instId, QLocalServer* server) {
  while (server->hasPendingConnections()) {
    QLocalSocket* s = server->nextPendingConnection();
    if (!plat::ipc::peerIsSameUser(static_cast<int>(s->socketDescriptor()))) {
      s->abort();
      s->deleteLater();
      continue;
    }
    auto buffer = std::make_shared<std::string>();
    auto reader = [instId, s, buffer] {
      const QByteArray chunk = s->readAll();
      buffer->append(chunk.constData(), static_cast<size_t>(chunk.size()));
      bool bad = false;
      std::vector<std::string> frames = plat::ipc::takeFrames(*buffer, bad);
      if (bad) {
        s->abort();
        return;
      }
      if (frames.empty()) return;
      QObject::disconnect(s, &QLocalSocket::readyRead, nullptr, nullptr);
      handleFirstFrame(instId, s, frames.front());
      // What came after the first frame belongs to the conversation.
      for (auto& [h, c] : state().convs) {
        if (c->socket != s) continue;
        const HCONV conv = h;
        c->buffer = *buffer;
        for (size_t i = 1; i < frames.size(); ++i) handleConvFrame(conv, frames[i]);
        if (s->bytesAvailable() > 0) onConvReadable(conv);
        break;
      }
    };
    QObject::connect(s, &QLocalSocket::readyRead, s, reader);
    QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    if (s->bytesAvailable() > 0) reader();
  }
}

// Opens a client connection to a service socket, inside the wait loop.
QLocalSocket* openService(Instance* inst, const std::string& path, int timeoutMs) {
  auto* s = new QLocalSocket(inst->context.get());
  s->connectToServer(QString::fromStdString(path));
  if (s->state() == QLocalSocket::ConnectingState)
    waitUntil([s] { return s->state() != QLocalSocket::ConnectingState; }, timeoutMs);
  if (s->state() != QLocalSocket::ConnectedState || !plat::ipc::peerIsSameUser(static_cast<int>(s->socketDescriptor()))) {
    s->abort();
    delete s;
    return nullptr;
  }
  return s;
}

// Reads one frame from a socket that no conversation owns yet.
std::optional<std::string> awaitFrame(QLocalSocket* s, int timeoutMs) {
  std::string buffer;
  std::optional<std::string> got;
  bool closed = false;
  auto pump = [&] {
    const QByteArray chunk = s->readAll();
    buffer.append(chunk.constData(), static_cast<size_t>(chunk.size()));
    bool bad = false;
    auto frames = plat::ipc::takeFrames(buffer, bad);
    if (bad) closed = true;
    if (!frames.empty() && !got) got = frames.front();
  };
  auto c1 = QObject::connect(s, &QLocalSocket::readyRead, s, pump);
  auto c2 = QObject::connect(s, &QLocalSocket::disconnected, s, [&] {
    pump();
    closed = true;
  });
  pump();
  const int fd = static_cast<int>(s->socketDescriptor());
  extraDescriptors().push_back(fd);
  waitUntil([&] { return got.has_value() || closed; }, timeoutMs);
  std::erase(extraDescriptors(), fd);
  QObject::disconnect(c1);
  QObject::disconnect(c2);
  return got;
}

std::vector<std::string> serviceSockets(const std::string& folder) {
  std::vector<std::string> out;
  const QStringList names = QDir(QString::fromStdString(folder)).entryList(QStringList{"d*"}, QDir::System);
  for (const QString& n : names)
    if (!n.endsWith(".lock")) out.push_back(folder + "/" + n.toStdString());
  return out;
}

UINT timeoutError(UINT type) {
  switch (type & ~(XTYPF_NODATA | XTYPF_ACKREQ)) {
    case XTYP_EXECUTE:
      return DMLERR_EXECACKTIMEOUT;
    case XTYP_POKE:
      return DMLERR_POKEACKTIMEOUT;
    case XTYP_REQUEST:
      return DMLERR_DATAACKTIMEOUT;
    case XTYP_ADVSTART:
      return DMLERR_ADVACKTIMEOUT;
    case XTYP_ADVSTOP:
      return DMLERR_UNADVACKTIMEOUT;
    default:
      return DMLERR_INVALIDPARAMETER;
  }
}

void unregisterService(Service& sv) {
  if (sv.server != nullptr) {
    const QString name = sv.server->fullServerName();
    sv.server->close();
    delete sv.server;
    QLocalServer::removeServer(name);
  }
  if (sv.lockFd >= 0) ::close(sv.lockFd);
  release(sv.name);
}

}  // namespace

UINT DdeInitialize(DWORD* pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes) {
  (void)afCmd;
  if (pidInst == nullptr || pfnCallback == nullptr || ulRes != 0) return DMLERR_INVALIDPARAMETER;
  if (*pidInst != 0) {
    // Re-initialising an instance changes its callback only.
    Instance* inst = findInstance(*pidInst);
    if (inst == nullptr) return DMLERR_INVALIDPARAMETER;
    inst->callback = pfnCallback;
    return DMLERR_NO_ERROR;
  }
  auto inst = std::make_unique<Instance>();
  inst->id = state().nextInstance++;
  inst->callback = pfnCallback;
  inst->thread = QThread::currentThread();
  inst->context = std::make_unique<QObject>();
  *pidInst = inst->id;
  state().instances[inst->id] = std::move(inst);
  return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD idInst) {
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return 0;
  std::vector<HCONV> mine;
  for (auto& [h, c] : state().convs)
    if (c->inst == inst) mine.push_back(h);
  for (HCONV h : mine) dropConv(h, false);
  for (Service& sv : inst->services) unregisterService(sv);
  inst->services.clear();
  std::vector<HDDEDATA> data;
  for (HDDEDATA d : liveData())
    if (d->inst == idInst) data.push_back(d);
  for (HDDEDATA d : data) freeData(d);
  state().instances.erase(idInst);
  return 1;
}

DWORD DdeGetLastError(DWORD idInst) {
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return DMLERR_DLL_NOT_INITIALIZED;
  const UINT e = inst->lastError;
  inst->lastError = DMLERR_NO_ERROR;
  return e;
}

HSZ DdeCreateStringHandle(DWORD idInst, const char* psz, int iCodePage) {
  (void)iCodePage;
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return 0;
  if (psz == nullptr || std::strlen(psz) > 255) {
    inst->lastError = DMLERR_INVALIDPARAMETER;
    return 0;
  }
  if (*psz == 0) return 0;
  return intern(psz);
}

BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
  (void)idInst;
  if (!textOf(hsz)) return 0;
  release(hsz);
  return 1;
}

BOOL DdeKeepStringHandle(DWORD idInst, HSZ hsz) {
  (void)idInst;
  if (!textOf(hsz)) return 0;
  keep(hsz);
  return 1;
}

DWORD DdeQueryString(DWORD idInst, HSZ hsz, char* psz, DWORD cchMax, int iCodePage) {
  (void)iCodePage;
  if (findInstance(idInst) == nullptr) return 0;
  const std::optional<std::string> text = textOf(hsz);
  if (!text) return 0;
  if (psz == nullptr) return static_cast<DWORD>(text->size());
  if (cchMax == 0) return 0;
  size_t n = std::min<size_t>(text->size(), cchMax - 1);
  while (n > 0 && n < text->size() && (static_cast<unsigned char>((*text)[n]) & 0xC0) == 0x80) --n;
  std::memcpy(psz, text->data(), n);
  psz[n] = 0;
  return static_cast<DWORD>(n);
}

int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2) {
  if (hsz1 == hsz2) return 0;
  if (hsz1 == 0) return -1;
  if (hsz2 == 0) return 1;
  const auto a = strings().byHandle.find(hsz1), b = strings().byHandle.find(hsz2);
  if (a == strings().byHandle.end() || b == strings().byHandle.end()) return hsz1 < hsz2 ? -1 : 1;
  const int c = a->second.key.compare(b->second.key);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

HDDEDATA DdeCreateDataHandle(DWORD idInst, const uint8_t* pSrc, DWORD cb, DWORD cbOff, HSZ hszItem, UINT wFmt,
                             UINT afCmd) {
  if (findInstance(idInst) == nullptr) return nullptr;
  std::vector<uint8_t> bytes(static_cast<size_t>(cbOff) + cb, 0);
  if (pSrc != nullptr && cb > 0) std::memcpy(bytes.data() + cbOff, pSrc, cb);
  return newData(idInst, std::move(bytes), hszItem, wFmt, (afCmd & HDATA_APPOWNED) != 0);
}

uint8_t* DdeAccessData(HDDEDATA hData, DWORD* pcbDataSize) {
  if (!isData(hData)) return nullptr;
  if (pcbDataSize != nullptr) *pcbDataSize = static_cast<DWORD>(hData->bytes.size());
  static uint8_t empty = 0;
  return hData->bytes.empty() ? &empty : hData->bytes.data();
}

BOOL DdeUnaccessData(HDDEDATA hData) { return isData(hData) ? 1 : 0; }

BOOL DdeFreeDataHandle(HDDEDATA hData) {
  if (!isData(hData)) return 0;
  freeData(hData);
  return 1;
}

DWORD DdeGetData(HDDEDATA hData, uint8_t* pDst, DWORD cbMax, DWORD cbOff) {
  if (!isData(hData) || cbOff > hData->bytes.size()) return 0;
  const size_t left = hData->bytes.size() - cbOff;
  if (pDst == nullptr) return static_cast<DWORD>(left);
  const size_t n = std::min<size_t>(left, cbMax);
  std::memcpy(pDst, hData->bytes.data() + cbOff, n);
  return static_cast<DWORD>(n);
}

HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ hsz2, UINT afCmd) {
  (void)hsz2;
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return nullptr;
  if ((afCmd & DNS_UNREGISTER) != 0) {
    bool found = false;
    for (auto it = inst->services.begin(); it != inst->services.end();) {
      if (hsz1 == 0 || DdeCmpStringHandles(it->name, hsz1) == 0) {
        unregisterService(*it);
        it = inst->services.erase(it);
        found = true;
      } else {
        ++it;
      }
    }
    if (!found && hsz1 != 0) {
      inst->lastError = DMLERR_INVALIDPARAMETER;
      return nullptr;
    }
    return reinterpret_cast<HDDEDATA>(1);
  }
  if ((afCmd & DNS_REGISTER) == 0) return reinterpret_cast<HDDEDATA>(1);
  const std::optional<std::string> name = textOf(hsz1);
  if (!name) {
    inst->lastError = DMLERR_INVALIDPARAMETER;
    return nullptr;
  }
  for (const Service& sv : inst->services)
    if (DdeCmpStringHandles(sv.name, hsz1) == 0) return reinterpret_cast<HDDEDATA>(1);
  const std::string folder = plat::ipc::socketFolder();
  if (folder.empty()) {
    inst->lastError = DMLERR_SYS_ERROR;
    return nullptr;
  }
  const std::string path = serviceSocketPath(folder, *name);
  const int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  if (fd < 0 || ::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    if (fd >= 0) ::close(fd);
    inst->lastError = DMLERR_DLL_USAGE;  // another instance holds the name
    return nullptr;
  }
  QLocalServer::removeServer(QString::fromStdString(path));  // left by a holder that died
  auto* server = new QLocalServer(inst->context.get());
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(QString::fromStdString(path))) {
    delete server;
    ::close(fd);
    inst->lastError = DMLERR_SYS_ERROR;
    return nullptr;
  }
  const DWORD id = inst->id;
  QObject::connect(server, &QLocalServer::newConnection, server, [id, server] { onServerConnection(id, server); });
  keep(hsz1);
  inst->services.push_back(Service{hsz1, fd, server});
  return reinterpret_cast<HDDEDATA>(1);
}

std::vector<HSZPAIR> DdeWildConnectPairs(DWORD idInst, HSZ hszService, HSZ hszTopic) {
  std::vector<HSZPAIR> out;
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return out;
  const std::string folder = plat::ipc::socketFolder();
  std::vector<std::string> sockets;
  if (hszService != 0) {
    if (auto name = textOf(hszService)) sockets.push_back(serviceSocketPath(folder, *name));
  } else if (!folder.empty()) {
    sockets = serviceSockets(folder);
  }
  const std::optional<std::string> topic = textOf(hszTopic);
  const std::optional<std::string> service = textOf(hszService);
  for (const std::string& path : sockets) {
    QLocalSocket* s = openService(inst, path, kConnectTimeoutMs);
    if (s == nullptr) continue;
    send(s, FrameWriter().u8(kWild).u8(topic ? 1 : 0).str(topic.value_or("")).u8(service ? 1 : 0).str(
                service.value_or("")));
    const std::optional<std::string> reply = awaitFrame(s, kConnectTimeoutMs);
    s->abort();
    s->deleteLater();
    if (!reply) continue;
    FrameReader r(*reply);
    uint8_t op = 0;
    uint32_t count = 0;
    if (!r.u8(op) || op != kPairs || !r.u32(count)) continue;
    for (uint32_t i = 0; i < count; ++i) {
      std::string sv, tp;
      if (!r.str(sv) || !r.str(tp)) break;
      out.push_back(HSZPAIR{sv.empty() ? 0 : intern(sv), tp.empty() ? 0 : intern(tp)});
    }
  }
  out.push_back(HSZPAIR{0, 0});
  return out;
}

HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, const CONVCONTEXT* pCC) {
  (void)pCC;
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return 0;
  if (inst->waiting) {
    inst->lastError = DMLERR_REENTRANCY;
    return 0;
  }
  std::string service, topic;
  if (hszService == 0 || hszTopic == 0) {
    std::vector<HSZPAIR> pairs = DdeWildConnectPairs(idInst, hszService, hszTopic);
    if (pairs.size() > 1) {
      service = textOf(pairs[0].hszSvc).value_or("");
      topic = textOf(pairs[0].hszTopic).value_or("");
    }
    for (const HSZPAIR& p : pairs) {
      if (p.hszSvc != 0) release(p.hszSvc);
      if (p.hszTopic != 0) release(p.hszTopic);
    }
  } else {
    service = textOf(hszService).value_or("");
    topic = textOf(hszTopic).value_or("");
  }
  const std::string folder = plat::ipc::socketFolder();
  if (service.empty() || topic.empty() || folder.empty()) {
    inst->lastError = DMLERR_NO_CONV_ESTABLISHED;
    return 0;
  }
  inst->waiting = true;
  QLocalSocket* s = openService(inst, serviceSocketPath(folder, service), kConnectTimeoutMs);
  std::optional<std::string> reply;
  if (s != nullptr) {
    send(s, FrameWriter().u8(kConnect).str(topic).str(service).u32(static_cast<uint32_t>(::getpid())).u32(idInst));
    reply = awaitFrame(s, kConnectTimeoutMs);
  }
  inst = findInstance(idInst);
  if (inst == nullptr) return 0;  // uninitialised meanwhile
  inst->waiting = false;
  const std::string body = reply.value_or("");
  FrameReader r(body);
  uint8_t op = 0, self = 0;
  uint32_t ok = 0, partner = 0;
  std::string svText, tpText;
  if (!reply || !r.u8(op) || op != kConnected || !r.u32(ok) || !r.u32(partner) || !r.u8(self) || !r.str(svText) ||
      !r.str(tpText) || ok == 0 || s->state() != QLocalSocket::ConnectedState) {
    if (s != nullptr) {
      s->abort();
      s->deleteLater();
    }
    inst->lastError = DMLERR_NO_CONV_ESTABLISHED;
    return 0;
  }
  Conv* c = addConv(inst, s, true);
  c->self = self != 0;
  c->partner = partner;
  c->service = intern(svText);
  c->topic = intern(tpText);
  if (Conv* other = c->self ? findConv(partner) : nullptr) other->partner = c->handle;
  return c->handle;
}

BOOL DdeDisconnect(HCONV hConv) {
  Conv* c = findConv(hConv);
  if (c == nullptr) return 0;
  dropConv(hConv, false);
  return 1;
}

HDDEDATA DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt, UINT wType,
                              DWORD dwTimeout, DWORD* pdwResult) {
  if (pdwResult != nullptr) *pdwResult = 0;
  Conv* c = findConv(hConv);
  HDDEDATA passed = cbData == 0xFFFFFFFFu ? reinterpret_cast<HDDEDATA>(pData) : nullptr;
  auto done = [&](HDDEDATA result) {
    if (passed != nullptr && isData(passed) && !passed->appOwned) freeData(passed);
    return result;
  };
  if (c == nullptr || !c->client) return done(nullptr);
  Instance* inst = c->inst;
  if (inst->waiting) {
    inst->lastError = DMLERR_REENTRANCY;
    return done(nullptr);
  }
  if (dwTimeout == TIMEOUT_ASYNC) {
    inst->lastError = DMLERR_INVALIDPARAMETER;  // only synchronous transactions are served
    return done(nullptr);
  }
  const UINT base = wType & ~(XTYPF_NODATA | XTYPF_ACKREQ);
  std::string item;
  if (hszItem != 0) item = textOf(hszItem).value_or("");
  const bool needsItem = base != XTYP_EXECUTE;
  if ((needsItem && item.empty()) ||
      (base != XTYP_EXECUTE && base != XTYP_POKE && base != XTYP_REQUEST && base != XTYP_ADVSTART &&
       base != XTYP_ADVSTOP)) {
    inst->lastError = DMLERR_INVALIDPARAMETER;
    return done(nullptr);
  }
  std::string data;
  if (passed != nullptr) {
    if (!isData(passed)) {
      inst->lastError = DMLERR_INVALIDPARAMETER;
      return done(nullptr);
    }
    data.assign(passed->bytes.begin(), passed->bytes.end());
  } else if (pData != nullptr && cbData > 0) {
    data.assign(reinterpret_cast<const char*>(pData), cbData);
  }
  const uint32_t id = inst->nextTransaction++;
  c->waitId = id;
  c->gotReply = false;
  c->replyData.reset();
  send(c->socket, FrameWriter().u8(kTrans).u32(id).u32(wType).u32(wFmt).str(item).u8(1).str(data));
  inst->waiting = true;
  const DWORD instId = inst->id;
  const bool answered = waitUntil(
      [hConv] {
        Conv* now = findConv(hConv);
        return now == nullptr || now->gotReply;
      },
      static_cast<int>(std::min<DWORD>(dwTimeout, 0x7FFFFFFF)));
  inst = findInstance(instId);
  if (inst == nullptr) return done(nullptr);
  inst->waiting = false;
  c = findConv(hConv);
  if (c == nullptr) {
    inst->lastError = DMLERR_SERVER_DIED;
    return done(nullptr);
  }
  c->waitId = 0;
  if (!answered) {
    inst->lastError = timeoutError(wType);
    return done(nullptr);
  }
  if (c->replyError != DMLERR_NO_ERROR) {
    inst->lastError = c->replyError;
    return done(nullptr);
  }
  if (base == XTYP_REQUEST) {
    if (!c->replyData) {
      inst->lastError = DMLERR_NOTPROCESSED;
      return done(nullptr);
    }
    const std::string& bytes = *c->replyData;
    HDDEDATA out = newData(inst->id, std::vector<uint8_t>(bytes.begin(), bytes.end()), hszItem, c->replyFmt, false);
    c->replyData.reset();
    return done(out);
  }
  if (pdwResult != nullptr) *pdwResult = DDE_FACK;
  return done(reinterpret_cast<HDDEDATA>(1));
}

BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem) {
  Instance* inst = findInstance(idInst);
  if (inst == nullptr) return 0;
  struct Target {
    HCONV conv;
    HSZ topic;
    HSZ item;
    UINT fmt;
  };
  std::vector<Target> targets;
  for (auto& [h, c] : state().convs) {
    if (c->inst != inst || c->client) continue;
    if (hszTopic != 0 && DdeCmpStringHandles(c->topic, hszTopic) != 0) continue;
    for (const auto& [item, fmt] : c->links)
      if (hszItem == 0 || DdeCmpStringHandles(item, hszItem) == 0) targets.push_back(Target{h, c->topic, item, fmt});
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    const Target& t = targets[i];
    if (findConv(t.conv) == nullptr) continue;
    const std::string itemText = textOf(t.item).value_or("");
    HDDEDATA d = call(inst, XTYP_ADVREQ, t.fmt, t.conv, t.topic, t.item, nullptr,
                      static_cast<ULONG_PTR>(targets.size() - i - 1), 0);
    Conv* c = findConv(t.conv);
    if (isData(d)) {
      if (c != nullptr)
        send(c->socket, FrameWriter().u8(kAdvData).str(itemText).u32(d->fmt != 0 ? d->fmt : t.fmt).str(
                            std::string(d->bytes.begin(), d->bytes.end())));
      if (!d->appOwned) freeData(d);
    }
  }
  return 1;
}

UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, CONVINFO* pConvInfo) {
  (void)idTransaction;
  Conv* c = findConv(hConv);
  if (c == nullptr || pConvInfo == nullptr || pConvInfo->cb < sizeof(CONVINFO)) return 0;
  CONVINFO info{};
  info.cb = sizeof(CONVINFO);
  info.hConvPartner = c->self ? c->partner : 0;
  info.hszSvcPartner = c->service;
  info.hszServiceReq = c->service;
  info.hszTopic = c->topic;
  info.wStatus = ST_CONNECTED | ST_ISLOCAL | (c->client ? ST_CLIENT : 0) | (c->self ? ST_ISSELF : 0) |
                 (c->links.empty() ? 0 : ST_ADVISE);
  info.wConvst = XST_CONNECTED;
  *pConvInfo = info;
  return sizeof(CONVINFO);
}

}  // namespace plat::dde
