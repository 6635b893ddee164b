#include <gtest/gtest.h>

#include <strings.h>

#include <QTimer>
#include <algorithm>
#include <cstdarg>
#include <functional>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <thread>
#include <chrono>

#include "shared/dde/dde_server.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "shared/dde/tests/peer_process.h"

using namespace plat::dde;

namespace {

// A conversation that records the advise data it gets.
class RecordingConv : public CDDEConv {
 public:
  using CDDEConv::CDDEConv;
  std::vector<std::string> advised;
  bool AdviseData(unsigned, const char*, const char* item, const void* data, uint32_t size) override {
    advised.push_back(std::string(item) + "=" + std::string(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), size)));
    return true;
  }
};

class BackTopic : public CDDETopic {
 public:
  std::vector<std::string> execs;
  CDDEConv* probe = nullptr;  // tried from inside an execute
  bool probeResult = true;
  bool Exec(const void* data, uint32_t size) override {
    execs.emplace_back(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), size));
    if (probe != nullptr) probeResult = probe->Exec("nested");
    return true;
  }
};

struct Fixture {
  CDDEServer server;
  BackTopic back;
  std::vector<std::string> status;
  explicit Fixture(const char* service = "TvTest") {
    EXPECT_TRUE(server.Create(service));
    back.Create("Back");
    server.AddTopic(&back);
  }
  // A connected conversation held by the caller (one reference).
  template <class Conv = CDDEConv>
  Conv* connect(const char* service, const char* topic) {
    auto* c = new Conv(&server);
    c->AddRef();
    if (!c->ConnectTo(service, topic)) {
      c->Release();
      return nullptr;
    }
    return c;
  }
};

std::string requestText(CDDEConv* conv, const char* item, uint32_t* sizeOut = nullptr) {
  void* data = nullptr;
  uint32_t size = 0;
  if (!conv->Request(item, &data, &size)) {
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    return "<refused>";
  }
  std::string text(static_cast<const char*>(data), size);
  delete[] static_cast<uint8_t*>(data);
  if (sizeOut != nullptr) *sizeOut = size;
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

TEST(DdeServer, SystemTopicAnswersForTheTopicRequested) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* sys = f.connect("tvPEER", "system");  // service and topic in any case
  ASSERT_NE(sys, nullptr);
  CDDEConv* pages = f.connect("TvPeer", "Pages");
  ASSERT_NE(pages, nullptr);
  uint32_t size = 0;
  EXPECT_EQ(requestText(sys, "SysItems", &size), "TopicItemList\tFormats\tTopics\tSysItems");
  EXPECT_EQ(size, 38u);
  EXPECT_EQ(requestText(sys, "Topics"), "System\tPages\tQuiet\tOther");
  EXPECT_EQ(requestText(sys, "formats"), "TEXT");
  // The shared items were last added to "Other", yet each topic gets its own list.
  EXPECT_EQ(requestText(sys, "TopicItemList"), "TopicItemList\tFormats\tTopics\tSysItems");
  EXPECT_EQ(requestText(pages, "TopicItemList"), "TopicItemList\tFormats\tValue");
  EXPECT_EQ(requestText(pages, "Value", &size), "");
  EXPECT_EQ(size, 1u);  // an empty text answers one zero byte
  EXPECT_EQ(requestText(pages, "Missing"), "<refused>");
  EXPECT_EQ(f.connect("TvPeer", "NoSuchTopic"), nullptr);
  for (CDDEConv* c : {sys, pages}) {
    c->Terminate();
    c->Release();
  }
}

TEST(DdeServer, ExecutesAreAcknowledgedOrRefused) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->Exec("C:/page.htm"));
  EXPECT_EQ(peer.line(), "exec 12 C:/page.htm");
  EXPECT_FALSE(c->Exec("refuse"));
  EXPECT_EQ(peer.line(), "exec 7 refuse");
  EXPECT_TRUE(c->Exec(""));
  EXPECT_EQ(peer.line(), "exec 1");  // one zero byte
  c->Terminate();
  c->Release();
}

TEST(DdeServer, PokeAdvisesTheOtherConversations) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  auto* watcher = f.connect<RecordingConv>("TvPeer", "Pages");
  CDDEConv* writer = f.connect("TvPeer", "Pages");
  ASSERT_NE(watcher, nullptr);
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(watcher->Advise("Value"));
  EXPECT_FALSE(watcher->Advise("Missing"));
  EXPECT_TRUE(writer->Poke(CF_TEXT, "value", "new text", 9));
  EXPECT_EQ(peer.line(), "poke new text");
  ASSERT_TRUE(pumpUntil([&] { return !watcher->advised.empty(); }));
  // String handles match without regard to case, so the item may come back in
  // either spelling.
  EXPECT_EQ(strcasecmp(watcher->advised[0].c_str(), "Value=new text"), 0) << watcher->advised[0];
  // Poked bytes without a terminating zero are bounded by their size.
  EXPECT_TRUE(writer->Poke(CF_TEXT, "Value", "abcdef", 3));
  EXPECT_EQ(peer.line(), "poke abc");
  EXPECT_EQ(requestText(writer, "Value"), "abc");
  EXPECT_FALSE(writer->Poke(CF_TEXT, "Missing", "x", 2));
  // After the advise loop stops, pokes advise nobody.
  CHSZ item(&f.server, "Value");
  EXPECT_NE(DdeClientTransaction(nullptr, 0, watcher->GetConv(), item, CF_TEXT, XTYP_ADVSTOP, 5000, nullptr), nullptr);
  const size_t before = watcher->advised.size();
  EXPECT_TRUE(writer->Poke(CF_TEXT, "Value", "unseen", 7));
  EXPECT_EQ(peer.line(), "poke unseen");
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(watcher->advised.size(), before);
  for (CDDEConv* c : {static_cast<CDDEConv*>(watcher), writer}) {
    c->Terminate();
    c->Release();
  }
}

TEST(DdeServer, SelfConversationIsMarkedAndNotAdvised) {
  Fixture f;
  CDDEStringItem value;
  value.Create("Value");
  f.back.AddItem(&value);
  auto* watcher = f.connect<RecordingConv>("TvTest", "Back");
  ASSERT_NE(watcher, nullptr);
  CONVINFO info{};
  info.cb = sizeof info;
  ASSERT_NE(DdeQueryConvInfo(watcher->GetConv(), QID_SYNC, &info), 0u);
  EXPECT_TRUE(info.wStatus & ST_ISSELF);
  EXPECT_EQ(f.server.Conversations().size(), 2u);  // our client end and the server end
  EXPECT_TRUE(watcher->Advise("Value"));
  EXPECT_TRUE(watcher->Poke(CF_TEXT, "Value", "mine", 5));
  EXPECT_EQ(std::string(value.GetData()), "mine");
  pumpUntil([] { return false; }, 50);
  EXPECT_TRUE(watcher->advised.empty());
  EXPECT_TRUE(watcher->Exec("to myself"));
  EXPECT_EQ(f.back.execs, std::vector<std::string>{"to myself"});
  watcher->Terminate();
  watcher->Release();
  ASSERT_TRUE(pumpUntil([&] { return f.server.Conversations().empty(); }));
}

TEST(DdeServer, BothProgramsSendToEachOtherAtOnce) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  f.back.probe = c;  // while we wait for the peer, its execute to us tries a nested send
  EXPECT_TRUE(c->Exec("callback TvTest"));  // the peer executes "hello" on us before it answers
  EXPECT_EQ(f.back.execs, std::vector<std::string>{"hello"});
  EXPECT_FALSE(f.back.probeResult);  // refused: a transaction was already waiting
  EXPECT_EQ(DdeGetLastError(f.server.GetInstance()), DMLERR_REENTRANCY);
  EXPECT_EQ(peer.line(), "exec 16 callback TvTest");
  EXPECT_EQ(peer.line(), "callback ok");
  c->Terminate();
  c->Release();
}

TEST(DdeServer, ServerWithoutTopicsListsTheSystemTopic) {
  CDDEServer server;
  ASSERT_TRUE(server.Create("TvBare"));
  auto* sys = new CDDEConv(&server);
  sys->AddRef();
  ASSERT_TRUE(sys->ConnectTo("TvBare", "System"));
  EXPECT_EQ(requestText(sys, "Topics"), "System");
  sys->Terminate();
  sys->Release();
}

TEST(DdeServer, TwoProgramsStartingTransactionsAtTheSameTimeBothComplete) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  // The peer answers, then starts an execute of its own on our "Back" topic.
  EXPECT_TRUE(c->Exec("sendback TvTest"));
  // Without serving anything, let that execute arrive and wait here: the
  // peer is waiting for our answer when ours to it starts.
  EXPECT_EQ(peer.lineWithoutServing(), "exec 16 sendback TvTest");
  EXPECT_EQ(peer.lineWithoutServing(), "sendback sending");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(f.back.execs.empty());
  EXPECT_TRUE(c->Exec("crossing"));
  // Our wait served the peer's execute, and the peer's wait served ours
  // before its own execute was answered.
  EXPECT_EQ(f.back.execs, std::vector<std::string>{"hello"});
  EXPECT_EQ(peer.line(), "exec 9 crossing");
  EXPECT_EQ(peer.line(), "sendback ok");
  c->Terminate();
  c->Release();
}

TEST(DdeServer, TimeOutAndKilledPartner) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  c->SetTimeout(150);
  EXPECT_FALSE(c->Exec("sleep 2500"));
  EXPECT_EQ(DdeGetLastError(f.server.GetInstance()), DMLERR_EXECACKTIMEOUT);
  c->SetTimeout(5000);
  EXPECT_TRUE(c->Exec("after"));
  peer.kill();
  ASSERT_TRUE(pumpUntil([&] { return !c->IsConnected(); }));
  EXPECT_TRUE(f.server.Conversations().empty());
  EXPECT_EQ(c->RefCount(), 1);  // only ours is left
  EXPECT_FALSE(c->Exec("nobody"));
  EXPECT_FALSE(c->Terminate());
  c->Release();
}

TEST(DdeServer, PartnerDyingDuringAWaitEndsTheTransaction) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  QTimer::singleShot(150, [&] { peer.kill(); });  // fires inside the transaction's wait
  EXPECT_FALSE(c->Exec("sleep 3000"));
  EXPECT_EQ(DdeGetLastError(f.server.GetInstance()), DMLERR_SERVER_DIED);
  EXPECT_FALSE(c->IsConnected());
  EXPECT_TRUE(f.server.Conversations().empty());
  c->Release();
}

TEST(DdeServer, ServiceHeldByAnotherProgramIsRefused) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  CDDEServer server;
  EXPECT_FALSE(server.Create("tvpeer"));
  EXPECT_EQ(server.GetLastDdeError(), DMLERR_DLL_USAGE);
  // The instance still serves as a client.
  auto* c = new CDDEConv(&server);
  c->AddRef();
  ASSERT_TRUE(c->ConnectTo("TvPeer", "Pages"));
  EXPECT_TRUE(c->Exec("as client"));
  c->Release();  // the server's list keeps it until shut-down
}

// A server that keeps its reports.
class ReportingServer : public CDDEServer {
 public:
  std::vector<std::string> reports;
  void Status(const char* format, ...) override {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    reports.emplace_back(text);
  }
};

// A server that also keeps the transactions offered to OnOtherTransaction.
class DecliningServer : public ReportingServer {
 public:
  std::vector<UINT> others;
  HDDEDATA OnOtherTransaction(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) override {
    others.push_back(type & 0xFFFF);
    return nullptr;
  }
};

TEST(DdeServer, DeclinedTransactionsAreReportedAndOfferedToOnOtherTransaction) {
  DecliningServer server;
  DWORD instance = 0;
  ASSERT_TRUE(server.Create("TvShut", 0, &instance));
  CDDETopic shut;  // no items and no executes: it declines everything
  shut.Create("Shut");
  server.AddTopic(&shut);
  auto* c = new CDDEConv(&server);
  c->AddRef();
  ASSERT_TRUE(c->ConnectTo("TvShut", "Shut"));
  struct Case {
    const char* what;
    std::function<bool()> run;
    const char* report;
    UINT type;
  };
  const Case cases[] = {
      {"exec", [&] { return c->Exec("anything"); }, "Exec failed", XTYP_EXECUTE},
      {"poke", [&] { return c->Poke(CF_TEXT, "Value", "x", 2); }, "Poke Shut|Value failed", XTYP_POKE},
      {"advise", [&] { return c->Advise("Value"); }, "Can't advise on Shut|Value", XTYP_ADVSTART},
      {"request", [&] { return requestText(c, "Value") != "<refused>"; }, "Request Shut|Value failed",
       XTYP_REQUEST},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    server.reports.clear();
    server.others.clear();
    EXPECT_FALSE(k.run());
    EXPECT_NE(std::find(server.reports.begin(), server.reports.end(), k.report), server.reports.end())
        << ::testing::PrintToString(server.reports);
    EXPECT_EQ(server.others, std::vector<UINT>{k.type & 0xFFFF}) << "the declined transaction is offered on";
  }
  c->Terminate();
  c->Release();

  // A wild connect to a topic the server lacks is refused, and said so.
  server.reports.clear();
  const HSZ missing = DdeCreateStringHandleA(instance, "Missing", CP_WINANSI);
  const std::vector<HSZPAIR> pairs = DdeWildConnectPairs(instance, 0, missing);
  DdeFreeStringHandle(instance, missing);
  ASSERT_FALSE(pairs.empty());
  EXPECT_EQ(pairs.front().hszSvc, 0u) << "no pair but the closing one";
  EXPECT_NE(std::find(server.reports.begin(), server.reports.end(), "Wild connect to Missing refused"),
            server.reports.end())
      << ::testing::PrintToString(server.reports);
}

TEST(DdeServer, OneServerPerProcessAtATime) {
  {
    ReportingServer first, second;
    EXPECT_TRUE(first.Create("TvOne"));
    EXPECT_FALSE(second.Create("TvTwo"));
    EXPECT_EQ(second.reports, std::vector<std::string>{"Already got a server!\n"});
    EXPECT_EQ(CDDEServer::Current(), &first);
    // A failed connect keeps the error and reports it.
    auto* c = new CDDEConv(&first);
    c->AddRef();
    EXPECT_FALSE(c->ConnectTo("Nobody", "Topic"));
    EXPECT_EQ(c->GetLastError(), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_EQ(first.reports.back(), "Failed to connect to Nobody|Topic. Error 16394");
    EXPECT_FALSE(c->Terminate());
    c->Release();
  }
  EXPECT_EQ(CDDEServer::Current(), nullptr);
  CDDEServer again;
  EXPECT_TRUE(again.Create("TvOne"));
}

// The orders in which conversations end and references go: each one clean
// under AddressSanitizer.
TEST(DdeConversation, TerminateAndReleaseOrders) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Fixture f;
  // Creator's reference dropped first: the list keeps the conversation alive.
  CDDEConv* a = f.connect("TvPeer", "Pages");
  CDDEConv* b = f.connect("TvPeer", "Pages");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->RefCount(), 2);
  a->Release();
  ASSERT_EQ(f.server.Conversations().size(), 2u);
  EXPECT_TRUE(f.server.FindConversation(a->GetConv()) == a);
  // Two conversations with one partner are independent.
  EXPECT_TRUE(b->Exec("b"));
  EXPECT_TRUE(f.server.RemoveConversation(a->GetConv()));  // the last reference: a is gone
  EXPECT_EQ(f.server.Conversations().size(), 1u);
  EXPECT_TRUE(b->Exec("still b"));
  EXPECT_FALSE(f.server.RemoveConversation(0x7FFFFFFF));
  // Terminate drops the list's reference while the creator still holds one.
  EXPECT_TRUE(b->Terminate());
  EXPECT_EQ(b->RefCount(), 1);
  EXPECT_FALSE(b->Terminate());
  b->Release();
  // A conversation whose only reference is the list's, ended by Terminate.
  CDDEConv* c = f.connect("TvPeer", "Pages");
  ASSERT_NE(c, nullptr);
  c->Release();
  EXPECT_TRUE(c->Terminate());  // deletes c on the way out
  EXPECT_TRUE(f.server.Conversations().empty());
  // Shut-down ends the ones still listed, whatever references remain.
  CDDEConv* d = f.connect("TvPeer", "Pages");
  CDDEConv* e = f.connect("TvPeer", "Other");
  ASSERT_NE(d, nullptr);
  ASSERT_NE(e, nullptr);
  e->Release();
  f.server.Shutdown();
  EXPECT_FALSE(d->IsConnected());
  EXPECT_EQ(d->RefCount(), 1);
  d->Release();
}

}  // namespace
