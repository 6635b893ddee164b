#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/dde/ddeml.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "shared/dde/tests/peer_process.h"

using namespace plat::dde;

namespace {

HDDEDATA quietCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

struct Instance {
  DWORD id = 0;
  Instance() { EXPECT_EQ(DdeInitializeA(&id, quietCallback, 0, 0), DMLERR_NO_ERROR); }
  ~Instance() { DdeUninitialize(id); }
  HSZ hsz(const char* s) { return DdeCreateStringHandleA(id, s, CP_WINANSI); }
  std::string text(HSZ h) {
    char buf[300];
    return DdeQueryStringA(id, h, buf, sizeof buf, CP_WINANSI) > 0 ? buf : "";
  }
};

TEST(DdeStrings, CaseBlindHandlesWithCountedLife) {
  Instance in;
  const HSZ a = in.hsz("GrammarPage");
  EXPECT_EQ(in.hsz("grammarpage"), a);
  EXPECT_EQ(DdeCmpStringHandles(a, in.hsz("GRAMMARPAGE")), 0);
  EXPECT_NE(DdeCmpStringHandles(a, in.hsz("Other")), 0);
  EXPECT_EQ(in.text(a), "GrammarPage");
  EXPECT_EQ(DdeQueryStringA(in.id, a, nullptr, 0, CP_WINANSI), 11u);
  char small[5];
  EXPECT_EQ(DdeQueryStringA(in.id, a, small, sizeof small, CP_WINANSI), 4u);
  EXPECT_STREQ(small, "Gram");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(DdeFreeStringHandle(in.id, a));
  EXPECT_FALSE(DdeFreeStringHandle(in.id, a));  // all four references gone
  EXPECT_EQ(DdeQueryStringA(in.id, a, nullptr, 0, CP_WINANSI), 0u);
  EXPECT_EQ(in.hsz(""), 0u);
}

TEST(DdeData, HandlesCopyTheirBytes) {
  Instance in;
  char src[] = "abc";
  HDDEDATA h = DdeCreateDataHandle(in.id, reinterpret_cast<uint8_t*>(src), 4, 2, 0, CF_TEXT, 0);
  src[0] = 'X';
  DWORD size = 0;
  const uint8_t* p = DdeAccessData(h, &size);
  ASSERT_EQ(size, 6u);  // offset 2 + 4 bytes
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p) + 2), "abc");
  uint8_t out[3];
  EXPECT_EQ(DdeGetData(h, out, sizeof out, 2), 3u);
  EXPECT_EQ(DdeGetData(h, nullptr, 0, 7), 0u);  // beyond the end
  EXPECT_TRUE(DdeFreeDataHandle(h));
  EXPECT_FALSE(DdeFreeDataHandle(h));
  EXPECT_EQ(DdeAccessData(h, &size), nullptr);
}

TEST(DdeConnect, NobodyThereGivesNoConversation) {
  Instance in;
  EXPECT_EQ(DdeConnect(in.id, in.hsz("Nobody"), in.hsz("System"), nullptr), 0u);
  EXPECT_EQ(DdeGetLastError(in.id), DMLERR_NO_CONV_ESTABLISHED);
  EXPECT_EQ(DdeGetLastError(in.id), DMLERR_NO_ERROR);  // read once
}

TEST(DdeWildConnect, PairsCrossProcessesAsTexts) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Instance in;
  struct Case {
    const char* service;
    const char* topic;
    std::vector<std::string> pairs;  // "service|topic", the closing zero pair apart
  };
  const Case cases[] = {
      {nullptr, nullptr, {"TvPeer|System", "TvPeer|Pages", "TvPeer|Quiet", "TvPeer|Other"}},
      {"tvpeer", nullptr, {"TvPeer|System", "TvPeer|Pages", "TvPeer|Quiet", "TvPeer|Other"}},
      {nullptr, "pages", {"TvPeer|pages"}},
      {nullptr, "Missing", {}},
      {"Elsewhere", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.service ? c.service : "-") + " " + (c.topic ? c.topic : "-"));
    std::vector<HSZPAIR> got = DdeWildConnectPairs(in.id, c.service ? in.hsz(c.service) : 0, c.topic ? in.hsz(c.topic) : 0);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().hszSvc, 0u);
    EXPECT_EQ(got.back().hszTopic, 0u);
    std::vector<std::string> texts;
    for (size_t i = 0; i + 1 < got.size(); ++i) {
      // Spelling follows whichever process interned a text first: compare folded.
      std::string t = in.text(got[i].hszSvc) + "|" + in.text(got[i].hszTopic);
      for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      texts.push_back(t);
    }
    std::vector<std::string> want = c.pairs;
    for (std::string& t : want)
      for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(texts, want);
  }
  // A connect without a service name takes the first pair offered.
  const HCONV conv = DdeConnect(in.id, 0, in.hsz("Other"), nullptr);
  ASSERT_NE(conv, 0u);
  CONVINFO info{};
  info.cb = sizeof info;
  ASSERT_NE(DdeQueryConvInfo(conv, QID_SYNC, &info), 0u);
  EXPECT_EQ(in.text(info.hszSvcPartner), "TvPeer");
  EXPECT_EQ(in.text(info.hszTopic), "Other");
  EXPECT_EQ(info.wStatus & (ST_CLIENT | ST_ISSELF | ST_CONNECTED), ST_CLIENT | ST_CONNECTED);
  EXPECT_TRUE(DdeDisconnect(conv));
  EXPECT_FALSE(DdeDisconnect(conv));
}

TEST(DdeTransaction, TimeOutGivesTheTransactionsErrorAndLateAnswersAreDropped) {
  PeerProcess peer("TvPeer");
  ASSERT_EQ(peer.line(), "ready");
  Instance in;
  const HCONV conv = DdeConnect(in.id, in.hsz("TvPeer"), in.hsz("Pages"), nullptr);
  ASSERT_NE(conv, 0u);
  char slow[] = "sleep 2500";
  EXPECT_EQ(DdeClientTransaction(reinterpret_cast<LPBYTE>(slow), sizeof slow, conv, 0, CF_TEXT, XTYP_EXECUTE, 200,
                                 nullptr),
            nullptr);
  EXPECT_EQ(DdeGetLastError(in.id), DMLERR_EXECACKTIMEOUT);
  char ok[] = "ok";
  DWORD result = 0;
  EXPECT_NE(DdeClientTransaction(reinterpret_cast<LPBYTE>(ok), sizeof ok, conv, 0, CF_TEXT, XTYP_EXECUTE, 5000,
                                 &result),
            nullptr);
  EXPECT_EQ(result, DDE_FACK);
  EXPECT_EQ(DdeClientTransaction(nullptr, 0, conv, in.hsz("Nothing"), CF_TEXT, XTYP_REQUEST, 5000, nullptr), nullptr);
  EXPECT_EQ(DdeGetLastError(in.id), DMLERR_NOTPROCESSED);
  DdeDisconnect(conv);
}

}  // namespace
