#pragma once
// A small UDP endpoint: sends one datagram from the caller's buffer to a
// remote address and port, once or repeatedly until an answer comes within a
// time-out, or listens on a local port and answers each datagram by sending
// back exactly the bytes it received. Every step is reported to a sink as a
// numbered notification and kept as a status text; failures carry Winsock
// error codes mapped from errno (EWOULDBLOCK is 10035).
//
// Listening needs the event loop of the thread that opened the socket
// (datagrams are read from a socket notifier); SendAndWait waits in poll()
// on the calling thread without dispatching anything.

#include <cstdint>
#include <memory>
#include <string>

class QSocketNotifier;

// The time and the wait of SendAndWait: the steady clock and poll() unless
// a test installs its own (SetWaitClock), so that the resend schedule is
// checked without depending on how busy the machine is.
class COrv_DatagramWaitClock {
 public:
  virtual ~COrv_DatagramWaitClock() = default;
  virtual int64_t NowMs() = 0;
  // Waits at most `ms` milliseconds for `fd` to become readable.
  virtual void WaitReadable(int fd, int64_t ms) = 0;
};

// Receives the notifications in place of an owner window.
class COrv_DatagramNotify {
 public:
  virtual ~COrv_DatagramNotify() = default;
  virtual void OnDatagramNotify(uint32_t message, uint32_t lastError, int code) = 0;
};

class COrv_DatagramSocket {
 public:
  enum Code {
    kError = 0,
    kLocalReady = 1,
    kListening = 2,
    kNoRemote = 3,
    kSent = 4,
    kReceived = 5,
    kOpen = 6,
    kRemoteKnown = 8,
    kClosed = 9,
    kAlreadyClosed = 10,
    kNoData = 11,
    kNoReply = 12,
    kSending = 13,
  };

  COrv_DatagramSocket();
  COrv_DatagramSocket(uint32_t message, COrv_DatagramNotify* sink);
  ~COrv_DatagramSocket();
  COrv_DatagramSocket(const COrv_DatagramSocket&) = delete;
  COrv_DatagramSocket& operator=(const COrv_DatagramSocket&) = delete;

  void SetNotify(uint32_t message, COrv_DatagramNotify* sink);
  void SetLocal(int port, const std::string& address);
  void SetRemote(int port, const std::string& address);
  // The buffer stays the caller's; `length` bytes are sent and it is also
  // the room for what is received.
  void SetData(void* buffer, int length);

  bool SendData();
  bool SendAndWait(int timeoutSeconds);
  bool StartListen();
  bool Close();

  bool IsOpen() const { return m_bOpen; }
  int GetLocalPort() const { return m_nLocalPort; }
  int GetRemotePort() const { return m_nRemotePort; }
  const std::string& GetLocalAddress() const { return m_strLocalAddress; }
  const std::string& GetRemoteAddress() const { return m_strRemoteAddress; }
  const std::string& GetStatus() const { return m_strStatus; }
  uint32_t GetLastError() const { return m_dwLastError; }
  // Bytes of the last datagram received (the buffer's length is its room).
  int GetReceivedLength() const { return m_nReceived; }

  // The Winsock name of an error code; 0 takes the last socket error.
  // Stores the code as the last error.
  std::string GetErrorText(uint32_t code);

  // The Winsock code for an errno value.
  static uint32_t WsaErrorFromErrno(int err);

  // Replaces the clock of every SendAndWait; nullptr restores the real one.
  static void SetWaitClock(COrv_DatagramWaitClock* clock);

 private:
  void Report(int code);
  void ReportError(const char* what, uint32_t code);
  bool Open();
  void CloseSocket();
  // One datagram into the buffer; 0, or the Winsock error.
  uint32_t ReceiveOne();
  bool SendBytes(int length);
  void OnReadable();

  std::string m_strStatus;
  uint32_t m_dwLastError = 0;
  uint32_t m_dwSocketError = 0;  // last error of a socket call
  int m_nTimeout = 0;
  bool m_bOpen = false;
  bool m_bRequest = false;
  int m_nRemotePort = 0;
  std::string m_strRemoteAddress;
  int m_nLocalPort = 0;
  std::string m_strLocalAddress;
  int m_nDataLength = 0;
  void* m_pData = nullptr;
  int m_nReceived = 0;
  bool m_bEcho = false;  // the buffer holds a received datagram to send back
  COrv_DatagramNotify* m_pSink = nullptr;
  uint32_t m_nMessage = 0;
  int m_fd = -1;
  std::unique_ptr<QSocketNotifier> m_pNotifier;
};
