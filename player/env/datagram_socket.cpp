#include "player/env/datagram_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

struct WsaName {
  uint32_t code;
  int err;
  const char* name;
};

const WsaName kWsaNames[] = {
    {10013, EACCES, "WSAEACCES"},
    {10014, EFAULT, "WSAEFAULT"},
    {10022, EINVAL, "WSAEINVAL"},
    {10024, EMFILE, "WSAEMFILE"},
    {10035, EWOULDBLOCK, "WSAEWOULDBLOCK"},
    {10036, EINPROGRESS, "WSAEINPROGRESS"},
    {10038, ENOTSOCK, "WSAENOTSOCK"},
    {10039, EDESTADDRREQ, "WSAEDESTADDRREQ"},
    {10040, EMSGSIZE, "WSAEMSGSIZE"},
    {10045, EOPNOTSUPP, "WSAEOPNOTSUPP"},
    {10047, EAFNOSUPPORT, "WSAEAFNOSUPPORT"},
    {10048, EADDRINUSE, "WSAEADDRINUSE"},
    {10049, EADDRNOTAVAIL, "WSAEADDRNOTAVAIL"},
    {10050, ENETDOWN, "WSAENETDOWN"},
    {10051, ENETUNREACH, "WSAENETUNREACH"},
    {10052, ENETRESET, "WSAENETRESET"},
    {10053, ECONNABORTED, "WSAECONNABORTED"},
    {10054, ECONNRESET, "WSAECONNRESET"},
    {10055, ENOBUFS, "WSAENOBUFS"},
    {10056, EISCONN, "WSAEISCONN"},
    {10057, ENOTCONN, "WSAENOTCONN"},
    {10058, ESHUTDOWN, "WSAESHUTDOWN"},
    {10060, ETIMEDOUT, "WSAETIMEDOUT"},
    {10061, ECONNREFUSED, "WSAECONNREFUSED"},
    {10093, 0, "WSANOTINITIALISED"},
};

constexpr uint32_t kWouldBlock = 10035;

const char* const kStatus[] = {
    nullptr,
    "Local Socket port and address available.",
    "Socket is waiting for DATAGRAM packets...",
    "You need to set at least the destination socket address.",
    "Data regularly sent.",
    "DATAGRAM packet available.",
    "Socket is open for read and write.",
    nullptr,
    "Host port and address available.",
    "Socket closed.",
    "Socket already close.",
    "No data buffer available or data lenght set to 0.",
    "Remote socket don't reply.",
    nullptr,
};

class RealWaitClock : public COrv_DatagramWaitClock {
 public:
  int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void WaitReadable(int fd, int64_t ms) override {
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::max<int64_t>(ms, 0)));
  }
};

RealWaitClock g_realClock;
COrv_DatagramWaitClock* g_waitClock = &g_realClock;

// An IPv4 address from dotted text or a host name. False when unknown.
bool resolve(const std::string& address, int port, sockaddr_in& out) {
  out = sockaddr_in{};
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(port));
  if (address.empty()) {
    out.sin_addr.s_addr = htonl(INADDR_ANY);
    return true;
  }
  if (::inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(address.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
  out.sin_addr = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
  ::freeaddrinfo(list);
  return true;
}

}  // namespace

COrv_DatagramSocket::COrv_DatagramSocket() = default;

COrv_DatagramSocket::COrv_DatagramSocket(uint32_t message, COrv_DatagramNotify* sink)
    : m_pSink(sink), m_nMessage(message) {}

COrv_DatagramSocket::~COrv_DatagramSocket() {
  if (m_bOpen) Close();
}

uint32_t COrv_DatagramSocket::WsaErrorFromErrno(int err) {
  if (err == EAGAIN) return kWouldBlock;
  for (const WsaName& n : kWsaNames)
    if (n.err != 0 && n.err == err) return n.code;
  return 10000u + static_cast<uint32_t>(err);  // outside the named range: "Unknown error"
}

std::string COrv_DatagramSocket::GetErrorText(uint32_t code) {
  if (code == 0) code = m_dwSocketError;
  m_dwLastError = code;
  for (const WsaName& n : kWsaNames)
    if (n.code == code) return n.name;
  return "Unknown error no. " + std::to_string(code) + ".";
}

void COrv_DatagramSocket::SetNotify(uint32_t message, COrv_DatagramNotify* sink) {
  m_nMessage = message;
  m_pSink = sink;
}

void COrv_DatagramSocket::SetLocal(int port, const std::string& address) {
  m_nLocalPort = port;
  m_strLocalAddress = address;
}

void COrv_DatagramSocket::SetRemote(int port, const std::string& address) {
  m_nRemotePort = port;
  m_strRemoteAddress = address;
}

void COrv_DatagramSocket::SetData(void* buffer, int length) {
  m_pData = buffer;
  m_nDataLength = length;
  m_bEcho = false;
}

void COrv_DatagramSocket::Report(int code) {
  if (code > 0 && code < static_cast<int>(std::size(kStatus)) && kStatus[code] != nullptr) m_strStatus = kStatus[code];
  if (m_pSink != nullptr && m_nMessage != 0) m_pSink->OnDatagramNotify(m_nMessage, m_dwLastError, code);
}

void COrv_DatagramSocket::ReportError(const char* what, uint32_t code) {
  m_strStatus = GetErrorText(code) + what;
  Report(kError);
}

bool COrv_DatagramSocket::Open() {
  sockaddr_in local{};
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int err = 0;
  if (fd < 0)
    err = errno;
  else if (!resolve(m_strLocalAddress, m_nLocalPort, local))
    err = EADDRNOTAVAIL;
  else if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
    err = errno;
  if (err != 0) {
    m_dwSocketError = WsaErrorFromErrno(err);
    if (fd >= 0) ::close(fd);
    ReportError(" - Unable to create or bind the local socket.", 0);
    return false;
  }
  m_fd = fd;
  m_bOpen = true;
  Report(kOpen);
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
    m_dwSocketError = WsaErrorFromErrno(errno);
    ReportError(" - Unable to retrieve the socket address and port.", 0);
    Close();
    return false;
  }
  char text[INET_ADDRSTRLEN] = {0};
  ::inet_ntop(AF_INET, &bound.sin_addr, text, sizeof text);
  m_strLocalAddress = text;
  m_nLocalPort = ntohs(bound.sin_port);
  m_pNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
  m_pNotifier->setEnabled(!m_bRequest);
  Report(kLocalReady);
  return true;
}

void COrv_DatagramSocket::CloseSocket() {
  m_pNotifier.reset();
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool COrv_DatagramSocket::SendBytes(int length) {
  sockaddr_in remote{};
  if (!resolve(m_strRemoteAddress, m_nRemotePort, remote)) {
    m_dwSocketError = WsaErrorFromErrno(EDESTADDRREQ);
    return false;
  }
  const ssize_t n = ::sendto(m_fd, m_pData, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&remote),
                             sizeof remote);
  if (n < 0) {
    m_dwSocketError = WsaErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool COrv_DatagramSocket::SendData() {
  m_strStatus.clear();
  if (!m_bOpen && m_strRemoteAddress.empty()) {
    Report(kNoRemote);
    return false;
  }
  if (!m_bOpen && !Open()) return false;
  if (m_pData == nullptr || m_nDataLength <= 0) {
    Report(kNoData);
    return false;
  }
  Report(kSending);
  // An answer goes back with exactly the bytes that came in.
  const int length = m_bEcho ? m_nReceived : m_nDataLength;
  if (!SendBytes(length)) {
    ReportError(" - Failure sending DATAGRAM packet.", 0);
    return false;
  }
  Report(kSent);
  return true;
}

uint32_t COrv_DatagramSocket::ReceiveOne() {
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const ssize_t n = ::recvfrom(m_fd, m_pData, static_cast<size_t>(m_nDataLength), MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) {
    m_dwSocketError = WsaErrorFromErrno(errno);
    return m_dwSocketError;
  }
  if (n > m_nDataLength) {
    // Larger than the buffer: the rest is lost, as Winsock reports it.
    m_nReceived = m_nDataLength;
    m_dwSocketError = WsaErrorFromErrno(EMSGSIZE);
    return m_dwSocketError;
  }
  m_nReceived = static_cast<int>(n);
  char text[INET_ADDRSTRLEN] = {0};
  ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  m_strRemoteAddress = text;
  m_nRemotePort = ntohs(from.sin_port);
  return 0;
}

void COrv_DatagramSocket::SetWaitClock(COrv_DatagramWaitClock* clock) {
  g_waitClock = clock != nullptr ? clock : &g_realClock;
}

bool COrv_DatagramSocket::SendAndWait(int timeoutSeconds) {
  m_bRequest = true;
  m_bEcho = false;
  m_nTimeout = timeoutSeconds;
  if (m_pNotifier) m_pNotifier->setEnabled(false);
  COrv_DatagramWaitClock& clock = *g_waitClock;
  const int64_t start = clock.NowMs();
  const int64_t limit = static_cast<int64_t>(timeoutSeconds) * 1000;
  int64_t nextResend = 1500;
  bool resendDue = true;
  auto finish = [this](bool result) {
    Close();
    m_bRequest = false;
    return result;
  };
  for (;;) {
    int64_t elapsed = clock.NowMs() - start;
    if (elapsed > limit) break;
    if (elapsed > nextResend) {
      nextResend += 500;
      resendDue = true;
    }
    if (resendDue) {
      resendDue = false;
      if (!SendData()) return finish(false);
    }
    if (m_pData == nullptr || m_nDataLength <= 0) {
      Report(kNoData);
      return finish(false);
    }
    const uint32_t err = ReceiveOne();
    if (err == 0) {
      Report(kRemoteKnown);
      Report(kReceived);
      return finish(true);
    }
    if (err != kWouldBlock) {
      ReportError(" - Failure receiving DATAGRAM packet.", err);
      return finish(false);
    }
    // Sleep until a datagram comes, the next resend or the limit.
    elapsed = clock.NowMs() - start;
    const int64_t wake = std::min(nextResend + 1, limit + 1);
    clock.WaitReadable(m_fd, wake - elapsed);
  }
  Report(kNoReply);
  return finish(false);
}

bool COrv_DatagramSocket::StartListen() {
  m_bRequest = false;
  m_strStatus.clear();
  if (!m_bOpen && !Open()) return false;
  if (m_pNotifier) m_pNotifier->setEnabled(true);
  Report(kListening);
  return true;
}

void COrv_DatagramSocket::OnReadable() {
  if (m_bRequest || !m_bOpen) return;
  if (m_pData == nullptr || m_nDataLength <= 0) {
    // Nowhere to put it: drop the datagram so the notifier does not spin.
    char sink;
    ::recv(m_fd, &sink, 1, 0);
    Report(kNoData);
    return;
  }
  const uint32_t err = ReceiveOne();
  if (err == kWouldBlock) return;
  if (err != 0) {
    ReportError(" - Failure receiving DATAGRAM packet.", err);
    return;
  }
  Report(kRemoteKnown);
  Report(kReceived);
  m_bEcho = true;
  SendData();
  m_bEcho = false;
}

bool COrv_DatagramSocket::Close() {
  if (!m_bOpen) {
    Report(kAlreadyClosed);
    return false;
  }
  CloseSocket();
  m_bOpen = false;
  Report(kClosed);
  return true;
}
