#include <gtest/gtest.h>
#include <chrono>
#include <unistd.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <netdb.h>
#include <poll.h>

#include <QEventLoop>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/env/datagram_socket.h"

namespace {

struct Recorder : COrv_DatagramNotify {
  std::mutex mutex;
  std::vector<int> codes;
  void OnDatagramNotify(uint32_t message, uint32_t, int code) override {
    EXPECT_EQ(message, 0x8001u);
    std::lock_guard lock(mutex);
    codes.push_back(code);
  }
  std::vector<int> take() {
    std::lock_guard lock(mutex);
    return codes;
  }
};

// A listener on a thread of its own with its own event loop, on loopback.
class Listener {
 public:
  explicit Listener(int room) : buffer_(static_cast<size_t>(room), '\0') {
    thread_ = std::thread([this] {
      QEventLoop loop;
      COrv_DatagramSocket socket(0x8001, &recorder);
      socket.SetLocal(0, "127.0.0.1");
      socket.SetData(buffer_.data(), static_cast<int>(buffer_.size()));
      ok = socket.StartListen();
      port = socket.GetLocalPort();
      loop_ = &loop;
      ready = true;
      if (ok) loop.exec();
      received = socket.GetReceivedLength();
      socket.Close();
    });
    while (!ready) std::this_thread::yield();
  }
  ~Listener() { stop(); }
  void stop() {
    if (!thread_.joinable()) return;
    QMetaObject::invokeMethod(loop_, [l = loop_] { l->quit(); }, Qt::QueuedConnection);
    thread_.join();
  }
  Recorder recorder;
  std::atomic<bool> ready{false};
  bool ok = false;
  int port = 0;
  int received = 0;

 private:
  std::string buffer_;
  std::thread thread_;
  QEventLoop* loop_ = nullptr;
};

TEST(DatagramSocket, RequestAndEchoOnLoopback) {
  // The second request names the listener "localhost", as users do.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (::getaddrinfo("localhost", nullptr, &hints, &found) != 0)
    GTEST_SKIP() << "\"localhost\" does not resolve on this machine (no hosts file)";
  ::freeaddrinfo(found);
  Listener listener(64);
  ASSERT_TRUE(listener.ok);
  ASSERT_GT(listener.port, 0);

  Recorder rec;
  COrv_DatagramSocket sender(0x8001, &rec);
  char data[32] = "hello";
  sender.SetRemote(listener.port, "127.0.0.1");
  sender.SetData(data, 6);
  ASSERT_TRUE(sender.SendAndWait(3));
  EXPECT_EQ(rec.take(), (std::vector<int>{6, 1, 13, 4, 8, 5, 9}));
  EXPECT_EQ(sender.GetReceivedLength(), 6);  // exactly what was sent, though the listener has 64 bytes of room
  EXPECT_STREQ(data, "hello");
  EXPECT_EQ(sender.GetRemotePort(), listener.port);
  EXPECT_EQ(sender.GetStatus(), "Socket closed.");
  EXPECT_FALSE(sender.IsOpen());

  // A second request: the listener answers each datagram.
  Recorder rec2;
  COrv_DatagramSocket again(0x8001, &rec2);
  char two[4] = {'a', 'b', 'c', 'd'};
  again.SetRemote(listener.port, "localhost");
  again.SetData(two, 4);
  ASSERT_TRUE(again.SendAndWait(3));
  EXPECT_EQ(again.GetReceivedLength(), 4);

  listener.stop();
  EXPECT_EQ(listener.recorder.take(), (std::vector<int>{6, 1, 2, 8, 5, 13, 4, 8, 5, 13, 4, 9}));
  EXPECT_EQ(listener.received, 4);
}

TEST(DatagramSocket, NoListenerSendsOnceThenGivesUp) {
  // A port that nobody listens on: take one and free it again.
  int port = 0;
  {
    COrv_DatagramSocket probe;
    char b = 0;
    probe.SetLocal(0, "127.0.0.1");
    probe.SetData(&b, 1);
    ASSERT_TRUE(probe.StartListen());
    port = probe.GetLocalPort();
  }
  Recorder rec;
  COrv_DatagramSocket sender(0x8001, &rec);
  char data[] = "x";
  sender.SetRemote(port, "127.0.0.1");
  sender.SetData(data, 2);
  EXPECT_FALSE(sender.SendAndWait(0));
  const std::vector<int> codes = rec.take();
  // One send, then the wait runs out (12). The socket is not connected,
  // so the kernel's "port unreachable" never reaches it as a receive error.
  ASSERT_GE(codes.size(), 5u);
  EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 5), (std::vector<int>{6, 1, 13, 4, 12}));
  EXPECT_EQ(codes.back(), 9);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 13), 1);
}

// A clock that only moves when the sender waits: the whole wait runs at
// once, so the schedule is exact whatever else the machine is doing. Each
// send the sender reports is stamped with the clock's time.
struct StoppedClock : COrv_DatagramWaitClock, COrv_DatagramNotify {
  int64_t now = 1'000'000;
  std::vector<int64_t> sentAt;  // from the start of the wait
  int64_t start = now;
  std::vector<int> codes;
  int64_t NowMs() override { return now; }
  void WaitReadable(int, int64_t ms) override { now += std::max<int64_t>(ms, 0); }
  void OnDatagramNotify(uint32_t, uint32_t, int code) override {
    codes.push_back(code);
    if (code == COrv_DatagramSocket::kSent) sentAt.push_back(now - start);
  }
};

TEST(DatagramSocket, WithoutAnAnswerItResendsAfterOneAndAHalfSecondsThenEveryHalf) {
  // A plain UDP socket on loopback that never answers.
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);

  StoppedClock clock;
  COrv_DatagramSocket::SetWaitClock(&clock);
  COrv_DatagramSocket sender(0x8001, &clock);
  char data[] = "ping";
  sender.SetRemote(ntohs(addr.sin_port), "127.0.0.1");
  sender.SetData(data, 4);
  const bool answered = sender.SendAndWait(3);
  COrv_DatagramSocket::SetWaitClock(nullptr);
  EXPECT_FALSE(answered);
  // At once, then 1.5, 2.0 and 2.5 s later (each due time passed by less
  // than a tick); the 3-second limit ends it with no fifth send.
  ASSERT_EQ(clock.sentAt.size(), 4u) << ::testing::PrintToString(clock.sentAt);
  const int64_t due[] = {0, 1500, 2000, 2500};
  for (std::size_t k = 0; k < clock.sentAt.size(); ++k) {
    EXPECT_GE(clock.sentAt[k], due[k]) << "send " << k;
    EXPECT_LE(clock.sentAt[k], due[k] + 1) << "send " << k;
  }
  EXPECT_EQ(std::count(clock.codes.begin(), clock.codes.end(), COrv_DatagramSocket::kNoReply), 1);
  EXPECT_GT(clock.now - clock.start, 3000) << "it gave up only after the limit";

  // Every send really went out.
  int arrived = 0;
  char b[64];
  while (::recv(fd, b, sizeof b, MSG_DONTWAIT) > 0) ++arrived;
  ::close(fd);
  EXPECT_EQ(arrived, 4);
}

TEST(DatagramSocket, OversizedDatagramsAreRefusedOrCut) {
  // Larger than UDP carries: the send fails with the message-size error.
  Recorder rec;
  COrv_DatagramSocket sender(0x8001, &rec);
  std::string big(70000, 'b');
  sender.SetRemote(9, "127.0.0.1");
  sender.SetData(big.data(), static_cast<int>(big.size()));
  EXPECT_FALSE(sender.SendData());
  EXPECT_EQ(sender.GetLastError(), 10040u);  // WSAEMSGSIZE
  EXPECT_NE(sender.GetStatus().find("WSAEMSGSIZE"), std::string::npos) << sender.GetStatus();

  // Larger than the listener's room: only the room is taken, and the rest
  // is reported lost rather than answered as if whole.
  Listener small(8);
  ASSERT_TRUE(small.ok);
  Recorder rec2;
  COrv_DatagramSocket client(0x8001, &rec2);
  std::string twenty(20, 't');
  client.SetRemote(small.port, "127.0.0.1");
  client.SetData(twenty.data(), static_cast<int>(twenty.size()));
  EXPECT_TRUE(client.SendData());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  small.stop();
  EXPECT_EQ(small.received, 8);
  const std::vector<int> heard = small.recorder.take();
  EXPECT_EQ(std::count(heard.begin(), heard.end(), 5), 0) << "a cut datagram is not taken as received";
}

TEST(DatagramSocket, RefusalsAndTheirTexts) {
  Recorder rec;
  COrv_DatagramSocket s(0x8001, &rec);
  char b[4] = {0};
  s.SetData(b, 4);
  EXPECT_FALSE(s.SendData());  // no remote address
  EXPECT_EQ(s.GetStatus(), "You need to set at least the destination socket address.");
  EXPECT_FALSE(s.IsOpen());
  EXPECT_FALSE(s.Close());
  EXPECT_FALSE(s.Close());
  EXPECT_EQ(s.GetStatus(), "Socket already close.");
  EXPECT_EQ(rec.take(), (std::vector<int>{3, 10, 10}));

  s.SetRemote(9, "127.0.0.1");
  s.SetData(nullptr, 0);
  EXPECT_FALSE(s.SendData());
  EXPECT_EQ(s.GetStatus(), "No data buffer available or data lenght set to 0.");
  EXPECT_TRUE(s.Close());
  EXPECT_EQ(rec.take(), (std::vector<int>{3, 10, 10, 6, 1, 11, 9}));

  // Without a sink nothing is notified, but the status still changes.
  COrv_DatagramSocket quiet;
  EXPECT_FALSE(quiet.Close());
  EXPECT_EQ(quiet.GetStatus(), "Socket already close.");

  // A local address that is not ours cannot be bound.
  COrv_DatagramSocket bad(0x8001, &rec);
  bad.SetLocal(0, "203.0.113.7");
  bad.SetData(b, 4);
  EXPECT_FALSE(bad.StartListen());
  EXPECT_EQ(bad.GetLastError(), 10049u);
  EXPECT_EQ(bad.GetStatus(), "WSAEADDRNOTAVAIL - Unable to create or bind the local socket.");
}

TEST(DatagramSocket, ErrorNames) {
  COrv_DatagramSocket s;
  const struct {
    int err;
    uint32_t code;
    const char* name;
  } cases[] = {
      {EWOULDBLOCK, 10035, "WSAEWOULDBLOCK"}, {EAGAIN, 10035, "WSAEWOULDBLOCK"},
      {EACCES, 10013, "WSAEACCES"},          {EMSGSIZE, 10040, "WSAEMSGSIZE"},
      {EADDRINUSE, 10048, "WSAEADDRINUSE"},  {ECONNREFUSED, 10061, "WSAECONNREFUSED"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(COrv_DatagramSocket::WsaErrorFromErrno(c.err), c.code);
    EXPECT_EQ(s.GetErrorText(c.code), c.name);
    EXPECT_EQ(s.GetLastError(), c.code);
  }
  EXPECT_EQ(s.GetErrorText(10093), "WSANOTINITIALISED");
  EXPECT_EQ(s.GetErrorText(12345), "Unknown error no. 12345.");
}

}  // namespace
